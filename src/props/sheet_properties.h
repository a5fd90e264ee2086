// Book, sheet, paper, margin, page-fit, header/footer and print-title statements: their value
// rules and where they are kept for the package and worksheet writers.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "props/property.h"

namespace tabsmith {

constexpr std::size_t kBookPathBytes = 256;       // output file, thumbnail and background paths
constexpr std::size_t kDocumentTextBytes = 150;   // company, author, manager
constexpr std::size_t kDocumentTitleBytes = 300;  // title, subject
constexpr std::size_t kPasswordBytes = 16;

// The PAPER.SIZE names (any letter case) and the paper index of each; other names give A4.
struct PaperName {
    std::string_view name;
    int index;
};
std::span<const PaperName> paper_names();

// Replaces the header/footer field codes (&[PAGE_NO], &[パス], ...) with the workbook's own
// codes (&P, &Z, ...); other text is copied unchanged.
std::string translate_field_codes(std::string_view text);

// The rules of each id; declared in props/property.h:
// int apply_sheet_property(Book &, int id, const PropertyTarget &, std::string_view value);

}  // namespace tabsmith
