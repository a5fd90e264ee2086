// The one XML writer of the package parts: fixed templates with named holes, and the values
// that fill them (numbers, escaped texts, cell names, colours) appended straight into the output.
#pragma once

#include <cassert>
#include <charconv>
#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "model/style_registry.h"

namespace tabsmith {

// Never defined: a template that reaches a call of it while being compiled is malformed, and
// the call stops the compilation with the reason in the diagnostic.
void malformed_xml_template(const char *reason);

// A fixed text with holes written "{name}", split when the program is compiled (a malformed
// hole stops the compilation). A name that comes back stands for the same value again, so the
// values are given once each, in the order their names first appear.
class XmlTemplate {
public:
    static constexpr int kMaxHoles = 12;

    consteval XmlTemplate(const char *text) : XmlTemplate(std::string_view(text)) {}
    consteval XmlTemplate(std::string_view text) {
        std::size_t from = 0;
        for (std::size_t at = text.find('{'); at != std::string_view::npos; at = text.find('{', from)) {
            std::size_t close = text.find('}', at);
            if (close == std::string_view::npos || close == at + 1)
                malformed_xml_template("a hole without a name");
            std::string_view name = text.substr(at + 1, close - at - 1);
            for (char c : name)
                if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_'))
                    malformed_xml_template("a hole name of a-z, 0-9, _");
            if (holes_ == kMaxHoles) malformed_xml_template("too many holes");
            int value = 0;
            while (value < values_ && names_[value] != name) ++value;
            if (value == values_) names_[values_++] = name;
            value_of_hole_[holes_] = value;
            pieces_[holes_++] = text.substr(from, at - from);
            from = close + 1;
        }
        pieces_[holes_] = text.substr(from);
    }

    // The fixed text before hole k; piece(holes()) is the text after the last hole.
    constexpr std::string_view piece(int k) const { return pieces_[k]; }
    constexpr int holes() const { return holes_; }
    // The number of distinct names, and which of them fills hole k.
    constexpr int values() const { return values_; }
    constexpr int value_of_hole(int k) const { return value_of_hole_[k]; }
    constexpr std::string_view name(int value) const { return names_[value]; }

private:
    std::string_view pieces_[kMaxHoles + 1]{};
    std::string_view names_[kMaxHoles]{};
    int value_of_hole_[kMaxHoles]{};
    int holes_ = 0;
    int values_ = 0;
};

// ---- Values ----
// Besides the kinds below, a hole takes a std::string_view (written as it is: fixed text or
// text already escaped), an integer (decimal digits), or a callable taking the output string,
// for a value its caller writes itself.

// Element text: escaped, with every character XML forbids replaced (see xml_escape.h).
struct XmlText {
    std::string_view text;
};
// Attribute text: as XmlText, and CR, LF as character references.
struct XmlAttribute {
    std::string_view text;
};
// A number with a fixed count of decimals ("0.699999").
struct Decimals {
    double value;
    int places;
};
// The shortest text that reads back as the same double.
struct Shortest {
    double value;
};
// An A1 name from a 0-based row and column ("C5").
struct CellName {
    int row;
    int column;
};
// Six hex digits "RRGGBB"; the alpha byte, where an element wants one, is part of its template.
enum class HexCase { kUpper, kLower };
struct HexRgb {
    Rgb rgb;
    HexCase letters = HexCase::kUpper;
};
// Four upper-case hex digits of a 16-bit value (password hashes).
struct Hex16 {
    std::uint16_t value;
};

// The column letters of one sheet's used columns, made once per sheet so that a cell's name
// is two short copies.
class ColumnNames {
public:
    explicit ColumnNames(int columns);
    std::string_view operator[](int column) const {
        const Letters &entry = letters_[static_cast<std::size_t>(column)];
        return {entry.text, entry.size};
    }

private:
    struct Letters {
        char text[3];
        std::uint8_t size;
    };
    std::vector<Letters> letters_;
};

inline void append_value(std::string &out, std::string_view text) { out.append(text); }
void append_value(std::string &out, XmlText text);
void append_value(std::string &out, XmlAttribute text);
void append_value(std::string &out, Decimals number);
void append_value(std::string &out, Shortest number);
void append_value(std::string &out, CellName name);
void append_value(std::string &out, HexRgb colour);
void append_value(std::string &out, Hex16 value);

inline void append_value(std::string &out, const char *text) { out.append(text); }
inline void append_value(std::string &out, const std::string &text) { out.append(text); }

template <std::integral Number>
    requires(!std::same_as<Number, bool> && !std::same_as<Number, char>)
void append_value(std::string &out, Number number) {
    char digits[24];
    const char *end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    out.append(digits, static_cast<std::size_t>(end - digits));
}

template <typename Writer>
    requires std::invocable<const Writer &, std::string &>
void append_value(std::string &out, const Writer &write) {
    write(out);
}

// ---- Filling ----

// Piece k of template T; an empty piece costs nothing.
template <const XmlTemplate &T, int K>
void append_template_piece(std::string &out) {
    constexpr std::string_view piece = T.piece(K);
    if constexpr (!piece.empty()) out.append(piece.data(), piece.size());
}

// Appends template T with its holes filled; the count of values is checked at compile time.
// Flattened, so that a piece's append is a copy of known length and a small value is written
// in place: this is the cell loop of every save.
template <const XmlTemplate &T, typename... Values>
[[gnu::flatten]] void xml_fill(std::string &out, const Values &...values) {
    static_assert(sizeof...(Values) == static_cast<std::size_t>(T.values()), "one value for each hole name");
    const auto given = std::forward_as_tuple(values...);
    append_template_piece<T, 0>(out);
    [&]<int... K>(std::integer_sequence<int, K...>) {
        ((append_value(out, std::get<T.value_of_hole(K)>(given)), append_template_piece<T, K + 1>(out)), ...);
    }(std::make_integer_sequence<int, T.holes()>{});
}

// The same for a template chosen while the part is written (a table entry): the table's owner
// checks its entries' hole names when it is compiled, and debug builds check the count here.
template <typename... Values>
void xml_fill_chosen(std::string &out, const XmlTemplate &pattern, const Values &...values) {
    assert(sizeof...(Values) == static_cast<std::size_t>(pattern.values()));
    const auto given = std::forward_as_tuple(values...);
    out.append(pattern.piece(0));
    for (int k = 0; k < pattern.holes(); ++k) {
        const int wanted = pattern.value_of_hole(k);
        [&]<std::size_t... V>(std::index_sequence<V...>) {
            ((static_cast<int>(V) == wanted ? append_value(out, std::get<V>(given)) : void()), ...);
        }(std::index_sequence_for<Values...>{});
        out.append(pattern.piece(k + 1));
    }
}

}  // namespace tabsmith
