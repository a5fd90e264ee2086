// Small picture files built byte by byte for tests that place or measure pictures: each carries
// the header fields that give its size (a BMP also its pixels), in the layout of its format.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

namespace tabsmith::testing {

// Header fields as {value, width in bytes}, in the order the format lays them out.
struct HeaderField {
    std::uint32_t value;
    int bytes;
};
inline std::string header_bytes(std::string out, std::initializer_list<HeaderField> list, bool big_endian = false) {
    for (auto [value, bytes] : list)
        for (int k = 0; k < bytes; ++k) out.push_back(static_cast<char>(value >> (8 * (big_endian ? bytes - 1 - k : k))));
    return out;
}

// A complete 24-bit BMP (grey pixels); a negative height is a top-down picture.
inline std::string bmp_picture(int width, int height) {
    const std::uint32_t pixels = ((static_cast<std::uint32_t>(width) * 3 + 3) & ~3u) * static_cast<std::uint32_t>(height < 0 ? -height : height);
    return header_bytes("BM", {{54 + pixels, 4}, {0, 4}, {54, 4}, {40, 4}, {static_cast<std::uint32_t>(width), 4},
                         {static_cast<std::uint32_t>(height), 4}, {1, 2}, {24, 2}, {0, 4}, {pixels, 4}, {2835, 4},
                         {2835, 4}, {0, 4}, {0, 4}}) + std::string(pixels, '\x80');
}

// PNG signature and IHDR chunk (its CRC not computed: nothing here decodes it).
inline std::string png_header(std::uint32_t width, std::uint32_t height) {
    return header_bytes(header_bytes(std::string("\x89PNG\r\n\x1A\n", 8), {{13, 4}}, true) + "IHDR", {{width, 4}, {height, 4}}, true) +
           std::string("\x08\x02\x00\x00\x00\x00\x00\x00\x00", 9);
}

// With an image descriptor of the whole screen, so that the file is as long as the probe reads.
inline std::string gif_header(std::uint16_t width, std::uint16_t height) {
    return header_bytes(header_bytes("GIF89a", {{width, 2}, {height, 2}, {0, 3}}) + ",", {{0, 2}, {0, 2}, {width, 2}, {height, 2}}) +
           std::string("\x00;", 2);
}

// SOI, an APP0 segment, then a frame header of the given marker (0xC0 baseline, 0xC2 progressive ...).
inline std::string jpeg_header(std::uint16_t width, std::uint16_t height, unsigned char frame_marker = 0xC0) {
    const std::string app0("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00", 20);
    return header_bytes(app0, {{0xFF, 1}, {frame_marker, 1}, {11, 2}, {8, 1}, {height, 2}, {width, 2}, {0x01011100, 4}, {0xFFD9, 2}}, true);
}

// Header and first directory with ImageWidth and ImageLength, after a tag before them as real
// files have; `long_values` stores them as LONG rather than SHORT.
inline std::string tiff_header(std::uint32_t width, std::uint32_t height, bool big_endian = false, bool long_values = false) {
    std::string out = header_bytes(std::string(big_endian ? "MM\0*" : "II*\0", 4), {{8, 4}, {3, 2}, {254, 2}, {4, 2}, {1, 4}, {0, 4}}, big_endian);
    for (auto [tag, value] : {std::pair{256u, width}, {257u, height}}) {
        out = header_bytes(out, {{tag, 2}, {long_values ? 4u : 3u, 2}, {1, 4}}, big_endian);
        out = long_values ? header_bytes(out, {{value, 4}}, big_endian) : header_bytes(out, {{value, 2}, {0, 2}}, big_endian);
    }
    return header_bytes(out, {{0, 4}}, big_endian);
}

// The header record of an enhanced metafile: bounds in device pixels, frame in 0.01 mm; then
// the description, palette, device size in pixels and millimetres, and EMR_EOF.
inline std::string emf_header(std::int32_t frame_right, std::int32_t frame_bottom, std::int32_t bounds_right = 0, std::int32_t bounds_bottom = 0) {
    auto u = [](std::int32_t v) { return static_cast<std::uint32_t>(v); };
    return header_bytes(header_bytes("", {{1, 4}, {88, 4}, {0, 4}, {0, 4}, {u(bounds_right), 4}, {u(bounds_bottom), 4}, {0, 4}, {0, 4},
                              {u(frame_right), 4}, {u(frame_bottom), 4}}) + " EMF",
                  {{0x10000, 4}, {88 + 20, 4}, {2, 4}, {1, 2}, {0, 2}, {0, 4}, {0, 4}, {0, 4}, {1920, 4}, {1080, 4}, {508, 4},
                   {286, 4}, {14, 4}, {20, 4}, {0, 4}, {16, 4}, {20, 4}});
}

// A placeable metafile: bounding box in units, `per_inch` units per inch, its checksum, then the
// standard header and the end record.
inline std::string wmf_placeable(std::int16_t right, std::int16_t bottom, std::uint16_t per_inch) {
    std::string out = header_bytes(std::string("\xD7\xCD\xC6\x9A", 4), {{0, 2}, {0, 2}, {0, 2}, {static_cast<std::uint16_t>(right), 2},
                                                                   {static_cast<std::uint16_t>(bottom), 2}, {per_inch, 2}, {0, 4}});
    std::uint16_t checksum = 0;  // of the ten words before it
    for (std::size_t k = 0; k < 20; k += 2) checksum ^= static_cast<std::uint16_t>(std::uint8_t(out[k]) | std::uint8_t(out[k + 1]) << 8);
    return header_bytes(out, {{checksum, 2}, {1, 2}, {9, 2}, {0x0300, 2}, {9 + 3, 4}, {0, 2}, {3, 4}, {0, 2}, {3, 4}, {0, 2}});
}

// A metafile without the placeable header whose window extent (SETWINDOWEXT after SETWINDOWORG)
// is `width` x `height`.
inline std::string wmf_plain(std::int16_t width, std::int16_t height) {
    return header_bytes("", {{1, 2}, {9, 2}, {0x0300, 2}, {9 + 5 + 5 + 3, 4}, {0, 2}, {5, 4}, {0, 2}, {5, 4}, {0x020B, 2}, {0, 2},
                       {0, 2}, {5, 4}, {0x020C, 2}, {static_cast<std::uint16_t>(height), 2},
                       {static_cast<std::uint16_t>(width), 2}, {3, 4}, {0, 2}});
}

}  // namespace tabsmith::testing
