// The shared corpus of real workbooks beside the repository (read only): where it is and which
// of its files a test walks. Tests that need it skip when it is not there.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace tabsmith::testing {

// TABSMITH_CORPUS in the environment, else the folder CMake was told (TABSMITH_CORPUS_DIR).
inline std::string corpus_dir() {
    if (const char *dir = std::getenv("TABSMITH_CORPUS"); dir && *dir) return dir;
#ifdef TABSMITH_CORPUS_DIR
    return TABSMITH_CORPUS_DIR;
#else
    return "";
#endif
}

// The regular files of one corpus folder whose names end with one of `extensions` (any case;
// none given: every file), sorted by name.
inline std::vector<std::string> corpus_files(const std::string &folder, std::vector<std::string> extensions = {}) {
    std::vector<std::string> out;
    std::error_code error;
    std::filesystem::path dir = std::filesystem::path(corpus_dir()) / folder;
    for (const auto &item : std::filesystem::directory_iterator(dir, error)) {
        if (!item.is_regular_file(error)) continue;
        std::string ext = item.path().extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
        if (extensions.empty() || std::find(extensions.begin(), extensions.end(), ext) != extensions.end())
            out.push_back(item.path().string());
    }
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace tabsmith::testing
