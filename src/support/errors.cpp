// Raising coded messages into a book's error state, and the diagnostic ring.

#include "support/errors.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include "support/charset.h"
#include "support/results.h"

namespace tabsmith {

namespace {

// The TXLS-00002 message of the catalogue in each character set, ready before it is needed: at
// that moment there is no memory to convert it.
constexpr char kOutOfMemorySjis[] =
    "TXLS-00002 \x83\x81\x83\x82\x83\x8A\x95s\x91\xAB\x82\xC5\x82\xB7\x81"
    "B\x8F\x88\x97\x9D\x82\xF0\x92\x86\x92\x66\x82\xB5\x82\xDC\x82\xB7\x81"
    "B";
constexpr char kOutOfMemoryEuc[] =
    "TXLS-00002 \xA5\xE1\xA5\xE2\xA5\xEA\xC9\xD4\xC2\xAD\xA4\xC7\xA4\xB9\xA1\xA3\xBD\xE8\xCD\xFD\xA4"
    "\xF2\xC3\xE6\xC3\xC7\xA4\xB7\xA4\xDE\xA4\xB9\xA1\xA3";
constexpr char kOutOfMemoryUtf8[] = "TXLS-00002 メモリ不足です。処理を中断します。";

}  // namespace

std::string_view out_of_memory_text(int charset) noexcept {
    switch (charset) {
    case kUtf8: return kOutOfMemoryUtf8;
    case kEuc: return kOutOfMemoryEuc;
    default: return kOutOfMemorySjis;
    }
}

int store_out_of_memory(char *info, int *code) noexcept {
    std::memcpy(info, kOutOfMemorySjis, sizeof kOutOfMemorySjis);
    *code = kNoMemory;
    return kNoMemory;
}

ErrorSink::ErrorSink() : info_(own_info_), code_(&own_code_) { own_info_[0] = '\0'; }

void ErrorSink::attach(char *info, int *code) {
    if (info && code) {
        info_ = info;
        code_ = code;
    } else {
        info_ = own_info_;
        code_ = &own_code_;
    }
}

int ErrorSink::raise(int code, Msg id, ...) {
    const char *templ = english_ ? message_entry(id).english : message_entry(id).text;
    va_list args;
    va_start(args, id);
    va_list copy;
    va_copy(copy, args);
    int needed = std::vsnprintf(nullptr, 0, templ, copy);
    va_end(copy);
    std::string utf8;
    if (needed > 0) {
        std::vector<char> buffer(static_cast<std::size_t>(needed) + 1);
        std::vsnprintf(buffer.data(), buffer.size(), templ, args);
        utf8.assign(buffer.data(), static_cast<std::size_t>(needed));
    }
    va_end(args);

    // An over-long argument is cut so that the message always ends inside the buffer.
    std::string sjis = from_utf8(utf8, kSjis);
    std::size_t keep = fit_prefix(kSjis, sjis, kErrorInfoSize - 1);
    std::memcpy(info_, sjis.data(), keep);
    info_[keep] = '\0';
    *code_ = code;
    return code;
}

int ErrorSink::raise_out_of_memory() noexcept {
    if (!english_) return store_out_of_memory(info_, code_);
    // The English text is ASCII: the same bytes in every character set.
    const char *text = message_entry(Msg::k00002).english;
    std::memcpy(info_, text, std::strlen(text) + 1);
    *code_ = kNoMemory;
    return kNoMemory;
}

std::string ErrorSink::message_utf8() const { return to_utf8(info_, kSjis); }

void DiagnosticLog::add(const std::string &detail) {
    std::string text = detail.substr(0, kLineBytes);
    if (auto lf = text.find('\n'); lf != std::string::npos) text.resize(lf);

    std::string line;
    if (pending_ != 0) {
        const char *templ = diagnostic_text(pending_);
        char number[16];
        std::snprintf(number, sizeof number, "%05d", pending_);
        if (templ) {
            std::string body(templ);
            std::size_t at = body.find("%s");
            if (at == std::string::npos) line = std::string("ORV-") + number + ": " + body + text;
            else line = std::string("ORV-") + number + ": " + body.substr(0, at) + text + body.substr(at + 2);
        } else {
            line = std::string("ORV-") + number + ": " + text;
        }
    } else {
        line = text;
    }
    pending_ = 0;
    if (lines_.size() == kLines) lines_.pop_front();
    lines_.push_back(std::move(line));
}

void DiagnosticLog::note(int number, std::string_view detail) noexcept {
    try {
        set_pending(number);
        add(std::string(detail));
    } catch (...) {
        pending_ = 0;
    }
}

}  // namespace tabsmith
