// One worksheet part: rows and cells into the store (values, formulas with their cached
// results, styles), the settings the engine models, and the sheet's other XML kept for a save.

#include <algorithm>
#include <charconv>
#include <cmath>

#include "format/number_format.h"
#include "format/serial.h"
#include "readers/xlsx_parts.h"
#include "readers/xml_scanner.h"

namespace tabsmith {

namespace {

template <typename T>
bool parse_number(std::string_view text, T &value) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

bool is_true(std::string_view value) { return value == "1" || value == "true"; }

// "B12" -> row 11, column 1 (0-based); false for anything else.
bool parse_a1(std::string_view name, int &row, int &column) {
    std::size_t i = 0;
    int col = 0;
    while (i < name.size() && i < 3 && name[i] >= 'A' && name[i] <= 'Z') col = col * 26 + (name[i++] - 'A' + 1);
    if (i == 0 || i == name.size()) return false;
    int number = 0;
    if (!parse_number(name.substr(i), number) || number < 1) return false;
    row = number - 1;
    column = col - 1;
    return true;
}

// "A1:C3" (or a single cell) as a merged area.
bool parse_area(std::string_view ref, MergeArea &area) {
    std::size_t colon = ref.find(':');
    std::string_view first = ref.substr(0, colon);
    std::string_view last = colon == std::string_view::npos ? first : ref.substr(colon + 1);
    if (!parse_a1(first, area.row1, area.column1) || !parse_a1(last, area.row2, area.column2)) return false;
    if (area.row1 > area.row2) std::swap(area.row1, area.row2);
    if (area.column1 > area.column2) std::swap(area.column1, area.column2);
    return true;
}

// "2024-03-15T10:30:00" (date, time or both) as a serial of the 1900 system.
bool parse_iso_serial(std::string_view text, double &serial) {
    int year = 1899, month = 12, day = 31, hour = 0, minute = 0;
    double second = 0.0;
    std::size_t t = text.find('T');
    std::string_view date = t == std::string_view::npos ? text : text.substr(0, t);
    std::string_view time = t == std::string_view::npos ? std::string_view() : text.substr(t + 1);
    if (date.find(':') != std::string_view::npos) {
        time = date;
        date = {};
    }
    if (!date.empty()) {
        if (date.size() < 10 || date[4] != '-' || date[7] != '-' || !parse_number(date.substr(0, 4), year) ||
            !parse_number(date.substr(5, 2), month) || !parse_number(date.substr(8, 2), day))
            return false;
    }
    if (!time.empty()) {
        while (!time.empty() && (time.back() == 'Z')) time.remove_suffix(1);
        if (time.size() < 5 || time[2] != ':' || !parse_number(time.substr(0, 2), hour) ||
            !parse_number(time.substr(3, 2), minute))
            return false;
        if (time.size() > 6 && !parse_number(time.substr(6), second)) return false;
    }
    serial = static_cast<double>(date_to_serial_days(year, month, day)) +
             (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
    return true;
}

// Everything one <c> element holds, gathered until its end tag.
struct CellParts {
    int row = 0, column = 0;
    std::uint16_t style = 0;
    std::string_view type;
    std::string_view value;          // raw text of <v>
    bool has_value = false;
    bool has_formula = false;
    std::string formula;             // decoded text of <f>
    std::string formula_attributes;  // attributes of <f> as written
    std::string inline_text;         // decoded text of <is>
};

enum class Inside { kNone, kValue, kFormula, kInlineText };

class WorksheetReader {
public:
    WorksheetReader(Book &book, Sheet &sheet, std::string_view text, SheetSource *source)
        : book_(book), sheet_(sheet), text_(text), source_(source), scanner_(text) {
        const auto &xfs = book.styles.xfs();
        categories_.reserve(xfs.size() + 1);
        categories_.push_back(kCategoryGeneral);
        for (const XfRecord &xf : xfs) categories_.push_back(category_of(xf));
    }

    int run();

private:
    int category_of(const XfRecord &xf) const {
        int id = static_cast<int>(xf.format);
        if (xf.format_mode == kFormatTable) {
            const auto &formats = book_.styles.num_formats();
            id = xf.format >= 1 && xf.format <= formats.size() ? formats[xf.format - 1].assigned_id : 0;
        } else if (xf.format_mode != kFormatBuiltin) {
            return kCategoryGeneral;
        }
        // Id 49 is the text format "@": its numbers are numbers, not times.
        return id == 49 ? kCategoryGeneral : value_category(book_, id);
    }

    void start_in_sheet(std::string_view name);
    int start_in_data(std::string_view name);
    int end_in_data(std::string_view name);
    int store_cell();
    // `own_system`: the text is a serial of the book's date system (else of the 1900 one).
    void store_number(Cell &cell, std::string_view text, int category, bool own_system = true);

    Book &book_;
    Sheet &sheet_;
    std::string_view text_;
    SheetSource *source_;
    XmlScanner scanner_;
    std::vector<int> categories_;   // value category of each style reference
    bool in_data_ = false;
    int row_ = -1;                  // the current row, 0-based
    int next_column_ = 0;
    CellParts cell_;
    Inside inside_ = Inside::kNone;
    int phonetic_depth_ = 0;
    std::size_t element_begin_ = 0;
};

int WorksheetReader::run() {
    for (XmlToken token; (token = scanner_.next()) != XmlToken::kEndOfInput;) {
        switch (token) {
        case XmlToken::kStart:
            if (in_data_) {
                if (int rc = start_in_data(scanner_.local_name()); rc != kOk) return rc;
            } else if (scanner_.depth() == 1) {
                if (source_) source_->root_start_tag.assign(text_.substr(scanner_.token_begin(),
                                                                         scanner_.token_end() - scanner_.token_begin()));
            } else {
                if (scanner_.depth() == 2) {
                    element_begin_ = scanner_.token_begin();
                    if (scanner_.local_name() == "sheetData") {
                        in_data_ = !scanner_.self_closing();
                        continue;
                    }
                }
                start_in_sheet(scanner_.local_name());
            }
            break;
        case XmlToken::kEnd:
            if (in_data_ && scanner_.depth() >= 2) {
                if (int rc = end_in_data(scanner_.local_name()); rc != kOk) return rc;
            } else if (scanner_.depth() == 1) {
                in_data_ = false;
                if (source_ && scanner_.local_name() != "sheetData")
                    source_->elements.push_back(
                        {std::string(scanner_.local_name()),
                         std::string(text_.substr(element_begin_, scanner_.token_end() - element_begin_))});
            }
            break;
        case XmlToken::kText:
            if (!in_data_ || inside_ == Inside::kNone) break;
            if (inside_ == Inside::kValue) {
                // A value is one text run; split runs (a comment inside <v>) are joined.
                if (cell_.has_value && !cell_.value.empty()) {
                    cell_.inline_text.assign(cell_.value);
                    cell_.inline_text.append(scanner_.text());
                    cell_.value = cell_.inline_text;
                } else {
                    cell_.value = scanner_.text();
                }
                cell_.has_value = true;
            } else if (inside_ == Inside::kFormula) {
                if (scanner_.cdata()) cell_.formula.append(scanner_.text());
                else xml_decode_append(cell_.formula, scanner_.text());
            } else if (phonetic_depth_ == 0) {
                if (scanner_.cdata()) cell_.inline_text.append(scanner_.text());
                else xml_decode_append(cell_.inline_text, scanner_.text());
            }
            break;
        case XmlToken::kEndOfInput: break;
        }
    }
    return scanner_.error();
}

// The settings outside the cells that the engine models (and writes anew when they change).
void WorksheetReader::start_in_sheet(std::string_view name) {
    SheetSettings &settings = sheet_.settings;
    std::string_view value;
    if (name == "sheetPr") {
        if (scanner_.attribute("codeName", value)) {
            settings.code_name.clear();
            xml_decode_append(settings.code_name, value);
        }
    } else if (name == "pageSetUpPr") {
        settings.page.fit_to_page = scanner_.attribute("fitToPage", value) && is_true(value);
    } else if (name == "sheetFormatPr") {
        double height = 0;
        if (scanner_.attribute("defaultRowHeight", value) && parse_number(value, height) && height >= 0 && height < 1000)
            settings.default_row_height = static_cast<int>(std::lround(height * 100));
    } else if (name == "sheetView") {
        int zoom = 0;
        if (scanner_.attribute("zoomScale", value) && parse_number(value, zoom) && zoom >= 10 && zoom <= 400)
            settings.zoom = zoom;
        if (scanner_.attribute("showGridLines", value)) settings.grid_lines = is_true(value);
        if (scanner_.attribute("tabSelected", value)) settings.selected = is_true(value);
    } else if (name == "col") {
        int first = 0, last = 0;
        double width = 0;
        if (!scanner_.attribute("min", value) || !parse_number(value, first) || !scanner_.attribute("max", value) ||
            !parse_number(value, last) || first < 1 || last < first || last > book_.max_columns)
            return;
        bool hidden = scanner_.attribute("hidden", value) && is_true(value);
        bool has_width = scanner_.attribute("width", value) && parse_number(value, width) && width > 0;
        int style = 0;
        if (scanner_.attribute("style", value)) parse_number(value, style);
        // A range over the whole row end is common ("1:16384"); only styled or sized ranges
        // are worth a record per column.
        if (!hidden && !has_width && style <= 0) return;
        ensure_column_count(sheet_, static_cast<std::size_t>(last));
        for (int c = first - 1; c < last; ++c) {
            ColumnAttributes &column = sheet_.columns[static_cast<std::size_t>(c)];
            column.width = hidden ? -1.0 : has_width ? width : 0.0;
            if (style > 0 && style <= 65535) column.style = static_cast<std::uint16_t>(style);
        }
    } else if (name == "mergeCell") {
        MergeArea area;
        if (scanner_.attribute("ref", value) && parse_area(value, area)) sheet_.merges.push_back(area);
    } else if (name == "sheetProtection") {
        settings.is_protected = scanner_.attribute("sheet", value) && is_true(value);
    }
}

int WorksheetReader::start_in_data(std::string_view name) {
    std::string_view value;
    if (name == "c") {
        cell_.column = next_column_;
        cell_.row = row_;
        cell_.style = 0;
        cell_.type = {};
        cell_.value = {};
        cell_.has_value = cell_.has_formula = false;
        cell_.formula.clear();
        cell_.formula_attributes.clear();
        cell_.inline_text.clear();
        for (const XmlAttribute &attribute : scanner_.attributes()) {
            if (attribute.name == "r") {
                int row = 0, column = 0;
                if (!parse_a1(attribute.value, row, column)) return kFail;
                cell_.row = row;
                cell_.column = column;
            } else if (attribute.name == "s") {
                unsigned style = 0;
                if (parse_number(attribute.value, style) && style < categories_.size())
                    cell_.style = static_cast<std::uint16_t>(style);
            } else if (attribute.name == "t") {
                cell_.type = attribute.value;
            }
        }
        if (cell_.row < 0) cell_.row = 0;
        if (cell_.row >= book_.max_rows || cell_.column < 0 || cell_.column >= book_.max_columns) return kFail;
        next_column_ = cell_.column + 1;
    } else if (name == "v") {
        inside_ = Inside::kValue;
    } else if (name == "f") {
        inside_ = Inside::kFormula;
        cell_.has_formula = true;
        for (const XmlAttribute &attribute : scanner_.attributes())
            cell_.formula_attributes.append(" ").append(attribute.name).append("=\"").append(attribute.value).append("\"");
    } else if (name == "t") {
        inside_ = Inside::kInlineText;
    } else if (name == "rPh") {
        ++phonetic_depth_;
    } else if (name == "row") {
        int number = row_ + 2;
        if (scanner_.attribute("r", value) && (!parse_number(value, number) || number < 1)) return kFail;
        if (number > book_.max_rows) return kFail;
        row_ = number - 1;
        next_column_ = 0;
        if (ensure_row(book_, sheet_, row_) != kOk) return kNoMemory;
        Row &row = sheet_.rows[static_cast<std::size_t>(row_)];
        double height = -1;
        bool custom_format = false;
        unsigned style = 0;
        for (const XmlAttribute &attribute : scanner_.attributes()) {
            std::string_view attribute_name = attribute.name;
            if (attribute_name == "r" || attribute_name == "spans" || attribute_name == "customHeight") continue;
            if (attribute_name == "ht") {
                parse_number(attribute.value, height);
            } else if (attribute_name == "hidden") {
                if (is_true(attribute.value)) row.hidden_flag = kFlagYes;
            } else if (attribute_name == "s") {
                parse_number(attribute.value, style);
            } else if (attribute_name == "customFormat") {
                custom_format = is_true(attribute.value);
            } else {
                if (!row.attributes) row.attributes = std::make_unique<RowAttributes>();
                row.attributes->extra.append(" ").append(attribute_name).append("=\"").append(attribute.value).append("\"");
            }
        }
        if (height >= 0 && height < 1000) {
            if (!row.attributes) row.attributes = std::make_unique<RowAttributes>();
            row.attributes->height = std::round(height * 100);
            row.height_flag = kFlagYes;
        }
        if (custom_format && style < categories_.size()) row.style = static_cast<std::uint16_t>(style);
        if (sheet_.rows_used <= row_) sheet_.rows_used = row_ + 1;
    }
    return kOk;
}

int WorksheetReader::end_in_data(std::string_view name) {
    if (name == "c") return store_cell();
    if (name == "v" || name == "f" || name == "t") inside_ = Inside::kNone;
    else if (name == "rPh") --phonetic_depth_;
    return kOk;
}

void WorksheetReader::store_number(Cell &cell, std::string_view text, int category, bool own_system) {
    double number = 0;
    if (!parse_number(text, number) || !std::isfinite(number)) {
        // Not a number after all: kept as the text it is.
        int index = book_.shared_strings.put(text);
        if (index >= 0) {
            cell.kind = kCellString;
            cell.sst = static_cast<std::uint32_t>(index);
        }
        return;
    }
    bool date_like = category == kCategoryDate || category == kCategoryDateTime || category == kCategoryTime ||
                     category == kCategoryTimeSeconds;
    if (date_like && number >= 0 && number < 2958466) {
        double days = std::floor(number);
        double fraction = number - days;
        CellKind kind = category == kCategoryDate ? kCellDate
                        : category == kCategoryDateTime ? kCellDateTime
                        : category == kCategoryTime ? kCellTimeHm
                                                    : kCellTimeHms;
        if (kind == kCellDate && fraction != 0) kind = kCellDateTime;
        // Dates are held in the 1900 system; the writer turns them back for a 1904 book.
        if (own_system && book_.date1904) days += static_cast<double>(kDate1904Offset);
        cell.kind = kind;
        cell.set_integer(static_cast<std::int64_t>(days));
        if (kind != kCellDate) cell.set_text(shortest_number_text(fraction));
        return;
    }
    std::int64_t integer = 0;
    if (text.find_first_of(".eE") == std::string_view::npos && parse_number(text, integer)) {
        cell.kind = kCellInteger;
        cell.set_integer(integer);
        if (text.size() > 1 && (text[0] == '0' || text[0] == '+' || text.starts_with("-0")))
            cell.set_text(std::to_string(integer));
        return;
    }
    cell.kind = kCellFloat;
    cell.set_number(number);
}

int WorksheetReader::store_cell() {
    if (ensure_cell(book_, sheet_, cell_.row, cell_.column) != kOk) return kNoMemory;
    Row &row = sheet_.rows[static_cast<std::size_t>(cell_.row)];
    Cell &cell = row.cells[static_cast<std::size_t>(cell_.column)];
    cell.clear();
    cell.style = cell_.style;
    std::string_view type = cell_.type;
    std::string_view raw = cell_.value;
    std::string decoded;
    auto decoded_value = [&]() -> std::string_view {
        if (!xml_needs_decoding(raw)) return raw;
        xml_decode_append(decoded, raw);
        return decoded;
    };

    if (cell_.has_formula) {
        cell.set_formula(std::move(cell_.formula));
        CellExtra &extra = cell.extra();
        extra.formula_attributes = std::move(cell_.formula_attributes);
        if (!cell_.has_value) {
            cell.kind = kCellFormula;
        } else {
            cell.kind = kCellFormulaValue;
            if (type == "str" || type == "inlineStr" || type == "s") {
                extra.value_type = 's';
                std::string_view text = decoded_value();
                if (type == "s") {
                    std::uint32_t index = 0;
                    text = parse_number(text, index) && index < book_.shared_strings.size()
                               ? std::string_view(book_.shared_strings.text(index))
                               : std::string_view();
                }
                cell.set_text(text);
            } else if (type == "b") {
                extra.value_type = 'b';
                cell.set_text(raw == "1" || raw == "true" ? "TRUE" : "FALSE");
            } else if (type == "e") {
                extra.value_type = 'e';
                cell.set_text(decoded_value());
            } else {
                double number = 0;
                if (parse_number(raw, number) && std::isfinite(number)) {
                    extra.value_type = 'n';
                    cell.set_number(number);
                } else {
                    cell.kind = kCellFormula;
                }
            }
        }
    } else if (type == "inlineStr") {
        int index = book_.shared_strings.put(cell_.inline_text);
        if (index < 0) return kNoMemory;
        cell.kind = kCellString;
        cell.sst = static_cast<std::uint32_t>(index);
    } else if (!cell_.has_value) {
        // A styled empty cell.
    } else if (type == "s") {
        std::uint32_t index = 0;
        if (parse_number(raw, index) && index < book_.shared_strings.size()) {
            cell.kind = kCellString;
            cell.sst = index;
        }
    } else if (type == "str") {
        int index = book_.shared_strings.put(decoded_value());
        if (index < 0) return kNoMemory;
        cell.kind = kCellString;
        cell.sst = static_cast<std::uint32_t>(index);
    } else if (type == "b") {
        cell.kind = kCellBoolean;
        cell.set_integer(raw == "1" || raw == "true" ? 1 : 0);
    } else if (type == "e") {
        cell.kind = kCellError;
        cell.set_text(decoded_value());
    } else if (type == "d") {
        double serial = 0;
        if (parse_iso_serial(raw, serial)) {
            std::string text = shortest_number_text(serial);
            int category = categories_[cell_.style];
            store_number(cell, text, category == kCategoryGeneral ? kCategoryDateTime : category, false);
        }
    } else {
        store_number(cell, raw, categories_[cell_.style]);
    }
    if (row.used <= cell_.column) row.used = static_cast<std::uint16_t>(cell_.column + 1);
    if (sheet_.rows_used <= cell_.row) sheet_.rows_used = cell_.row + 1;
    return kOk;
}

}  // namespace

int read_worksheet_part(Book &book, Sheet &sheet, std::string_view text, SheetSource *source) {
    try {
        WorksheetReader reader(book, sheet, text, source);
        return reader.run();
    } catch (const std::bad_alloc &) {
        return kNoMemory;
    }
}

}  // namespace tabsmith
