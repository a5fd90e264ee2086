// Small picture files built byte by byte for tests that place or measure pictures: each carries
// the header fields that give its size (a BMP also its pixels), in the layout of its format.
#pragma once

#include <cstdint>
#include <string>

namespace tabsmith::testing {

inline void put_le(std::string &out, std::uint32_t value, int bytes) {
    for (int k = 0; k < bytes; ++k) out.push_back(static_cast<char>((value >> (8 * k)) & 0xFF));
}
inline void put_be(std::string &out, std::uint32_t value, int bytes) {
    for (int k = bytes - 1; k >= 0; --k) out.push_back(static_cast<char>((value >> (8 * k)) & 0xFF));
}

// A complete 24-bit BMP (grey pixels); a negative height is a top-down picture.
inline std::string bmp_picture(int width, int height) {
    const std::uint32_t row = (static_cast<std::uint32_t>(width) * 3 + 3) & ~3u;
    const std::uint32_t pixels = row * static_cast<std::uint32_t>(height < 0 ? -height : height);
    std::string out = "BM";
    put_le(out, 54 + pixels, 4);
    put_le(out, 0, 4);
    put_le(out, 54, 4);
    put_le(out, 40, 4);
    put_le(out, static_cast<std::uint32_t>(width), 4);
    put_le(out, static_cast<std::uint32_t>(height), 4);
    put_le(out, 1, 2);
    put_le(out, 24, 2);
    put_le(out, 0, 4);
    put_le(out, pixels, 4);
    put_le(out, 2835, 4);
    put_le(out, 2835, 4);
    put_le(out, 0, 4);
    put_le(out, 0, 4);
    out.append(pixels, '\x80');
    return out;
}

// PNG signature and IHDR chunk (its CRC not computed: nothing here decodes it).
inline std::string png_header(std::uint32_t width, std::uint32_t height) {
    std::string out("\x89PNG\r\n\x1A\n", 8);
    put_be(out, 13, 4);
    out += "IHDR";
    put_be(out, width, 4);
    put_be(out, height, 4);
    out += std::string("\x08\x02\x00\x00\x00", 5);
    put_be(out, 0, 4);
    return out;
}

inline std::string gif_header(std::uint16_t width, std::uint16_t height) {
    std::string out = "GIF89a";
    put_le(out, width, 2);
    put_le(out, height, 2);
    out += std::string("\x00\x00\x00", 3);
    // An image descriptor of the whole screen, so that the file is as long as the probe reads.
    out += ",";
    put_le(out, 0, 2), put_le(out, 0, 2), put_le(out, width, 2), put_le(out, height, 2);
    out += std::string("\x00;", 2);
    return out;
}

// SOI, an APP0 segment, then a frame header of the given marker (0xC0 baseline, 0xC2
// progressive ...).
inline std::string jpeg_header(std::uint16_t width, std::uint16_t height, unsigned char frame_marker = 0xC0) {
    std::string out("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00", 20);
    out.push_back('\xFF');
    out.push_back(static_cast<char>(frame_marker));
    put_be(out, 11, 2);
    out.push_back('\x08');
    put_be(out, height, 2);
    put_be(out, width, 2);
    out += std::string("\x01\x01\x11\x00", 4);
    out += std::string("\xFF\xD9", 2);
    return out;
}

// Header and first directory with ImageWidth and ImageLength; `long_values` stores them as
// LONG rather than SHORT.
inline std::string tiff_header(std::uint32_t width, std::uint32_t height, bool big_endian = false,
                               bool long_values = false) {
    std::string out;
    auto put = [&](std::uint32_t value, int bytes) { big_endian ? put_be(out, value, bytes) : put_le(out, value, bytes); };
    out += big_endian ? std::string("MM\0*", 4) : std::string("II*\0", 4);
    put(8, 4);
    put(3, 2);
    // A tag before the two that give the size, as real files have.
    put(254, 2), put(4, 2), put(1, 4), put(0, 4);
    for (std::uint32_t tag : {256u, 257u}) {
        const std::uint32_t value = tag == 256 ? width : height;
        put(tag, 2);
        put(long_values ? 4 : 3, 2);
        put(1, 4);
        if (long_values) {
            put(value, 4);
        } else {
            put(value, 2);
            put(0, 2);
        }
    }
    put(0, 4);
    return out;
}

// The header record of an enhanced metafile: bounds in device pixels, frame in 0.01 mm.
inline std::string emf_header(std::int32_t frame_right, std::int32_t frame_bottom, std::int32_t bounds_right = 0,
                              std::int32_t bounds_bottom = 0) {
    std::string out;
    put_le(out, 1, 4);
    put_le(out, 88, 4);
    for (std::int32_t v : {0, 0, bounds_right, bounds_bottom, 0, 0, frame_right, frame_bottom})
        put_le(out, static_cast<std::uint32_t>(v), 4);
    out += " EMF";
    put_le(out, 0x10000, 4);
    put_le(out, 88 + 20, 4);   // file size
    put_le(out, 2, 4);         // records
    put_le(out, 1, 2);         // handles
    put_le(out, 0, 2);
    put_le(out, 0, 4), put_le(out, 0, 4), put_le(out, 0, 4);  // description, palette
    for (std::uint32_t v : {1920u, 1080u, 508u, 286u}) put_le(out, v, 4);  // device pixels and millimetres
    // EMR_EOF
    put_le(out, 14, 4);
    put_le(out, 20, 4);
    put_le(out, 0, 4), put_le(out, 16, 4), put_le(out, 20, 4);
    return out;
}

// A placeable metafile: bounding box in units, `per_inch` units per inch, then the standard
// header and the end record.
inline std::string wmf_placeable(std::int16_t right, std::int16_t bottom, std::uint16_t per_inch) {
    std::string out("\xD7\xCD\xC6\x9A", 4);
    put_le(out, 0, 2);
    put_le(out, 0, 2), put_le(out, 0, 2);
    put_le(out, static_cast<std::uint16_t>(right), 2);
    put_le(out, static_cast<std::uint16_t>(bottom), 2);
    put_le(out, per_inch, 2);
    put_le(out, 0, 4);
    std::uint16_t checksum = 0;
    for (std::size_t k = 0; k < 20; k += 2)
        checksum ^= static_cast<std::uint16_t>(static_cast<unsigned char>(out[k]) | (static_cast<unsigned char>(out[k + 1]) << 8));
    put_le(out, checksum, 2);
    put_le(out, 1, 2), put_le(out, 9, 2), put_le(out, 0x0300, 2);
    put_le(out, 9 + 3, 4);  // size in words
    put_le(out, 0, 2), put_le(out, 3, 4), put_le(out, 0, 2);
    put_le(out, 3, 4), put_le(out, 0, 2);  // META_EOF
    return out;
}

// A metafile without the placeable header whose window extent is `width` x `height`.
inline std::string wmf_plain(std::int16_t width, std::int16_t height) {
    std::string out;
    put_le(out, 1, 2), put_le(out, 9, 2), put_le(out, 0x0300, 2);
    put_le(out, 9 + 5 + 5 + 3, 4);
    put_le(out, 0, 2), put_le(out, 5, 4), put_le(out, 0, 2);
    put_le(out, 5, 4), put_le(out, 0x020B, 2), put_le(out, 0, 2), put_le(out, 0, 2);  // SETWINDOWORG
    put_le(out, 5, 4), put_le(out, 0x020C, 2);                                        // SETWINDOWEXT y, x
    put_le(out, static_cast<std::uint16_t>(height), 2), put_le(out, static_cast<std::uint16_t>(width), 2);
    put_le(out, 3, 4), put_le(out, 0, 2);
    return out;
}

}  // namespace tabsmith::testing
