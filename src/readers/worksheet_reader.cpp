// One worksheet part, read as it is inflated: the XML around the cells (settings the engine
// models, the rest kept for a save) and the rows, in pieces that one or more parsers take on.

#include <algorithm>
#include <charconv>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <thread>

#include "readers/worksheet_rows.h"
#include "readers/xlsx_parts.h"
#include "readers/reader_text.h"
#include "readers/xml_scanner.h"
#include "support/zip_reader.h"

namespace tabsmith {

namespace {

// Rows go to the parsers in pieces of about this size; the inflated part is never held whole.
constexpr std::size_t kPieceBytes = 1 << 18;
// Parts from this size on are parsed by several parsers at once where the machine has the cores.
constexpr std::uint64_t kParallelBytes = 8ULL << 20;
// The fewest bytes a row element takes ("<row/>").
constexpr std::uint64_t kRowElementBytes = 6;

bool is_name_char(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.';
}

bool ends_name(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '>' || c == '/'; }

bool parse_area(std::string_view ref, MergeArea &area) {
    std::size_t colon = ref.find(':');
    std::string_view first = ref.substr(0, colon);
    std::string_view last = colon == std::string_view::npos ? first : ref.substr(colon + 1);
    if (!parse_a1(first, area.row1, area.column1) || !parse_a1(last, area.row2, area.column2)) return false;
    if (area.row1 > area.row2) std::swap(area.row1, area.row2);
    if (area.column1 > area.column2) std::swap(area.column1, area.column2);
    return true;
}

// Where the tag named `local` (with or without a prefix) starts at or after `from`: the '<' of
// "<local" or "<p:local", or with `closing` of "</local" or "</p:local"; npos when none.
std::size_t find_tag(std::string_view text, std::string_view local, std::size_t from, bool closing) {
    for (std::size_t at = text.find(local, from); at != std::string_view::npos; at = text.find(local, at + 1)) {
        std::size_t end = at + local.size();
        if (end >= text.size() || !ends_name(text[end])) continue;
        std::size_t k = at;
        if (k > 0 && text[k - 1] == ':') {
            --k;
            while (k > 0 && is_name_char(text[k - 1])) --k;
        }
        if (closing) {
            if (k >= 2 && text[k - 1] == '/' && text[k - 2] == '<') return k - 2;
        } else if (k >= 1 && text[k - 1] == '<') {
            return k - 1;
        }
    }
    return std::string_view::npos;
}

// How far back a search in a grown buffer looks again before the old end: a row's start tag
// cut off there is found whole next time. A longer tag is only a missed place to cut.
constexpr std::size_t kRowTagLookback = 4096;

// The start of the last row element of `text` at or after `from` that carries its number, so
// that the rows before it form whole elements and the piece after it needs nothing from them;
// 0 when none.
std::size_t last_numbered_row(std::string_view text, std::size_t from) {
    // The search looks at the window only: rfind on the whole text would go back to its start.
    const std::string_view window = text.substr(std::min(from, text.size()));
    std::size_t at = window.size();
    while (at > 0) {
        std::size_t found = window.rfind("row", at - 1);
        if (found == std::string_view::npos) return 0;
        at = found;
        found += text.size() - window.size();
        if (found == 0) return 0;
        std::size_t end = found + 3;
        if (end >= text.size() || !ends_name(text[end])) continue;
        std::size_t k = found;
        if (text[k - 1] == ':') {
            --k;
            while (k > 0 && is_name_char(text[k - 1])) --k;
        }
        if (k == 0 || text[k - 1] != '<') continue;
        std::size_t close = text.find('>', end);
        if (close == std::string_view::npos) continue;
        std::string_view tag = text.substr(end, close - end);
        if (tag.find(" r=") != std::string_view::npos || tag.find("\tr=") != std::string_view::npos ||
            tag.find("\nr=") != std::string_view::npos)
            return k - 1;
    }
    return 0;
}

// One tag looked for in a buffer that grows at its end (and may lose its front): each look
// goes over what earlier looks have not seen, so the whole search stays linear in the part.
class TagSearch {
public:
    TagSearch(std::string_view local, bool closing) : local_(local), closing_(closing) {}

    // Whether the tag and the '>' ending it are in `text`; begin() and end() then tell where.
    bool found(std::string_view text) {
        if (begin_ == std::string_view::npos) {
            begin_ = find_tag(text, local_, from_, closing_);
            if (begin_ == std::string_view::npos) {
                // A name cut off at the end, or not yet followed by what ends it, is seen again.
                from_ = text.size() > local_.size() ? text.size() - local_.size() : 0;
                return false;
            }
            from_ = begin_;
        }
        const std::size_t close = text.find('>', from_);
        if (close == std::string_view::npos) {
            from_ = text.size();
            return false;
        }
        end_ = close + 1;
        return true;
    }
    std::size_t begin() const { return begin_; }
    std::size_t end() const { return end_; }
    // The buffer lost its first `bytes`, none of them part of the tag.
    void dropped(std::size_t bytes) { from_ = from_ > bytes ? from_ - bytes : 0; }

private:
    std::string_view local_;
    bool closing_;
    std::size_t from_ = 0;
    std::size_t begin_ = std::string_view::npos, end_ = std::string_view::npos;
};

// The settings the engine models from the XML around the cells, and that XML kept for a save.
class SettingsReader {
public:
    SettingsReader(Book &book, Sheet &sheet, std::string_view text, SheetSource *source)
        : book_(book), sheet_(sheet), text_(text), source_(source), scanner_(text) {}

    int run() {
        std::size_t element_begin = 0;
        for (XmlToken token; (token = scanner_.next()) != XmlToken::kEndOfInput;) {
            if (token == XmlToken::kStart) {
                if (scanner_.depth() == 1) {
                    if (source_) source_->root_start_tag.assign(span());
                    continue;
                }
                if (scanner_.depth() == 2) element_begin = scanner_.token_begin();
                start_element(scanner_.local_name());
            } else if (token == XmlToken::kEnd && scanner_.depth() == 1 && source_ &&
                       scanner_.local_name() != "sheetData") {
                source_->elements.push_back({std::string(scanner_.local_name()),
                                             std::string(text_.substr(element_begin, scanner_.token_end() - element_begin))});
            }
        }
        return scanner_.error();
    }

    int last_row() const { return last_row_; }
    PartFault fault() const { return scanner_.fault(); }

private:
    std::string_view span() const {
        return text_.substr(scanner_.token_begin(), scanner_.token_end() - scanner_.token_begin());
    }

    void start_element(std::string_view name);

    Book &book_;
    Sheet &sheet_;
    std::string_view text_;
    SheetSource *source_;
    XmlScanner scanner_;
    int last_row_ = -1;
};

void SettingsReader::start_element(std::string_view name) {
    SheetSettings &settings = sheet_.settings;
    std::string_view value;
    if (name == "dimension") {
        MergeArea area;
        if (scanner_.attribute("ref", value) && parse_area(value, area)) last_row_ = area.row2;
    } else if (name == "sheetPr") {
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

// Where the part's text comes from: a stream of the archive entry, or a text already whole.
class PartText {
public:
    explicit PartText(ZipEntryStream *stream, std::string_view whole = {}) : stream_(stream), whole_(whole) {}
    // Appends the next piece to `buffer`; false once there is no more (or on an error, in rc()).
    bool more(std::string &buffer) {
        if (done_) return false;
        if (!stream_) {
            buffer.append(whole_);
            done_ = true;
            return true;
        }
        const std::size_t before = buffer.size();
        rc_ = stream_->read(buffer, kPieceBytes, done_);
        if (rc_ != kOk) done_ = true;
        return rc_ == kOk && (buffer.size() > before || !done_);
    }
    int rc() const { return rc_; }

private:
    ZipEntryStream *stream_;
    std::string_view whole_;
    bool done_ = false;
    int rc_ = kOk;
};

// Hands pieces of rows to the parsers: the reading thread's own parser, and with `parallel`
// workers beside it, one for each further core (at most kMostWorkers). The reading thread
// queues a piece while the workers keep up and parses it itself when they do not, so that no
// thread waits for another while there is work.
class RowPieces {
public:
    // `places`: the parsers note where each row element lies (see places()).
    RowPieces(Book &book, Sheet &sheet, bool parallel, bool places)
        : book_(book), sheet_(sheet), categories_(style_categories(book)) {
        spares_.reserve(kSpareBuffers);   // give_back, on a worker too, then never allocates
        if (parallel) shared_ = std::make_unique<SharedRows>(sheet.rows.size());
        const unsigned workers =
            parallel ? std::clamp(std::thread::hardware_concurrency(), 2u, kMostWorkers + 1) - 1 : 0;
        for (unsigned id = 1; id <= workers + 1; ++id) {
            parsers_.push_back(
                std::make_unique<RowsParser>(book_, sheet_, categories_, shared_.get(), static_cast<int>(id)));
            if (places) parsers_.back()->record_places();
        }
        for (unsigned k = 1; k <= workers; ++k) {
            RowsParser *parser = parsers_[k].get();
            workers_.emplace_back([this, parser] { work(*parser); });
        }
    }
    ~RowPieces() { finish(); }

    // `at` is where the piece starts in the part, for the fault of a refused piece.
    int add(std::string text, std::size_t at) {
        Piece piece{std::move(text), at};
        if (!workers_.empty()) {
            std::lock_guard<std::mutex> lock(mutex_);
            if (error_ != kOk) return error_;
            // A bounded queue, so that the part is never held whole. When it is full, this thread
            // takes the oldest piece: pieces are begun in part order, whoever parses them.
            queue_.push_back(std::move(piece));
            ready_.notify_one();
            if (queue_.size() <= kQueuedPieces) return kOk;
            piece = std::move(queue_.front());
            queue_.pop_front();
        }
        RowsParser &own = *parsers_.front();
        const int rc = own.parse(piece.text, piece.at);
        give_back(std::move(piece.text));
        if (rc != kOk) fail(own, rc, piece.at);
        return rc;
    }

    // A buffer for the next piece: one a parser is done with, its memory already the process's
    // (a part of tens of megabytes then costs no fresh pages), or a new one.
    std::string spare() {
        std::string buffer;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!spares_.empty()) {
                buffer = std::move(spares_.back());
                spares_.pop_back();
            }
        }
        buffer.clear();
        return buffer;
    }

    // Where and why the first refused piece went wrong, offsets counted in the part.
    const PartFault &fault() const { return fault_; }
    // The row elements every parser met, in part order (after finish()). Each parser's are in
    // part order already (each takes its pieces in the order they come): they are merged.
    std::vector<SheetSource::StoredRow> places() {
        std::vector<SheetSource::StoredRow> all;
        for (auto &parser : parsers_) {
            const auto middle = static_cast<std::ptrdiff_t>(all.size());
            all.insert(all.end(), parser->places().begin(), parser->places().end());
            std::inplace_merge(all.begin(), all.begin() + middle, all.end(),
                               [](const auto &a, const auto &b) { return a.begin < b.begin; });
        }
        return all;
    }
    bool saw_shared_formula() const {
        for (const auto &parser : parsers_)
            if (parser->saw_shared_formula()) return true;
        return false;
    }

    // Waits for the workers and merges what the parsers kept aside. kOk or the first failure.
    int finish() {
        if (!workers_.empty()) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                closed_ = true;
            }
            ready_.notify_all();
            for (std::thread &worker : workers_) worker.join();
            workers_.clear();
        }
        if (error_ != kOk || !shared_) return error_;
        try {
            std::size_t widest = 0;
            for (auto &parser : parsers_) {
                widest = std::max(widest, parser->widest());
                if (parser->last_row() >= sheet_.rows_used) sheet_.rows_used = parser->last_row() + 1;
            }
            ensure_column_count(sheet_, widest);
            for (auto &parser : parsers_)
                if (int rc = merge_set_aside_rows(book_, sheet_, parser->set_aside()); rc != kOk) return error_ = rc;
        } catch (const std::bad_alloc &) {
            return error_ = kNoMemory;
        }
        return kOk;
    }

private:
    static constexpr unsigned kMostWorkers = 2;
    static constexpr std::size_t kQueuedPieces = 2;

    void give_back(std::string buffer) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (spares_.size() < kSpareBuffers) spares_.push_back(std::move(buffer));
    }

    // Notes the first refused piece (where in the part and why) and stops the workers.
    void fail(const RowsParser &parser, int rc, std::size_t at) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (error_ != kOk) return;
        error_ = rc;
        if (rc != kNoMemory) {
            fault_ = parser.fault();
            fault_.offset += at;
        }
        ready_.notify_all();
    }

    void work(RowsParser &parser) {
        for (;;) {
            Piece piece;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                ready_.wait(lock, [&] { return !queue_.empty() || closed_ || error_ != kOk; });
                if (error_ != kOk || queue_.empty()) return;
                piece = std::move(queue_.front());
                queue_.pop_front();
            }
            int rc = kOk;
            try {
                rc = parser.parse(piece.text, piece.at);
            } catch (const std::bad_alloc &) {
                rc = kNoMemory;
            }
            if (rc != kOk) {
                fail(parser, rc, piece.at);
                return;
            }
            give_back(std::move(piece.text));
        }
    }

    Book &book_;
    Sheet &sheet_;
    std::vector<int> categories_;
    std::unique_ptr<SharedRows> shared_;
    std::vector<std::unique_ptr<RowsParser>> parsers_;   // the reading thread's first, then the workers'
    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable ready_;
    struct Piece {
        std::string text;
        std::size_t at = 0;
    };
    std::deque<Piece> queue_;
    // Buffers of parsed pieces, for the pieces to come: as many as can be in flight at once.
    static constexpr std::size_t kSpareBuffers = kQueuedPieces + kMostWorkers + 1;
    std::vector<std::string> spares_;
    PartFault fault_;
    bool closed_ = false;
    int error_ = kOk;
};

// Keeps the row elements a save may write back as the package stored them, with the digest of
// each row as read. A row given by two elements (the store gathered its cells from both) is not
// one of them, and neither is one that comes after a higher row: the rows written back keep the
// part's order, which the writer's row order must match.
void keep_row_places(const Sheet &sheet, std::vector<SheetSource::StoredRow> places, SheetSource &source) {
    std::vector<std::uint8_t> met(sheet.rows.size(), 0);
    for (const auto &place : places)
        if (place.row >= 0 && static_cast<std::size_t>(place.row) < met.size() && met[static_cast<std::size_t>(place.row)] < 2)
            ++met[static_cast<std::size_t>(place.row)];
    int last = -1;
    for (auto &place : places) {
        if (place.row < 0) continue;
        if (static_cast<std::size_t>(place.row) >= met.size() || met[static_cast<std::size_t>(place.row)] != 1 ||
            place.row <= last) {
            place.row = -1;
            continue;
        }
        last = place.row;
        place.digest = row_digest(sheet.rows[static_cast<std::size_t>(place.row)]);
    }
    source.stored_rows = std::move(places);
}

// The settings around the rows, read once the rows are past: a fault is placed in the part by
// its offset in the head (up to `head_end`) or in the tail (which starts at `tail_at`).
int read_settings(Book &book, Sheet &sheet, std::string_view settings, SheetSource *source, std::size_t head_end,
                  std::size_t tail_at, PartFault *fault) {
    SettingsReader reader(book, sheet, settings, source);
    const int rc = reader.run();
    if (rc != kOk && fault) {
        *fault = reader.fault();
        if (fault->offset >= head_end) fault->offset += tail_at - head_end;
    }
    return rc;
}

int read_worksheet(Book &book, Sheet &sheet, PartText &input, std::uint64_t size, SheetSource *source,
                   PartFault *fault, bool row_places) {
    std::string buffer;
    // The XML before the rows, up to the end of <sheetData>'s start tag.
    TagSearch data("sheetData", false);
    bool found = false;
    while (!(found = data.found(buffer)) && input.more(buffer)) {
    }
    if (input.rc() != kOk) return input.rc();
    if (!found || buffer[data.end() - 2] == '/') {
        // No rows: the part is all settings.
        while (input.more(buffer)) {
        }
        if (input.rc() != kOk) return input.rc();
        return read_settings(book, sheet, buffer, source, buffer.size(), buffer.size(), fault);
    }
    std::string settings = buffer.substr(0, data.end());
    {
        // The sheet's extent, when the part states it, sizes the row table once; no further
        // than the part's bytes can hold rows, as the statement costs nothing to write.
        SettingsReader head(book, sheet, settings, nullptr);
        head.run();
        sheet.merges.clear();
        sheet.columns.clear();
        sheet.column_flags.clear();
        const std::uint64_t rows_held = size / kRowElementBytes;
        if (head.last_row() >= 0 && head.last_row() < book.max_rows && static_cast<std::uint64_t>(head.last_row()) < rows_held)
            if (ensure_row(book, sheet, head.last_row()) != kOk) return kNoMemory;
    }
    std::size_t consumed = data.end();   // bytes of the part before the buffer's first
    buffer.erase(0, data.end());
    auto refused = [&](int rc, const RowPieces &pieces) {
        if (fault && rc != kNoMemory) *fault = pieces.fault();
        return rc;
    };

    const bool parallel = size >= kParallelBytes && std::thread::hardware_concurrency() > 1;
    // A namespace declared on sheetData would not be declared around rows written back as stored.
    const bool places = row_places && source && settings.find("xmlns", data.begin()) == std::string::npos;
    RowPieces pieces(book, sheet, parallel, places);
    TagSearch data_end("sheetData", true);
    std::size_t rows_from = 0;   // where the next look for a place to cut starts
    bool closed = false;
    for (;;) {
        if ((closed = data_end.found(buffer))) break;
        std::size_t cut = buffer.size() >= kPieceBytes ? last_numbered_row(buffer, rows_from) : 0;
        if (cut > 0) {
            std::string rest = pieces.spare();
            rest.assign(buffer, cut);
            buffer.resize(cut);
            if (int rc = pieces.add(std::move(buffer), consumed); rc != kOk) return refused(rc, pieces);
            buffer = std::move(rest);
            consumed += cut;
            data_end.dropped(cut);
            rows_from = 0;
        } else if (buffer.size() >= kPieceBytes) {
            rows_from = buffer.size() > kRowTagLookback ? buffer.size() - kRowTagLookback : 0;
        }
        if (!input.more(buffer)) break;
    }
    if (input.rc() != kOk) return input.rc();
    if (!closed) {
        if (fault) *fault = {consumed + buffer.size(), "</sheetData>がないまま終わっています"};
        return kFail;
    }
    const std::size_t close = data_end.begin();
    std::string tail = buffer.substr(close);
    buffer.resize(close);
    if (int rc = pieces.add(std::move(buffer), consumed); rc != kOk) return refused(rc, pieces);
    if (int rc = pieces.finish(); rc != kOk) return refused(rc, pieces);
    if (pieces.saw_shared_formula()) translate_shared_formulas(sheet);
    if (places) keep_row_places(sheet, pieces.places(), *source);

    while (input.more(tail)) {
    }
    if (input.rc() != kOk) return input.rc();
    const std::size_t head_end = settings.size();
    settings += tail;
    return read_settings(book, sheet, settings, source, head_end, consumed + close, fault);
}

}  // namespace

int read_worksheet_part(Book &book, Sheet &sheet, std::string_view text, SheetSource *source, PartFault *fault) {
    try {
        PartText input(nullptr, text);
        return read_worksheet(book, sheet, input, text.size(), source, fault, false);
    } catch (const std::bad_alloc &) {
        return kNoMemory;
    }
}

int read_worksheet_stream(Book &book, Sheet &sheet, ZipEntryStream &stream, SheetSource *source, PartFault *fault,
                          bool row_places) {
    try {
        PartText input(&stream);
        return read_worksheet(book, sheet, input, stream.plain_size(), source, fault, row_places);
    } catch (const std::bad_alloc &) {
        return kNoMemory;
    }
}

}  // namespace tabsmith
