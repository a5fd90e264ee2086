// Picture sizes from the formats' own headers. Only the few header fields that give the size
// are read: a picture is stored in the package as it is, so nothing is ever decoded, and a
// decoding library would add a dependency and an attack surface for a handful of integers.

#include "image/picture_size.h"

#include <climits>
#include <cstdint>
#include <cstdlib>

#include "image/file_type.h"

namespace tabsmith {
namespace {

// Bounds-checked fixed-width reads; every read says whether the bytes were there.
class HeaderBytes {
public:
    explicit HeaderBytes(std::string_view bytes) : bytes_(bytes) {}

    std::size_t size() const { return bytes_.size(); }
    bool has(std::size_t at, std::size_t count) const { return at <= bytes_.size() && count <= bytes_.size() - at; }
    bool u8(std::size_t at, std::uint32_t &value) const { return read(at, 1, false, value); }
    bool le16(std::size_t at, std::uint32_t &value) const { return read(at, 2, false, value); }
    bool be16(std::size_t at, std::uint32_t &value) const { return read(at, 2, true, value); }
    bool le32(std::size_t at, std::uint32_t &value) const { return read(at, 4, false, value); }
    bool be32(std::size_t at, std::uint32_t &value) const { return read(at, 4, true, value); }
    bool u16(std::size_t at, bool big_endian, std::uint32_t &value) const { return read(at, 2, big_endian, value); }
    bool u32(std::size_t at, bool big_endian, std::uint32_t &value) const { return read(at, 4, big_endian, value); }
    bool starts_with(std::size_t at, std::string_view text) const {
        return has(at, text.size()) && bytes_.substr(at, text.size()) == text;
    }

private:
    bool read(std::size_t at, std::size_t count, bool big_endian, std::uint32_t &value) const {
        if (!has(at, count)) return false;
        value = 0;
        for (std::size_t k = 0; k < count; ++k) {
            const std::uint32_t byte = static_cast<unsigned char>(bytes_[at + (big_endian ? k : count - 1 - k)]);
            value = (value << 8) | byte;
        }
        return true;
    }

    std::string_view bytes_;
};

std::int32_t as_signed32(std::uint32_t value) { return static_cast<std::int32_t>(value); }
std::int16_t as_signed16(std::uint32_t value) { return static_cast<std::int16_t>(static_cast<std::uint16_t>(value)); }

// Stores the size when both sides are positive and fit an int.
bool accept(std::int64_t width, std::int64_t height, PictureSize &size) {
    if (width <= 0 || height <= 0 || width > INT_MAX || height > INT_MAX) return false;
    size.width = static_cast<int>(width);
    size.height = static_cast<int>(height);
    return true;
}

// Pixels at 96 per inch for a length of `units` at `per_inch` units per inch, rounded.
std::int64_t pixels_at(std::int64_t units, std::int64_t per_inch) {
    if (units < 0) units = -units;
    return (units * 96 + per_inch / 2) / per_inch;
}

// File header (14 bytes), then the info header: the 12-byte core header has 16-bit sizes, all
// later ones 32-bit sizes, the height negative for a top-down picture.
bool measure_bmp(const HeaderBytes &in, PictureSize &size) {
    std::uint32_t info = 0, width = 0, height = 0;
    if (!in.starts_with(0, "BM") || !in.le32(14, info)) return false;
    if (info == 12) return in.le16(18, width) && in.le16(20, height) && accept(width, height, size);
    if (info < 16 || !in.le32(18, width) || !in.le32(22, height)) return false;
    return accept(as_signed32(width), std::llabs(as_signed32(height)), size);
}

// Markers are walked segment by segment up to the first frame header; the scan data only
// follows the frame header, so reaching it (or the end) first means there is none.
bool measure_jpeg(const HeaderBytes &in, PictureSize &size) {
    if (!in.starts_with(0, "\xFF\xD8")) return false;
    std::size_t at = 2;
    for (;;) {
        std::uint32_t byte = 0;
        if (!in.u8(at, byte) || byte != 0xFF) return false;
        std::uint32_t marker = 0xFF;
        while (marker == 0xFF) {  // fill bytes before the marker
            if (!in.u8(++at, marker)) return false;
        }
        ++at;
        if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;  // no length
        if (marker == 0xD9 || marker == 0xDA || marker == 0x00) return false;
        std::uint32_t length = 0;
        if (!in.be16(at, length) || length < 2) return false;
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            std::uint32_t height = 0, width = 0;
            // A height of 0 is given later by a DNL segment after the scan: not measurable here.
            return length >= 7 && in.be16(at + 3, height) && in.be16(at + 5, width) && accept(width, height, size);
        }
        if (!in.has(at, length)) return false;
        at += length;
    }
}

bool measure_png(const HeaderBytes &in, PictureSize &size) {
    std::uint32_t length = 0, width = 0, height = 0;
    if (!in.starts_with(0, std::string_view("\x89PNG\r\n\x1A\n", 8)) || !in.be32(8, length) || length < 13 ||
        !in.starts_with(12, "IHDR") || !in.be32(16, width) || !in.be32(20, height))
        return false;
    return accept(width, height, size);
}

bool measure_gif(const HeaderBytes &in, PictureSize &size) {
    std::uint32_t width = 0, height = 0;
    if (!(in.starts_with(0, "GIF87a") || in.starts_with(0, "GIF89a")) || !in.le16(6, width) || !in.le16(8, height))
        return false;
    return accept(width, height, size);
}

// The first image directory's ImageWidth (256) and ImageLength (257), SHORT or LONG, in either
// byte order.
bool measure_tiff(const HeaderBytes &in, PictureSize &size) {
    bool big_endian = false;
    if (in.starts_with(0, std::string_view("II*\0", 4))) big_endian = false;
    else if (in.starts_with(0, std::string_view("MM\0*", 4))) big_endian = true;
    else return false;
    std::uint32_t directory = 0, entries = 0;
    if (!in.u32(4, big_endian, directory) || directory < 8 || !in.u16(directory, big_endian, entries)) return false;
    std::int64_t width = 0, height = 0;
    for (std::uint32_t k = 0; k < entries; ++k) {
        const std::size_t entry = static_cast<std::size_t>(directory) + 2 + std::size_t{12} * k;
        std::uint32_t tag = 0, kind = 0, count = 0, value = 0;
        if (!in.u16(entry, big_endian, tag) || !in.u16(entry + 2, big_endian, kind) ||
            !in.u32(entry + 4, big_endian, count))
            return false;
        if (tag != 256 && tag != 257) continue;
        if (count < 1) return false;
        if (kind == 3) {
            if (!in.u16(entry + 8, big_endian, value)) return false;
        } else if (kind == 4) {
            if (!in.u32(entry + 8, big_endian, value)) return false;
        } else {
            return false;
        }
        (tag == 256 ? width : height) = value;
    }
    return accept(width, height, size);
}

// The header record: its frame (0.01 mm) gives the size the picture is meant to be shown at;
// the bounds (device pixels, inclusive) stand in for an empty frame.
bool measure_emf(const HeaderBytes &in, PictureSize &size) {
    std::uint32_t type = 0, record = 0;
    if (!in.le32(0, type) || type != 1 || !in.le32(4, record) || record < 88 || !in.starts_with(40, " EMF"))
        return false;
    std::uint32_t v[8];
    for (int k = 0; k < 8; ++k)
        if (!in.le32(8 + 4 * static_cast<std::size_t>(k), v[k])) return false;
    const std::int64_t frame_width = std::int64_t{as_signed32(v[6])} - as_signed32(v[4]);
    const std::int64_t frame_height = std::int64_t{as_signed32(v[7])} - as_signed32(v[5]);
    if (accept(pixels_at(frame_width, 2540), pixels_at(frame_height, 2540), size)) return true;
    const std::int64_t bounds_width = std::int64_t{as_signed32(v[2])} - as_signed32(v[0]);
    const std::int64_t bounds_height = std::int64_t{as_signed32(v[3])} - as_signed32(v[1]);
    if (bounds_width < 0 || bounds_height < 0) return false;
    return accept(bounds_width + 1, bounds_height + 1, size);
}

// A metafile without the placeable header carries no physical size: its window extent is read
// as pixels, the unit such a metafile is played in on screen.
bool measure_plain_wmf(const HeaderBytes &in, PictureSize &size) {
    std::uint32_t type = 0, header_words = 0, version = 0;
    if (!in.le16(0, type) || (type != 1 && type != 2) || !in.le16(2, header_words) || header_words != 9 ||
        !in.le16(4, version) || (version != 0x0100 && version != 0x0300))
        return false;
    constexpr std::uint32_t kSetWindowExt = 0x020C, kEndOfFile = 0x0000;
    std::size_t at = 18;
    for (;;) {
        std::uint32_t words = 0, function = 0;
        if (!in.le32(at, words) || !in.le16(at + 4, function) || words < 3) return false;
        if (function == kEndOfFile) return false;
        if (function == kSetWindowExt) {
            std::uint32_t y = 0, x = 0;
            return words >= 5 && in.le16(at + 6, y) && in.le16(at + 8, x) &&
                   accept(std::abs(as_signed16(x)), std::abs(as_signed16(y)), size);
        }
        if (words > (in.size() - at) / 2) return false;
        at += std::size_t{words} * 2;
    }
}

// The placeable header: bounding box in metafile units and the units per inch.
bool measure_wmf(const HeaderBytes &in, PictureSize &size) {
    if (!in.starts_with(0, "\xD7\xCD\xC6\x9A")) return measure_plain_wmf(in, size);
    std::uint32_t left = 0, top = 0, right = 0, bottom = 0, per_inch = 0;
    if (!in.le16(6, left) || !in.le16(8, top) || !in.le16(10, right) || !in.le16(12, bottom) ||
        !in.le16(14, per_inch) || per_inch == 0 || !in.has(0, 22))
        return false;
    const std::int64_t width = std::int64_t{as_signed16(right)} - as_signed16(left);
    const std::int64_t height = std::int64_t{as_signed16(bottom)} - as_signed16(top);
    return accept(pixels_at(width, per_inch), pixels_at(height, per_inch), size);
}

}  // namespace

bool measure_picture(int type, std::string_view bytes, PictureSize &size) {
    const HeaderBytes in(bytes);
    PictureSize measured;
    bool ok = false;
    switch (type) {
    case kFileTypeBmp: ok = measure_bmp(in, measured); break;
    case kFileTypeJpeg: ok = measure_jpeg(in, measured); break;
    case kFileTypePng: ok = measure_png(in, measured); break;
    case kFileTypeGif: ok = measure_gif(in, measured); break;
    case kFileTypeTiff: ok = measure_tiff(in, measured); break;
    case kFileTypeEmf: ok = measure_emf(in, measured); break;
    case kFileTypeWmf: ok = measure_wmf(in, measured); break;
    default: return false;
    }
    if (ok) size = measured;
    return ok;
}

}  // namespace tabsmith
