// printf into a std::string of exactly the printed length, for the fixed templates of the
// writers and renderers (numbers and short texts; long texts are appended separately).
#pragma once

#include <cstdio>
#include <string>

namespace tabsmith {

template <typename... Args>
std::string printf_text(const char *templ, Args... args) {
    int n = std::snprintf(nullptr, 0, templ, args...);
    std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) std::snprintf(out.data(), out.size() + 1, templ, args...);
    return out;
}

}  // namespace tabsmith
