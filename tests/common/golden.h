// Whole expected part documents kept under tests/golden/ (one per part kind), the edits that turn
// one into the text a variant must give, and the checks the writer tests share.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "common/file_checks.h"

namespace tabsmith::testing {

// A whole expected document under tests/golden/ (TABSMITH_GOLDEN_DIR, set by the build).
inline std::string golden(const std::string &name) {
    const std::string path = std::string(TABSMITH_GOLDEN_DIR) + "/" + name;
    EXPECT_TRUE(std::filesystem::exists(path)) << path;
    return contents(path);
}

// `text` with each edit's first member replaced by its second: edits are listed in the order of
// the text, each taking the first occurrence after the one before.
using Edits = std::vector<std::pair<std::string, std::string>>;
inline std::string edited(std::string text, const Edits &edits) {
    std::size_t from = 0;
    for (const auto &[was, is] : edits) {
        const std::size_t at = text.find(was, from);
        if (at == std::string::npos) ADD_FAILURE() << "nothing to edit: " << was;
        else text.replace(at, was.size(), is), from = at + is.size();
    }
    return text;
}
inline Edits operator+(Edits first, const Edits &then) { return first.insert(first.end(), then.begin(), then.end()), first; }

// The text of `text` from the first `from` up to the next `to` (to the end without one).
inline std::string slice(const std::string &text, const std::string &from, const std::string &to) {
    const std::size_t begin = text.find(from);
    if (begin == std::string::npos) return "(no " + from + ")";
    const std::size_t end = text.find(to, begin + from.size());
    return text.substr(begin, end == std::string::npos ? end : end - begin);
}

inline ::testing::AssertionResult has(const std::string &text, const std::string &part) {
    return text.find(part) != std::string::npos ? ::testing::AssertionSuccess()
                                                 : ::testing::AssertionFailure() << "no\n  " << part << "\nin\n  " << text;
}

}  // namespace tabsmith::testing
