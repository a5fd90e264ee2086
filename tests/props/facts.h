// Statement tables for the property families: rows of statements with the code each must give,
// then the message it raised or facts about the book ("key=value" words) that must hold after it.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "common/fixtures.h"

namespace tabsmith::testing {

// A value as one word: blanks become '_', colours their hex bytes, lists join with ','.
inline std::string word(std::string text) {
    std::replace(text.begin(), text.end(), ' ', '_');
    return text;
}
inline std::string word(std::string_view text) { return word(std::string(text)); }
inline std::string word(const char *text) { return word(std::string(text)); }
inline std::string word(double number) { return (std::ostringstream() << number).str(); }
inline std::string word(const Rgb &c) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "%02X%02X%02X", c.red, c.green, c.blue);
    return hex;
}
template <class T> requires(std::is_integral_v<T> || std::is_enum_v<T>) std::string word(T value) { return std::to_string(static_cast<long long>(value)); }
template <class T> std::string word(const std::vector<T> &values) {
    std::string out;
    for (const T &v : values) out += (out.empty() ? "" : ",") + word(v);
    return out;
}
// "key=value key=value ... " from alternating keys and values.
inline std::string describe() { return ""; }
template <class V, class... Rest> std::string describe(const char *key, const V &value, const Rest &...rest) {
    return std::string(key) + "=" + word(value) + " " + describe(rest...);
}
// The value a description gives `key`, or "(none)".
inline std::string value_of(const std::string &described, const std::string &key) {
    const std::size_t at = (" " + described).find(" " + key + "=");
    return at == std::string::npos ? "(none)" : described.substr(at + key.size() + 1, described.find(' ', at) - at - key.size() - 1);
}

// A statement, the code it gives, and then the facts after success; after a failure its message,
// which "|facts" may follow.
struct StatementRow {
    std::string statement;
    int rc;
    std::string expect;
};

// A UTF-8 book with one sheet, its statement runner, and `fact`: the value of a key for one family.
class StatementTable : public BookTest {
protected:
    void SetUp() override { reopen("UTF8", sheet_name); }
    int put(const std::string &text) { return TXLS_put_values(&book, text.c_str()); }
    ::testing::AssertionResult holds(const std::string &facts) {
        std::istringstream words(facts);
        for (std::string fact; words >> fact;) {
            const std::string key = fact.substr(0, fact.find('=')), got = this->fact(key);
            if (got != fact.substr(key.size() + 1)) return ::testing::AssertionFailure() << key << " is " << got;
        }
        return ::testing::AssertionSuccess();
    }
    void run(const std::vector<StatementRow> &rows) {
        for (const StatementRow &row : rows) {
            SCOPED_TRACE(row.statement.substr(0, 120));
            EXPECT_EQ(std::pair(put(row.statement), book.error_code), std::pair(row.rc, row.rc));
            const std::size_t bar = row.rc ? row.expect.find('|') : std::string::npos;
            if (row.rc) { EXPECT_EQ(message(), row.expect.substr(0, bar)); }
            EXPECT_TRUE(holds(row.rc ? (bar == std::string::npos ? "" : row.expect.substr(bar + 1)) : row.expect));
        }
    }
    virtual std::string fact(const std::string &key) = 0;
    std::string sheet_name = "Sheet1";
};

}  // namespace tabsmith::testing
