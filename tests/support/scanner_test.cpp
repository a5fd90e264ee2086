// The token scanner in its three modes: separators, quotes, multibyte characters, limits.

#include <gtest/gtest.h>

#include <vector>

#include "support/charset.h"
#include "support/scanner.h"

using namespace tabsmith;

namespace {

std::vector<std::string> tokens(ScanMode mode, std::string_view text, int charset = kUtf8) {
    std::vector<std::string> out;
    std::size_t pos = 0;
    std::string token;
    while (scan_token(mode, charset, text, pos, token) == 0) out.push_back(token);
    return out;
}

using V = std::vector<std::string>;

}  // namespace

TEST(Scanner, OptionPairsSplitAtBlanksAndEquals) {
    EXPECT_EQ(tokens(ScanMode::kOptions, " MODE=CREATE\tBOOK =\r\n report "), (V{"MODE", "=", "CREATE", "BOOK", "=", "report"}));
    EXPECT_EQ(tokens(ScanMode::kOptions, ""), V{});
    EXPECT_EQ(tokens(ScanMode::kOptions, "   \t"), V{});
}

TEST(Scanner, OperatorsAreTokensOnlyInFormulas) {
    EXPECT_EQ(tokens(ScanMode::kOptions, "a+b*(c)"), V{"a+b*(c)"});
    EXPECT_EQ(tokens(ScanMode::kFormula, "SUM(A1:B2)*-3%^2,x/y"),
              (V{"SUM", "(", "A1:B2", ")", "*", "-", "3", "%", "^", "2", ",", "x", "/", "y"}));
}

TEST(Scanner, QuotedTokensKeepTheirQuotes) {
    EXPECT_EQ(tokens(ScanMode::kOptions, "BOOK=\"my report.xlsx\" X"), (V{"BOOK", "=", "\"my report.xlsx\"", "X"}));
    // Doubled quotes fold into one in statements and formulas, not in options.
    EXPECT_EQ(tokens(ScanMode::kStatements, "A1=\"say \"\"hi\"\"\""), (V{"A1", "=", "\"say \"hi\"\""}));
    EXPECT_EQ(tokens(ScanMode::kFormula, "\"a\"\"b\""), V{"\"a\"b\""});
    EXPECT_EQ(tokens(ScanMode::kOptions, "\"a\"\"b\""), (V{"\"a\"", "\"b\""}));
    EXPECT_EQ(tokens(ScanMode::kOptions, "'it''s here' x"), (V{"'it's here'", "x"}));
}

TEST(Scanner, StatementTokenRunsOnAfterClosingQuote) {
    EXPECT_EQ(tokens(ScanMode::kStatements, "\"a\"b c"), (V{"\"a\"b", "c"}));
    EXPECT_EQ(tokens(ScanMode::kOptions, "\"a\"b c"), (V{"\"a\"", "b", "c"}));
}

TEST(Scanner, UnterminatedQuoteRunsToTheEnd) {
    EXPECT_EQ(tokens(ScanMode::kOptions, "X=\"open ended"), (V{"X", "=", "\"open ended"}));
}

TEST(Scanner, TrailingSemicolonIsDroppedAtTheEndOnly) {
    EXPECT_EQ(tokens(ScanMode::kStatements, "A1=1; B1=2;"), (V{"A1", "=", "1;", "B1", "=", "2"}));
}

TEST(Scanner, MultibyteCharactersStayWhole) {
    // Shift-JIS "表" is 0x95 0x5C: its trail byte must not be read as a separator or escape.
    std::string sjis_table = "\x95\x5C";
    EXPECT_EQ(tokens(ScanMode::kOptions, "K=" + sjis_table, kSjis), (V{"K", "=", sjis_table}));
    // Shift-JIS trail byte 0x3D is "=" in ASCII.
    std::string sjis_eq_trail = "\x81\x3D";
    EXPECT_EQ(tokens(ScanMode::kOptions, sjis_eq_trail + "=1", kSjis), (V{sjis_eq_trail, "=", "1"}));
    // A lead byte at the very end never reads past the text.
    EXPECT_EQ(tokens(ScanMode::kOptions, "ab\xE3", kUtf8), V{"ab\xE3"});
    EXPECT_EQ(tokens(ScanMode::kOptions, "ab\x81", kSjis), V{"ab\x81"});
}

TEST(Scanner, OverLongTokenGivesMinusNine) {
    std::string longer(kScanMaxOptions + 1, 'x');
    std::size_t pos = 0;
    std::string token;
    EXPECT_EQ(scan_token(ScanMode::kOptions, kUtf8, longer, pos, token), -9);
    std::string exact(kScanMaxOptions, 'x');
    pos = 0;
    EXPECT_EQ(scan_token(ScanMode::kOptions, kUtf8, exact, pos, token), 0);
    EXPECT_EQ(token.size(), kScanMaxOptions);
    pos = 0;
    EXPECT_EQ(scan_token(ScanMode::kOptions, kUtf8, "", pos, token), kScanNoMore);
}

TEST(Charset, RoundTripsJapaneseBetweenAllSets) {
    const std::string utf8 = "報告書テスト①ｱｲｳ";
    for (int set : {kSjis, kEuc}) {
        std::string there = from_utf8(utf8, set);
        EXPECT_NE(there, utf8);
        EXPECT_EQ(to_utf8(there, set), utf8) << set;
    }
    EXPECT_EQ(convert_charset(from_utf8(utf8, kSjis), kSjis, kEuc), from_utf8(utf8, kEuc));
    std::string utf16("A\0B\0", 4), expect = "AB";
    EXPECT_EQ(to_utf8(std::string_view(utf16.data(), 4), kUtf16le), expect);
}

TEST(Charset, UnsupportedPairsAndSameSetLeaveTextAlone) {
    EXPECT_EQ(convert_charset("abc\xFF", kUtf8, kUtf8), "abc\xFF");
    EXPECT_EQ(convert_charset("abc", kUtf8, kUtf16le), "abc");
    EXPECT_EQ(convert_charset("abc", 9, kUtf8), "abc");
}

TEST(Charset, InvalidBytesAreReplacedNotDropped) {
    EXPECT_EQ(to_utf8("a\x81", kSjis), "a\xEF\xBF\xBD");
    EXPECT_EQ(from_utf8("a\xFF" "b", kSjis), "a?b");
    EXPECT_EQ(to_utf8("\xFF\xFE", kEuc).size(), 6u);
}

TEST(Charset, LengthsAndPrefixes) {
    EXPECT_EQ(utf8_length("aあ😀"), 3u);
    EXPECT_EQ(utf8_prefix_bytes("aあ😀", 2), 4u);
    EXPECT_EQ(fit_prefix(kSjis, from_utf8("あい", kSjis), 3), 2u);
    EXPECT_TRUE(equals_ignore_case("Sheet1", "sHEET1"));
    EXPECT_FALSE(equals_ignore_case("Sheet1", "Sheet2"));
}
