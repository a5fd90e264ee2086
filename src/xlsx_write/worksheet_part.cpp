// Serialises one sheet into its worksheet part. The cell loop is the hot path of every save:
// it appends into the caller's string and allocates nothing per cell.

#include "xlsx_write/worksheet_part.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <span>
#include <string_view>

#include "datasource/row_stream.h"
#include "format/serial.h"
#include "model/address.h"
#include "support/results.h"
#include "xlsx_write/annotation_parts.h"
#include "xlsx_write/part_table.h"
#include "xlsx_write/password_hash.h"
#include "xlsx_write/sparkline_ext.h"
#include "xlsx_write/stored_rows.h"
#include "support/xml_escape.h"
#include "xlsx_write/xml_writer.h"

namespace tabsmith {
namespace {

using namespace std::string_view_literals;

constexpr XmlTemplate kSheetPrEmpty{"<sheetPr codeName=\"{code_name}\" />"};
constexpr XmlTemplate kSheetPrNamed{"<sheetPr codeName=\"{code_name}\">{tab_colour}{fit}</sheetPr>"};
constexpr XmlTemplate kSheetPrUnnamed{"<sheetPr>{tab_colour}{fit}</sheetPr>"};
constexpr XmlTemplate kDefaultCodeName{"Sheet{number}"};
constexpr XmlTemplate kTabColor{"<tabColor rgb=\"FF{rgb}\"/>"};
constexpr std::string_view kFitToPage = "<pageSetUpPr fitToPage=\"1\"/>";
constexpr XmlTemplate kDimension{"<dimension ref=\"A1:{last}\"/>"};
constexpr XmlTemplate kSheetViews{
    "<sheetViews><sheetView tabSelected=\"{selected}\" zoomScale=\"{zoom}\" workbookViewId=\"0\" "
    "showGridLines=\"{grid_lines}\"{attributes}>{panes}</sheetView></sheetViews>"};
constexpr std::string_view kHideHeadings = " showRowColHeaders=\"0\"";
constexpr XmlTemplate kViewTopLeft{" topLeftCell=\"{cell}\""};
constexpr std::string_view kPaneOpen = "<pane";
constexpr XmlTemplate kPaneXSplit{" xSplit=\"{columns}\""};
constexpr XmlTemplate kPaneYSplit{" ySplit=\"{rows}\""};
constexpr XmlTemplate kPaneTail{" topLeftCell=\"{cell}\" activePane=\"{pane}\" state=\"frozen\"/>"};
constexpr XmlTemplate kPaneSelection{"<selection pane=\"{pane}\"/>"};
constexpr std::string_view kPaneTopRight = "topRight", kPaneBottomLeft = "bottomLeft",
                           kPaneBottomRight = "bottomRight";
constexpr XmlTemplate kSelection{"<selection activeCell=\"{cell}\" sqref=\"{cell}\" />"};
constexpr XmlTemplate kSheetFormatPr{"<sheetFormatPr defaultRowHeight=\"{height}\"/>"};
constexpr std::string_view kColsOpen = "<cols>";
constexpr XmlTemplate kCol{"<col min=\"{first}\" max=\"{last}\" width=\"{width}\" bestFit=\"1\" customWidth=\"1\"/>"};
constexpr XmlTemplate kColStyled{"<col min=\"{first}\" max=\"{last}\" width=\"{width}\"{style}{custom_width}/>"};
constexpr XmlTemplate kColStyle{" style=\"{style}\""};
constexpr std::string_view kColCustomWidth = " bestFit=\"1\" customWidth=\"1\"";
constexpr std::string_view kColsClose = "</cols>";
constexpr std::string_view kSheetDataOpen = "<sheetData>";
constexpr std::string_view kSheetDataClose = "</sheetData>";
constexpr XmlTemplate kRowOpen{"<row r=\"{row}\" spans=\"1:{last_column}\"{attributes}>"};
constexpr XmlTemplate kRowOpenNoCells{"<row r=\"{row}\"{attributes}>"};
constexpr XmlTemplate kRowStyle{" s=\"{style}\" customFormat=\"1\""};
constexpr XmlTemplate kRowHeight{" {hidden} ht=\"{height}\" customHeight=\"1\""};
constexpr std::string_view kRowHidden = "hidden=\"1\"";
constexpr std::string_view kRowHiddenAttribute = " hidden=\"1\"";
constexpr std::string_view kRowClose = "</row>";
constexpr XmlTemplate kXmlCellStyle{" s=\"{style}\""};
constexpr XmlTemplate kXmlCellMerged{"<c r=\"{cell}\" s=\"{style}\"/>"};
constexpr XmlTemplate kXmlCellEmpty{"<c r=\"{cell}\"{style}/>"};
constexpr XmlTemplate kXmlCellValue{"<c r=\"{cell}\"{style}><v>{value}</v></c>"};
constexpr XmlTemplate kXmlCellShared{"<c r=\"{cell}\"{style} t=\"s\"><v>{index}</v></c>"};
constexpr XmlTemplate kXmlCellInline{"<c r=\"{cell}\"{style} t=\"inlineStr\"><is><t{space}>{text}</t></is></c>"};
constexpr std::string_view kPreserveSpace = " xml:space=\"preserve\"";
constexpr XmlTemplate kXmlCellFormula{"<c r=\"{cell}\"{attributes}><f>{formula}</f></c>"};
constexpr XmlTemplate kXmlCellFormulaValue{"<c r=\"{cell}\"{attributes}><f>{formula}</f><v>{value}</v></c>"};
constexpr std::string_view kValueTypeString = " t=\"str\"";
constexpr std::string_view kValueTypeError = " t=\"e\"";
constexpr std::string_view kValueTypeBoolean = " t=\"b\"";
constexpr XmlTemplate kXmlCellTyped{"<c r=\"{cell}\"{style}{type}><v>{value}</v></c>"};
// A formula read from a package, with the attributes of its <f> element as they were.
constexpr XmlTemplate kXmlCellPackageFormula{"<c r=\"{cell}\"{attributes}><f{formula_attributes}>{formula}</f>{value}</c>"};
constexpr XmlTemplate kXmlValue{"<v>{value}</v>"};
constexpr XmlTemplate kSheetProtection{
    "<sheetProtection sheet=\"1\" formatCells=\"0\" formatColumns=\"0\" formatRows=\"0\" insertColumns=\"0\" "
    "insertRows=\"0\" insertHyperlinks=\"0\" deleteColumns=\"0\" deleteRows=\"0\" sort=\"0\" autoFilter=\"0\" "
    "pivotTables=\"0\"{password}/>"};
constexpr XmlTemplate kProtectionPassword{" password=\"{hash}\""};
constexpr XmlTemplate kAutoFilter{"<autoFilter ref=\"{first}:{last}\" />"};
constexpr XmlTemplate kMergeCellsOpen{"<mergeCells count=\"{count}\">"};
constexpr XmlTemplate kMergeCell{"<mergeCell ref=\"{first}:{last}\"/>"};
constexpr std::string_view kMergeCellsClose = "</mergeCells>";
constexpr XmlTemplate kPageMargins{
    "<pageMargins left=\"{left}\" right=\"{right}\" top=\"{top}\" bottom=\"{bottom}\" header=\"{header}\" "
    "footer=\"{footer}\" />"};
constexpr XmlTemplate kPageSetup{
    "<pageSetup paperSize=\"{paper}\" {fit}{scale}orientation=\"{orientation}\" verticalDpi=\"{dpi}\"{printer_settings}/>"};
constexpr XmlTemplate kPrinterSettingsId{" r:id=\"rId{id}\""};
constexpr XmlTemplate kFitToWidth{"fitToWidth=\"{pages}\" "};
constexpr XmlTemplate kFitToHeight{"fitToHeight=\"{pages}\" "};
constexpr XmlTemplate kScale{"scale=\"{percent}\" "};
constexpr std::string_view kLandscape = "landscape", kPortrait = "portrait";
constexpr XmlTemplate kHeaderFooter{"<headerFooter alignWithMargins=\"0\">{header}{footer}</headerFooter>"};
constexpr XmlTemplate kOddHeader{"<oddHeader>{sections}</oddHeader>"};
constexpr XmlTemplate kOddFooter{"<oddFooter>{sections}</oddFooter>"};
constexpr XmlTemplate kFontCode{"{underline}&\"{name},{style}{weight}\"&{size}&K{rgb}"};
constexpr XmlTemplate kRowBreaksOpen{"<rowBreaks count=\"{count}\" manualBreakCount=\"{count}\">"};
constexpr XmlTemplate kRowBreak{"<brk id=\"{row}\" max=\"16383\" man=\"1\" />"};
constexpr std::string_view kRowBreaksClose = "</rowBreaks>";
constexpr XmlTemplate kColBreaksOpen{"<colBreaks count=\"{count}\" manualBreakCount=\"{count}\">"};
constexpr XmlTemplate kColBreak{"<brk id=\"{column}\" max=\"1048575\" man=\"1\"/>"};
constexpr std::string_view kColBreaksClose = "</colBreaks>";
constexpr XmlTemplate kDrawing{"<drawing r:id=\"rId{id}\"/>"};
constexpr XmlTemplate kLegacyDrawing{"<legacyDrawing r:id=\"rId{id}\"/>"};
constexpr XmlTemplate kPicture{"<picture r:id=\"rId{id}\" />"};
constexpr XmlTemplate kTablePartsOpen{"<tableParts count=\"{count}\">"};
constexpr XmlTemplate kTablePart{"<tablePart r:id=\"rId{id}\" />"};
constexpr std::string_view kTablePartsClose = "</tableParts>";

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
constexpr int kMarginDecimals = 6, kRowHeightDecimals = 6, kDefaultRowHeightDecimals = 1, kWidthDecimals = 3;
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

// A cell's A1 name from its column's letters and its row's digits, both made once.
struct CellAt {
    std::string_view letters;
    std::string_view row_digits;
};

// Joined on the stack first, so that a name is one append.
void append_value(std::string &out, CellAt cell) {
    char name[16];
    std::size_t size = cell.letters.copy(name, 3);
    size += cell.row_digits.copy(name + size, sizeof name - size);
    out.append(name, size);
}

// A cell's s="k" attribute; nothing for the default format 0.
struct CellStyle {
    std::uint16_t index;
};

void append_value(std::string &out, CellStyle style) {
    if (style.index > 0) xml_fill<kXmlCellStyle>(out, style.index);
}

// The 1-based row number's digits, made once per row for all its cells.
class RowDigits {
public:
    explicit RowDigits(int row) : end_(std::to_chars(digits_, digits_ + sizeof digits_, row + 1).ptr) {}
    std::string_view view() const { return {digits_, static_cast<std::size_t>(end_ - digits_)}; }

private:
    char digits_[12];
    char *end_;
};

bool written(const Cell &cell) { return !cell.empty() || cell.style > 0; }

// 1 + the last column of the cells that is written, 0 when none is.
int cells_end(std::span<const Cell> cells) {
    for (std::size_t k = cells.size(); k > 0; --k)
        if (written(cells[k - 1])) return static_cast<int>(k);
    return 0;
}
int row_cell_end(const Row &row) { return cells_end(row.cells); }

bool row_has_height(const Row &row) { return row.attributes && row.attributes->height > 0; }
bool row_hidden(const Row &row) { return row.hidden_flag == kFlagYes; }

bool row_styled(const Row &row) { return row.style != kNoRowStyle; }

bool row_has_extra(const Row &row) { return row.attributes && !row.attributes->extra.empty(); }

// A styled row without cells is still written: its format is what new cells in it show. So is
// a row read from a package with attributes of its own (an outline level, say).
bool row_written(const Row &row, int cell_end) {
    return cell_end > 0 || row_has_height(row) || row_hidden(row) || row_styled(row) || row_has_extra(row);
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
        tabsmith::append_value(out, cell.integer());
        if (fraction.size() > 1) out.append(fraction);
        return;
    }
    double part = 0.0;
    auto parsed = std::from_chars(cell.text().data(), cell.text().data() + cell.text().size(), part);
    if (parsed.ec != std::errc() || !std::isfinite(part)) part = 0.0;
    if (cell.integer() >= 0 && part > 0.0 && part < 1.0) {
        // The fixed form of a fraction below 1 keeps every digit of the shortest one.
        char digits[400];
        char *end = std::to_chars(digits, digits + sizeof digits, part, std::chars_format::fixed).ptr;
        tabsmith::append_value(out, cell.integer());
        out.append(digits + 1, static_cast<std::size_t>(end - digits - 1));
        return;
    }
    // A whole day or more, or a day before the epoch: the sum is the value.
    append_value(out, Shortest{static_cast<double>(cell.integer()) + part});
}

// What the cell loop knows about the cell being written.
struct CellPlace {
    CellAt name;
    std::uint16_t row_style = kNoRowStyle;
    int column = 0;
    bool merged_inner = false;    // inside a merged area, not its top-left cell
};

// The cell's own style, else its kind's, else its row's, else its column's.
std::uint16_t cell_style(const Book &book, const Sheet &sheet, const Cell &cell, const CellPlace &place) {
    std::uint16_t style = cell.style;
    // A package's cells name their formats themselves: one without s="k" shows format 0.
    if (book.from_file) return style;
    if (style == 0) style = kind_default_style(cell.kind);
    // A row format covers its cells before a column format does, as spreadsheet programs show it.
    if (style == 0 && place.row_style != kNoRowStyle) style = place.row_style;
    else if (style == 0 && static_cast<std::size_t>(place.column) < sheet.columns.size())
        style = sheet.columns[static_cast<std::size_t>(place.column)].style;
    return style;
}

void write_number_cell(const Cell &cell, CellAt name, CellStyle style, std::string &out) {
    if (is_number_text(cell.text())) xml_fill<kXmlCellValue>(out, name, style, std::string_view(cell.text()));
    else xml_fill<kXmlCellValue>(out, name, style, Shortest{std::isfinite(cell.number()) ? cell.number() : 0.0});
}

// A general value: a number stays a number, anything else is kept as inline text.
void write_text_cell(const Cell &cell, CellAt name, CellStyle style, std::string &out) {
    std::string_view text = cell.text();
    if (is_number_text(text)) {
        xml_fill<kXmlCellValue>(out, name, style, text);
        return;
    }
    bool keep_blanks = !text.empty() && (text.front() == ' ' || text.back() == ' ' || text.front() == '\t' ||
                                         text.back() == '\t');
    xml_fill<kXmlCellInline>(out, name, style, keep_blanks ? kPreserveSpace : ""sv, XmlText{text});
}

// A formula read from a package keeps its own <f> attributes (shared and array formulas) and
// its cached value as long as the save trusts it (RECALC on: computed or untouched).
void write_package_formula_cell(const Book &book, const Cell &cell, const CellExtra &extra, CellAt name,
                                CellStyle style, std::string &out) {
    const bool with_value = cell.kind == kCellFormulaValue && book.settings.recalc;
    // A formula the save computed carries no type of its own: its text tells.
    char type = extra.value_type;
    if (type == 0) {
        type = cell.text().empty() || is_number_text(cell.text()) ? 'n' : is_error_text(cell.text()) ? 'e' : 's';
    }
    std::string_view value_type;
    if (with_value) {
        switch (type) {
        case 's': value_type = kValueTypeString; break;
        case 'b': value_type = kValueTypeBoolean; break;
        case 'e': value_type = kValueTypeError; break;
        default: break;
        }
    }
    auto attributes = [&](std::string &o) {
        append_value(o, style);
        o.append(value_type);
    };
    auto value = [&](std::string &o) {
        if (!with_value) return;
        if (type == 'n' && cell.text().empty()) xml_fill<kXmlValue>(o, Shortest{cell.number()});
        else if (type == 'n') xml_fill<kXmlValue>(o, XmlText{cell.text()});
        else if (type == 'b') xml_fill<kXmlValue>(o, cell.text() == "TRUE" ? "1"sv : "0"sv);
        else xml_fill<kXmlValue>(o, XmlText{cell.text()});
    };
    auto formula_attributes = [&](std::string &o) { o.append(extra.formula_attributes()); };
    const std::string_view text = extra.formula_from_master ? std::string_view() : std::string_view(*cell.formula());
    xml_fill<kXmlCellPackageFormula>(out, name, attributes, formula_attributes, XmlText{text}, value);
}

void write_formula_cell(const Book &book, const Cell &cell, CellAt name, CellStyle style, std::string &out) {
    if (const CellExtra *extra = cell.extra_record(); extra && (extra->value_type != 0 || !extra->formula_attributes().empty())) {
        write_package_formula_cell(book, cell, *extra, name, style, out);
        return;
    }
    std::string_view formula = cell.formula() ? std::string_view(*cell.formula()) : std::string_view();
    bool with_value = cell.kind == kCellFormulaValue && book.settings.recalc;
    std::string_view value_type, value_text;
    double value_number = 0.0;
    if (with_value) {
        if (!cell.text().empty()) {
            value_text = cell.text();
            if (!is_number_text(value_text))
                value_type = is_error_text(value_text) ? kValueTypeError : kValueTypeString;
        } else if (std::isfinite(cell.number())) {
            value_number = cell.number();
        } else {
            with_value = false;
        }
    }
    // The type attribute follows the style attribute.
    auto attributes = [&](std::string &o) {
        append_value(o, style);
        o.append(value_type);
    };
    if (!with_value) {
        xml_fill<kXmlCellFormula>(out, name, attributes, XmlText{formula});
        return;
    }
    auto value = [&](std::string &o) {
        if (!value_type.empty()) append_value(o, XmlText{value_text});
        else if (!value_text.empty()) o.append(value_text);
        else append_value(o, Shortest{value_number});
    };
    xml_fill<kXmlCellFormulaValue>(out, name, attributes, XmlText{formula}, value);
}

int write_cell(const Book &book, const Sheet &sheet, const Cell &cell, const CellPlace &place, std::string &out) {
    if (place.merged_inner && !book.from_file) {
        xml_fill<kXmlCellMerged>(out, place.name, std::max<int>(cell.style, 1));
        return kOk;
    }
    const CellStyle style{cell_style(book, sheet, cell, place)};
    switch (cell.kind) {
    case kCellEmpty: xml_fill<kXmlCellEmpty>(out, place.name, style); return kOk;
    case kCellString:
        xml_fill<kXmlCellShared>(out, place.name, style, cell.sst);
        return kOk;
    case kCellInteger: xml_fill<kXmlCellValue>(out, place.name, style, cell.integer()); return kOk;
    case kCellFloat:
    case kCellPercent: write_number_cell(cell, place.name, style, out); return kOk;
    case kCellDate:
    case kCellDateTime:
    case kCellTimeHm:
    case kCellTimeHms:
        if (book.date1904) {
            // Held in the 1900 system; a 1904 workbook counts from four years later.
            xml_fill<kXmlCellValue>(out, place.name, style, Shortest{cell.number() - kDate1904Offset});
            return kOk;
        }
        xml_fill<kXmlCellValue>(out, place.name, style, [&](std::string &o) { append_serial(o, cell); });
        return kOk;
    case kCellBoolean:
        xml_fill<kXmlCellTyped>(out, place.name, style, kValueTypeBoolean, cell.integer() != 0 ? "1"sv : "0"sv);
        return kOk;
    case kCellError:
        xml_fill<kXmlCellTyped>(out, place.name, style, kValueTypeError, XmlText{cell.text()});
        return kOk;
    case kCellText: write_text_cell(cell, place.name, style, out); return kOk;
    case kCellFormula:
    case kCellFormulaValue: write_formula_cell(book, cell, place.name, style, out); return kOk;
    default: return kFail;
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

    // Whether an area covers the row entered last.
    bool covers_row() const { return !active_.empty(); }

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
    auto tab_colour = [&](std::string &o) {
        if (!settings.tab_color.set()) return;
        const ColorValue &c = settings.tab_color;
        xml_fill<kTabColor>(o, HexRgb{colour_rgb(c.index, Rgb{c.red, c.green, c.blue}), HexCase::kUpper});
    };
    const bool plain = !settings.tab_color.set() && !settings.page.fit_to_page;
    std::string_view fit = settings.page.fit_to_page ? kFitToPage : ""sv;
    if (book.settings.suppress_code_names) {
        if (!plain) xml_fill<kSheetPrUnnamed>(out, tab_colour, fit);
        return;
    }
    auto code_name = [&](std::string &o) {
        if (settings.code_name.empty()) xml_fill<kDefaultCodeName>(o, sheet_number);
        else append_value(o, XmlAttribute{settings.code_name});
    };
    if (plain) xml_fill<kSheetPrEmpty>(out, code_name);
    else xml_fill<kSheetPrNamed>(out, code_name, tab_colour, fit);
}

// A frozen pane whose unfrozen area starts `columns` columns right and `rows` rows down (at
// least one of them positive); `scroll_row` is the first row shown below a row freeze, or the
// row the right-hand area starts at when only columns are frozen.
void append_frozen_pane(int columns, int rows, int scroll_row, std::string &out) {
    out.append(kPaneOpen);
    if (columns > 0) xml_fill<kPaneXSplit>(out, columns);
    if (rows > 0) xml_fill<kPaneYSplit>(out, rows);
    std::string_view active = rows == 0 ? kPaneTopRight : columns == 0 ? kPaneBottomLeft : kPaneBottomRight;
    xml_fill<kPaneTail>(out, CellName{scroll_row, columns}, active);
    // Spreadsheet programs keep one selection per pane beside the frozen corner.
    if (columns > 0 && rows > 0) {
        xml_fill<kPaneSelection>(out, kPaneTopRight);
        xml_fill<kPaneSelection>(out, kPaneBottomLeft);
    }
    xml_fill<kPaneSelection>(out, active);
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
    const int top_row = settings.top_row >= 0 && settings.top_row <= kMaxNameRow ? settings.top_row : -1;

    auto attributes = [&](std::string &o) {
        if (!settings.headings) o.append(kHideHeadings);
        if (split_rows == 0 && top_row >= 0) xml_fill<kViewTopLeft>(o, CellName{top_row, 0});
    };
    auto panes = [&](std::string &o) {
        if (split_rows > 0) {
            // The frozen rows always show from the sheet's top, so the first shown row moves the
            // scrolling area instead of the view.
            append_frozen_pane(split_columns, split_rows, std::max(split_rows, top_row), o);
        } else if (split_columns > 0) {
            append_frozen_pane(split_columns, 0, std::max(top_row, 0), o);
        } else {
            bool chosen = settings.selected_row >= 0 && settings.selected_column >= 0 &&
                          settings.selected_row <= kMaxNameRow && settings.selected_column <= kMaxNameColumn;
            CellName active{chosen ? settings.selected_row : 0, chosen ? settings.selected_column : 0};
            xml_fill<kSelection>(o, active);
        }
    };
    // The view accepts 10% to 400%; anything else would make the part invalid.
    const int zoom = std::clamp(settings.zoom, kMinZoom, kMaxZoom);
    xml_fill<kSheetViews>(out, settings.selected ? "1"sv : "0"sv, zoom, settings.grid_lines ? "1"sv : "0"sv,
                          attributes, panes);
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
            auto style = [&](std::string &o) {
                if (column.style != 0) xml_fill<kColStyle>(o, column.style);
            };
            xml_fill<kColStyled>(out, k + 1, k + 1, Decimals{width, kWidthDecimals}, style,
                                 column.width != 0.0 ? kColCustomWidth : ""sv);
        }
        out.append(kColsClose);
        return;
    }
    if (last_set < 0) return;
    const int count = std::max(last_set + 1, used_columns);
    out.append(kColsOpen);
    for (int k = 0; k < count; ++k) {
        std::size_t index = static_cast<std::size_t>(k);
        double width = index < sheet.columns.size() ? sheet.columns[index].width : 0.0;
        if (width == 0.0) width = kUnsetColumnWidth;
        else if (width < 0.0) width = 0.0;
        xml_fill<kCol>(out, k + 1, k + 1, Decimals{width, kWidthDecimals});
    }
    out.append(kColsClose);
}

// A row's attributes after r= and spans=: format, hidden, height, then those a package gave
// the row that the engine keeps as they were.
void append_row_attributes(const Row &row, std::string &out) {
    if (row_styled(row)) xml_fill<kRowStyle>(out, row.style);
    if (row_has_height(row))
        xml_fill<kRowHeight>(out, row_hidden(row) ? kRowHidden : ""sv,
                             Decimals{row.attributes->height / 100.0, kRowHeightDecimals});
    else if (row_hidden(row))
        out.append(kRowHiddenAttribute);
    if (row_has_extra(row)) out.append(row.attributes->extra);
}

// One row element: `shape` gives the row's own attributes, `cells` its cells.
int write_row(const Book &book, const Sheet &sheet, const Row &shape, std::span<const Cell> cells, int row_index,
              const ColumnNames &columns, MergeCursor &merges, std::string &out) {
    const int cell_end = cells_end(cells);
    if (!row_written(shape, cell_end)) return kOk;
    merges.enter_row(row_index);

    const RowDigits digits(row_index);
    auto attributes = [&](std::string &o) { append_row_attributes(shape, o); };
    // No cells: a span would have to end before it starts, so none is given.
    if (cell_end == 0) xml_fill<kRowOpenNoCells>(out, digits.view(), attributes);
    else xml_fill<kRowOpen>(out, digits.view(), cell_end, attributes);

    CellPlace place;
    place.name.row_digits = digits.view();
    place.row_style = shape.style;
    for (int c = 0; c < cell_end; ++c) {
        const Cell &cell = cells[static_cast<std::size_t>(c)];
        if (!written(cell)) continue;
        place.name.letters = columns[c];
        place.column = c;
        place.merged_inner = merges.inner(row_index, c);
        if (int rc = write_cell(book, sheet, cell, place, out); rc != kOk) return rc;
    }
    out.append(kRowClose);
    return kOk;
}

// Lays the written cells of `from` over `into`, which grows to hold them: moved out of a
// record just read, copied from the row in memory.
void overlay_cells(std::vector<Cell> &into, std::vector<Cell> &&from) {
    if (into.size() < from.size()) into.resize(from.size());
    for (std::size_t c = 0; c < from.size(); ++c)
        if (written(from[c])) into[c] = std::move(from[c]);
}
void overlay_cells(std::vector<Cell> &into, std::span<const Cell> from) {
    if (into.size() < from.size()) into.resize(from.size());
    for (std::size_t c = 0; c < from.size(); ++c)
        if (written(from[c])) into[c] = from[c].clone();
}

// The rows in row order: those in memory merged with those streamed out of it. A streamed row
// comes back from its records in call order, with what the row holds in memory now on top.
// A row `stored` takes is written as the package stored it.
int write_rows(const Book &book, const Sheet &sheet, const ColumnNames &columns, std::string &out, PartSink *sink,
               std::size_t piece_bytes, StoredRowWriter *stored) {
    static const Row kNoRow;
    MergeCursor merges(sheet.merges);
    std::optional<StreamedRowReader> streamed;
    if (sheet.row_file && sheet.row_file->records > 0) streamed.emplace(*sheet.row_file);
    std::vector<Cell> merged, record;

    constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    const std::size_t memory_rows = sheet.rows.size();
    std::size_t r = 0;
    for (;;) {
        const int streamed_row = streamed ? streamed->next_row() : -1;
        const std::size_t from_file = streamed_row >= 0 ? static_cast<std::size_t>(streamed_row) : kNone;
        const std::size_t at = std::min(r < memory_rows ? r : kNone, from_file);
        if (at == kNone) break;
        const Row &row = at < memory_rows ? sheet.rows[at] : kNoRow;
        std::span<const Cell> cells = row.cells;
        if (from_file == at) {
            merged.clear();
            while (streamed->next_row() == streamed_row) {
                if (streamed->read_next(record) != kOk) return kReadError;
                overlay_cells(merged, std::move(record));
            }
            overlay_cells(merged, row.cells);
            cells = merged;
        }
        if (at < memory_rows) r = at + 1;
        if (stored) {
            merges.enter_row(static_cast<int>(at));
            bool taken = false;
            if (int rc = stored->offer(static_cast<int>(at), row, merges.covers_row(), out, sink, piece_bytes, taken);
                rc != kOk)
                return rc;
            if (taken) continue;
        }
        if (int rc = write_row(book, sheet, row, cells, static_cast<int>(at), columns, merges, out); rc != kOk)
            return rc;
        if (sink && out.size() >= piece_bytes)
            if (int rc = hand_over_piece(*sink, out, piece_bytes); rc != kOk) return rc;
    }
    if (stored)
        if (int rc = stored->finish(out, sink, piece_bytes); rc != kOk) return rc;
    return streamed && streamed->failed() ? kReadError : kOk;
}

}  // namespace

int hand_over_piece(PartSink &sink, std::string &out, std::size_t piece_bytes) {
    const int rc = sink.take(out);
    out.clear();
    out.reserve(piece_bytes + piece_bytes / 4);
    return rc;
}

namespace {

void write_protection(const Sheet &sheet, std::string &out) {
    if (!sheet.settings.is_protected) return;
    auto password = [&](std::string &o) {
        if (!sheet.settings.password.empty())
            xml_fill<kProtectionPassword>(o, Hex16{password_hash(sheet.settings.password)});
    };
    xml_fill<kSheetProtection>(out, password);
}

void write_auto_filter(const Sheet &sheet, std::string &out) {
    const SheetSettings &s = sheet.settings;
    if (s.filter_row1 < 0 || s.filter_column1 < 0 || s.filter_row2 < 0 || s.filter_column2 < 0) return;
    xml_fill<kAutoFilter>(out, CellName{s.filter_row1, s.filter_column1}, CellName{s.filter_row2, s.filter_column2});
}

void write_merge_cells(const Sheet &sheet, std::string &out) {
    if (sheet.merges.empty()) return;
    xml_fill<kMergeCellsOpen>(out, sheet.merges.size());
    for (const auto &area : sheet.merges)
        xml_fill<kMergeCell>(out, CellName{std::min(area.row1, area.row2), std::min(area.column1, area.column2)},
                             CellName{std::max(area.row1, area.row2), std::max(area.column1, area.column2)});
    out.append(kMergeCellsClose);
}

// Manual page breaks of one direction: rows or columns.
template <const XmlTemplate &Open, const XmlTemplate &Break>
void write_breaks(const std::vector<int> &breaks, std::string_view close, std::string &out) {
    if (breaks.empty()) return;
    xml_fill<Open>(out, breaks.size());
    for (int at : breaks) xml_fill<Break>(out, at);
    out.append(close);
}

void write_object_references(const SheetObjectCounts &counts, const SheetRelationshipIds &ids, std::string &out) {
    if (counts.drawing) xml_fill<kDrawing>(out, ids.drawing);
    if (counts.comments) xml_fill<kLegacyDrawing>(out, ids.vml_drawing);
    if (counts.background) xml_fill<kPicture>(out, ids.background);
    if (counts.tables > 0) {
        xml_fill<kTablePartsOpen>(out, counts.tables);
        for (int k = 1; k <= counts.tables; ++k) xml_fill<kTablePart>(out, ids.first_table + k);
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
    std::string_view weight = font.name_id == kFontPop                                      ? kWeightHeavy
                              : font.name_id == kFontTextbook || font.name_id == kFontBrush ? kWeightMedium
                                                                                            : ""sv;
    bool underline = (font.style & (kFontUnderline | kFontHyperlink)) != 0;
    xml_fill<kFontCode>(out, underline ? kUnderlineCode : ""sv, name, style, weight, font.size,
                        HexRgb{colour_rgb(font.colour, font.rgb), HexCase::kUpper});
}

// The section text of a header or footer before escaping, empty when no section is set.
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
    return joined;
}

}  // namespace

void write_page_margins(const PageSetup &page, std::string &out) {
    auto inches = [](double centimetres) { return Decimals{centimetres * kCentimetresToInches, kMarginDecimals}; };
    xml_fill<kPageMargins>(out, inches(page.left), inches(page.right), inches(page.top), inches(page.bottom),
                           inches(page.header), inches(page.footer));
}

void write_page_setup(const PageSetup &page, int printer_settings_id, std::string &out) {
    int paper = kDefaultPaperSize;
    for (const auto &entry : kPaperSizes)
        if (entry.index == page.paper) paper = entry.size;
    // A direction fitted alone leaves the other as long as it needs (0): left out, the file
    // format's default of 1 would squeeze the whole sheet onto one page.
    auto fit = [&](std::string &o) {
        if (page.fit_width <= 0 && page.fit_height <= 0) return;
        xml_fill<kFitToWidth>(o, std::max(page.fit_width, 0));
        xml_fill<kFitToHeight>(o, std::max(page.fit_height, 0));
    };
    auto scale = [&](std::string &o) {
        if (page.fit_width <= 0 && page.fit_height <= 0) xml_fill<kScale>(o, page.scale);
    };
    auto printer_settings = [&](std::string &o) {
        if (printer_settings_id > 0) xml_fill<kPrinterSettingsId>(o, printer_settings_id);
    };
    xml_fill<kPageSetup>(out, paper, fit, scale, page.landscape ? kLandscape : kPortrait, page.dpi, printer_settings);
}

void tsx_write_page_setup(const PageSetup &page, int printer_settings_id, std::string &out) {
    write_page_margins(page, out);
    write_page_setup(page, printer_settings_id, out);
}

int tsx_write_header_footer(const Sheet &sheet, std::span<const FontRecord> fonts, std::string &out) {
    const std::string header = sections_text(sheet.settings.header, fonts);
    const std::string footer = sections_text(sheet.settings.footer, fonts);
    if (header.empty() && footer.empty()) return kOk;
    auto odd_header = [&](std::string &o) {
        if (!header.empty()) xml_fill<kOddHeader>(o, XmlText{header});
    };
    auto odd_footer = [&](std::string &o) {
        if (!footer.empty()) xml_fill<kOddFooter>(o, XmlText{footer});
    };
    xml_fill<kHeaderFooter>(out, odd_header, odd_footer);
    return kOk;
}

int tsx_write_cell(const Book &book, int sheet_index, int row, int column, std::string &out) {
    const Sheet *sheet = book.sheet(sheet_index);
    if (!sheet || row < 0 || column < 0 || static_cast<std::size_t>(row) >= sheet->rows.size()) return kFail;
    const Row &r = sheet->rows[static_cast<std::size_t>(row)];
    if (static_cast<std::size_t>(column) >= r.cells.size()) return kFail;
    const Cell &cell = r.cells[static_cast<std::size_t>(column)];
    if (!written(cell)) return kOk;
    const RowDigits digits(row);
    const std::string letters = column_letters(column);
    CellPlace place;
    place.name = CellAt{letters, digits.view()};
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

SheetExtent sheet_extent(const Sheet &sheet) {
    SheetExtent extent;
    for (std::size_t r = 0; r < sheet.rows.size(); ++r) {
        int cell_end = row_cell_end(sheet.rows[r]);
        if (!row_written(sheet.rows[r], cell_end)) continue;
        extent.last_row = static_cast<int>(r);
        extent.last_column = std::max(extent.last_column, cell_end - 1);
        extent.cells += static_cast<std::size_t>(cell_end);
    }
    // Streamed records count their slots up to the last cell written when they were streamed.
    if (const SheetRowFile *file = sheet.row_file.get(); file && file->slots > 0) {
        extent.last_row = std::max(extent.last_row, file->last_row_with_cells);
        extent.last_column = std::max(extent.last_column, file->most_slots - 1);
        extent.cells += file->slots;
    }
    return extent;
}

void write_dimension(const SheetExtent &extent, std::string &out) {
    xml_fill<kDimension>(out, CellName{extent.last_row, extent.last_column});
}

int write_sheet_data(const Book &book, const Sheet &sheet, const SheetExtent &extent, std::string &out,
                     PartSink *sink, std::size_t piece_bytes, StoredRowWriter *stored) {
    out.append(kSheetDataOpen);
    const ColumnNames columns(extent.last_column + 1);
    if (int rc = write_rows(book, sheet, columns, out, sink, piece_bytes, stored); rc != kOk) return rc;
    out.append(kSheetDataClose);
    return kOk;
}

int write_sheet_element(const Sheet &sheet, SheetElement element, const SheetElementContext &context,
                        std::string &out) {
    const SheetSettings &settings = sheet.settings;
    switch (element) {
    case SheetElement::kSheetPr: write_sheet_pr(context.book, sheet, context.sheet_number, out); break;
    case SheetElement::kSheetViews: write_sheet_views(sheet, out); break;
    case SheetElement::kSheetFormatPr:
        xml_fill<kSheetFormatPr>(out, Decimals{settings.default_row_height / 100.0, kDefaultRowHeightDecimals});
        break;
    case SheetElement::kCols: write_cols(sheet, context.used_columns, out); break;
    case SheetElement::kSheetProtection: write_protection(sheet, out); break;
    case SheetElement::kAutoFilter: write_auto_filter(sheet, out); break;
    case SheetElement::kMergeCells: write_merge_cells(sheet, out); break;
    case SheetElement::kPageMargins: write_page_margins(settings.page, out); break;
    case SheetElement::kPageSetup: write_page_setup(settings.page, context.printer_settings_id, out); break;
    case SheetElement::kHeaderFooter: return tsx_write_header_footer(sheet, context.book.styles.fonts(), out);
    case SheetElement::kRowBreaks:
        write_breaks<kRowBreaksOpen, kRowBreak>(settings.row_breaks, kRowBreaksClose, out);
        break;
    case SheetElement::kColBreaks:
        write_breaks<kColBreaksOpen, kColBreak>(settings.column_breaks, kColBreaksClose, out);
        break;
    }
    return kOk;
}

int tsx_write_worksheet(const Book &book, int sheet_index, std::string &out, PartSink *sink, std::size_t piece_bytes) {
    const Sheet *found = book.sheet(sheet_index);
    if (!found) return kFail;
    const Sheet &sheet = *found;

    // The used area, for the dimension and the column count.
    const SheetExtent extent = sheet_extent(sheet);
    // A cell rarely takes more than 48 bytes; reserving that much up front spares the copy of a
    // grown string, and pages that end up unused are never touched.
    if (sink) out.reserve(piece_bytes + piece_bytes / 4);
    else out.reserve(out.size() + 4096 + extent.cells * 48 + static_cast<std::size_t>(extent.last_row) * 48);

    const SheetObjectCounts counts = sheet_object_counts(book, sheet_index);
    const SheetRelationshipIds ids = sheet_relationship_ids(counts);
    SheetElementContext context{book};
    context.sheet_number = sheet_index + 1;
    context.used_columns = extent.last_column + 1;
    context.printer_settings_id = ids.printer_settings;
    auto element = [&](SheetElement which) { return write_sheet_element(sheet, which, context, out); };

    out.append(kXmlDeclaration);
    out.append(kWorksheetStartTag);
    element(SheetElement::kSheetPr);
    write_dimension(extent, out);
    for (SheetElement which : {SheetElement::kSheetViews, SheetElement::kSheetFormatPr, SheetElement::kCols})
        element(which);
    if (int rc = write_sheet_data(book, sheet, extent, out, sink, piece_bytes); rc != kOk) return rc;
    for (SheetElement which : {SheetElement::kSheetProtection, SheetElement::kAutoFilter, SheetElement::kMergeCells})
        if (int rc = element(which); rc != kOk) return rc;
    write_hyperlinks(book, sheet, sheet_index, ids.first_hyperlink, out);
    for (SheetElement which : {SheetElement::kPageMargins, SheetElement::kPageSetup, SheetElement::kHeaderFooter,
                               SheetElement::kRowBreaks, SheetElement::kColBreaks})
        if (int rc = element(which); rc != kOk) return rc;
    write_object_references(counts, ids, out);
    write_sparkline_ext(book, sheet_index, out);
    out.append(kWorksheetEndTag);
    return kOk;
}

std::uint64_t worksheet_part_bound(const Book &book, int sheet_index) {
    if (sheet_index < 0 || sheet_index >= book.sheet_count()) return 0;
    const Sheet *sheet = book.sheets[static_cast<std::size_t>(sheet_index)].get();
    // Fixed elements and settings take far less than this; a column, cell or row element's
    // markup stays under 128 (160) bytes, and escaping makes a text byte at most seven ("_xHHHH_").
    constexpr std::uint64_t kFixed = 1u << 20, kPerRow = 160, kPerCell = 128, kPerTextByte = 7;
    std::uint64_t bound = kFixed + sheet->columns.size() * 128 + sheet->merges.size() * 64 +
                          sheet->settings.row_breaks.size() * 64 + sheet->settings.column_breaks.size() * 64 +
                          hyperlinks_bound(book, *sheet, sheet_index);
    if (const SheetRowFile *file = sheet->row_file.get()) {
        // The records hold every text in full; a slot takes at least its 16-byte header.
        bound += kPerTextByte * file->size + (kPerRow + kPerCell) * file->records +
                 kPerCell * (file->size / kCellRecordBytes);
    }
    for (const Row &row : sheet->rows) {
        bound += kPerRow + kPerCell * row.cells.size();
        if (row.attributes) bound += row.attributes->extra.size();
        // Texts and formulas live in the few cells' extra records.
        for (const Cell &cell : row.cells) {
            const CellExtra *extra = cell.extra_record();
            if (!extra) continue;
            bound += kPerTextByte * extra->text.size() + extra->formula_attributes().size();
            if (const std::string *formula = extra->formula()) bound += kPerTextByte * formula->size();
        }
    }
    return bound;
}

}  // namespace tabsmith
