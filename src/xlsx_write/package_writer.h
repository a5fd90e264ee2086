// Saving a book as a new package: every part written in the fixed order straight into the
// archive at the book's file name (or into a memory file of that name).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "model/book.h"
#include "support/files.h"

namespace tabsmith {

// Where a save goes: a file on disk, or a memory file the caller fetches by name.
struct SaveTarget {
    SaveTarget() = default;
    SaveTarget(bool memory, std::string target, FileIdentity version = {})
        : to_memory(memory), name(std::move(target)), read_version(version) {}

    bool to_memory = false;
    std::string name;   // the disk path, or the memory file's name
    // Known for a save over the file the book was read from: the file must still be the
    // version read, or the save is refused (kTargetChanged) rather than lose another's update.
    FileIdentity read_version;
};

// A picture the package stores (the thumbnail) could not be opened or read: the writer has
// raised TXLS-03102 naming it, and the save reports it as an open error (-101).
constexpr int kPictureOpenError = -106;

// Writes all parts of the book and packs them into the target. Returns 0 or a negative code
// with the book's message set where the failure has one (-2 memory, -101/-103 files, -1 other).
int tsx_create_excel2007(const Book &book, const SaveTarget &target);

// The parts of the book as (name, contents) in archive order, without packing: the same texts
// that tsx_create_excel2007 writes (used by it and by golden tests).
int build_package_parts(const Book &book, std::vector<std::pair<std::string, std::string>> &parts);

}  // namespace tabsmith
