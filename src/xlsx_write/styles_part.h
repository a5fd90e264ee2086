// The styles part (xl/styles.xml): the book's number formats, fonts, fills, borders and cell
// formats written in the numbering that the cells' s="k" attributes use.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/book.h"

namespace tabsmith {

// The complete UTF-8 text of xl/styles.xml. Assigns each number-format entry the numFmtId it
// is written with and stores it back in the registry (the cell formats refer to it).
std::string write_styles_part(const Book &book);

// Single records exactly as the part above writes them, for a save that adds the book's new
// records to the styles of a package read earlier.
void write_font_record(const FontRecord &font, std::string &out);
void write_fill_record(const FillRecord &fill, std::string &out);
void write_border_record(const BorderRecord &border, std::string &out);
// `package_formats`: the leading entries of the number-format table that came from a package;
// an XF that refers to one of them is written with that entry's own id, whatever its kind.
void write_xf_record(const XfRecord &xf, const std::vector<NumFormat> &formats, std::size_t package_formats,
                     std::string &out);
std::uint32_t xf_number_format_id(const XfRecord &xf, const std::vector<NumFormat> &formats,
                                  std::size_t package_formats);
// Appends the entry's numFmt element; false, with nothing written, for a kind that is saved
// through a built-in id.
bool write_num_fmt_record(const NumFormat &format, std::string &out);
// A numFmt element of an id and a plain (unescaped) code.
void write_num_fmt_code(std::uint32_t id, std::string_view code, std::string &out);
// The code a locale-dependent built-in id is declared with when a cell format uses it; empty
// for any other id.
std::string_view locale_format_code(std::uint32_t id);

}  // namespace tabsmith
