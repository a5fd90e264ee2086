// Rows and cells of a worksheet part into the store: values by the cell's type and format,
// formulas with their cached results, styles, row heights and the attributes kept for a save.

#include "readers/worksheet_rows.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <unordered_map>

#include "format/number_format.h"
#include "format/serial.h"
#include "formula/references.h"
#include "readers/reader_text.h"
#include "readers/xml_scanner.h"
#include "support/charset.h"

namespace tabsmith {

namespace {

bool is_blank(std::string_view text) {
    return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

// Whether a reference ("&...;") at the start of `text` names a character XML allows.
bool allowed_reference(std::string_view text) {
    const std::size_t end = text.find(';');
    if (end == std::string_view::npos) return false;
    const std::string_view name = text.substr(1, end - 1);
    if (name == "lt" || name == "gt" || name == "amp" || name == "quot" || name == "apos") return true;
    if (name.size() < 2 || name.size() > 8 || name[0] != '#') return false;
    const bool hex = name[1] == 'x';
    std::uint32_t code = 0;
    const std::string_view digits = name.substr(hex ? 2 : 1);
    const auto [rest, error] = std::from_chars(digits.data(), digits.data() + digits.size(), code, hex ? 16 : 10);
    if (error != std::errc() || rest != digits.data() + digits.size() || digits.empty()) return false;
    return code == 0x9 || code == 0xA || code == 0xD || (code >= 0x20 && code <= 0xD7FF) ||
           (code >= 0xE000 && code <= 0xFFFD) || (code >= 0x10000 && code <= 0x10FFFF);
}

// Whether a row element's text can go into a saved part as it stands: the reader takes some
// text that is no well-formed XML (control bytes, broken UTF-8, unknown references), which the
// writer would escape, and the copy must not keep it.
bool writable_as_is(std::string_view text) {
    unsigned high = 0, control = 0;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        high |= byte;
        control |= static_cast<unsigned>(byte < 0x20) & static_cast<unsigned>(byte != '\t') &
                   static_cast<unsigned>(byte != '\n') & static_cast<unsigned>(byte != '\r');
    }
    if (control != 0 || ((high & 0x80) != 0 && !is_valid_utf8(text))) return false;
    for (std::size_t at = text.find('&'); at != std::string_view::npos; at = text.find('&', at + 1))
        if (!allowed_reference(text.substr(at))) return false;
    return true;
}

bool known_value_type(std::string_view type) {
    return type.empty() || type == "n" || type == "s" || type == "str" || type == "inlineStr" || type == "b" ||
           type == "e" || type == "d";
}

bool has_exponent_or_point(std::string_view text) {
    for (char c : text)
        if (c == '.' || c == 'e' || c == 'E') return true;
    return false;
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
        while (!time.empty() && time.back() == 'Z') time.remove_suffix(1);
        if (time.size() < 5 || time[2] != ':' || !parse_number(time.substr(0, 2), hour) ||
            !parse_number(time.substr(3, 2), minute))
            return false;
        if (time.size() > 6 && !parse_number(time.substr(6), second)) return false;
    }
    serial = static_cast<double>(date_to_serial_days(year, month, day)) +
             (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
    return true;
}

int category_of(const Book &book, const XfRecord &xf) {
    int id = static_cast<int>(xf.format);
    if (xf.format_mode == kFormatTable) {
        const auto &formats = book.styles.num_formats();
        id = xf.format >= 1 && xf.format <= formats.size() ? formats[xf.format - 1].assigned_id : 0;
    } else if (xf.format_mode != kFormatBuiltin) {
        return kCategoryGeneral;
    }
    // Id 49 is the text format "@": its numbers are numbers, not times.
    return id == 49 ? kCategoryGeneral : value_category(book, id);
}

}  // namespace

std::vector<int> style_categories(const Book &book) {
    std::vector<int> categories;
    categories.reserve(book.styles.xfs().size() + 1);
    categories.push_back(kCategoryGeneral);
    for (const XfRecord &xf : book.styles.xfs()) categories.push_back(category_of(book, xf));
    return categories;
}

RowsParser::RowsParser(Book &book, Sheet &sheet, const std::vector<int> &categories, SharedRows *shared, int id)
    : book_(book), sheet_(sheet), categories_(categories), shared_(shared), id_(id) {}

int RowsParser::parse(std::string_view rows, std::uint64_t at) {
    run_at_ = at;
    run_ = rows;
    XmlScanner scanner(rows);
    auto refused = [&](int rc) {
        if (rc != kNoMemory) fault_ = {scanner.token_begin(), refusal_};
        return rc;
    };
    for (XmlToken token; (token = scanner.next()) != XmlToken::kEndOfInput;) {
        // Anything but blanks between two rows keeps them from being written back as one stretch.
        if (record_places_ && !row_ &&
            ((token == XmlToken::kStart && scanner.local_name() != "row") ||
             (token == XmlToken::kText && (scanner.cdata() || !is_blank(scanner.text())))))
            places_.push_back({run_at_ + scanner.token_begin(), 0, -1, 0});
        switch (token) {
        case XmlToken::kStart:
            if (int rc = start_element(scanner); rc != kOk) return refused(rc);
            // The common cell, "<c ...><v>12</v></c>", is taken whole.
            if (!scanner.self_closing() && scanner.local_name() == "c" &&
                scanner.take_text_child("v", cell_.value)) {
                cell_.has_value = true;
                if (int rc = store_cell(); rc != kOk) return refused(rc);
            }
            break;
        case XmlToken::kEnd:
            if (record_places_ && row_ && scanner.local_name() == "row") note_place(scanner.token_end());
            if (int rc = end_element(scanner.local_name()); rc != kOk) return refused(rc);
            break;
        case XmlToken::kText:
            if (inside_ == Inside::kValue) {
                // A value is one text run; a value in pieces (a comment inside <v>) is joined.
                if (cell_.has_value && !cell_.value.empty()) {
                    cell_.text.assign(cell_.value);
                    cell_.text.append(scanner.text());
                    cell_.value = cell_.text;
                } else {
                    cell_.value = scanner.text();
                }
                cell_.has_value = true;
            } else if (inside_ == Inside::kFormula) {
                if (scanner.cdata()) cell_.formula.append(scanner.text());
                else xml_decode_append(cell_.formula, scanner.text());
            } else if (inside_ == Inside::kInlineText && phonetic_depth_ == 0) {
                if (scanner.cdata()) cell_.text.append(scanner.text());
                else xml_decode_append(cell_.text, scanner.text());
            }
            break;
        case XmlToken::kEndOfInput: break;
        }
    }
    if (scanner.error() != kOk) fault_ = scanner.fault();
    return scanner.error();
}

int RowsParser::refuse(const char *why, std::string_view what) {
    refusal_ = why;
    if (!what.empty()) refusal_.append("(\"").append(what.substr(0, 40)).append("\")");
    return kFail;
}

void RowsParser::note_place(std::size_t end) {
    const std::uint64_t length = run_at_ + end - row_begin_;
    const bool as_stored = row_as_stored_ && length <= UINT32_MAX &&
                           writable_as_is(run_.substr(static_cast<std::size_t>(row_begin_ - run_at_), static_cast<std::size_t>(length)));
    places_.push_back({row_begin_, static_cast<std::uint32_t>(as_stored ? length : 0), as_stored ? row_index_ : -1, 0});
}

int RowsParser::begin_row(const XmlScanner &scanner) {
    std::string_view value;
    int number = row_index_ + 2;
    // A row inside a row: neither element is one a save could write back.
    const bool nested = row_ != nullptr;
    if (nested && record_places_) {
        row_as_stored_ = false;
        note_place(scanner.token_begin());
    }
    row_begin_ = run_at_ + scanner.token_begin();
    const bool numbered = scanner.attribute("r", value);
    row_as_stored_ = numbered && !nested;
    if (numbered && (!parse_number(value, number) || number < 1)) return refuse("行番号が不正です", value);
    if (number > book_.max_rows) return refuse("行番号が上限を超えています", value);
    row_index_ = number - 1;
    next_column_ = 0;
    last_row_ = std::max(last_row_, row_index_);
    const auto index = static_cast<std::size_t>(row_index_);
    if (!shared_) {
        if (ensure_row(book_, sheet_, row_index_) != kOk) return kNoMemory;
        row_ = &sheet_.rows[index];
    } else {
        // Rows no other parser has and that the table holds are filled in place.
        int unclaimed = 0;
        if (index < shared_->claims.size() && (shared_->claims[index].load(std::memory_order_relaxed) == id_ ||
                                               shared_->claims[index].compare_exchange_strong(unclaimed, id_))) {
            row_ = &sheet_.rows[index];
        } else {
            set_aside_.emplace_back(row_index_, Row{});
            row_ = &set_aside_.back().second;
        }
    }
    Row &row = *row_;
    double height = -1;
    bool custom_format = false;
    unsigned style = 0;
    for (const XmlAttribute &attribute : scanner.attributes()) {
        std::string_view name = attribute.name;
        if (name == "r" || name == "spans" || name == "customHeight") continue;
        if (name == "ht") {
            parse_number(attribute.value, height);
        } else if (name == "hidden") {
            if (is_true(attribute.value)) row.hidden_flag = kFlagYes;
        } else if (name == "s") {
            parse_number(attribute.value, style);
        } else if (name == "customFormat") {
            custom_format = is_true(attribute.value);
        } else {
            if (!row.attributes) row.attributes = std::make_unique<RowAttributes>();
            row.attributes->extra.append(" ").append(name).append("=\"").append(attribute.value).append("\"");
        }
    }
    if (height >= 1000 || (custom_format && style >= categories_.size())) row_as_stored_ = false;
    if (height >= 0 && height < 1000) {
        if (!row.attributes) row.attributes = std::make_unique<RowAttributes>();
        row.attributes->height = std::round(height * 100);
        row.height_flag = kFlagYes;
    }
    if (custom_format && style < categories_.size()) row.style = static_cast<std::uint16_t>(style);
    if (!shared_ && sheet_.rows_used <= row_index_) sheet_.rows_used = row_index_ + 1;
    return kOk;
}

int RowsParser::start_element(const XmlScanner &scanner) {
    std::string_view name = scanner.local_name();
    if (name == "c") {
        if (!row_) return refuse("行の外にセルがあります", {});
        cell_.column = next_column_;
        cell_.style = 0;
        cell_.type = {};
        cell_.value = {};
        cell_.has_value = cell_.has_formula = false;
        cell_.formula.clear();
        cell_.formula_attributes.clear();
        cell_.text.clear();
        for (const XmlAttribute &attribute : scanner.attributes()) {
            if (attribute.name == "r") {
                int row = 0, column = 0;
                if (!parse_a1(attribute.value, row, column)) return refuse("セル参照が不正です", attribute.value);
                // A cell names its own row; one that names another row than its element's is
                // taken where its row element put it.
                if (row != row_index_ || column < next_column_) row_as_stored_ = false;
                cell_.column = column;
            } else if (attribute.name == "s") {
                unsigned style = 0;
                if (parse_number(attribute.value, style) && style < categories_.size())
                    cell_.style = static_cast<std::uint16_t>(style);
                else row_as_stored_ = false;
            } else if (attribute.name == "t") {
                cell_.type = attribute.value;
            }
        }
        if (cell_.column < 0 || cell_.column >= book_.max_columns) return refuse("列が上限を超えています", {});
        next_column_ = cell_.column + 1;
    } else if (name == "v") {
        inside_ = Inside::kValue;
    } else if (name == "f") {
        inside_ = Inside::kFormula;
        cell_.has_formula = true;
        for (const XmlAttribute &attribute : scanner.attributes()) {
            append_attribute_again(cell_.formula_attributes, attribute);
            if (attribute.name == "t" && attribute.value == "shared") saw_shared_formula_ = true;
        }
    } else if (name == "t") {
        inside_ = Inside::kInlineText;
    } else if (name == "rPh") {
        ++phonetic_depth_;
    } else if (name == "row") {
        return begin_row(scanner);
    }
    return kOk;
}

int RowsParser::end_element(std::string_view name) {
    if (name == "c") return store_cell();
    if (name == "v" || name == "f" || name == "t") inside_ = Inside::kNone;
    else if (name == "rPh") --phonetic_depth_;
    else if (name == "row") row_ = nullptr;
    return kOk;
}

int RowsParser::store_text(Cell &cell, std::string_view text) {
    // Parsers side by side leave the shared table alone (the others read it): the text stays
    // in its cell, which the writer saves as it does any text.
    if (shared_) {
        cell.kind = kCellText;
        cell.set_text(text);
        return kOk;
    }
    int index = book_.shared_strings.put(text);
    if (index < 0) return kNoMemory;
    cell.kind = kCellString;
    cell.sst = static_cast<std::uint32_t>(index);
    return kOk;
}

void RowsParser::store_number(Cell &cell, std::string_view text, int category, bool own_system) {
    // A whole number is read once, as an integer; its double is the same as the text's.
    std::int64_t integer = 0;
    const bool whole = !has_exponent_or_point(text) && parse_number(text, integer);
    double number = static_cast<double>(integer);
    if (whole && integer == 0 && text.front() == '-') number = -0.0;
    if (!whole && (!parse_number(text, number) || !std::isfinite(number))) {
        // Not a number after all: kept as the text it is.
        row_as_stored_ = false;
        store_text(cell, text);
        return;
    }
    if (store_by_category(book_, cell, number, category, own_system)) return;
    if (whole) {
        cell.kind = kCellInteger;
        cell.set_integer(integer);
        if (text.size() > 1 && (text[0] == '0' || text[0] == '+' || text.starts_with("-0")))
            cell.set_text(std::to_string(integer));
        return;
    }
    cell.kind = kCellFloat;
    cell.set_number(number);
}

bool store_by_category(const Book &book, Cell &cell, double number, int category, bool own_system) {
    if (category == kCategoryPercent) {
        cell.kind = kCellPercent;
        cell.set_number(number);
        cell.set_text(shortest_number_text(number));   // the value as a percent statement keeps it
        return true;
    }
    bool date_like = category == kCategoryDate || category == kCategoryDateTime || category == kCategoryTime ||
                     category == kCategoryTimeSeconds;
    if (!date_like || number < 0 || number >= 2958466) return false;
    double days = std::floor(number);
    double fraction = number - days;
    CellKind kind = category == kCategoryDate       ? kCellDate
                    : category == kCategoryDateTime ? kCellDateTime
                    : category == kCategoryTime     ? kCellTimeHm
                                                    : kCellTimeHms;
    if (kind == kCellDate && fraction != 0) kind = kCellDateTime;
    // Dates are held in the 1900 system; the writer turns them back for a 1904 book.
    if (own_system && book.date1904) days += static_cast<double>(kDate1904Offset);
    cell.kind = kind;
    cell.set_integer(static_cast<std::int64_t>(days));
    if (kind != kCellDate) cell.set_text(shortest_number_text(fraction));
    return true;
}

void store_number_value(const Book &book, Cell &cell, double number, int category) {
    if (store_by_category(book, cell, number, category, true)) return;
    if (std::floor(number) == number && std::fabs(number) < 9007199254740992.0) {
        cell.kind = kCellInteger;
        cell.set_integer(static_cast<std::int64_t>(number));
        return;
    }
    cell.kind = kCellFloat;
    cell.set_number(number);
}

int RowsParser::store_cell() {
    Row &row = *row_;
    if (ensure_row_cell(row, cell_.column) != kOk) return kNoMemory;
    if (!shared_) ensure_column_count(sheet_, row.cells.size());
    else widest_ = std::max(widest_, row.cells.size());
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

    // Formulas are written from the store (their values may be computed again), and a value
    // the store could not take as its type says is written as the store holds it.
    if (cell_.has_formula || !known_value_type(type)) row_as_stored_ = false;
    if (cell_.has_formula) {
        cell.set_formula(std::move(cell_.formula));
        CellExtra &extra = cell.extra();
        extra.set_formula_attributes(std::move(cell_.formula_attributes));
        if (!cell_.has_value) {
            cell.kind = kCellFormula;
        } else {
            cell.kind = kCellFormulaValue;
            if (type == "str" || type == "inlineStr" || type == "s") {
                extra.value_type = 's';
                std::string_view text = decoded_value();
                std::string shared;
                if (type == "s") {
                    std::uint32_t index = 0;
                    if (parse_number(text, index) && index < book_.shared_strings.size())
                        shared = book_.shared_strings.text(index);
                    text = shared;
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
        if (int rc = store_text(cell, cell_.text); rc != kOk) return rc;
    } else if (!cell_.has_value) {
        // A styled empty cell.
    } else if (type == "s") {
        std::uint32_t index = 0;
        if (parse_number(raw, index) && index < book_.shared_strings.size()) {
            cell.kind = kCellString;
            cell.sst = index;
        } else {
            row_as_stored_ = false;
        }
    } else if (type == "str") {
        if (int rc = store_text(cell, decoded_value()); rc != kOk) return rc;
    } else if (type == "b") {
        cell.kind = kCellBoolean;
        cell.set_integer(raw == "1" || raw == "true" ? 1 : 0);
        if (raw != "0" && raw != "1" && raw != "true" && raw != "false") row_as_stored_ = false;
    } else if (type == "e") {
        cell.kind = kCellError;
        cell.set_text(decoded_value());
    } else if (type == "d") {
        double serial = 0;
        if (parse_iso_serial(raw, serial)) {
            std::string text = shortest_number_text(serial);
            int category = categories_[cell_.style];
            store_number(cell, text, category == kCategoryGeneral ? kCategoryDateTime : category, false);
        } else {
            row_as_stored_ = false;
        }
    } else {
        store_number(cell, raw, categories_[cell_.style]);
    }
    if (row.used <= cell_.column) row.used = static_cast<std::uint16_t>(cell_.column + 1);
    return kOk;
}

namespace {

// The value of attribute `name` in attributes as written (` t="shared" si="0"`), or "".
std::string_view written_attribute(std::string_view attributes, std::string_view name) {
    for (std::size_t at = attributes.find(name); at != std::string_view::npos; at = attributes.find(name, at + 1)) {
        const std::size_t quote = at + name.size() + 1;
        if ((at == 0 || attributes[at - 1] == ' ') && quote < attributes.size() && attributes[quote - 1] == '=') {
            const std::size_t end = attributes.find(attributes[quote], quote + 1);
            if (end != std::string_view::npos) return attributes.substr(quote + 1, end - quote - 1);
        }
    }
    return {};
}

}  // namespace

void translate_shared_formulas(Sheet &sheet) {
    struct Master {
        const std::string *text;
        int row, column;
    };
    std::unordered_map<std::string, Master> masters;
    auto each_shared = [&](auto visit) {
        for (std::size_t r = 0; r < sheet.rows.size(); ++r)
            for (std::size_t c = 0; c < sheet.rows[r].cells.size(); ++c) {
                Cell &cell = sheet.rows[r].cells[c];
                const CellExtra *extra = cell.extra_record();
                if (!extra || !cell.formula() || written_attribute(extra->formula_attributes(), "t") != "shared") continue;
                visit(cell, std::string(written_attribute(extra->formula_attributes(), "si")), static_cast<int>(r),
                      static_cast<int>(c));
            }
    };
    // Masters come first in the sheet's order, but a file may say otherwise: two walks.
    each_shared([&](Cell &cell, const std::string &index, int row, int column) {
        if (!cell.formula()->empty()) masters.try_emplace(index, Master{cell.formula(), row, column});
    });
    each_shared([&](Cell &cell, const std::string &index, int row, int column) {
        auto master = masters.find(index);
        if (!cell.formula()->empty() || master == masters.end()) return;
        cell.set_formula(moved_formula(*master->second.text, row - master->second.row, column - master->second.column));
        cell.extra().formula_from_master = true;
    });
}

int merge_set_aside_rows(Book &book, Sheet &sheet, std::vector<std::pair<int, Row>> &rows) {
    for (auto &[index, aside] : rows) {
        if (ensure_row(book, sheet, index) != kOk) return kNoMemory;
        Row &row = sheet.rows[static_cast<std::size_t>(index)];
        if (row.cells.empty() && !row.attributes && row.style == kNoRowStyle) {
            row = std::move(aside);
        } else {
            for (std::size_t c = 0; c < aside.cells.size(); ++c) {
                Cell &cell = aside.cells[c];
                if (cell.empty() && cell.style == 0) continue;
                if (ensure_row_cell(row, static_cast<int>(c)) != kOk) return kNoMemory;
                row.cells[c] = std::move(cell);
            }
            row.used = std::max(row.used, aside.used);
            if (aside.attributes) row.attributes = std::move(aside.attributes);
            if (aside.style != kNoRowStyle) row.style = aside.style;
            if (aside.height_flag != kFlagUnset) row.height_flag = aside.height_flag;
            if (aside.hidden_flag != kFlagUnset) row.hidden_flag = aside.hidden_flag;
        }
        ensure_column_count(sheet, row.cells.size());
        if (sheet.rows_used <= index) sheet.rows_used = index + 1;
    }
    rows.clear();
    return kOk;
}

}  // namespace tabsmith
