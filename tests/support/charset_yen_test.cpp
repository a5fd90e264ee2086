// The yen sign U+00A5 leaving the engine for the Japanese character sets, where it has no code
// of its own: each set gets the character its readers show as a yen sign.

#include <gtest/gtest.h>

#include <string>

#include "support/charset.h"

using namespace tabsmith;

TEST(CharsetYen, EachJapaneseSetGetsTheSignItsReadersShow) {
    struct Case {
        int charset;
        std::string utf8, expected;
    } cases[] = {
        // Shift-JIS: the code page's yen byte 0x5C, between other characters and repeated.
        {kSjis, "\xC2\xA5" "1,000", "\x5C" "1,000"},
        {kSjis, "価格\xC2\xA5" "5\xC2\xA5", "\x89\xBF\x8A\x69\x5C" "5\x5C"},
        // EUC-JP reads 0x5C as a backslash: the full-width yen of JIS X 0208.
        {kEuc, "\xC2\xA5" "1,000", "\xA1\xEF" "1,000"},
        {kEuc, "価格\xC2\xA5", "\xB2\xC1\xB3\xCA\xA1\xEF"},
        // UTF-8 keeps the sign; a backslash stays a backslash everywhere.
        {kUtf8, "\xC2\xA5" "1,000", "\xC2\xA5" "1,000"},
        {kSjis, "C:\\dir", "C:\\dir"},
        {kEuc, "a\\b\xE3\x81\x82", "a\\b\xA4\xA2"},
    };
    for (const Case &c : cases) EXPECT_EQ(from_utf8(c.utf8, c.charset), c.expected) << c.charset << " " << c.utf8;
    // The full-width sign reads back as itself, so an EUC caller's text keeps its meaning.
    EXPECT_EQ(to_utf8("\xA1\xEF", kEuc), "\xEF\xBF\xA5");
}
