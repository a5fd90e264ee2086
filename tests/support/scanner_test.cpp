// The token scanner in its three modes (separators, quotes, multibyte characters, limits) and
// the character-set conversions it works with.

#include <gtest/gtest.h>

#include <vector>

#include "support/charset.h"
#include "support/scanner.h"

using namespace tabsmith;

namespace {

using V = std::vector<std::string>;

V tokens(ScanMode mode, std::string_view text, int charset = kUtf8) {
    V out;
    std::size_t pos = 0;
    std::string token;
    while (scan_token(mode, charset, text, pos, token) == 0) out.push_back(token);
    return out;
}

}  // namespace

TEST(Scanner, TokensInEachMode) {
    const ScanMode kO = ScanMode::kOptions, kS = ScanMode::kStatements, kF = ScanMode::kFormula;
    struct Case { ScanMode mode; std::string text; V tokens; int charset = kUtf8; } cases[] = {
        {kO, " MODE=CREATE\tBOOK =\r\n report ", {"MODE", "=", "CREATE", "BOOK", "=", "report"}},
        {kO, "", {}}, {kO, "   \t", {}},
        // Operators are tokens only in formulas.
        {kO, "a+b*(c)", {"a+b*(c)"}},
        {kF, "SUM(A1:B2)*-3%^2,x/y", {"SUM", "(", "A1:B2", ")", "*", "-", "3", "%", "^", "2", ",", "x", "/", "y"}},
        // Quoted tokens keep their quotes; doubled quotes fold in statements and formulas only.
        {kO, "BOOK=\"my report.xlsx\" X", {"BOOK", "=", "\"my report.xlsx\"", "X"}},
        {kS, "A1=\"say \"\"hi\"\"\"", {"A1", "=", "\"say \"hi\"\""}}, {kF, "\"a\"\"b\"", {"\"a\"b\""}},
        {kO, "\"a\"\"b\"", {"\"a\"", "\"b\""}},  {kO, "'it''s here' x", {"'it's here'", "x"}},
        // A statement token runs on after its closing quote; an unterminated quote runs to the end.
        {kS, "\"a\"b c", {"\"a\"b", "c"}}, {kO, "\"a\"b c", {"\"a\"", "b", "c"}},
        {kO, "X=\"open ended", {"X", "=", "\"open ended"}},
        {kS, "A1=1; B1=2;", {"A1", "=", "1;", "B1", "=", "2"}},  // only the last semicolon goes
        // Multibyte characters stay whole: Shift-JIS trail bytes 0x5C and 0x3D are no separators,
        // and a lead byte at the very end never reads past the text.
        {kO, "K=\x95\x5C", {"K", "=", "\x95\x5C"}, kSjis}, {kO, "\x81\x3D=1", {"\x81\x3D", "=", "1"}, kSjis},
        {kO, "ab\xE3", {"ab\xE3"}, kUtf8}, {kO, "ab\x81", {"ab\x81"}, kSjis},
    };
    for (const Case &c : cases) EXPECT_EQ(tokens(c.mode, c.text, c.charset), c.tokens) << c.text;
    // A token over the limit gives -9.
    std::size_t pos = 0;
    std::string token;
    EXPECT_EQ(scan_token(kO, kUtf8, std::string(kScanMaxOptions + 1, 'x'), pos, token), -9);
    pos = 0;
    EXPECT_EQ(scan_token(kO, kUtf8, std::string(kScanMaxOptions, 'x'), pos, token), 0);
    EXPECT_EQ(token.size(), kScanMaxOptions);
    pos = 0;
    EXPECT_EQ(scan_token(kO, kUtf8, "", pos, token), kScanNoMore);
}

TEST(Charset, ConversionsLengthsAndPrefixes) {
    const std::string utf8 = "報告書テスト①ｱｲｳ";
    for (int set : {kSjis, kEuc}) {
        std::string there = from_utf8(utf8, set);
        EXPECT_NE(there, utf8);
        EXPECT_EQ(to_utf8(there, set), utf8) << set;
    }
    EXPECT_EQ(convert_charset(from_utf8(utf8, kSjis), kSjis, kEuc), from_utf8(utf8, kEuc));
    EXPECT_EQ(to_utf8(std::string_view("A\0B\0", 4), kUtf16le), "AB");
    // Unsupported pairs leave the text alone; invalid bytes are replaced, UTF-8 to UTF-8 too
    // (a stray byte, an encoded surrogate, a cut-off sequence, an over-long form).
    EXPECT_EQ(convert_charset("abc\xFF", kUtf8, kUtf8), "abc\xEF\xBF\xBD");
    EXPECT_EQ(to_utf8("\xED\xA0\x80|\xE3\x81|\xC0\xAF", kUtf8),
              "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD|\xEF\xBF\xBD\xEF\xBF\xBD|\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(to_utf8("\xE6\x97\xA5\xF0\x9F\x98\x80\xEF\xBF\xBF", kUtf8), "\xE6\x97\xA5\xF0\x9F\x98\x80\xEF\xBF\xBF");
    EXPECT_EQ(convert_charset("abc", kUtf8, kUtf16le), "abc");
    EXPECT_EQ(convert_charset("abc", 9, kUtf8), "abc");
    EXPECT_EQ(to_utf8("a\x81", kSjis), "a\xEF\xBF\xBD");
    EXPECT_EQ(from_utf8("a\xFF" "b", kSjis), "a?b");
    EXPECT_EQ(to_utf8("\xFF\xFE", kEuc).size(), 6u);
    EXPECT_EQ(utf8_length("aあ😀"), 3u);
    EXPECT_EQ(utf8_prefix_bytes("aあ😀", 2), 4u);
    EXPECT_EQ(fit_prefix(kSjis, from_utf8("あい", kSjis), 3), 2u);
    EXPECT_TRUE(equals_ignore_case("Sheet1", "sHEET1"));
    EXPECT_FALSE(equals_ignore_case("Sheet1", "Sheet2"));
}
