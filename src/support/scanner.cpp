// Token scanner shared by the option parser, the statement language and the formula evaluator.

#include "support/scanner.h"

#include "support/charset.h"

namespace tabsmith {
namespace {

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool is_operator(ScanMode mode, char c) {
    if (c == '=') return true;
    if (mode != ScanMode::kFormula) return false;
    switch (c) {
    case '%': case '(': case ')': case '*': case '+': case ',': case '-': case '/': case '^':
        return true;
    default:
        return false;
    }
}

}  // namespace

std::size_t scan_limit(ScanMode mode) {
    switch (mode) {
    case ScanMode::kOptions: return kScanMaxOptions;
    case ScanMode::kStatements: return kScanMaxStatements;
    case ScanMode::kFormula: return kScanMaxFormula;
    }
    return kScanMaxOptions;
}

int scan_token(ScanMode mode, int charset, std::string_view text, std::size_t &pos, std::string &out,
               std::size_t max) {
    out.clear();
    const auto *bytes = reinterpret_cast<const unsigned char *>(text.data());
    const std::size_t n = text.size();
    std::size_t i = pos;
    while (i < n && is_space(text[i])) ++i;
    if (i >= n) {
        pos = n;
        return kScanNoMore;
    }

    // The token is built from runs of the text: a run grows while the characters are taken as
    // they stand and is appended when something else happens (a folded quote, the end).
    bool too_long = false;
    const std::size_t start = i;
    std::size_t run = i;
    auto append = [&](std::size_t from, std::size_t to) {
        if (out.size() + (to - from) > max) too_long = true;
        else out.append(text.substr(from, to - from));
    };

    if (is_operator(mode, text[i])) {
        append(i, i + 1);
        pos = i + 1;
        return 0;
    }

    bool in_quotes = false;
    bool after_quote = false;  // statements: the rest of a token that began with a quote
    char quote = 0;
    while (i < n) {
        char c = text[i];
        if (in_quotes) {
            if (c == quote) {
                bool doubled = i + 1 < n && text[i + 1] == quote;
                bool pairs_fold = quote == '\'' || mode != ScanMode::kOptions;
                if (doubled && pairs_fold) {
                    append(run, i + 1);
                    i += 2;
                    run = i;
                    continue;
                }
                ++i;
                in_quotes = false;
                // Statements run on after the closing quote until white space.
                if (mode != ScanMode::kStatements) break;
                after_quote = true;
                continue;
            }
        } else {
            if (is_space(c) || (!after_quote && is_operator(mode, c))) break;
            if ((c == '"' || c == '\'') && i == start) {
                in_quotes = true;
                quote = c;
                ++i;
                continue;
            }
        }
        i += bytes[i] < 0x80 ? 1 : char_width(charset, bytes + i, n - i);
    }
    append(run, i);
    pos = i;
    if (too_long) {
        out.clear();
        return kScanTooLong;
    }
    // A trailing ";" at the very end of the text is dropped.
    if (i >= n && !out.empty() && out.back() == ';') out.pop_back();
    return 0;
}

std::string_view strip_quotes(std::string_view token) {
    if (token.size() >= 2 && token.front() == '"' && token.back() == '"') return token.substr(1, token.size() - 2);
    return token;
}

bool keyword_is(std::string_view token, std::string_view english, std::initializer_list<std::string_view> aliases) {
    if (equals_ignore_case(token, english)) return true;
    for (auto alias : aliases)
        if (token == alias) return true;
    return false;
}

}  // namespace tabsmith
