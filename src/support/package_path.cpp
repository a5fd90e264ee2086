// The entry-name check and the relationship-target resolver every reader and writer shares: a
// name one side accepts or a target one side resolves means the same part to the other.

#include "support/package_path.h"

#include <vector>

namespace tabsmith {
namespace {

constexpr std::size_t kZipNameFieldMax = 0xFFFF;

bool is_part_separator(char c) { return c == '/' || c == '\\'; }

bool is_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// A '%' not followed by two hex digits is taken as itself, as lenient producers mean it.
std::string percent_decoded(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t k = 0; k < text.size(); ++k) {
        const int high = text[k] == '%' && k + 2 < text.size() ? hex_digit(text[k + 1]) : -1;
        const int low = high >= 0 ? hex_digit(text[k + 2]) : -1;
        if (low >= 0) {
            out.push_back(static_cast<char>(high * 16 + low));
            k += 2;
        } else {
            out.push_back(text[k]);
        }
    }
    return out;
}

// "http:", "file:" and a drive letter all read as a scheme before the first separator; a
// relative reference cannot start with one.
bool starts_with_scheme(std::string_view target) {
    if (target.empty() || !is_letter(target.front())) return false;
    for (char c : target) {
        if (c == ':') return true;
        if (!is_letter(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.') return false;
    }
    return false;
}

// Appends the segments of `path` to `segments`; false when ".." would step above the root.
bool add_segments(std::string_view path, std::vector<std::string_view> &segments) {
    while (!path.empty()) {
        std::size_t end = 0;
        while (end < path.size() && !is_part_separator(path[end])) ++end;
        const std::string_view segment = path.substr(0, end);
        path.remove_prefix(end < path.size() ? end + 1 : end);
        if (segment.empty() || segment == ".") continue;
        if (segment == "..") {
            if (segments.empty()) return false;
            segments.pop_back();
            continue;
        }
        segments.push_back(segment);
    }
    return true;
}

}  // namespace

bool zip_entry_name_safe(std::string_view name) {
    if (name.empty() || name.size() > kZipNameFieldMax || name.front() == '/') return false;
    if (name.size() >= 2 && name[1] == ':' && is_letter(name[0])) return false;
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || c == '\\') return false;
    }
    for (std::size_t start = 0; start <= name.size();) {
        std::size_t end = name.find('/', start);
        if (end == std::string_view::npos) end = name.size();
        if (name.substr(start, end - start) == "..") return false;
        start = end + 1;
    }
    return true;
}

std::string resolve_part_target(std::string_view source_part, std::string_view target) {
    const std::string decoded = percent_decoded(target);
    if (decoded.empty() || starts_with_scheme(decoded)) return {};
    std::vector<std::string_view> segments;
    if (!is_part_separator(decoded.front())) add_segments(part_folder(source_part), segments);
    if (!add_segments(decoded, segments) || segments.empty()) return {};
    std::string out;
    for (std::string_view segment : segments) {
        if (!out.empty()) out.push_back('/');
        out.append(segment);
    }
    return zip_entry_name_safe(out) ? out : std::string();
}

std::string part_target(std::string_view source_part, std::string_view part) {
    const std::string_view folder = part_folder(source_part);
    std::string_view below = part;
    if (!folder.empty()) {
        const bool inside = part.size() > folder.size() + 1 && part[folder.size()] == '/' &&
                            same_part_name(part.substr(0, folder.size()), folder);
        below = inside ? part.substr(folder.size() + 1) : std::string_view();
    }
    std::string out = below.empty() ? "/" : "";
    for (char c : below.empty() ? part : below) {
        if (c == '%') out.append("%25");
        else out.push_back(c);
    }
    return out;
}

bool same_part_name(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t k = 0; k < a.size(); ++k) {
        char x = a[k], y = b[k];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

std::string_view part_folder(std::string_view part) {
    const std::size_t slash = part.rfind('/');
    return slash == std::string_view::npos ? std::string_view() : part.substr(0, slash);
}

std::string relationships_part_name(std::string_view part) {
    const std::string_view folder = part_folder(part);
    std::string name(folder);
    if (!name.empty()) name.push_back('/');
    name.append("_rels/").append(part.substr(folder.empty() ? 0 : folder.size() + 1)).append(".rels");
    return name;
}

bool relationships_source(std::string_view rels_part, std::string &source_part) {
    const std::size_t rels = rels_part.rfind("_rels/");
    if (rels == std::string_view::npos || (rels > 0 && rels_part[rels - 1] != '/') || !rels_part.ends_with(".rels"))
        return false;
    const std::string_view file = rels_part.substr(rels + 6, rels_part.size() - rels - 6 - 5);
    if (file.find('/') != std::string_view::npos) return false;
    source_part.assign(rels_part.substr(0, rels)).append(file);
    return true;
}

}  // namespace tabsmith
