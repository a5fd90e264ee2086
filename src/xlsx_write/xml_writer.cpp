// The values of the XML writer: how numbers, texts, cell names and colours are written into
// a part. Every part writer goes through these, so each form exists once.

#include "xlsx_write/xml_writer.h"

#include "model/address.h"
#include "support/number_text.h"
#include "support/xml_escape.h"

namespace tabsmith {
namespace {

constexpr char kUpperDigits[] = "0123456789ABCDEF";
constexpr char kLowerDigits[] = "0123456789abcdef";

// The fixed form of the largest double with a few decimals takes over 300 digits.
constexpr std::size_t kFixedDigits = 352;
constexpr std::size_t kShortestDigits = 32;

}  // namespace

ColumnNames::ColumnNames(int columns) : letters_(static_cast<std::size_t>(columns > 0 ? columns : 0)) {
    for (int k = 0; k < columns; ++k) {
        std::string letters = column_letters(k);
        Letters &entry = letters_[static_cast<std::size_t>(k)];
        entry.size = static_cast<std::uint8_t>(letters.copy(entry.text, sizeof entry.text));
    }
}

void append_value(std::string &out, XmlText text) { xml_escape_append(out, text.text, EscapeMode::kText); }

void append_value(std::string &out, XmlAttribute text) {
    xml_escape_append(out, text.text, EscapeMode::kAttribute);
}

void append_value(std::string &out, Decimals number) {
    char digits[kFixedDigits];
    auto result =
        std::to_chars(digits, digits + sizeof digits, number.value, std::chars_format::fixed, number.places);
    if (result.ec == std::errc()) out.append(digits, static_cast<std::size_t>(result.ptr - digits));
}

void append_value(std::string &out, Shortest number) {
    char digits[kShortestDigits];
    const char *end = shortest_chars(digits, digits + sizeof digits, number.value).ptr;
    out.append(digits, static_cast<std::size_t>(end - digits));
}

void append_value(std::string &out, CellName name) {
    out.append(column_letters(name.column));
    append_value(out, static_cast<long long>(name.row) + 1);
}

void append_value(std::string &out, HexRgb colour) {
    const char *digits = colour.letters == HexCase::kUpper ? kUpperDigits : kLowerDigits;
    for (std::uint8_t byte : {colour.rgb.red, colour.rgb.green, colour.rgb.blue}) {
        out.push_back(digits[byte >> 4]);
        out.push_back(digits[byte & 15]);
    }
}

void append_value(std::string &out, Hex16 value) {
    for (int shift = 12; shift >= 0; shift -= 4) out.push_back(kUpperDigits[(value.value >> shift) & 15]);
}

}  // namespace tabsmith
