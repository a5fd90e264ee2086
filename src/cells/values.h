// Putting values into cells (system words, classification into kinds, default date styles)
// and producing the value text and kind name that the get and search calls hand back.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "model/book.h"

namespace tabsmith {

constexpr std::size_t kValueBufferBytes = 98302;   // a value of this many bytes is refused
constexpr std::size_t kEnvNameTextBytes = 82;      // "$NAME" texts from this length skip getenv
constexpr std::size_t kPercentTextBytes = 6000;   // longer texts ending in "%" stay text
constexpr int kMaxTimeCarryDays = 416;

// The limit on a value text as received from outside: 0, or kLimit after TXLS-03009.
int check_value_length(Book &book, std::size_t bytes);

// Whether a "$NAME" value may read the process environment. Texts that come from files (data
// sources) must not, or a field such as "$HOME" would leak the server's environment into a book.
enum class EnvironmentLookup { kAllowed, kRefused };

// $SYSDATE, $SYSDATETIME, $NAME (environment when allowed, then book variable) and the \$ escape.
std::string expand_system_words(const Book &book, std::string_view utf8,
                                EnvironmentLookup environment = EnvironmentLookup::kAllowed);

// Cuts a text of more than 32767 characters after its 32765th (keeping a closing double
// quote on a quoted text) and never leaves more than XLS_CELL_UTF8_LEN bytes.
std::string cut_cell_text(std::string_view utf8);

// Classifies `utf8` (already expanded and cut) and stores it into `cell`, whose style is kept.
// 0; kNoMemory out of memory; other negative codes after raising their message.
int store_value(Book &book, std::string_view utf8, Cell &cell);

// The put operation behind TXLS_put_cell, statements and data sources: makes the position
// current, creates the slots, refuses to overwrite a template's formula, expands, cuts,
// classifies and stores. 0, kBadArgument, kLimit, kNoMemory, kFail or kSheetIndex with the message raised.
int put_cell_value(Book &book, int sheet, int row, int column, std::string_view utf8_value,
                   EnvironmentLookup environment = EnvironmentLookup::kAllowed);

// The value text of a cell as TXLS_get_cell hands it out (UTF-8); formulas give "".
std::string cell_value_text(const Book &book, const Cell &cell);
// The same as a view of the cell's own text or shared string where the value is one, else of
// `scratch`: a read of many cells copies nothing on the way to the caller's buffers.
std::string_view cell_value_view(const Book &book, const Cell &cell, std::string &scratch);

// "CHARACTER", "INTEGER", "FLOAT", "PERCENT", "DATE", "DATE_TIME", "FORMULA:<formula>" or "";
// a formula's name is made in `scratch`.
std::string_view cell_kind_name(const Cell &cell, std::string &scratch);

}  // namespace tabsmith
