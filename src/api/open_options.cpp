// The option grammar of TXLS_open_book: KEY = VALUE pairs read with the shared scanner, the
// character set in force when each key is read.

#include "api/open_options.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "support/charset.h"
#include "support/scanner.h"
#include "tabsmith.h"

namespace tabsmith {
namespace {

constexpr std::size_t kMaxNameBytes = 256;

bool ends_with(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size()) return false;
    return equals_ignore_case(text.substr(text.size() - suffix.size()), suffix);
}

bool parse_mode(std::string_view word, OpenMode &mode) {
    if (keyword_is(word, "READ", {"読込", "読み込み"})) mode = OpenMode::kRead;
    else if (keyword_is(word, "CREATE", {"新規"})) mode = OpenMode::kCreate;
    else if (keyword_is(word, "UPDATE", {"更新"})) mode = OpenMode::kUpdate;
    else if (keyword_is(word, "LOAD", {"ロード"})) mode = OpenMode::kLoad;
    else if (keyword_is(word, "UNLOAD", {"アンロード"})) mode = OpenMode::kUnload;
    else if (keyword_is(word, "LIST", {"一覧"})) mode = OpenMode::kList;
    else return false;
    return true;
}

bool is_true(std::string_view value) { return keyword_is(value, "TRUE", {"する"}); }

// File names are limited by their Shift-JIS length, as the message promises.
bool name_too_long(std::string_view utf8) { return from_utf8(utf8, kSjis).size() > kMaxNameBytes; }

}  // namespace

std::string apply_extension_rule(std::string_view name) {
    std::string result(name);
    if (ends_with(name, ".xls")) return result;
    if (name.size() >= 6 && (ends_with(name, ".xlsx") || ends_with(name, ".xlsm"))) return result;
    if (name.size() >= 6 && name.find_first_of("\\.") != std::string_view::npos) return result;
    return result + ".xlsx";
}

std::string with_template_extension(std::string name, bool macro) {
    const std::string_view own = macro ? ".xlsm" : ".xlsx", other = macro ? ".xlsx" : ".xlsm";
    if (name.ends_with(other)) name.replace(name.size() - other.size(), other.size(), own);
    return name;
}

int parse_open_options(const char *text, std::size_t record_size, ErrorSink &err, OpenOptions &options) {
    if (!text) return 0;
    return for_each_option(text, options.charset, err, [&](const std::string &key_utf8, const std::string &value_utf8) {
        if (keyword_is(key_utf8, "EXCEL") || keyword_is(key_utf8, "BOOK", {"ブック"})) {
            if (name_too_long(value_utf8)) return err.raise(kBadArgument, Msg::k00005);
            options.has_book = true;
            options.book_name = apply_extension_rule(value_utf8);
        } else if (keyword_is(key_utf8, "MODE", {"モード"})) {
            if (!parse_mode(value_utf8, options.mode)) return err.raise(kBadArgument, Msg::k02200, value_utf8.c_str());
        } else if (keyword_is(key_utf8, "TEMPLATE", {"テンプレート"})) {
            if (name_too_long(value_utf8)) return err.raise(kBadArgument, Msg::k00005);
            options.has_template = true;
            options.template_name = value_utf8;
        } else if (keyword_is(key_utf8, "CHARSET", {"キャラクタセット"})) {
            if (equals_ignore_case(value_utf8, "SJIS")) options.charset = kSjis;
            else if (equals_ignore_case(value_utf8, "EUC")) options.charset = kEuc;
            else if (equals_ignore_case(value_utf8, "UTF8")) options.charset = kUtf8;
        } else if (keyword_is(key_utf8, "MESSAGES", {"メッセージ"})) {
            // The language of the messages from here on: JA (the default) or EN.
            if (equals_ignore_case(value_utf8, "EN")) options.english = true;
            else if (equals_ignore_case(value_utf8, "JA")) options.english = false;
            else return err.raise(kBadArgument, Msg::k02200, value_utf8.c_str());
            err.set_english(options.english);
        } else if (keyword_is(key_utf8, "DATA_CHARSET", {"データキャラクタセット"})) {
            // The pasted CSV and TSV files' own encoding where they carry no byte-order mark.
            if (equals_ignore_case(value_utf8, "SJIS")) options.data_charset = kSjis;
            else if (equals_ignore_case(value_utf8, "EUC")) options.data_charset = kEuc;
            else if (equals_ignore_case(value_utf8, "UTF8")) options.data_charset = kUtf8;
            else return err.raise(kBadArgument, Msg::k02200, value_utf8.c_str());
        } else if (keyword_is(key_utf8, "VERSION")) {
            if (value_utf8 != TXLS_VERSION_TEXT) return err.raise(kFail, Msg::k00901, value_utf8.c_str());
        } else if (keyword_is(key_utf8, "XLS_BOOK")) {
            char *end = nullptr;
            long long size = std::strtoll(value_utf8.c_str(), &end, 10);
            bool numeric = !value_utf8.empty() && end && *end == '\0';
            if (!numeric || size != static_cast<long long>(record_size)) {
                char sizes[128];
                std::snprintf(sizes, sizeof sizes, "CALL側:%dbyte DLL側:%dbyte", numeric ? static_cast<int>(size) : 0,
                              static_cast<int>(record_size));
                return err.raise(kFail, Msg::k00902, sizes);
            }
        } else if (keyword_is(key_utf8, "READ_MEMORY")) {
            options.read_memory = is_true(value_utf8);
        } else if (keyword_is(key_utf8, "WRITE_MEMORY")) {
            options.write_memory = is_true(value_utf8);
        } else if (keyword_is(key_utf8, "TEMP_WORKBOOK_PATH")) {
            options.temp_workbook_path = value_utf8;
        } else if (keyword_is(key_utf8, "STREAM_AFTER")) {
            // A row count of the format: 0 up to the last row.
            char *end = nullptr;
            long long rows = std::strtoll(value_utf8.c_str(), &end, 10);
            if (value_utf8.empty() || !end || *end != '\0' || rows < 0 || rows > kXlsxMaxRows)
                return err.raise(kBadArgument, Msg::k02200, value_utf8.c_str());
            options.stream_after = static_cast<int>(rows);
        } else {
            return err.raise(kBadArgument, Msg::k02200, key_utf8.c_str());
        }
        return 0;
    });
}

}  // namespace tabsmith
