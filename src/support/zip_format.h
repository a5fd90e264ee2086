// The record layout of zip archives that both the reader and the writer rely on: signatures,
// fixed header sizes, the zip64 field and little-endian numbers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tabsmith::zip_format {

constexpr std::uint32_t kLocalSignature = 0x04034b50;
constexpr std::uint32_t kCentralSignature = 0x02014b50;
constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kZip64EndSignature = 0x06064b50;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr std::uint16_t kZip64ExtraId = 0x0001;
constexpr std::size_t kLocalHeaderBytes = 30;
constexpr std::size_t kCentralHeaderBytes = 46;
// A size or offset field holding this says the true value is in the zip64 field.
constexpr std::uint32_t kMax32 = 0xFFFFFFFFu;
constexpr std::uint16_t kMax16 = 0xFFFF;

inline std::uint64_t le16(const unsigned char *p) { return p[0] | (p[1] << 8); }
inline std::uint64_t le32(const unsigned char *p) { return le16(p) | (le16(p + 2) << 16); }
inline std::uint64_t le64(const unsigned char *p) { return le32(p) | (le32(p + 4) << 32); }

}  // namespace tabsmith::zip_format
