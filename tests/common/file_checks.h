// File inspection helpers the save and file tests share: a file's bytes, its permission bits,
// whether a path is a symbolic link, and the sorted names in a folder.
#pragma once

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace tabsmith::testing {

inline std::string contents(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The permission bits of a file, or 0xFFFFFFFF when it cannot be examined.
inline unsigned mode_of(const std::string &path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0xFFFFFFFFu;
}

inline bool is_link(const std::string &path) { return std::filesystem::is_symlink(std::filesystem::symlink_status(path)); }

inline std::vector<std::string> names_in(const std::string &folder) {
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    return std::sort(names.begin(), names.end()), names;
}

}  // namespace tabsmith::testing
