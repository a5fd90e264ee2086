// The records of Excel 5/95 workbooks (BIFF5) where they differ from BIFF8: texts of 8-bit
// characters in the workbook's code page, counted and with no flags byte; and the BOF forms.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tabsmith {

// What a workbook stream's first record says about the records that follow.
enum class BiffForm { kBiff8, kBiff5, kTooOld, kUnknown };
BiffForm biff_form(std::uint16_t record_id, std::string_view data);

// The code page of a workbook that names none.
constexpr unsigned kDefaultCodePage = 1252;

// Where a record's 8-bit text starts (its character count) and how many bytes the count takes.
struct ByteStringField {
    std::size_t at;
    std::size_t count_bytes;
};
constexpr ByteStringField kBiff5SheetName{6, 1};       // BOUNDSHEET: position, state, type, name
constexpr ByteStringField kBiff5FormatCode{2, 1};      // FORMAT: format id, code
constexpr ByteStringField kBiff5CellText{6, 2};        // LABEL, RSTRING: row, column, XF, text
constexpr ByteStringField kBiff5FormulaText{0, 2};     // STRING: a formula's text result

// The text of `field` converted from `code_page` to UTF-8; false when the record ends before the
// count does. Characters cut off by the record's end are left out: the count is trusted only as
// far as the record goes.
bool read_byte_string(std::string_view data, ByteStringField field, unsigned code_page, std::string &out);

}  // namespace tabsmith
