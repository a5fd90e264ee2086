// Rendering a cell's value through a format kind (numbers, yen, percentages, dates), finding a
// cell's kind from its XF, and the classification of format codes and ids the readers use.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "model/book.h"
#include "model/format_kinds.h"

namespace tabsmith {

// Value categories of a number-format id, in the cell-kind numbering.
constexpr int kCategoryGeneral = 10;
constexpr int kCategoryPercent = 13;
constexpr int kCategoryDate = 20;
constexpr int kCategoryDateTime = 21;
constexpr int kCategoryTime = 23;
constexpr int kCategoryTimeSeconds = 24;

bool is_date_kind(int kind);   // the date and time kinds
bool is_yen_kind(int kind);

// The value text of `cell` rendered with the given kinds. `decimals` >= 0 is a count chosen by
// the caller (percentages get exactly that many places, grouped numbers at least one when
// positive); kAnyDecimals keeps whatever fraction the value has.
constexpr int kAnyDecimals = -1;
std::string format_cell_text(const Book &book, const Cell &cell, int date_kind, int number_kind, int decimals);
// The same with both kinds taken from the cell's own format and no decimals count (a format
// kind that names no date leaves date-like cells with their default text).
std::string format_cell_text(const Book &book, const Cell &cell);

// The kind a cell's own format stands for: a number-format entry's kind, a built-in id's kind,
// or the default of the cell's value kind (0 when it has none).
int format_kind_of_cell(const Book &book, const Cell &cell);

// The decimals count a cell's own format carries, or kAnyDecimals when it names none.
int format_decimals_of_cell(const Book &book, const Cell &cell);

// A decimal text with "," after every third digit of its whole part. `decimals` >= 1 prints
// exactly that many places; otherwise a non-zero fraction is kept in its short form.
std::string format_grouped_number(std::string_view number, int decimals);

// The kind a format code (plain, or with its quotes still XML-escaped) stands for;
// format_kind::kGeneral when nothing matches.
int format_code_kind(std::string_view code);
// The decimal places the first section of a format code shows ("0.00%" 2, "#,##0" 0).
int format_code_decimals(std::string_view code);

// The value category (10, 13, 20, 21, 23, 24) of cells shown with a number-format id.
int value_category(const Book &book, int format_id);

}  // namespace tabsmith
