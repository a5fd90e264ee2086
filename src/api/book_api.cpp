// The book functions of the C API: open, close, free, version, debug and the error state.
// A Book lives behind XLS_BOOK::work from a successful open until close or free.

#include <cstdio>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <string_view>
#include <unordered_set>

#include "api/api.h"
#include "api/book_init.h"
#include "api/open_options.h"
#include "readers/xls_reader.h"
#include "support/charset.h"
#include "support/files.h"
#include "support/printf_text.h"
#include "support/scanner.h"

using namespace tabsmith;

namespace {

// Books handed out and not yet released. Lets a reopen of a record that still holds a book
// release it, without ever following a pointer from a record that was never opened.
std::mutex live_mutex;
std::unordered_set<Book *> live_books;

// The character set a record's message is handed out in while it holds no book: the one its
// last open asked for, or its last book's. Shift-JIS, the default, is not kept; the table is
// emptied when it grows past what any number of live records needs.
std::unordered_map<const XLS_BOOK *, int> record_charsets;
constexpr std::size_t kMaxRecordCharsets = 4096;

// The longest message TXLS_error_mesg hands out; one that fills log.error_info to the last byte
// may have been cut by the raiser, so the caller gets TXLS-04000 instead.
constexpr std::size_t kLongestMessage = TXLS_ERROR_INFO_SIZE - 2;

void remember_charset(const XLS_BOOK *record, int charset) {
    std::lock_guard<std::mutex> lock(live_mutex);
    if (charset == kSjis) {
        record_charsets.erase(record);
        return;
    }
    if (record_charsets.size() >= kMaxRecordCharsets) record_charsets.clear();
    record_charsets[record] = charset;
}

int remembered_charset(const XLS_BOOK *record) {
    std::lock_guard<std::mutex> lock(live_mutex);
    auto found = record_charsets.find(record);
    return found == record_charsets.end() ? kSjis : found->second;
}

void release_book(XLS_BOOK *record) {
    Book *book = book_of(record);
    if (!book) return;
    {
        std::lock_guard<std::mutex> lock(live_mutex);
        live_books.erase(book);
    }
    try {
        remember_charset(record, book->charset);
    } catch (const std::bad_alloc &) {
        // The message then comes in Shift-JIS, as the record's own field holds it.
    }
    record->work = nullptr;
    delete book;
}

Book *adopt_book(XLS_BOOK *record, std::unique_ptr<Book> book) {
    {
        std::lock_guard<std::mutex> lock(live_mutex);
        live_books.insert(book.get());   // may run out of memory: the book is still owned here
    }
    Book *raw = book.release();
    raw->err.attach(record->log.error_info, &record->error_code);
    record->work = raw;
    return raw;
}

bool is_live(void *work) {
    std::lock_guard<std::mutex> lock(live_mutex);
    return live_books.count(static_cast<Book *>(work)) != 0;
}

// A legacy .xls workbook: the book is made again with the .xls limits and read by the BIFF8
// reader, for its values to be read.
int open_xls_book(XLS_BOOK *record, std::unique_ptr<Book> fresh, const OpenOptions &options, const std::string &path) {
    Book &book = *fresh;
    ErrorSink &err = book.err;
    err.attach(record->log.error_info, &record->error_code);
    err.set_english(options.english);
    if (init_book(book, kFileTypeXls) != 0) return err.raise_out_of_memory();
    book.charset = options.charset;
    book.data_charset = options.data_charset;
    book.mode = options.mode;
    book.temp_workbook_path = options.temp_workbook_path;
    book.unload = options.mode == OpenMode::kUnload;
    book.load_or_unload = options.mode == OpenMode::kUnload || options.mode == OpenMode::kLoad;
    std::string reason;
    switch (read_xls_workbook(book, path, options.read_memory, &reason)) {
    case kOk: break;
    case kNoMemory: return err.raise_out_of_memory();
    case kLimit: return err.fail(kFail);   // the reader's message stays
    case kXlsNotReadable: return err.raise(kXlsRead, Msg::k00900, (path + ": " + reason).c_str());
    case kOpenError:
    case kReadError: return err.raise(kOpenError, Msg::k03101, path.c_str());
    default: return err.raise(kFail, Msg::k03110);
    }
    book.from_file = true;
    book.read_memory = options.read_memory;
    book.file_name = path;
    book.memory_name = options.book_name;
    adopt_book(record, std::move(fresh));
    return 0;
}

int open_book(XLS_BOOK *record, const char *options_text) {
    if (record->work && is_live(record->work)) release_book(record);
    record->work = nullptr;
    record->error_code = 0;
    record->log.error_info[0] = '\0';
    record->caller_mesg[0] = '\0';

    ErrorSink err;
    err.attach(record->log.error_info, &record->error_code);
    OpenOptions options;
    const int parsed = parse_open_options(options_text, sizeof(XLS_BOOK), err, options);
    // A failed open hands its message out in the character set the options asked for.
    remember_charset(record, options.charset);
    if (parsed != 0) return err.fail(parsed);

    // The record gets the book only once it is complete: an open that fails (for want of memory
    // too) leaves the record without one.
    auto fresh = std::make_unique<Book>();
    if (init_book(*fresh, kFileTypeXlsx) != 0) return err.raise_out_of_memory();
    Book *book = fresh.get();
    book->err.set_english(options.english);
    book->charset = options.charset;
    book->data_charset = options.data_charset;
    book->mode = options.mode;
    book->temp_workbook_path = options.temp_workbook_path;
    book->stream_after = options.stream_after;
    book->write_memory = options.write_memory;
    book->unload = options.mode == OpenMode::kUnload;
    book->load_or_unload = options.mode == OpenMode::kUnload || options.mode == OpenMode::kLoad;

    std::string path;
    if (options.read_memory) {
        path = options.book_name;
        if (options.has_template) options.template_name = options.book_name;
    } else {
        path = working_path(options.has_template ? options.template_name : options.book_name);
    }

    if (options.mode == OpenMode::kCreate && !options.has_template) {
        // A book saved to memory is fetched by the name the caller gave it.
        book->file_name = options.write_memory ? options.book_name : path;
        book->memory_name = options.book_name;
        adopt_book(record, std::move(fresh));
        return 0;
    }

    // Every other mode reads a workbook first. Its version is taken before any of it is read:
    // a change while it is being read counts as a change too.
    const FileIdentity version = options.read_memory ? FileIdentity{} : file_identity(path);
    int type = 0;
    int probe = probe_workbook(path, options.read_memory, type);
    if (probe != 0) {
        int stored = (probe == kOpenError || probe == kReadError) ? probe : kOpenError;
        err.raise(kOpenError, Msg::k03101, path.c_str());
        err.fail(stored);
        return kOpenError;
    }
    if (type == kFileTypeXls && !options.has_template)
        return open_xls_book(record, std::move(fresh), options, path);
    if (type != kFileTypeXlsx && type != kFileTypeXlsm) return err.raise(kUnsupported, Msg::k00900, path.c_str());

    const bool list_only = options.mode == OpenMode::kList;
    std::string fault;
    int rc = read_workbook(*book, path, options.read_memory, list_only, &fault);
    if (rc != 0) return raise_read_failure(err, rc, path, fault, list_only);
    if (!list_only) {
        book->from_file = true;
        book->read_memory = options.read_memory;
        book->macro = type == kFileTypeXlsm;
        // A book filled from a template is saved under the caller's name by the rule of new
        // books, Book1.xlsx when none was given, and never over the template; a book read or
        // updated is saved over the file it came from.
        std::string name = options.has_template ? working_path(options.book_name) : path;
        if (options.read_memory) name = options.book_name;
        if (options.has_template) name = with_template_extension(std::move(name), book->macro);
        book->file_name = name;
        if (!options.read_memory && name == path) book->read_version = version;
        book->memory_name = options.read_memory || options.write_memory ? name : options.book_name;
    }
    adopt_book(record, std::move(fresh));
    return 0;
}

struct CloseOptions {
    bool save = false;
    std::string memory_name;   // MEMORY="name": save into this memory file, whatever the book's target
};

// "SAVE" and "DESTROY" (the last one wins; other words are ignored) and MEMORY="name".
CloseOptions parse_close_options(const char *options, int charset) {
    CloseOptions parsed;
    if (!options) return parsed;
    std::string_view text(options);
    std::size_t pos = 0;
    std::string word, equals, value;
    while (scan_token(ScanMode::kOptions, charset, text, pos, word) != kScanNoMore) {
        std::string utf8 = to_utf8(word, charset);
        if (keyword_is(utf8, "SAVE", {"保存"})) {
            parsed.save = true;
        } else if (keyword_is(utf8, "DESTROY", {"破棄"})) {
            parsed.save = false;
        } else if (keyword_is(utf8, "MEMORY", {"メモリ"})) {
            std::size_t after = pos;
            if (scan_token(ScanMode::kOptions, charset, text, after, equals) != kScanNoMore && equals == "=" &&
                scan_token(ScanMode::kOptions, charset, text, after, value) != kScanNoMore) {
                parsed.memory_name = to_utf8(strip_quotes(value), charset);
                pos = after;
            }
        }
    }
    return parsed;
}

}  // namespace

// Maps a writer result to the caller's result; a message the writer left stays. A file that
// could not be written is named as the save named it: the book's file, or the memory file a
// close option chose.
int tabsmith::save_failure(Book &book, int rc, bool writer_left_message, const std::string &target_name) {
    auto report = [&](int result, auto... raise_args) {
        if (writer_left_message) return book.err.fail(result);
        return book.err.raise(result, raise_args...);
    };
    switch (rc) {
    case kOpenError:
    case kWriteError: return report(kWriteError, Msg::k03121, target_name.c_str());
    case kTargetChanged: return report(kWriteError, Msg::k03123, target_name.c_str());
    case kPictureOpenError: return report(kOpenError, Msg::k03102, "");
    case kUnsupported: return report(kUnsupported, Msg::k03121, target_name.c_str());
    case kLimit: return report(kOverflow, Msg::k03009, 0, "tsx_create_excel2007()");
    case kNoMemory: return report(kNoMemory, Msg::k00002);
    default: return book.err.fail(kFail);
    }
}

extern "C" {

int TXLS_open_book(XLS_BOOK *record, const char *options) {
    if (!record) return kBadArgument;
    return api_boundary(record, "TXLS_open_book()", [&] { return open_book(record, options); });
}

int TXLS_free_book(XLS_BOOK *record) {
    if (!record) return kBadArgument;
    return api_boundary(record, "TXLS_free_book()", [&] {
        record->error_code = 0;
        release_book(record);
        return 0;
    });
}

int TXLS_close_book(XLS_BOOK *record, const char *options) {
    if (!record) return kBadArgument;
    return api_boundary(record, "TXLS_close_book()", [&] {
        Book *book = enter(record, 0);
        if (!book) {
            record->error_code = 0;
            return 0;
        }
        std::string keep;
        const CloseOptions close = parse_close_options(options, book->charset);
        if (close.save) {
            const std::string before = book->err.message_sjis();
            const SaveTarget target = save_target(*book, close.memory_name);
            // A book saved to memory stays there for its caller to fetch. Named before the save:
            // once the book is saved, nothing may fail (for want of memory) before it is closed.
            if (target.to_memory) keep = target.name;
            int rc = save_book(*book, target);
            // The book stays open for another try.
            if (rc != 0) return save_failure(*book, rc, before != book->err.message_sjis(), target.name);
        }
        release_book(record);
        close_memory_files(keep);
        return 0;
    });
}

int TXLS_swap_book(int restore) {
    return api_boundary(nullptr, "TXLS_swap_book()", [&] { return swap_memory_files(restore); });
}

int TXLS_version(XLS_BOOK *record, char *out, int size) {
    clear_call_state(record);
    if (!out || size <= 0) return kBadArgument;
    return api_boundary(record, "TXLS_version()", [&] {
        const std::size_t needed = std::strlen(TXLS_VERSION_TEXT) + 1;
        if (static_cast<std::size_t>(size) < needed) {
            out[0] = '\0';
            if (Book *book = book_of(record)) return book->err.raise(kOverflow, Msg::k03009, size, "TXLS_version()");
            return kOverflow;
        }
        std::memcpy(out, TXLS_VERSION_TEXT, needed);
        return 0;
    });
}

int TXLS_debug(const char *text) {
    std::printf("%s\n", text ? text : "");
    std::fflush(stdout);
    return 0;
}

int TXLS_error_code(XLS_BOOK *record) { return record ? record->error_code : kBadArgument; }

char *TXLS_error_mesg(XLS_BOOK *record) {
    if (!record) return nullptr;
    Book *book = book_of(record);
    const int charset = book ? book->charset : remembered_charset(record);
    try {
        const char *info = record->log.error_info;
        std::size_t length = strnlen(info, TXLS_ERROR_INFO_SIZE);
        std::string message;
        if (length <= kLongestMessage)
            message.assign(info, length);
        else
            message = from_utf8(printf_text(message_entry(Msg::k04000).text, "log.error_info",
                                            static_cast<int>(kLongestMessage)), kSjis);
        std::string converted = convert_charset(message, kSjis, charset);
        std::size_t keep = fit_prefix(charset, converted, TXLS_CALLER_MESG_SIZE - 1);
        std::memcpy(record->caller_mesg, converted.data(), keep);
        record->caller_mesg[keep] = '\0';
    } catch (...) {
        // Converting takes memory; without it the caller still gets a message it can read.
        const std::string_view fallback = out_of_memory_text(charset);
        std::memcpy(record->caller_mesg, fallback.data(), fallback.size());
        record->caller_mesg[fallback.size()] = '\0';
    }
    return record->caller_mesg;
}

}  // extern "C"
