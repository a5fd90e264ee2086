// The message catalogue and the error sink: entries in code order, each led by its own code and
// representable in Shift-JIS (the form the error state keeps), arguments and cut messages.

#include <gtest/gtest.h>

#include <cstring>

#include "support/charset.h"
#include "support/errors.h"
#include "support/messages.h"

using namespace tabsmith;

TEST(Catalogue, EveryEntryIsLedByItsCodeInCodeOrderAndSurvivesShiftJis) {
    std::string previous = "00000";
    for (int i = 0; i <= static_cast<int>(Msg::k04100); ++i) {
        const MessageEntry &entry = message_entry(static_cast<Msg>(i));
        EXPECT_EQ(static_cast<int>(entry.id), i);
        EXPECT_EQ(std::string(entry.text).rfind(std::string("TXLS-") + entry.code + " ", 0), 0u) << entry.text;
        EXPECT_GE(std::string(entry.code), previous);
        previous = entry.code;
        EXPECT_EQ(to_utf8(from_utf8(entry.text, kSjis), kSjis), entry.text);
    }
}

TEST(Catalogue, RaisingFormatsArgumentsAndFillsAttachedStorage) {
    char info[kErrorInfoSize] = "";
    int code = 0;
    ErrorSink sink;
    sink.attach(info, &code);
    EXPECT_EQ(sink.raise(-909, Msg::k03009, 93, "XLS_SHEET_LEN"), -909);
    EXPECT_EQ(code, -909);
    EXPECT_EQ(sink.message_utf8(), "TXLS-03009 バッファサイズ(\"93\")オーバー(\"XLS_SHEET_LEN\")。");
    EXPECT_EQ(std::string(sink.message_sjis()), from_utf8(sink.message_utf8(), kSjis));
    EXPECT_EQ(to_utf8(info, kSjis), sink.message_utf8());
    EXPECT_EQ(sink.fail(-1), -1);
    EXPECT_TRUE(sink.has_message());  // fail keeps the message
    sink.raise(-1, Msg::k02202, "FOO");
    EXPECT_EQ(sink.message_utf8(), "TXLS-02202 サポート外の関数です(\"FOO\")。\n");
    // A cut never splits a double-byte character.
    std::string kanji;
    for (int i = 0; i < 4000; ++i) kanji += "表";
    sink.raise(-3, Msg::k02300, kanji.c_str());
    std::size_t length = std::strlen(info);
    EXPECT_LE(length, 6000u);
    EXPECT_EQ(from_utf8(to_utf8(std::string(info, length), kSjis), kSjis), std::string(info, length));
}
