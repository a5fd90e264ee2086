// The legacy 16-bit password hash: every byte rotated left by its 1-based position within
// 15 bits, all XORed together with the length and a fixed key.

#include "xlsx_write/password_hash.h"

namespace tabsmith {
namespace {

constexpr std::uint16_t kHashKey = 0xCE4B;

}  // namespace

std::uint16_t password_hash(std::string_view password) {
    std::uint16_t hash = 0;
    unsigned position = 0;
    for (char c : password) {
        // Passwords are at most 16 bytes; a longer one starts the shifts again rather than
        // shifting past the width of the word.
        position = position % 16 + 1;
        // Bytes count as signed, as the spreadsheet program's own hash takes them. The shift is
        // done in 32 bits so that bits pushed past bit 14 wrap round into the low bits even for
        // the later positions of a 16-byte password.
        auto widened = static_cast<std::uint16_t>(static_cast<std::int16_t>(static_cast<signed char>(c)));
        std::uint32_t value = static_cast<std::uint32_t>(widened) << position;
        hash ^= static_cast<std::uint16_t>((value >> 15) | (value & 0x7FFFu));
    }
    hash ^= static_cast<std::uint16_t>(password.size());
    hash ^= kHashKey;
    return hash;
}

}  // namespace tabsmith
