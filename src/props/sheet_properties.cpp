// Validates book, sheet and print statements and stores them in Book and SheetSettings, where
// the package and worksheet writers pick them up at save time.

#include "props/sheet_properties.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "support/files.h"
#include "model/address.h"
#include "props/cell_format.h"
#include "props/colour.h"
#include "props/picture_properties.h"
#include "support/charset.h"
#include "support/files.h"

namespace tabsmith {
namespace {

constexpr std::string_view kBookExtension = ".xlsx";
constexpr std::string_view kMacroBookExtension = ".xlsm";
constexpr std::size_t kSheetNameChars = 31;      // what a workbook accepts
constexpr std::size_t kSheetNameCutChars = 29;   // the cut the sheet options make
constexpr int kMaxFitPages = 32767;
constexpr int kMinScale = 10, kMaxScale = 400;

std::string text(std::string_view value) { return std::string(value); }

int too_long(Book &book, std::string_view value, std::size_t limit) {
    return book.err.raise(kBadArgument, Msg::k02210, text(value).c_str(), static_cast<int>(limit));
}

int unsupported(Book &book, std::string_view value) {
    return book.err.raise(kBadArgument, Msg::k02200, text(value).c_str());
}
int bad_number(Book &book, std::string_view value) {
    return book.err.raise(kBadArgument, Msg::k02302, text(value).c_str());
}

// A TRUE/FALSE statement: sets `setting` or fails naming the value.
int store_switch(Book &book, std::string_view value, bool &setting) {
    int on = parse_switch(value);
    if (on == kNotASwitch) return unsupported(book, value);
    setting = on == 1;
    return 0;
}

int store_text(Book &book, std::string_view value, std::size_t limit, std::string &setting) {
    if (value.size() > limit) return too_long(book, value, limit);
    setting.assign(value);
    return 0;
}

bool ends_with_ignore_case(std::string_view value, std::string_view tail) {
    return value.size() >= tail.size() && equals_ignore_case(value.substr(value.size() - tail.size()), tail);
}

int apply_book_name(Book &book, std::string_view value) {
    // A macro book keeps its macro-enabled extension; a workbook program refuses macros
    // behind ".xlsx".
    std::string_view extension = book.macro ? kMacroBookExtension : kBookExtension;
    std::string name(value);
    if (name.size() < 6 || !ends_with_ignore_case(name, extension)) name.append(extension);
    if (name.size() > kBookPathBytes) return book.err.raise(kBadArgument, Msg::k00005);
    book.file_name = std::move(name);
    return 0;
}

// Recognises a JPEG by its signature. 0, or kBadArgument with TXLS-03102 (unreadable) or TXLS-03190.
int check_jpeg(Book &book, const std::string &path, std::string_view value) {
    FilePtr file = aod_open(1, path, kAodRead);
    if (!file) return book.err.raise(kBadArgument, Msg::k03102, text(value).c_str());
    unsigned char head[3] = {};
    std::int64_t got = aod_read(file.get(), head, sizeof head);
    aod_close(file);
    if (got < 0) return book.err.raise(kBadArgument, Msg::k03102, text(value).c_str());
    if (got < 3 || head[0] != 0xFF || head[1] != 0xD8 || head[2] != 0xFF)
        return book.err.raise(kBadArgument, Msg::k03190, text(value).c_str());
    return 0;
}

int apply_thumbnail(Book &book, std::string_view value) {
    if (value.size() > kBookPathBytes) return book.err.raise(kBadArgument, Msg::k00005);
    std::string path = working_path(value);
    if (int rc = check_jpeg(book, path, value); rc != 0) return rc;
    book.settings.thumbnail_path = std::move(path);
    return 0;
}

// Cuts a sheet name over the workbook's length the way the sheet options do, so that both
// name the same sheet.
std::string workbook_sheet_name(std::string_view value) {
    std::string name(value);
    if (utf8_length(name) > kSheetNameChars) name.resize(utf8_prefix_bytes(name, kSheetNameCutChars));
    return name;
}

int apply_sheet_name(Book &book, std::string_view value) {
    if (int found = find_sheet(book, value); found >= 0) {
        book.current_sheet = found;
        return 0;
    }
    if (book.from_file) return book.err.raise(kBadArgument, Msg::k03002, text(value).c_str());
    if (value.size() > kSheetNameBytes) return book.err.raise(kBadArgument, Msg::k00005);
    std::string name = workbook_sheet_name(value);
    if (int found = find_sheet(book, name); found >= 0) {
        book.current_sheet = found;
        return 0;
    }
    if (int rc = check_new_sheet_name(book, name); rc != 0) return rc;
    int index = add_current_sheet(book, name);
    return index < 0 ? index : 0;
}

// A whole number in the statement number form; false for anything else.
bool whole_number(std::string_view value, long long &number) {
    double parsed = 0;
    if (!parse_number_form(value, parsed) || parsed != std::floor(parsed) || std::fabs(parsed) > 1e15) return false;
    number = static_cast<long long>(parsed);
    return true;
}

// Integer part of a statement number, kept within int.
bool integer_part(std::string_view value, int &number) {
    double parsed = 0;
    if (!parse_number_form(value, parsed)) return false;
    parsed = std::trunc(parsed);
    parsed = std::clamp(parsed, static_cast<double>(std::numeric_limits<int>::min()),
                        static_cast<double>(std::numeric_limits<int>::max()));
    number = static_cast<int>(parsed);
    return true;
}

int apply_frozen(Book &book, Sheet &sheet, std::string_view value, FrozenPane pane) {
    int on = parse_switch(value);
    if (on == kNotASwitch) return unsupported(book, value);
    SheetSettings &s = sheet.settings;
    if (on == 1) {
        s.frozen = pane;
        s.split_row = s.split_column = -1;
    } else {
        s.frozen = FrozenPane::kNone;
    }
    return 0;
}

int apply_frozen_split(Book &book, Sheet &sheet, std::string_view value) {
    int row = 0, column = 0;
    if (value.find('*') != std::string_view::npos || parse_cell_name(value, row, column) != 0 ||
        row >= book.max_rows || column >= book.max_columns)
        return book.err.raise(kBadArgument, Msg::k02506, text(value).c_str());
    sheet.settings.frozen = FrozenPane::kNone;
    sheet.settings.split_row = row;
    sheet.settings.split_column = column;
    return 0;
}

int apply_tab_colour(Book &book, Sheet &sheet, std::string_view value) {
    Colour colour;
    if (parse_colour(value, colour) != ColourParse::kColour)
        return book.err.raise(kBadArgument, Msg::k02401, text(value).c_str());
    ColorValue &tab = sheet.settings.tab_color;
    // Index 0 would mean "no tab colour"; black is kept as its explicit bytes instead.
    tab.index = colour.index == 0 ? kColorRgb : colour.index;
    tab.red = colour.rgb.red;
    tab.green = colour.rgb.green;
    tab.blue = colour.rgb.blue;
    return 0;
}

constexpr PaperName kPapers[] = {
    {"A0", 0}, {"A1", 1}, {"A2", 2}, {"A3", 3}, {"A4", 4}, {"A5", 5},
    {"B1", 11}, {"B2", 12}, {"B3", 13}, {"B4", 14}, {"B5", 15},
};
constexpr int kDefaultPaper = 4;

}  // namespace

std::span<const PaperName> paper_names() { return kPapers; }

namespace {

int apply_paper_size(Sheet &sheet, std::string_view value) {
    int paper = kDefaultPaper;
    for (const auto &entry : kPapers)
        if (equals_ignore_case(value, entry.name)) paper = entry.index;
    sheet.settings.page.paper = paper;
    return 0;
}

int apply_margin(Book &book, Sheet &sheet, int id, std::string_view value) {
    double centimetres = 0;
    if (!parse_number_form(value, centimetres) || centimetres < 0) return bad_number(book, value);
    PageSetup &page = sheet.settings.page;
    switch (id) {
    case kPropMarginTop: page.top = centimetres; break;
    case kPropMarginBottom: page.bottom = centimetres; break;
    case kPropMarginLeft: page.left = centimetres; break;
    case kPropMarginRight: page.right = centimetres; break;
    case kPropMarginHeader: page.header = centimetres; break;
    default: page.footer = centimetres; break;
    }
    return 0;
}

int apply_page_fit(Book &book, Sheet &sheet, int id, std::string_view value) {
    long long pages = 0;
    if (!whole_number(value, pages) || pages < 1 || pages > kMaxFitPages)
        return book.err.raise(kBadArgument, Msg::k02507, text(value).c_str());
    PageSetup &page = sheet.settings.page;
    (id == kPropPageFitVertical ? page.fit_height : page.fit_width) = static_cast<int>(pages);
    page.fit_to_page = true;
    return 0;
}

// The section a header/footer id names, and which of its parts (0 = text, 1..4 = font name,
// size, style, colour).
HeaderFooterSection *section_of(Sheet &sheet, int id, int &part) {
    static constexpr int kBases[] = {kPropHeaderLeft, kPropHeaderRight, kPropHeaderCenter,
                                     kPropFooterLeft, kPropFooterRight, kPropFooterCenter};
    static constexpr int kPlaces[] = {0, 2, 1};  // left, right, centre -> section slots
    for (int k = 0; k < 6; ++k) {
        if (id < kBases[k] || id > kBases[k] + 4) continue;
        part = id - kBases[k];
        auto &sections = k < 3 ? sheet.settings.header : sheet.settings.footer;
        return &sections[kPlaces[k % 3]];
    }
    return nullptr;
}

int apply_header_footer(Book &book, Sheet &sheet, int id, std::string_view value) {
    int part = 0;
    HeaderFooterSection *section = section_of(sheet, id, part);
    if (!section) return book.err.raise(kFail, Msg::k03600, "apply_sheet_property() section");
    if (part == 0) {
        section->text = translate_field_codes(value);
        section->set = true;
        return 0;
    }
    static constexpr int kMasks[] = {kFontMaskName, kFontMaskSize, kFontMaskStyle, kFontMaskColour};
    const auto &fonts = book.styles.fonts();
    FontRecord font = section->font >= 0 && static_cast<std::size_t>(section->font) < fonts.size()
                          ? fonts[static_cast<std::size_t>(section->font)]
                          : FontRecord{};
    if (int rc = read_font_value(book, kMasks[part - 1], value, font); rc != 0) return rc;
    int found = book.styles.find_font(font);
    if (found < 0) {
        if (int rc = tsx_set_font(book, font); rc != 0) return rc;
        found = static_cast<int>(book.styles.fonts().size() - 1);
    }
    section->font = found;
    return 0;
}

bool all_digits(std::string_view value) {
    return !value.empty() && std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A row number 1..limit, digits only.
bool row_number(std::string_view value, int limit, int &row) {
    if (!all_digits(value) || value.size() > 8) return false;
    int number = std::stoi(std::string(value));
    if (number < 1 || number > limit) return false;
    row = number;
    return true;
}

// One to three letters naming a column within the book's limit; 1-based.
bool column_number(std::string_view value, int limit, int &column) {
    if (value.empty() || value.size() > 3) return false;
    int number = 0;
    for (char c : value) {
        char upper = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
        if (upper < 'A' || upper > 'Z') return false;
        number = number * 26 + (upper - 'A' + 1);
    }
    if (number > limit) return false;
    column = number;
    return true;
}

int apply_title_rows(Book &book, Sheet &sheet, std::string_view value) {
    int first = 0, last = 0;
    std::size_t colon = value.find(':');
    bool ok = colon == std::string_view::npos
                  ? row_number(value, book.max_rows, first) && (last = first, true)
                  : row_number(value.substr(0, colon), book.max_rows, first) &&
                        row_number(value.substr(colon + 1), book.max_rows, last);
    if (!ok) return book.err.raise(kBadArgument, Msg::k02504, text(value).c_str());
    sheet.settings.title_row1 = std::min(first, last);
    sheet.settings.title_row2 = std::max(first, last);
    return 0;
}

int apply_title_columns(Book &book, Sheet &sheet, std::string_view value) {
    int first = 0, last = 0;
    std::size_t colon = value.find(':');
    bool ok = colon == std::string_view::npos
                  ? column_number(value, book.max_columns, first) && (last = first, true)
                  : column_number(value.substr(0, colon), book.max_columns, first) &&
                        column_number(value.substr(colon + 1), book.max_columns, last);
    if (!ok) return book.err.raise(kBadArgument, Msg::k02505, text(value).c_str());
    sheet.settings.title_column1 = std::min(first, last);
    sheet.settings.title_column2 = std::max(first, last);
    return 0;
}

int apply_scroll_row(Book &book, Sheet &sheet, std::string_view value) {
    // The statement is accepted whatever it says; a row number is kept as the first row shown.
    int row = 0;
    if (row_number(value, book.max_rows, row)) sheet.settings.top_row = row - 1;
    return 0;
}

int apply_to_sheet(Book &book, Sheet &sheet, int id, std::string_view value) {
    SheetSettings &s = sheet.settings;
    switch (id) {
    case kPropSheetZoom: {
        int zoom = 0;
        if (!integer_part(value, zoom)) return bad_number(book, value);
        s.zoom = zoom;
        return 0;
    }
    case kPropSheetHidden: return store_switch(book, value, s.hidden);
    case kPropSheetPassword:
        if (int rc = store_text(book, value, kPasswordBytes, s.password); rc != 0) return rc;
        s.is_protected = true;
        return 0;
    case kPropSheetProtect: return store_switch(book, value, s.is_protected);
    case kPropSheetHiddenGrid:
    case kPropSheetHiddenHeader: {
        bool hidden = false;
        if (int rc = store_switch(book, value, hidden); rc != 0) return rc;
        (id == kPropSheetHiddenGrid ? s.grid_lines : s.headings) = !hidden;
        return 0;
    }
    case kPropSheetFrozenTop: return apply_frozen(book, sheet, value, FrozenPane::kFirstRow);
    case kPropSheetFrozenLeft: return apply_frozen(book, sheet, value, FrozenPane::kFirstColumn);
    case kPropSheetFrozenSplit: return apply_frozen_split(book, sheet, value);
    case kPropSheetScrollRow: return apply_scroll_row(book, sheet, value);
    case kPropSheetTabColor: return apply_tab_colour(book, sheet, value);
    case kPropPaperSize: return apply_paper_size(sheet, value);
    case kPropPaperOrientation:
        s.page.landscape = equals_ignore_case(value, "LANDSCAPE") || value == "横";
        return 0;
    case kPropPaperScale: {
        int scale = 0;
        if (!integer_part(value, scale) || scale < kMinScale || scale > kMaxScale) return bad_number(book, value);
        s.page.scale = scale;
        return 0;
    }
    case kPropPaperDpi: {
        int dpi = 0;
        if (!integer_part(value, dpi) || dpi < 1) return bad_number(book, value);
        s.page.dpi = dpi;
        return 0;
    }
    case kPropMarginTop:
    case kPropMarginBottom:
    case kPropMarginLeft:
    case kPropMarginRight:
    case kPropMarginHeader:
    case kPropMarginFooter: return apply_margin(book, sheet, id, value);
    case kPropPageFitVertical:
    case kPropPageFitHorizontal: return apply_page_fit(book, sheet, id, value);
    case kPropPrintTitleRow: return apply_title_rows(book, sheet, value);
    case kPropPrintTitleColumn: return apply_title_columns(book, sheet, value);
    default:
        if (id >= kPropHeaderLeft && id <= kPropFooterCenter + 4) return apply_header_footer(book, sheet, id, value);
        return book.err.raise(kFail, Msg::k03600, "apply_sheet_property()");
    }
}

}  // namespace

std::string translate_field_codes(std::string_view value) {
    struct Code {
        std::string_view from, to;
    };
    static constexpr Code kCodes[] = {
        {"&[PATH]", "&Z"},    {"&[パス]", "&Z"},    {"&[FILE_NAME]", "&F"}, {"&[SHEET_NAME]", "&A"},
        {"&[PAGE_NO]", "&P"}, {"&[PAGE_TOTAL]", "&N"}, {"&[DATE]", "&D"},   {"&[TIME]", "&T"},
    };
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size();) {
        bool replaced = false;
        if (value[i] == '&') {
            for (const auto &code : kCodes) {
                if (value.size() - i >= code.from.size() && equals_ignore_case(value.substr(i, code.from.size()), code.from)) {
                    out.append(code.to);
                    i += code.from.size();
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced) out.push_back(value[i++]);
    }
    return out;
}

int apply_sheet_property(Book &book, int id, const PropertyTarget &target, std::string_view value) {
    BookSettings &settings = book.settings;
    switch (id) {
    case kPropBookName: return apply_book_name(book, value);
    case kPropBookCompany: return store_text(book, value, kDocumentTextBytes, book.company);
    case kPropBookCreator: return store_text(book, value, kDocumentTextBytes, book.author);
    case kPropBookManager: return store_text(book, value, kDocumentTextBytes, settings.manager);
    case kPropBookTitle: return store_text(book, value, kDocumentTitleBytes, settings.title);
    case kPropBookSubject: return store_text(book, value, kDocumentTitleBytes, settings.subject);
    case kPropTemplate: return load_template(book, value);
    case kPropBookWritePassword: return store_text(book, value, kPasswordBytes, settings.write_password);
    case kPropBookRecalc: return store_switch(book, value, settings.recalc);
    case kPropBookBackup: return store_switch(book, value, settings.backup);
    case kPropBookFinal: return store_switch(book, value, settings.final);
    case kPropBookThumbnailPath: return apply_thumbnail(book, value);
    case kPropSheetName: return apply_sheet_name(book, value);
    case kPropSheetOrder:
        if (equals_ignore_case(value, "ASC") || value == "正") settings.descending_order = false;
        else if (equals_ignore_case(value, "DESC") || value == "逆") settings.descending_order = true;
        else return unsupported(book, value);
        return 0;
    default: break;
    }
    const int sheet_index = target.sheet >= 0 ? target.sheet : book.current_sheet;
    Sheet *sheet = book.sheet(sheet_index);
    if (!sheet) return book.err.raise(kFail, Msg::k03600, "apply_sheet_property() sheet");
    if (id == kPropSheetBackgroundPath) return place_sheet_background(book, sheet_index, value);
    return apply_to_sheet(book, *sheet, id, value);
}

}  // namespace tabsmith
