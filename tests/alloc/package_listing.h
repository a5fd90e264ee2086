// A saved package read back for comparison: every entry inflated and checked against its CRC,
// with cell formats written out in full, so two saves of the same book compare equal.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tabsmith::testing {

namespace package_detail {

inline std::uint32_t le(std::string_view bytes, std::size_t at, int width) {
    std::uint32_t value = 0;
    for (int k = width - 1; k >= 0; --k) value = (value << 8) | static_cast<unsigned char>(bytes[at + k]);
    return value;
}

inline bool inflate_entry(std::string_view data, std::size_t size, std::string &out) {
    out.assign(size, '\0');
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return false;
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    int rc = inflate(&stream, Z_FINISH);
    bool whole = rc == Z_STREAM_END && stream.total_out == size;
    inflateEnd(&stream);
    return whole;
}

}  // namespace package_detail

namespace package_detail {

// The children of the element `table` ("fonts", "cellXfs", ...) of a styles part, each as its
// text; `table` is cut out of `styles`.
inline std::vector<std::string> take_table(std::string &styles, const std::string &table, const std::string &child) {
    std::vector<std::string> items;
    const std::size_t open = styles.find("<" + table);
    if (open == std::string::npos) return items;
    const std::string close_tag = "</" + table + ">";
    const std::size_t close = styles.find(close_tag, open);
    if (close == std::string::npos) return items;
    std::size_t at = styles.find('>', open) + 1;
    while (true) {
        std::size_t start = styles.find("<" + child, at);
        if (start == std::string::npos || start >= close) break;
        std::size_t tag_end = styles.find('>', start);
        std::size_t end =
            styles[tag_end - 1] == '/' ? tag_end + 1 : styles.find("</" + child + ">", start) + child.size() + 3;
        items.push_back(styles.substr(start, end - start));
        at = end;
    }
    styles.erase(open, close + close_tag.size() - open);
    return items;
}

// Replaces the number in each `attribute="N"` of `text` by what `resolve` makes of it.
template <typename Resolve>
std::string replace_numbers(const std::string &text, const std::string &attribute, Resolve resolve) {
    std::string out;
    const std::string key = " " + attribute + "=\"";
    std::size_t at = 0;
    while (true) {
        std::size_t found = text.find(key, at);
        if (found == std::string::npos) break;
        std::size_t start = found + key.size(), end = text.find('"', start);
        out.append(text, at, start - at);
        out += resolve(text.substr(start, end - start));
        at = end;
    }
    out.append(text, at, std::string::npos);
    return out;
}

// A cell format with every table index it holds replaced by the record it names, so that two
// saves compare equal whatever order or spare records their tables have.
inline std::vector<std::string> resolved_formats(std::string &styles) {
    std::map<std::string, std::string> codes;
    for (const std::string &format : take_table(styles, "numFmts", "numFmt")) {
        std::size_t id = format.find("numFmtId=\"") + 10, code = format.find("formatCode=\"") + 12;
        codes[format.substr(id, format.find('"', id) - id)] = format.substr(code, format.find('"', code) - code);
    }
    const auto fonts = take_table(styles, "fonts", "font");
    const auto fills = take_table(styles, "fills", "fill");
    const auto borders = take_table(styles, "borders", "border");
    auto pick = [](const std::vector<std::string> &table) {
        return [&table](const std::string &n) {
            if (n.empty() || n.find_first_not_of("0123456789") != std::string::npos) return n;
            std::size_t k = std::stoul(n);
            return k < table.size() ? table[k] : "missing " + n;
        };
    };
    std::vector<std::string> formats;
    for (std::string xf : take_table(styles, "cellXfs", "xf")) {
        xf = replace_numbers(xf, "numFmtId", [&](const std::string &n) { return codes.count(n) ? codes[n] : n; });
        xf = replace_numbers(xf, "fontId", pick(fonts));
        xf = replace_numbers(xf, "fillId", pick(fills));
        xf = replace_numbers(xf, "borderId", pick(borders));
        formats.push_back(xf);
    }
    return formats;
}

}  // namespace package_detail

// Every entry of a saved package, name and contents, or a line saying what is wrong with the
// archive. Cell formats appear in the worksheets by what they are rather than by their index,
// and the save time in the document properties is left out.
inline std::string package_listing(std::string_view bytes) {
    using package_detail::le;
    if (bytes.size() < 22) return "not an archive (" + std::to_string(bytes.size()) + " bytes)\n";
    std::size_t end = bytes.size() - 22;
    while (le(bytes, end, 4) != 0x06054b50u) {
        if (end == 0) return "no end of central directory\n";
        --end;
    }
    const std::size_t entries = le(bytes, end + 10, 2);
    std::size_t at = le(bytes, end + 16, 4);
    std::vector<std::pair<std::string, std::string>> parts;
    for (std::size_t k = 0; k < entries; ++k) {
        if (at + 46 > bytes.size() || le(bytes, at, 4) != 0x02014b50u) return "bad central entry\n";
        const std::uint32_t method = le(bytes, at + 10, 2), crc = le(bytes, at + 16, 4);
        const std::uint32_t packed = le(bytes, at + 20, 4), size = le(bytes, at + 24, 4);
        const std::size_t name_length = le(bytes, at + 28, 2), extra = le(bytes, at + 30, 2),
                          comment = le(bytes, at + 32, 2), local = le(bytes, at + 42, 4);
        const std::string name(bytes.substr(at + 46, name_length));
        at += 46 + name_length + extra + comment;
        if (local + 30 > bytes.size() || le(bytes, local, 4) != 0x04034b50u) return name + " bad local header\n";
        const std::size_t data_at = local + 30 + le(bytes, local + 26, 2) + le(bytes, local + 28, 2);
        if (data_at + packed > bytes.size()) return name + " truncated\n";
        std::string contents;
        if (method == 8) {
            if (!package_detail::inflate_entry(bytes.substr(data_at, packed), size, contents))
                return name + " does not inflate\n";
        } else if (method == 0) {
            contents.assign(bytes.substr(data_at, packed));
        } else {
            return name + " method " + std::to_string(method) + "\n";
        }
        const auto actual = static_cast<std::uint32_t>(
            crc32(0, reinterpret_cast<const Bytef *>(contents.data()), static_cast<uInt>(contents.size())));
        if (actual != crc) return name + " CRC mismatch\n";
        if (name == "docProps/core.xml") contents = "(stamped with the save time)";
        parts.emplace_back(name, std::move(contents));
    }
    std::vector<std::string> formats;
    for (auto &[name, contents] : parts)
        if (name == "xl/styles.xml") formats = package_detail::resolved_formats(contents);
    std::string listing;
    for (auto &[name, contents] : parts) {
        if (name.rfind("xl/worksheets/sheet", 0) == 0) {
            auto format = [&](const std::string &n) {
                if (n.empty() || n.find_first_not_of("0123456789") != std::string::npos) return n;
                std::size_t k = std::stoul(n);
                return k < formats.size() ? formats[k] : "missing " + n;
            };
            contents = package_detail::replace_numbers(contents, "s", format);
            contents = package_detail::replace_numbers(contents, "style", format);
        }
        listing += "== " + name + "\n" + contents + "\n";
    }
    return listing;
}

}  // namespace tabsmith::testing
