// The token scanner in its three modes (separators, quotes, multibyte characters, limits) and
// the character-set conversions it works with, the yen sign of each Japanese set among them.

#include <gtest/gtest.h>

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
        {kO, " MODE=CREATE\tBOOK =\r\n report ", {"MODE", "=", "CREATE", "BOOK", "=", "report"}}, {kO, "", {}}, {kO, "   \t", {}},
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
    const std::string bad = "\xEF\xBF\xBD";  // U+FFFD
    struct Case { int from, to; std::string in, out; } cases[] = {
        // The yen sign U+00A5 has no code of its own in the Japanese sets: Shift-JIS gets the code
        // page's yen byte 0x5C; EUC-JP, whose readers show 0x5C as a backslash, the full-width yen
        // of JIS X 0208, which reads back as itself. UTF-8 keeps the sign, a backslash stays one.
        {kUtf8, kSjis, "\xC2\xA5" "1,000", "\x5C" "1,000"}, {kUtf8, kSjis, "価格\xC2\xA5" "5\xC2\xA5", "\x89\xBF\x8A\x69\x5C" "5\x5C"},
        {kUtf8, kEuc, "\xC2\xA5" "1,000", "\xA1\xEF" "1,000"}, {kUtf8, kEuc, "価格\xC2\xA5", "\xB2\xC1\xB3\xCA\xA1\xEF"},
        {kUtf8, kUtf8, "\xC2\xA5" "1,000", "\xC2\xA5" "1,000"}, {kUtf8, kSjis, "C:\\dir", "C:\\dir"},
        {kUtf8, kEuc, "a\\b\xE3\x81\x82", "a\\b\xA4\xA2"}, {kEuc, kUtf8, "\xA1\xEF", "\xEF\xBF\xA5"},
        {kUtf16le, kUtf8, std::string("A\0B\0", 4), "AB"},
        // Invalid bytes are replaced, UTF-8 to UTF-8 too (a stray byte, an encoded surrogate, a
        // cut-off sequence, an over-long form); unsupported pairs leave the text alone.
        {kUtf8, kUtf8, "abc\xFF", "abc" + bad}, {kUtf8, kUtf8, "\xED\xA0\x80|\xE3\x81|\xC0\xAF", bad + bad + bad + "|" + bad + bad + "|" + bad + bad},
        {kUtf8, kUtf8, "\xE6\x97\xA5\xF0\x9F\x98\x80\xEF\xBF\xBF", "\xE6\x97\xA5\xF0\x9F\x98\x80\xEF\xBF\xBF"},
        {kUtf8, kUtf16le, "abc", "abc"}, {9, kUtf8, "abc", "abc"}, {kSjis, kUtf8, "a\x81", "a" + bad},
        {kUtf8, kSjis, "a\xFF" "b", "a?b"}, {kEuc, kUtf8, "\xFF\xFE", bad + bad},
    };
    for (const Case &c : cases) EXPECT_EQ(convert_charset(c.in, c.from, c.to), c.out) << c.from << ">" << c.to << " " << c.in;
    const std::string utf8 = "報告書テスト①ｱｲｳ";
    for (int set : {kSjis, kEuc}) EXPECT_TRUE(from_utf8(utf8, set) != utf8 && to_utf8(from_utf8(utf8, set), set) == utf8) << set;
    EXPECT_EQ(convert_charset(from_utf8(utf8, kSjis), kSjis, kEuc), from_utf8(utf8, kEuc));
    EXPECT_EQ(std::tuple(utf8_length("aあ😀"), utf8_prefix_bytes("aあ😀", 2), fit_prefix(kSjis, from_utf8("あい", kSjis), 3)),
              std::tuple(3u, 4u, 2u));
    EXPECT_TRUE(equals_ignore_case("Sheet1", "sHEET1"));
    EXPECT_FALSE(equals_ignore_case("Sheet1", "Sheet2"));
}
