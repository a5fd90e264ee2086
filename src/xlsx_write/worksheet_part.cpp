// Serialises one sheet into its worksheet part and its relationship part. The cell loop is the
// hot path of every save: it appends into the caller's string and allocates nothing per cell.

#include "xlsx_write/worksheet_part.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <initializer_list>
#include <string_view>

#include "model/address.h"
#include "xlsx_write/part_table.h"
#include "xlsx_write/password_hash.h"
#include "xlsx_write/xml_escape.h"

namespace tabsmith {
namespace {

using namespace std::string_view_literals;

// A fixed text with "%s" holes, split at compile time so that filling it never searches.
class Template {
public:
    static constexpr int kMaxHoles = 8;
    constexpr Template(std::string_view text) {
        std::size_t from = 0;
        for (std::size_t at = text.find("%s"); at != std::string_view::npos; at = text.find("%s", from)) {
            pieces_[holes_++] = text.substr(from, at - from);
            from = at + 2;
        }
        pieces_[holes_] = text.substr(from);
    }
    constexpr std::string_view piece(int k) const { return pieces_[k]; }
    constexpr int holes() const { return holes_; }

private:
    std::string_view pieces_[kMaxHoles + 1]{};
    int holes_ = 0;
};

// Templates. Every "%s" is filled, in order, by fill(); numbers are formatted beforehand.
constexpr std::string_view kWorksheetOpen =
    "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">";
constexpr std::string_view kWorksheetClose = "</worksheet>";
constexpr Template kCodeName{"codeName=\"%s\""};
constexpr Template kSheetPrEmpty{"<sheetPr %s />"};
constexpr Template kSheetPrNamed{"<sheetPr %s>%s%s</sheetPr>"};
constexpr Template kSheetPrUnnamed{"<sheetPr>%s%s</sheetPr>"};
constexpr Template kTabColor{"<tabColor rgb=\"%s\"/>"};
constexpr std::string_view kFitToPage = "<pageSetUpPr fitToPage=\"1\"/>";
constexpr Template kDimension{"<dimension ref=\"A1:%s\"/>"};
constexpr Template kSheetViews{
    "<sheetViews><sheetView tabSelected=\"%s\" zoomScale=\"%s\" workbookViewId=\"0\" showGridLines=\"%s\"%s>"
    "%s</sheetView></sheetViews>"};
constexpr std::string_view kHideHeadings = " showRowColHeaders=\"0\"";
constexpr Template kViewTopLeft{" topLeftCell=\"%s\""};
constexpr std::string_view kPaneOpen = "<pane";
constexpr Template kPaneXSplit{" xSplit=\"%s\""};
constexpr Template kPaneYSplit{" ySplit=\"%s\""};
constexpr Template kPaneTail{" topLeftCell=\"%s\" activePane=\"%s\" state=\"frozen\"/>"};
constexpr Template kPaneSelection{"<selection pane=\"%s\"/>"};
constexpr std::string_view kPaneTopRight = "topRight", kPaneBottomLeft = "bottomLeft",
                           kPaneBottomRight = "bottomRight";
constexpr Template kSelection{"<selection activeCell=\"%s\" sqref=\"%s\" />"};
constexpr Template kSheetFormatPr{"<sheetFormatPr defaultRowHeight=\"%s\"/>"};
constexpr std::string_view kColsOpen = "<cols>";
constexpr Template kCol{"<col min=\"%s\" max=\"%s\" width=\"%s\" bestFit=\"1\" customWidth=\"1\"/>"};
constexpr Template kColStyled{"<col min=\"%s\" max=\"%s\" width=\"%s\"%s%s/>"};
constexpr Template kColStyle{" style=\"%s\""};
constexpr std::string_view kColCustomWidth = " bestFit=\"1\" customWidth=\"1\"";
constexpr std::string_view kColsClose = "</cols>";
constexpr std::string_view kSheetDataOpen = "<sheetData>";
constexpr std::string_view kSheetDataClose = "</sheetData>";
constexpr Template kRowOpen{"<row r=\"%s\" spans=\"1:%s\"%s>"};
constexpr Template kRowOpenNoCells{"<row r=\"%s\"%s>"};
constexpr Template kRowStyle{" s=\"%s\" customFormat=\"1\""};
constexpr Template kRowHeight{" %s ht=\"%s\" customHeight=\"1\""};
constexpr std::string_view kRowHidden = "hidden=\"1\"";
constexpr std::string_view kRowClose = "</row>";
constexpr Template kXmlCellStyle{" s=\"%s\""};
constexpr Template kXmlCellMerged{"<c r=\"%s\" s=\"%s\"/>"};
constexpr Template kXmlCellEmpty{"<c r=\"%s\"%s/>"};
constexpr Template kXmlCellValue{"<c r=\"%s\"%s><v>%s</v></c>"};
constexpr Template kXmlCellShared{"<c r=\"%s\"%s t=\"s\"><v>%s</v></c>"};
constexpr Template kXmlCellInline{"<c r=\"%s\"%s t=\"inlineStr\"><is><t%s>%s</t></is></c>"};
constexpr std::string_view kPreserveSpace = " xml:space=\"preserve\"";
constexpr Template kXmlCellFormula{"<c r=\"%s\"%s><f>%s</f></c>"};
constexpr Template kXmlCellFormulaReady{"<c r=\"%s\"%s>%s</c>"};
constexpr Template kXmlCellFormulaValue{"<c r=\"%s\"%s><f>%s</f><v>%s</v></c>"};
constexpr std::string_view kValueTypeString = " t=\"str\"";
constexpr std::string_view kValueTypeError = " t=\"e\"";
constexpr Template kSheetProtection{
    "<sheetProtection sheet=\"1\" formatCells=\"0\" formatColumns=\"0\" formatRows=\"0\" insertColumns=\"0\" "
    "insertRows=\"0\" insertHyperlinks=\"0\" deleteColumns=\"0\" deleteRows=\"0\" sort=\"0\" autoFilter=\"0\" "
    "pivotTables=\"0\"%s/>"};
constexpr Template kProtectionPassword{" password=\"%s\""};
constexpr Template kAutoFilter{"<autoFilter ref=\"%s:%s\" />"};
constexpr Template kMergeCellsOpen{"<mergeCells count=\"%s\">"};
constexpr Template kMergeCell{"<mergeCell ref=\"%s:%s\"/>"};
constexpr std::string_view kMergeCellsClose = "</mergeCells>";
constexpr Template kPageMargins{
    "<pageMargins left=\"%s\" right=\"%s\" top=\"%s\" bottom=\"%s\" header=\"%s\" footer=\"%s\" />"};
constexpr Template kPageSetup{
    "<pageSetup paperSize=\"%s\" %s%sorientation=\"%s\" verticalDpi=\"%s\" r:id=\"rId%s\"/>"};
constexpr Template kFitToWidth{"fitToWidth=\"%s\" "};
constexpr Template kFitToHeight{"fitToHeight=\"%s\" "};
constexpr Template kScale{"scale=\"%s\" "};
constexpr Template kHeaderFooter{"<headerFooter alignWithMargins=\"0\">%s%s</headerFooter>"};
constexpr Template kOddHeader{"<oddHeader>%s</oddHeader>"};
constexpr Template kOddFooter{"<oddFooter>%s</oddFooter>"};
constexpr Template kFontCode{"%s&\"%s,%s%s\"&%s&K%s"};
constexpr Template kRowBreaksOpen{"<rowBreaks count=\"%s\" manualBreakCount=\"%s\">"};
constexpr Template kRowBreak{"<brk id=\"%s\" max=\"16383\" man=\"1\" />"};
constexpr std::string_view kRowBreaksClose = "</rowBreaks>";
constexpr Template kColBreaksOpen{"<colBreaks count=\"%s\" manualBreakCount=\"%s\">"};
constexpr Template kColBreak{"<brk id=\"%s\" max=\"1048575\" man=\"1\"/>"};
constexpr std::string_view kColBreaksClose = "</colBreaks>";
constexpr Template kDrawing{"<drawing r:id=\"rId%s\"/>"};
constexpr Template kLegacyDrawing{"<legacyDrawing r:id=\"rId%s\"/>"};
constexpr Template kPicture{"<picture r:id=\"rId%s\" />"};
constexpr Template kTablePartsOpen{"<tableParts count=\"%s\">"};
constexpr Template kTablePart{"<tablePart r:id=\"rId%s\" />"};
constexpr std::string_view kTablePartsClose = "</tableParts>";
constexpr Template kPrinterSettingsRel{
    "<Relationship Id=\"rId%s\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
    "printerSettings\" Target=\"../printerSettings/printerSettings%s.bin\"/>"};
constexpr std::string_view kRelationshipsTail = "</Relationships>";

// Header and footer section codes (left, centre, right) and the font style names.
constexpr std::string_view kSectionCodes[3] = {"&L", "&C", "&R"};
constexpr std::string_view kUnderlineCode = "&U";
constexpr std::string_view kStyleBoldItalic = "太字 斜体";
constexpr std::string_view kStyleBold = "太字";
constexpr std::string_view kStyleItalic = "斜体";
constexpr std::string_view kStyleRegular = "標準";
constexpr std::string_view kWeightHeavy = " ﾍﾋﾞｰ";
constexpr std::string_view kWeightMedium = " ﾒﾃﾞｨｳﾑ";

constexpr double kUnsetColumnWidth = 8.38;
constexpr double kCentimetresToInches = 0.3937;
constexpr std::uint8_t kFlagYes = 0;
constexpr int kMinZoom = 10, kMaxZoom = 400;
// Built-in font name ids whose header/footer font code carries a weight.
constexpr std::uint8_t kFontPop = 31, kFontTextbook = 32, kFontBrush = 33;

// Paper index -> paperSize; any other index gives 9 (A4).
struct PaperSize {
    int index, size;
};
constexpr PaperSize kPaperSizes[] = {{0, 4401}, {1, 4403},  {2, 66},    {3, 8},   {5, 11},  {11, 4410},
                                     {12, 4412}, {13, 4414}, {14, 12}, {15, 13}};
constexpr int kDefaultPaperSize = 9;

// Short text of a number, kept on the stack.
class Num {
public:
    explicit Num(long long value) { end_ = std::to_chars(buffer_, buffer_ + sizeof buffer_, value).ptr; }
    Num(double value, int precision) {
        auto result = std::to_chars(buffer_, buffer_ + sizeof buffer_, value, std::chars_format::fixed, precision);
        end_ = result.ec == std::errc() ? result.ptr : buffer_;
    }
    std::string_view view() const { return {buffer_, static_cast<std::size_t>(end_ - buffer_)}; }
    operator std::string_view() const { return view(); }

private:
    char buffer_[352];   // the fixed form of the largest double with six decimals
    char *end_;
};

// Appends the pieces `from`..`to` of a template with the holes between them filled in order
// by `args`; a hole written by the caller is skipped by stopping before it and going on after.
void fill_part(std::string &out, const Template &pattern, int from, int to,
               std::initializer_list<std::string_view> args) {
    auto arg = args.begin();
    out.append(pattern.piece(from));
    for (int k = from; k < to; ++k) {
        if (arg != args.end()) out.append(*arg++);
        out.append(pattern.piece(k + 1));
    }
}

void fill(std::string &out, const Template &pattern, std::initializer_list<std::string_view> args) {
    fill_part(out, pattern, 0, pattern.holes(), args);
}

// "A".."XFD" for a 0-based column; at most three letters.
std::size_t column_letters_into(char *buffer, int column) {
    char reversed[4];
    std::size_t n = 0;
    unsigned value = static_cast<unsigned>(column) + 1;
    while (value > 0 && n < sizeof reversed) {
        reversed[n++] = static_cast<char>('A' + (value - 1) % 26);
        value = (value - 1) / 26;
    }
    for (std::size_t i = 0; i < n; ++i) buffer[i] = reversed[n - 1 - i];
    return n;
}

// An A1 name on the stack.
class Ref {
public:
    Ref(int row, int column) {
        std::size_t n = column_letters_into(buffer_, column);
        end_ = std::to_chars(buffer_ + n, buffer_ + sizeof buffer_, static_cast<long long>(row) + 1).ptr;
    }
    Ref(std::string_view row_digits, int column) {
        std::size_t n = column_letters_into(buffer_, column);
        std::size_t digits = std::min(row_digits.size(), sizeof buffer_ - n);
        std::copy_n(row_digits.data(), digits, buffer_ + n);
        end_ = buffer_ + n + digits;
    }
    operator std::string_view() const { return {buffer_, static_cast<std::size_t>(end_ - buffer_)}; }

private:
    char buffer_[32];
    char *end_;
};

std::string upper_hex_rgb(Rgb rgb, bool alpha) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text = alpha ? "FF" : "";
    for (std::uint8_t byte : {rgb.red, rgb.green, rgb.blue}) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 15];
    }
    return text;
}

bool written(const Cell &cell) { return !cell.empty() || cell.style > 0; }

// 1 + the last column of the row that is written, 0 when none is.
int row_cell_end(const Row &row) {
    for (std::size_t k = row.cells.size(); k > 0; --k)
        if (written(row.cells[k - 1])) return static_cast<int>(k);
    return 0;
}

bool row_has_height(const Row &row) { return row.attributes && row.attributes->height > 0; }
bool row_hidden(const Row &row) { return row.hidden_flag == kFlagYes; }

bool row_styled(const Row &row) { return row.style != kNoRowStyle; }

// A styled row without cells is still written: its format is what new cells in it show.
bool row_written(const Row &row, int cell_end) {
    return cell_end > 0 || row_has_height(row) || row_hidden(row) || row_styled(row);
}

// The style that date-like cells get when neither they nor their column carry one, so that a
// serial number is never shown as a bare number.
std::uint16_t kind_default_style(std::uint8_t kind) {
    switch (kind) {
    case kCellDate: return kXfDate;
    case kCellDateTime: return kXfDateTime;
    case kCellTimeHm: return kXfTimeHm;
    case kCellTimeHms: return kXfTimeHms;
    default: return 0;
    }
}

// A number the value element can carry as it is: optional sign, digits with at most one point,
// optional exponent.
bool is_number_text(std::string_view text) {
    std::size_t i = 0, n = text.size();
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    bool digits = false, point = false;
    for (; i < n; ++i) {
        char c = text[i];
        if (c >= '0' && c <= '9') digits = true;
        else if (c == '.' && !point) point = true;
        else break;
    }
    if (!digits) return false;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
        bool exponent = false;
        for (; i < n && text[i] >= '0' && text[i] <= '9'; ++i) exponent = true;
        if (!exponent) return false;
    }
    return i == n;
}

bool is_error_text(std::string_view text) {
    for (std::string_view error : {"#NULL!"sv, "#DIV/0!"sv, "#VALUE!"sv, "#REF!"sv, "#NAME?"sv, "#NUM!"sv, "#N/A"sv})
        if (text == error) return true;
    return false;
}

bool all_digits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The serial value of a date-like cell: the day number followed by the fraction text. The
// fraction is kept as the shortest text of the time of day ("0.5", "0", or an exponent form
// for a second or so after midnight), so anything but a plain ".ddd" is computed afresh.
void append_serial(std::string &out, const Cell &cell) {
    std::string_view fraction = cell.text();
    if (fraction.size() > 1 && fraction[0] == '0' && fraction[1] == '.') fraction.remove_prefix(1);
    if (cell.integer() >= 0 &&
        (fraction.empty() || fraction == "0" || (fraction[0] == '.' && all_digits(fraction.substr(1))))) {
        out.append(Num(static_cast<long long>(cell.integer())));
        if (fraction.size() > 1) out.append(fraction);
        return;
    }
    double part = 0.0;
    auto parsed = std::from_chars(cell.text().data(), cell.text().data() + cell.text().size(), part);
    if (parsed.ec != std::errc() || !std::isfinite(part)) part = 0.0;
    char digits[400];
    if (cell.integer() >= 0 && part > 0.0 && part < 1.0) {
        // The fixed form of a fraction below 1 keeps every digit of the shortest one.
        char *end = std::to_chars(digits, digits + sizeof digits, part, std::chars_format::fixed).ptr;
        out.append(Num(static_cast<long long>(cell.integer())));
        out.append(digits + 1, end);
        return;
    }
    // A whole day or more, or a day before the epoch: the sum is the value.
    double sum = static_cast<double>(cell.integer()) + part;
    char *end = std::to_chars(digits, digits + sizeof digits, sum).ptr;
    out.append(digits, end);
}

// What the cell loop knows about the cell being written.
struct CellPlace {
    std::string_view row_digits;  // 1-based row number
    std::uint16_t row_style = kNoRowStyle;
    int column = 0;
    bool merged_inner = false;    // inside a merged area, not its top-left cell
};

int write_cell(const Book &book, const Sheet &sheet, const Cell &cell, const CellPlace &place, std::string &out) {
    Ref ref(place.row_digits, place.column);
    if (place.merged_inner) {
        fill(out, kXmlCellMerged, {ref, Num(static_cast<long long>(std::max<int>(cell.style, 1)))});
        return 0;
    }

    std::uint16_t style = cell.style;
    if (style == 0) style = kind_default_style(cell.kind);
    // A row format covers its cells before a column format does, as spreadsheet programs show it.
    if (style == 0 && place.row_style != kNoRowStyle) style = place.row_style;
    else if (style == 0 && static_cast<std::size_t>(place.column) < sheet.columns.size())
        style = sheet.columns[static_cast<std::size_t>(place.column)].style;
    char style_buffer[24];
    std::string_view style_text;
    if (style > 0) {
        constexpr std::string_view kHead = kXmlCellStyle.piece(0), kTail = kXmlCellStyle.piece(1);
        char *end = std::copy(kHead.begin(), kHead.end(), style_buffer);
        end = std::to_chars(end, style_buffer + sizeof style_buffer - kTail.size(), static_cast<unsigned>(style)).ptr;
        end = std::copy(kTail.begin(), kTail.end(), end);
        style_text = std::string_view(style_buffer, static_cast<std::size_t>(end - style_buffer));
    }

    switch (cell.kind) {
    case kCellEmpty:
        fill(out, kXmlCellEmpty, {ref, style_text});
        return 0;
    case kCellString:
        fill(out, kXmlCellShared, {ref, style_text, Num(static_cast<long long>(book.shared_strings.entry(cell.sst)))});
        return 0;
    case kCellInteger:
        fill(out, kXmlCellValue, {ref, style_text, Num(static_cast<long long>(cell.integer()))});
        return 0;
    case kCellFloat:
    case kCellPercent: {
        if (is_number_text(cell.text())) {
            fill(out, kXmlCellValue, {ref, style_text, cell.text()});
        } else {
            char digits[32];
            double number = std::isfinite(cell.number()) ? cell.number() : 0.0;
            auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
            fill(out, kXmlCellValue, {ref, style_text, std::string_view(digits, static_cast<std::size_t>(end - digits))});
        }
        return 0;
    }
    case kCellDate:
    case kCellDateTime:
    case kCellTimeHm:
    case kCellTimeHms: {
        fill_part(out, kXmlCellValue, 0, 2, {ref, style_text});
        append_serial(out, cell);
        fill_part(out, kXmlCellValue, 3, 3, {});
        return 0;
    }
    case kCellText: {
        // A general value: a number stays a number, anything else is kept as inline text.
        if (is_number_text(cell.text())) {
            fill(out, kXmlCellValue, {ref, style_text, cell.text()});
            return 0;
        }
        bool keep_blanks = !cell.text().empty() && (cell.text().front() == ' ' || cell.text().back() == ' ' ||
                                                  cell.text().front() == '\t' || cell.text().back() == '\t');
        fill_part(out, kXmlCellInline, 0, 3, {ref, style_text, keep_blanks ? kPreserveSpace : ""sv});
        xml_escape_append(out, cell.text(), EscapeMode::kText);
        fill_part(out, kXmlCellInline, 4, 4, {});
        return 0;
    }
    case kCellFormula:
    case kCellFormulaValue: {
        std::string_view formula = cell.formula() ? std::string_view(*cell.formula()) : std::string_view();
        if (!formula.empty() && formula.front() == '<') {
            // A ready formula element kept from a template. Its value is computed on opening.
            fill(out, kXmlCellFormulaReady, {ref, style_text, formula});
            return 0;
        }
        bool with_value = cell.kind == kCellFormulaValue && book.settings.recalc;
        std::string_view value_type;
        char digits[32];
        std::string_view value;
        if (with_value) {
            if (!cell.text().empty()) {
                value = cell.text();
                if (!is_number_text(value)) value_type = is_error_text(value) ? kValueTypeError : kValueTypeString;
            } else if (std::isfinite(cell.number())) {
                auto end = std::to_chars(digits, digits + sizeof digits, cell.number()).ptr;
                value = std::string_view(digits, static_cast<std::size_t>(end - digits));
            } else {
                with_value = false;
            }
        }
        // The type attribute follows the style attribute.
        char attributes[64];
        std::size_t length = 0;
        for (std::string_view part : {style_text, value_type}) {
            std::copy(part.begin(), part.end(), attributes + length);
            length += part.size();
        }
        std::string_view attribute_text(attributes, length);
        // Holes: reference, attributes, formula and (with a value) the value.
        const Template &pattern = with_value ? kXmlCellFormulaValue : kXmlCellFormula;
        fill_part(out, pattern, 0, 2, {ref, attribute_text});
        xml_escape_append(out, formula, EscapeMode::kText);
        if (with_value) {
            out.append(pattern.piece(3));
            if (value_type.empty()) out.append(value);
            else xml_escape_append(out, value, EscapeMode::kText);
        }
        out.append(pattern.piece(pattern.holes()));
        return 0;
    }
    default: return -1;
    }
}

// Merged areas that cover the row being written, kept while the rows go by in order.
class MergeCursor {
public:
    explicit MergeCursor(const std::vector<MergeArea> &merges) {
        sorted_.reserve(merges.size());
        for (const auto &area : merges) {
            MergeArea a = area;
            if (a.row1 > a.row2) std::swap(a.row1, a.row2);
            if (a.column1 > a.column2) std::swap(a.column1, a.column2);
            sorted_.push_back(a);
        }
        std::sort(sorted_.begin(), sorted_.end(),
                  [](const MergeArea &x, const MergeArea &y) { return x.row1 < y.row1; });
    }

    void enter_row(int row) {
        std::erase_if(active_, [row](const MergeArea &a) { return a.row2 < row; });
        while (next_ < sorted_.size() && sorted_[next_].row1 <= row) {
            if (sorted_[next_].row2 >= row) active_.push_back(sorted_[next_]);
            ++next_;
        }
    }

    bool inner(int row, int column) const {
        for (const auto &a : active_)
            if (column >= a.column1 && column <= a.column2 && (row != a.row1 || column != a.column1)) return true;
        return false;
    }

private:
    std::vector<MergeArea> sorted_;
    std::vector<MergeArea> active_;
    std::size_t next_ = 0;
};

void write_sheet_pr(const Book &book, const Sheet &sheet, int sheet_number, std::string &out) {
    const SheetSettings &settings = sheet.settings;
    std::string tab;
    if (settings.tab_color.set()) {
        Rgb rgb = colour_rgb(settings.tab_color.index,
                             Rgb{settings.tab_color.red, settings.tab_color.green, settings.tab_color.blue});
        fill(tab, kTabColor, {upper_hex_rgb(rgb, true)});
    }
    std::string_view fit = settings.page.fit_to_page ? kFitToPage : ""sv;
    if (book.settings.suppress_code_names) {
        if (!tab.empty() || !fit.empty()) fill(out, kSheetPrUnnamed, {tab, fit});
        return;
    }
    std::string code_name;
    if (settings.code_name.empty()) {
        code_name = "Sheet";
        code_name += Num(static_cast<long long>(sheet_number)).view();
    } else {
        code_name = xml_escape(settings.code_name, EscapeMode::kAttribute);
    }
    std::string attribute;
    fill(attribute, kCodeName, {code_name});
    if (tab.empty() && fit.empty()) fill(out, kSheetPrEmpty, {attribute});
    else fill(out, kSheetPrNamed, {attribute, tab, fit});
}

// A frozen pane whose unfrozen area starts `columns` columns right and `rows` rows down (at
// least one of them positive); `scroll_row` is the first row shown below a row freeze, or the
// row the right-hand area starts at when only columns are frozen.
void append_frozen_pane(int columns, int rows, int scroll_row, std::string &inner) {
    inner.append(kPaneOpen);
    if (columns > 0) fill(inner, kPaneXSplit, {Num(static_cast<long long>(columns))});
    if (rows > 0) fill(inner, kPaneYSplit, {Num(static_cast<long long>(rows))});
    std::string_view active = rows == 0 ? kPaneTopRight : columns == 0 ? kPaneBottomLeft : kPaneBottomRight;
    fill(inner, kPaneTail, {Ref(scroll_row, columns), active});
    // Spreadsheet programs keep one selection per pane beside the frozen corner.
    if (columns > 0 && rows > 0) {
        fill(inner, kPaneSelection, {kPaneTopRight});
        fill(inner, kPaneSelection, {kPaneBottomLeft});
    }
    fill(inner, kPaneSelection, {active});
}

void write_sheet_views(const Sheet &sheet, std::string &out) {
    const SheetSettings &settings = sheet.settings;
    int split_columns = 0, split_rows = 0;
    switch (settings.frozen) {
    case FrozenPane::kFirstRow: split_rows = 1; break;
    case FrozenPane::kFirstColumn: split_columns = 1; break;
    case FrozenPane::kNone:
        // A split outside the sheet could not be opened, so it is dropped rather than clamped.
        if (settings.split_row <= kMaxNameRow && settings.split_column <= kMaxNameColumn) {
            split_rows = std::max(settings.split_row, 0);
            split_columns = std::max(settings.split_column, 0);
        }
        break;
    }
    int top_row = settings.top_row >= 0 && settings.top_row <= kMaxNameRow ? settings.top_row : -1;

    std::string inner, attributes;
    if (!settings.headings) attributes.append(kHideHeadings);
    if (split_rows > 0) {
        // The frozen rows always show from the sheet's top, so the first shown row moves the
        // scrolling area instead of the view.
        append_frozen_pane(split_columns, split_rows, std::max(split_rows, top_row), inner);
    } else {
        if (top_row >= 0) fill(attributes, kViewTopLeft, {Ref(top_row, 0)});
        if (split_columns > 0) {
            append_frozen_pane(split_columns, 0, std::max(top_row, 0), inner);
        } else {
            bool chosen = settings.selected_row >= 0 && settings.selected_column >= 0 &&
                          settings.selected_row <= kMaxNameRow && settings.selected_column <= kMaxNameColumn;
            Ref active(chosen ? settings.selected_row : 0, chosen ? settings.selected_column : 0);
            fill(inner, kSelection, {active, active});
        }
    }
    // The view accepts 10% to 400%; anything else would make the part invalid.
    int zoom = std::clamp(settings.zoom, kMinZoom, kMaxZoom);
    fill(out, kSheetViews,
         {settings.selected ? "1"sv : "0"sv, Num(static_cast<long long>(zoom)),
          settings.grid_lines ? "1"sv : "0"sv, attributes, inner});
}

void write_cols(const Sheet &sheet, int used_columns, std::string &out) {
    int last_set = -1;
    bool styled = false;
    for (std::size_t k = 0; k < sheet.columns.size(); ++k) {
        if (sheet.columns[k].width != 0.0) last_set = static_cast<int>(k);
        if (sheet.columns[k].style != 0) styled = true;
    }
    if (styled) {
        // Only the columns that carry something are listed, so that a styled column does not
        // make every column before it look resized.
        out.append(kColsOpen);
        for (std::size_t k = 0; k < sheet.columns.size(); ++k) {
            const ColumnAttributes &column = sheet.columns[k];
            if (column.width == 0.0 && column.style == 0) continue;
            double width = column.width == 0.0 ? kUnsetColumnWidth : std::max(column.width, 0.0);
            Num number(static_cast<long long>(k) + 1);
            fill_part(out, kColStyled, 0, 3, {number, number, Num(width, 3)});
            if (column.style != 0) fill(out, kColStyle, {Num(static_cast<long long>(column.style))});
            if (column.width != 0.0) out.append(kColCustomWidth);
            out.append(kColStyled.piece(5));
        }
        out.append(kColsClose);
        return;
    }
    if (last_set < 0) return;
    int count = std::max(last_set + 1, used_columns);
    out.append(kColsOpen);
    for (int k = 0; k < count; ++k) {
        std::size_t index = static_cast<std::size_t>(k);
        double width = index < sheet.columns.size() ? sheet.columns[index].width : 0.0;
        if (width == 0.0) width = kUnsetColumnWidth;
        else if (width < 0.0) width = 0.0;
        Num number(static_cast<long long>(k) + 1);
        fill(out, kCol, {number, number, Num(width, 3)});
    }
    out.append(kColsClose);
}

int write_rows(const Book &book, const Sheet &sheet, std::string &out, PartSink *sink, std::size_t piece_bytes) {
    MergeCursor merges(sheet.merges);
    std::string row_attributes;
    for (std::size_t r = 0; r < sheet.rows.size(); ++r) {
        const Row &row = sheet.rows[r];
        int cell_end = row_cell_end(row);
        if (!row_written(row, cell_end)) continue;
        int row_index = static_cast<int>(r);
        merges.enter_row(row_index);

        row_attributes.clear();
        if (row_styled(row)) fill(row_attributes, kRowStyle, {Num(static_cast<long long>(row.style))});
        if (row_has_height(row)) {
            fill(row_attributes, kRowHeight,
                 {row_hidden(row) ? kRowHidden : ""sv, Num(row.attributes->height / 100.0, 6)});
        } else if (row_hidden(row)) {
            row_attributes += ' ';
            row_attributes += kRowHidden;
        }
        Num row_number(static_cast<long long>(r) + 1);
        if (cell_end == 0) {
            // No cells: a span would have to end before it starts, so none is given.
            fill(out, kRowOpenNoCells, {row_number, row_attributes});
        } else {
            fill(out, kRowOpen, {row_number, Num(static_cast<long long>(cell_end)), row_attributes});
        }

        CellPlace place;
        place.row_digits = row_number;
        place.row_style = row.style;
        for (int c = 0; c < cell_end; ++c) {
            const Cell &cell = row.cells[static_cast<std::size_t>(c)];
            if (!written(cell)) continue;
            place.column = c;
            place.merged_inner = merges.inner(row_index, c);
            if (write_cell(book, sheet, cell, place, out) != 0) return -1;
        }
        out.append(kRowClose);
        if (sink && out.size() >= piece_bytes) {
            if (int rc = sink->take(out); rc != 0) return rc;
            out.clear();
            out.reserve(piece_bytes + piece_bytes / 4);
        }
    }
    return 0;
}

void write_protection(const Sheet &sheet, std::string &out) {
    if (!sheet.settings.is_protected) return;
    std::string password;
    if (!sheet.settings.password.empty()) {
        constexpr char kDigits[] = "0123456789ABCDEF";
        std::uint16_t hash = password_hash(sheet.settings.password);
        char hex[4] = {kDigits[hash >> 12], kDigits[(hash >> 8) & 15], kDigits[(hash >> 4) & 15], kDigits[hash & 15]};
        fill(password, kProtectionPassword, {std::string_view(hex, 4)});
    }
    fill(out, kSheetProtection, {password});
}

void write_auto_filter(const Sheet &sheet, std::string &out) {
    const SheetSettings &s = sheet.settings;
    if (s.filter_row1 < 0 || s.filter_column1 < 0 || s.filter_row2 < 0 || s.filter_column2 < 0) return;
    fill(out, kAutoFilter, {Ref(s.filter_row1, s.filter_column1), Ref(s.filter_row2, s.filter_column2)});
}

void write_merge_cells(const Sheet &sheet, std::string &out) {
    if (sheet.merges.empty()) return;
    fill(out, kMergeCellsOpen, {Num(static_cast<long long>(sheet.merges.size()))});
    for (const auto &area : sheet.merges)
        fill(out, kMergeCell, {Ref(std::min(area.row1, area.row2), std::min(area.column1, area.column2)),
                               Ref(std::max(area.row1, area.row2), std::max(area.column1, area.column2))});
    out.append(kMergeCellsClose);
}

void write_row_breaks(const Sheet &sheet, std::string &out) {
    const auto &breaks = sheet.settings.row_breaks;
    if (breaks.empty()) return;
    Num count(static_cast<long long>(breaks.size()));
    fill(out, kRowBreaksOpen, {count, count});
    for (int row : breaks) fill(out, kRowBreak, {Num(static_cast<long long>(row))});
    out.append(kRowBreaksClose);
}

void write_column_breaks(const Sheet &sheet, std::string &out) {
    const auto &breaks = sheet.settings.column_breaks;
    if (breaks.empty()) return;
    Num count(static_cast<long long>(breaks.size()));
    fill(out, kColBreaksOpen, {count, count});
    for (int column : breaks) fill(out, kColBreak, {Num(static_cast<long long>(column))});
    out.append(kColBreaksClose);
}

void write_object_references(const SheetObjectCounts &counts, const SheetRelationshipIds &ids, std::string &out) {
    if (counts.drawing) fill(out, kDrawing, {Num(static_cast<long long>(ids.drawing))});
    if (counts.comments) fill(out, kLegacyDrawing, {Num(static_cast<long long>(ids.vml_drawing))});
    if (counts.background) fill(out, kPicture, {Num(static_cast<long long>(ids.background))});
    if (counts.tables > 0) {
        fill(out, kTablePartsOpen, {Num(static_cast<long long>(counts.tables))});
        for (int k = 0; k < counts.tables; ++k)
            fill(out, kTablePart, {Num(static_cast<long long>(ids.first_table + k))});
        out.append(kTablePartsClose);
    }
}

// The font part of a header or footer section: underline, "name,style", size and colour.
void append_font_code(const FontRecord &font, std::string &out) {
    std::string_view name =
        font.name_id == kFontNameOwn ? std::string_view(font.name) : builtin_font_name(font.name_id);
    bool bold = (font.style & kFontBold) != 0, italic = (font.style & kFontItalic) != 0;
    std::string_view style = bold && italic ? kStyleBoldItalic
                             : bold         ? kStyleBold
                             : italic       ? kStyleItalic
                                            : kStyleRegular;
    // The pop and brush fonts exist only in these weights, and the font code must name them.
    std::string_view weight = font.name_id == kFontPop                             ? kWeightHeavy
                              : font.name_id == kFontTextbook || font.name_id == kFontBrush ? kWeightMedium
                                                                                   : ""sv;
    bool underline = (font.style & (kFontUnderline | kFontHyperlink)) != 0;
    fill(out, kFontCode,
         {underline ? kUnderlineCode : ""sv, name, style, weight, Num(static_cast<long long>(font.size)),
          upper_hex_rgb(colour_rgb(font.colour, font.rgb), false)});
}

// The escaped section text of a header or footer, empty when no section is set.
std::string sections_text(const HeaderFooterSection (&sections)[3], std::span<const FontRecord> fonts) {
    static const FontRecord kDefaultFont;
    std::string joined;
    for (int k = 0; k < 3; ++k) {
        const HeaderFooterSection &section = sections[k];
        if (!section.set) continue;
        const FontRecord &font = section.font >= 0 && static_cast<std::size_t>(section.font) < fonts.size()
                                     ? fonts[static_cast<std::size_t>(section.font)]
                                     : kDefaultFont;
        joined += kSectionCodes[k];
        append_font_code(font, joined);
        joined += section.text;
    }
    return joined.empty() ? joined : xml_escape(joined, EscapeMode::kText);
}

}  // namespace

SheetObjectCounts sheet_object_counts(const Book &, int) {
    // Hyperlinks, pictures, comments and tables are counted here once their writers keep them.
    return SheetObjectCounts{};
}

SheetRelationshipIds sheet_relationship_ids(const SheetObjectCounts &counts) {
    SheetRelationshipIds ids;
    int next = 1;
    if (counts.external_hyperlinks > 0) {
        ids.first_hyperlink = next - 1;
        next += counts.external_hyperlinks;
    }
    ids.printer_settings = next++;
    if (counts.background) ids.background = next++;
    if (counts.drawing) ids.drawing = next++;
    if (counts.comments) {
        ids.comments = next++;
        ids.vml_drawing = next++;
    }
    if (counts.tables > 0) {
        ids.first_table = next - 1;
        next += counts.tables;
    }
    ids.count = next - 1;
    return ids;
}

void tsx_write_page_setup(const PageSetup &page, int printer_settings_id, std::string &out) {
    fill(out, kPageMargins,
         {Num(page.left * kCentimetresToInches, 6), Num(page.right * kCentimetresToInches, 6),
          Num(page.top * kCentimetresToInches, 6), Num(page.bottom * kCentimetresToInches, 6),
          Num(page.header * kCentimetresToInches, 6), Num(page.footer * kCentimetresToInches, 6)});
    int paper = kDefaultPaperSize;
    for (const auto &entry : kPaperSizes)
        if (entry.index == page.paper) paper = entry.size;
    std::string fit, scale;
    if (page.fit_width > 0) fill(fit, kFitToWidth, {Num(static_cast<long long>(page.fit_width))});
    if (page.fit_height > 0) fill(fit, kFitToHeight, {Num(static_cast<long long>(page.fit_height))});
    if (page.fit_width <= 0 && page.fit_height <= 0) fill(scale, kScale, {Num(static_cast<long long>(page.scale))});
    fill(out, kPageSetup,
         {Num(static_cast<long long>(paper)), fit, scale, page.landscape ? "landscape"sv : "portrait"sv,
          Num(static_cast<long long>(page.dpi)), Num(static_cast<long long>(printer_settings_id))});
}

int tsx_write_header_footer(const Sheet &sheet, std::span<const FontRecord> fonts, std::string &out) {
    std::string header = sections_text(sheet.settings.header, fonts);
    std::string footer = sections_text(sheet.settings.footer, fonts);
    if (header.empty() && footer.empty()) return 0;
    std::string odd_header, odd_footer;
    if (!header.empty()) fill(odd_header, kOddHeader, {header});
    if (!footer.empty()) fill(odd_footer, kOddFooter, {footer});
    fill(out, kHeaderFooter, {odd_header, odd_footer});
    return 0;
}

int tsx_write_cell(const Book &book, int sheet_index, int row, int column, std::string &out) {
    const Sheet *sheet = book.sheet(sheet_index);
    if (!sheet || row < 0 || column < 0 || static_cast<std::size_t>(row) >= sheet->rows.size()) return -1;
    const Row &r = sheet->rows[static_cast<std::size_t>(row)];
    if (static_cast<std::size_t>(column) >= r.cells.size()) return -1;
    const Cell &cell = r.cells[static_cast<std::size_t>(column)];
    if (!written(cell)) return 0;
    Num row_number(static_cast<long long>(row) + 1);
    CellPlace place;
    place.row_digits = row_number;
    place.row_style = r.style;
    place.column = column;
    for (const auto &a : sheet->merges) {
        int r1 = std::min(a.row1, a.row2), r2 = std::max(a.row1, a.row2);
        int c1 = std::min(a.column1, a.column2), c2 = std::max(a.column1, a.column2);
        if (row >= r1 && row <= r2 && column >= c1 && column <= c2 && (row != r1 || column != c1))
            place.merged_inner = true;
    }
    return write_cell(book, *sheet, cell, place, out);
}

int tsx_write_worksheet(const Book &book, int sheet_index, std::string &out, PartSink *sink, std::size_t piece_bytes) {
    const Sheet *found = book.sheet(sheet_index);
    if (!found) return -1;
    const Sheet &sheet = *found;
    const int sheet_number = sheet_index + 1;

    // The used area, for the dimension and the column count.
    int last_row = 0, last_column = 0, cells = 0;
    for (std::size_t r = 0; r < sheet.rows.size(); ++r) {
        int cell_end = row_cell_end(sheet.rows[r]);
        if (!row_written(sheet.rows[r], cell_end)) continue;
        last_row = static_cast<int>(r);
        last_column = std::max(last_column, cell_end - 1);
        cells += cell_end;
    }
    // A cell rarely takes more than 48 bytes; reserving that much up front spares the copy of a
    // grown string, and pages that end up unused are never touched.
    if (sink) out.reserve(piece_bytes + piece_bytes / 4);
    else out.reserve(out.size() + 4096 + static_cast<std::size_t>(cells) * 48 + static_cast<std::size_t>(last_row) * 48);

    out.append(kXmlDeclaration);
    out.append(kWorksheetOpen);
    write_sheet_pr(book, sheet, sheet_number, out);
    fill(out, kDimension, {Ref(last_row, last_column)});
    write_sheet_views(sheet, out);
    fill(out, kSheetFormatPr, {Num(sheet.settings.default_row_height / 100.0, 1)});
    write_cols(sheet, last_column + 1, out);

    out.append(kSheetDataOpen);
    if (int rc = write_rows(book, sheet, out, sink, piece_bytes); rc != 0) return rc;
    out.append(kSheetDataClose);

    write_protection(sheet, out);
    write_auto_filter(sheet, out);
    write_merge_cells(sheet, out);

    SheetObjectCounts counts = sheet_object_counts(book, sheet_index);
    SheetRelationshipIds ids = sheet_relationship_ids(counts);
    tsx_write_page_setup(sheet.settings.page, ids.printer_settings, out);
    if (int rc = tsx_write_header_footer(sheet, book.styles.fonts(), out); rc != 0) return rc;
    write_row_breaks(sheet, out);
    write_column_breaks(sheet, out);
    write_object_references(counts, ids, out);
    out.append(kWorksheetClose);
    return 0;
}

std::uint64_t worksheet_part_bound(const Book &book, int sheet_index) {
    if (sheet_index < 0 || sheet_index >= book.sheet_count()) return 0;
    const Sheet *sheet = book.sheets[static_cast<std::size_t>(sheet_index)].get();
    // Fixed elements and settings take far less than this; a column, cell or row element's
    // markup stays under 128 (160) bytes, and escaping makes a text byte at most seven ("_xHHHH_").
    constexpr std::uint64_t kFixed = 1u << 20, kPerRow = 160, kPerCell = 128, kPerTextByte = 7;
    std::uint64_t bound = kFixed + sheet->columns.size() * 128 + sheet->merges.size() * 64 +
                          sheet->settings.row_breaks.size() * 64 + sheet->settings.column_breaks.size() * 64;
    for (const Row &row : sheet->rows) {
        bound += kPerRow;
        for (const Cell &cell : row.cells) {
            bound += kPerCell + kPerTextByte * cell.text().size();
            if (cell.formula()) bound += kPerTextByte * cell.formula()->size();
        }
    }
    return bound;
}

std::string write_worksheet_rels(const Book &book, int sheet_index) {
    SheetRelationshipIds ids = sheet_relationship_ids(sheet_object_counts(book, sheet_index));
    std::string out(kRelationshipsHead);
    fill(out, kPrinterSettingsRel, {Num(static_cast<long long>(ids.printer_settings)),
                                    Num(static_cast<long long>(sheet_index) + 1)});
    out.append(kRelationshipsTail);
    return out;
}

}  // namespace tabsmith
