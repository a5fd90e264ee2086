// The BIFF8 and BIFF5 reader: the workbook stream of a compound file, record by record. The
// globals give the sheets, shared strings, number formats and cell formats; each worksheet's
// records give its cells, by value and by the category of their cell format.

#include "readers/xls_reader.h"

#include <cmath>
#include <cstring>
#include <new>
#include <unordered_map>

#include "format/number_format.h"
#include "readers/worksheet_rows.h"
#include "readers/xls_biff5.h"
#include "support/charset.h"
#include "support/compound_file.h"
#include "support/files.h"
#include "support/mfile.h"

namespace tabsmith {

namespace {

// Record ids.
constexpr std::uint16_t kFormula = 0x0006, kEof = 0x000A, kDateMode = 0x0022, kFilePass = 0x002F, kCodePage = 0x0042,
                        kContinue = 0x003C, kBoundSheet = 0x0085, kMulRk = 0x00BD, kMulBlank = 0x00BE,
                        kRString = 0x00D6, kXf = 0x00E0, kSst = 0x00FC, kLabelSst = 0x00FD, kBlank = 0x0201,
                        kNumber = 0x0203, kLabel = 0x0204, kBoolErr = 0x0205, kString = 0x0207, kRk = 0x027E,
                        kFormat = 0x041E, kBof = 0x0809, kSharedFormula = 0x04BC, kArray = 0x0221,
                        kTable = 0x0236;
constexpr std::uint16_t kBofWorksheet = 0x0010;
// The largest file read whole: far beyond any workbook of 65,536 rows.
constexpr std::uint64_t kMaxFileBytes = 2ULL << 30;

std::uint16_t u16(const char *p) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(p[0]) | (static_cast<unsigned char>(p[1]) << 8));
}
std::uint32_t u32(const char *p) { return u16(p) | (static_cast<std::uint32_t>(u16(p + 2)) << 16); }
double f64(const char *p) {
    double value;
    std::uint64_t bits = u32(p) | (static_cast<std::uint64_t>(u32(p + 4)) << 32);
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// An RK number: a 30-bit integer or the top 30 bits of a double, optionally divided by 100.
double rk_value(std::uint32_t rk) {
    double value;
    if (rk & 2) {
        value = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
    } else {
        std::uint64_t bits = static_cast<std::uint64_t>(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&value, &bits, sizeof value);
    }
    return (rk & 1) ? value / 100 : value;
}


// Characters of a BIFF8 string: 8-bit ones are the low half of UTF-16, 16-bit ones UTF-16LE
// (a lone surrogate becomes U+FFFD).
class CharacterRun {
public:
    explicit CharacterRun(std::string &out) : out_(out) {}
    void add(const char *p, std::size_t count, bool wide) {
        for (std::size_t k = 0; k < count; ++k) {
            std::uint32_t unit = wide ? u16(p + 2 * k) : static_cast<unsigned char>(p[k]);
            if (high_) {
                if (unit >= 0xDC00 && unit <= 0xDFFF) {
                    append_utf8_code_point(out_, 0x10000 + ((high_ - 0xD800) << 10) + (unit - 0xDC00));
                    high_ = 0;
                    continue;
                }
                append_utf8_code_point(out_, 0xFFFD);
                high_ = 0;
            }
            if (unit >= 0xD800 && unit <= 0xDBFF) high_ = unit;
            else if (unit >= 0xDC00 && unit <= 0xDFFF) append_utf8_code_point(out_, 0xFFFD);
            else append_utf8_code_point(out_, unit);
        }
    }
    ~CharacterRun() {
        if (high_) append_utf8_code_point(out_, 0xFFFD);
    }

private:
    std::string &out_;
    std::uint32_t high_ = 0;
};

// One record with its CONTINUE records joined; `boundaries` are where each continuation starts.
struct Record {
    std::uint16_t id = 0;
    std::string data;
    std::vector<std::size_t> boundaries;
};

// Reads the records of a stream one after the other.
class RecordReader {
public:
    explicit RecordReader(std::string_view stream) : stream_(stream) {}
    // False at the end of the stream (or at a record cut short, in `damaged`).
    bool next(Record &record) {
        if (position_ + 4 > stream_.size()) return false;
        record.id = u16(stream_.data() + position_);
        std::size_t length = u16(stream_.data() + position_ + 2);
        position_ += 4;
        if (position_ + length > stream_.size()) {
            damaged_ = true;
            return false;
        }
        record.data.assign(stream_.substr(position_, length));
        record.boundaries.clear();
        position_ += length;
        // Continuations: texts and tables longer than one record.
        while (position_ + 4 <= stream_.size() && u16(stream_.data() + position_) == kContinue) {
            std::size_t more = u16(stream_.data() + position_ + 2);
            if (position_ + 4 + more > stream_.size()) {
                damaged_ = true;
                return false;
            }
            record.boundaries.push_back(record.data.size());
            record.data.append(stream_.substr(position_ + 4, more));
            position_ += 4 + more;
        }
        return true;
    }
    bool damaged() const { return damaged_; }
    std::size_t position() const { return position_; }

private:
    std::string_view stream_;
    std::size_t position_ = 0;
    bool damaged_ = false;
};

// A cursor over a record whose texts may continue after a CONTINUE boundary, where a new
// flags byte says whether the rest of the characters are 8 or 16 bits wide.
class TextCursor {
public:
    explicit TextCursor(const Record &record) : data_(record.data), boundaries_(record.boundaries) {}
    std::size_t left() const { return data_.size() - at_; }
    bool skip(std::size_t bytes) {
        if (bytes > left()) return false;
        at_ += bytes;
        return true;
    }
    bool read16(std::uint16_t &value) {
        if (left() < 2) return false;
        value = u16(data_.data() + at_);
        at_ += 2;
        return true;
    }
    bool read32(std::uint32_t &value) {
        if (left() < 4) return false;
        value = u32(data_.data() + at_);
        at_ += 4;
        return true;
    }
    bool read8(std::uint8_t &value) {
        if (left() < 1) return false;
        value = static_cast<std::uint8_t>(data_[at_++]);
        return true;
    }
    // A string of `count` characters whose first flags byte has been read.
    bool characters(std::size_t count, bool wide, std::string &out) {
        CharacterRun run(out);
        while (count > 0) {
            std::size_t boundary = next_boundary();
            std::size_t room = (boundary == std::string::npos ? data_.size() : boundary) - at_;
            std::size_t width = wide ? 2 : 1;
            std::size_t take = std::min(count, room / width);
            if (take == 0) {
                // At a boundary: the continuation starts with its own flags byte.
                if (boundary != at_) return false;
                std::uint8_t flags = 0;
                if (!read8(flags)) return false;
                wide = flags & 1;
                continue;
            }
            run.add(data_.data() + at_, take, wide);
            at_ += take * width;
            count -= take;
        }
        return true;
    }

private:
    std::size_t next_boundary() const {
        for (std::size_t boundary : boundaries_)
            if (boundary >= at_) return boundary;
        return std::string::npos;
    }

    const std::string &data_;
    const std::vector<std::size_t> &boundaries_;
    std::size_t at_ = 0;
};

// A BIFF8 unicode string: 16-bit count (8-bit for the short form), flags, optional run and
// phonetic sizes, the characters, then the runs and phonetic data, which are skipped.
bool read_unicode_string(TextCursor &cursor, bool short_count, std::string &out) {
    std::uint16_t count = 0;
    if (short_count) {
        std::uint8_t small = 0;
        if (!cursor.read8(small)) return false;
        count = small;
    } else if (!cursor.read16(count)) {
        return false;
    }
    std::uint8_t flags = 0;
    if (!cursor.read8(flags)) return false;
    std::uint16_t runs = 0;
    std::uint32_t phonetic = 0;
    if ((flags & 0x08) && !cursor.read16(runs)) return false;
    if ((flags & 0x04) && !cursor.read32(phonetic)) return false;
    if (!cursor.characters(count, flags & 1, out)) return false;
    return cursor.skip(static_cast<std::size_t>(runs) * 4) && cursor.skip(phonetic);
}

std::string_view error_text(std::uint8_t code) {
    switch (code) {
    case 0x00: return "#NULL!";
    case 0x07: return "#DIV/0!";
    case 0x0F: return "#VALUE!";
    case 0x17: return "#REF!";
    case 0x1D: return "#NAME?";
    case 0x24: return "#NUM!";
    case 0x2A: return "#N/A";
    default: return "#N/A";
    }
}

class XlsLoader {
public:
    explicit XlsLoader(Book &book) : book_(book) {}
    int run(const std::string &bytes);
    const std::string &reason() const { return reason_; }
    // What the diagnostic line of a failed read names: the container's fault, or the reason.
    std::string fault() const { return reason_.empty() ? std::string(fault_) : reason_; }

private:
    int globals(RecordReader &reader);
    int worksheet(RecordReader &reader, Sheet &sheet);
    int add_format(const Record &record);
    Cell *cell_at(Sheet &sheet, std::uint16_t row, std::uint16_t column, std::uint16_t xf, const char *family);
    int put_number(Sheet &sheet, const char *p, double number, const char *family);
    int put_text(Sheet &sheet, std::uint16_t row, std::uint16_t column, std::uint16_t xf, std::string_view text);
    // A record's text: BIFF8's unicode string (its count one byte wide with `short_count`), or
    // BIFF5's 8-bit one in the book's code page. Both forms start at the same place.
    bool record_text(const Record &record, ByteStringField field, bool short_count, std::string &out) const;

    Book &book_;
    std::vector<int> categories_;
    std::vector<std::pair<std::uint32_t, bool>> sheets_;   // BOF position of each listed sheet; a worksheet?
    std::vector<std::string> sheet_names_;
    std::size_t xf_count_ = 0;
    bool biff5_ = false;                                     // Excel 5/95: 8-bit texts, no SST
    unsigned code_page_ = kDefaultCodePage;                  // of BIFF5's texts
    int limit_rc_ = kOk;
    Cell *formula_cell_ = nullptr;                           // the FORMULA a STRING record completes
    std::string reason_;                                     // why a file is no readable workbook
    const char *fault_ = "";                                 // where a malformed file failed
};

int XlsLoader::run(const std::string &bytes) {
    CompoundFile file;
    if (int rc = file.open(bytes); rc != kOk) {
        fault_ = file.fault();
        return rc == kNoMemory ? kNoMemory : kFail;
    }
    fault_ = "Overlapping Streams";
    if (file.streams_overlap()) return kFail;
    int index = file.find_top("Workbook");
    if (index < 0) index = file.find_top("Book");
    if (index < 0) {
        reason_ = "no workbook stream";
        return kXlsNotReadable;
    }
    std::string stream;
    fault_ = "Broken Workbook Stream";
    if (int rc = file.read_stream(index, stream); rc != kOk) return rc == kNoMemory ? kNoMemory : kFail;
    fault_ = "Workbook Records";

    // The file's own formats replace the defaults, numbered as its cell records refer to them.
    book_.styles.clear_tables();
    RecordReader reader(stream);
    if (int rc = globals(reader); rc != kOk) return rc;
    categories_ = style_categories(book_);
    for (std::size_t k = 0; k < sheets_.size(); ++k) {
        if (!sheets_[k].second) continue;   // chart, dialog and macro sheets hold no cells
        int sheet = add_sheet(book_, sheet_names_[k]);
        if (sheet < 0) return kNoMemory;
        std::uint32_t position = sheets_[k].first;
        if (position >= stream.size()) continue;
        RecordReader sheet_reader(std::string_view(stream).substr(position));
        if (int rc = worksheet(sheet_reader, *book_.sheets[static_cast<std::size_t>(sheet)]); rc != kOk) return rc;
    }
    book_.current_sheet = 0;
    return kOk;
}

int XlsLoader::globals(RecordReader &reader) {
    Record record;
    bool first = true;
    while (reader.next(record)) {
        const std::string &d = record.data;
        if (first) {
            // The stream opens with the globals' BOF, whose id and version tell BIFF8, BIFF5 and
            // the older forms apart.
            switch (biff_form(record.id, d)) {
            case BiffForm::kBiff8: break;
            case BiffForm::kBiff5: biff5_ = true; break;
            case BiffForm::kTooOld:
                reason_ = "Excel 4.0以前の古い形式(BIFF2-4)のため読み込めません";
                return kXlsNotReadable;
            case BiffForm::kUnknown:
                if (record.id != kBof || d.size() < 4) return kFail;
                reason_ = "BIFF5でもBIFF8でもない形式のため読み込めません";
                return kXlsNotReadable;
            }
            first = false;
            continue;
        }
        switch (record.id) {
        case kFilePass:
            reason_ = "a password-protected workbook (FILEPASS)";
            return kXlsNotReadable;
        case kDateMode:
            if (d.size() >= 2) book_.date1904 = u16(d.data()) == 1;
            break;
        case kCodePage:
            if (d.size() >= 2) code_page_ = u16(d.data());
            break;
        case kBoundSheet: {
            if (d.size() < 7) return kFail;
            std::string name;
            if (!record_text(record, kBiff5SheetName, true, name)) return kFail;
            sheets_.emplace_back(u32(d.data()), static_cast<unsigned char>(d[5]) == 0);
            sheet_names_.push_back(std::move(name));
            break;
        }
        case kFormat:
            if (int rc = add_format(record); rc != kOk) return rc;
            break;
        case kXf: {
            if (d.size() < 6) return kFail;
            XfRecord xf;
            const std::uint16_t format = u16(d.data() + 2);
            xf.format = format;
            const auto &formats = book_.styles.num_formats();
            for (std::size_t k = 0; k < formats.size(); ++k) {
                if (formats[k].assigned_id == format) {
                    xf.format_mode = kFormatTable;
                    xf.format = static_cast<std::uint32_t>(k + 1);
                    break;
                }
            }
            // XF 0 is the default every cell format reference 0 stands for.
            if (xf_count_++ > 0 && book_.styles.append(xf) != kOk) return kNoMemory;
            break;
        }
        case kSst: {
            TextCursor cursor(record);
            std::uint32_t total = 0, unique = 0;
            if (!cursor.read32(total) || !cursor.read32(unique)) return kFail;
            for (std::uint32_t k = 0; k < unique; ++k) {
                std::string text;
                if (!read_unicode_string(cursor, false, text)) break;   // a table shorter than it says
                if (book_.shared_strings.put_distinct(text) < 0) return kNoMemory;
            }
            break;
        }
        case kEof: return kOk;
        default: break;
        }
    }
    return reader.damaged() ? kFail : kOk;
}

int XlsLoader::add_format(const Record &record) {
    if (record.data.size() < (biff5_ ? 3u : 5u)) return kFail;
    const std::uint16_t id = u16(record.data.data());
    NumFormat format;
    if (!record_text(record, kBiff5FormatCode, false, format.code)) return kFail;
    if (book_.styles.num_formats().size() >= kMaxNumFormat)
        return book_.err.raise(kLimit, Msg::k03009, static_cast<int>(kMaxNumFormat), "TSX_MAX_NUMFORMAT");
    format.assigned_id = id;
    format.kind = static_cast<std::uint16_t>(format_code_kind(format.code));
    format.decimals = static_cast<std::uint8_t>(format_code_decimals(format.code));
    return book_.styles.append(format) == kOk ? kOk : kNoMemory;
}

Cell *XlsLoader::cell_at(Sheet &sheet, std::uint16_t row, std::uint16_t column, std::uint16_t xf, const char *family) {
    if (row >= book_.max_rows || column >= book_.max_columns) {
        limit_rc_ = book_.err.raise(kLimit, Msg::k03600, (std::string(family) + " row/column overflow").c_str());
        return nullptr;
    }
    if (ensure_cell(book_, sheet, row, column) != kOk) {
        limit_rc_ = kNoMemory;
        return nullptr;
    }
    Row &r = sheet.rows[row];
    if (r.used <= column) r.used = static_cast<std::uint16_t>(column + 1);
    if (sheet.rows_used <= row) sheet.rows_used = row + 1;
    Cell &cell = r.cells[column];
    cell.clear();
    // A cell format past the table reads as the default one.
    cell.style = xf < categories_.size() ? xf : 0;
    return &cell;
}

int XlsLoader::put_number(Sheet &sheet, const char *p, double number, const char *family) {
    Cell *cell = cell_at(sheet, u16(p), u16(p + 2), u16(p + 4), family);
    if (!cell) return limit_rc_;
    if (std::isfinite(number)) store_number_value(book_, *cell, number, categories_[cell->style]);
    return kOk;
}

bool XlsLoader::record_text(const Record &record, ByteStringField field, bool short_count, std::string &out) const {
    if (biff5_) return read_byte_string(record.data, field, code_page_, out);
    TextCursor cursor(record);
    return cursor.skip(field.at) && read_unicode_string(cursor, short_count, out);
}

int XlsLoader::put_text(Sheet &sheet, std::uint16_t row, std::uint16_t column, std::uint16_t xf, std::string_view text) {
    Cell *cell = cell_at(sheet, row, column, xf, "BIFF_LABELSST");
    if (!cell) return limit_rc_;
    int index = book_.shared_strings.put(text);
    if (index < 0) return kNoMemory;
    cell->kind = kCellString;
    cell->sst = static_cast<std::uint32_t>(index);
    return kOk;
}

int XlsLoader::worksheet(RecordReader &reader, Sheet &sheet) {
    Record record;
    if (!reader.next(record) || record.id != kBof || record.data.size() < 4 || u16(record.data.data() + 2) != kBofWorksheet)
        return kOk;   // not a worksheet's records after all: an empty sheet
    formula_cell_ = nullptr;
    int depth = 0;   // BOF/EOF pairs of embedded objects (charts inside a sheet)
    while (reader.next(record)) {
        const std::string &d = record.data;
        const char *p = d.data();
        // A FORMULA's text result follows in a STRING record, after the shared or array
        // formula records that may come between.
        if (record.id != kString && record.id != kSharedFormula && record.id != kArray && record.id != kTable)
            formula_cell_ = nullptr;
        // The records of an object inside the sheet (a chart) are not the sheet's cells.
        if (depth > 0 && record.id != kBof && record.id != kEof) continue;
        switch (record.id) {
        case kBof: ++depth; break;
        case kEof:
            if (depth == 0) return kOk;
            --depth;
            break;
        case kNumber:
            if (d.size() < 14) return kFail;
            if (int rc = put_number(sheet, p, f64(p + 6), "BIFF_NUMBER"); rc != kOk) return rc;
            break;
        case kRk:
            if (d.size() < 10) return kFail;
            if (int rc = put_number(sheet, p, rk_value(u32(p + 6)), "BIFF_LABELSST"); rc != kOk) return rc;
            break;
        case kMulRk: {
            if (d.size() < 6) return kFail;
            const std::size_t pairs = (d.size() - 6) / 6;
            const std::uint16_t first = u16(p + 2);
            for (std::size_t k = 0; k < pairs; ++k) {
                const char *pair = p + 4 + 6 * k;
                char cell[6];
                std::memcpy(cell, p, 2);
                const std::uint16_t column = static_cast<std::uint16_t>(first + k);
                cell[2] = static_cast<char>(column & 0xFF);
                cell[3] = static_cast<char>(column >> 8);
                std::memcpy(cell + 4, pair, 2);
                if (int rc = put_number(sheet, cell, rk_value(u32(pair + 2)), "BIFF_MULRK"); rc != kOk) return rc;
            }
            break;
        }
        case kLabelSst: {
            if (d.size() < 10) return kFail;
            const std::uint32_t index = u32(p + 6);
            if (index >= book_.shared_strings.size())
                return book_.err.raise(kLimit, Msg::k03009, static_cast<int>(index), "BIFF_LABELSST sst");
            Cell *cell = cell_at(sheet, u16(p), u16(p + 2), u16(p + 4), "BIFF_LABELSST");
            if (!cell) return limit_rc_;
            cell->kind = kCellString;
            cell->sst = index;
            break;
        }
        case kLabel:
        case kRString: {
            // An RSTRING's formatting runs after the characters are not read.
            if (d.size() < (biff5_ ? 8u : 9u)) return kFail;
            std::string text;
            if (!record_text(record, kBiff5CellText, false, text)) return kFail;
            if (int rc = put_text(sheet, u16(p), u16(p + 2), u16(p + 4), text); rc != kOk) return rc;
            break;
        }
        case kBlank:
            if (d.size() < 6) return kFail;
            if (!cell_at(sheet, u16(p), u16(p + 2), u16(p + 4), "BIFF_LABELSST")) return limit_rc_;
            break;
        case kMulBlank: {
            if (d.size() < 6) return kFail;
            const std::size_t count = (d.size() - 6) / 2;
            for (std::size_t k = 0; k < count; ++k)
                if (!cell_at(sheet, u16(p), static_cast<std::uint16_t>(u16(p + 2) + k), u16(p + 4 + 2 * k),
                             "BIFF_LABELSST"))
                    return limit_rc_;
            break;
        }
        case kBoolErr: {
            if (d.size() < 8) return kFail;
            Cell *cell = cell_at(sheet, u16(p), u16(p + 2), u16(p + 4), "BIFF_LABELSST");
            if (!cell) return limit_rc_;
            if (p[7]) {
                cell->kind = kCellError;
                cell->set_text(error_text(static_cast<std::uint8_t>(p[6])));
            } else {
                cell->kind = kCellBoolean;
                cell->set_integer(p[6] ? 1 : 0);
            }
            break;
        }
        case kFormula: {
            if (d.size() < 14) return kFail;
            // A formula is read as its result; its text is not kept.
            if (static_cast<unsigned char>(p[12]) != 0xFF || static_cast<unsigned char>(p[13]) != 0xFF) {
                if (int rc = put_number(sheet, p, f64(p + 6), "BIFF_FORMULA"); rc != kOk) return rc;
                break;
            }
            Cell *cell = cell_at(sheet, u16(p), u16(p + 2), u16(p + 4), "BIFF_FORMULA");
            if (!cell) return limit_rc_;
            switch (static_cast<unsigned char>(p[6])) {
            case 0: formula_cell_ = cell; break;   // the text follows in a STRING record
            case 1:
                cell->kind = kCellBoolean;
                cell->set_integer(p[8] ? 1 : 0);
                break;
            case 2:
                cell->kind = kCellError;
                cell->set_text(error_text(static_cast<std::uint8_t>(p[8])));
                break;
            case 3: {
                int index = book_.shared_strings.put("");
                if (index < 0) return kNoMemory;
                cell->kind = kCellString;
                cell->sst = static_cast<std::uint32_t>(index);
                break;
            }
            default: break;
            }
            break;
        }
        case kString: {
            if (!formula_cell_) break;
            std::string text;
            if (!record_text(record, kBiff5FormulaText, false, text)) return kFail;
            int index = book_.shared_strings.put(text);
            if (index < 0) return kNoMemory;
            formula_cell_->kind = kCellString;
            formula_cell_->sst = static_cast<std::uint32_t>(index);
            formula_cell_ = nullptr;
            break;
        }
        default: break;
        }
    }
    return reader.damaged() ? kFail : kOk;
}

int load_bytes(const std::string &source, bool from_memory, std::string &bytes) {
    if (from_memory) {
        MFile *file = mfind(source);
        if (!file) return kOpenError;
        bytes.assign(reinterpret_cast<const char *>(file->buffer.get()), static_cast<std::size_t>(file->length));
        return kOk;
    }
    std::FILE *file = open_input_file(source);
    if (!file) return kOpenError;
    char chunk[1 << 16];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        bytes.append(chunk, got);
        if (bytes.size() > kMaxFileBytes) break;
    }
    bool failed = std::ferror(file) != 0 || bytes.size() > kMaxFileBytes;
    std::fclose(file);
    return failed ? kReadError : kOk;
}

}  // namespace

int read_xls_workbook(Book &book, const std::string &source, bool from_memory, std::string *reason) {
    try {
        std::string bytes;
        if (int rc = load_bytes(source, from_memory, bytes); rc != kOk) {
            book.diagnostics.note(kDiagnosticFileOpen, source);
            return rc;
        }
        XlsLoader loader(book);
        int rc = loader.run(bytes);
        if (reason) *reason = loader.reason();
        if (rc == kNoMemory) book.diagnostics.note(kDiagnosticNoMemory, "");
        else if (rc != kOk && rc != kLimit) book.diagnostics.note(kDiagnosticFileContents, loader.fault());
        return rc;
    } catch (const std::bad_alloc &) {
        book.diagnostics.note(kDiagnosticNoMemory, "");
        return kNoMemory;
    }
}

}  // namespace tabsmith
