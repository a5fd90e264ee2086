// The out-of-memory message that is stored without asking for memory is the catalogue's
// TXLS-00002, byte for byte in Shift-JIS, and it reaches a record that holds no book.

#include <gtest/gtest.h>

#include <string>

#include "support/charset.h"
#include "support/errors.h"
#include "support/messages.h"
#include "tabsmith.h"

using namespace tabsmith;

TEST(OutOfMemoryMessage, IsTheCatalogueTextInShiftJis) {
    ErrorSink converted, ready;
    EXPECT_EQ(converted.raise(-2, Msg::k00002), -2);
    EXPECT_EQ(ready.raise_out_of_memory(), -2);
    EXPECT_EQ(ready.code(), -2);
    EXPECT_EQ(std::string(ready.message_sjis()), std::string(converted.message_sjis()));
    EXPECT_EQ(std::string(ready.message_sjis()), from_utf8(message_entry(Msg::k00002).text, kSjis));

    XLS_BOOK record{};
    EXPECT_EQ(store_out_of_memory(record.log.error_info, &record.error_code), -2);
    EXPECT_EQ(TXLS_error_code(&record), -2);
    EXPECT_EQ(std::string(record.log.error_info), std::string(converted.message_sjis()));
}
