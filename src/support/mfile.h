// Named in-memory files: the table every package part, extracted entry and in-memory workbook
// lives in, with a small stdio-like interface (mopen, mwrite, mread, mseek, mclose and kin).
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "support/datetime.h"
#include "support/results.h"

namespace tabsmith {

constexpr std::size_t MFILE_MAX_OPEN_FILES = 100000;
constexpr std::size_t kMfileNameMax = 256;            // name bytes, terminator excluded
constexpr std::int64_t kMfileInitialStep = 1024;
constexpr std::int64_t kMfileFactor = 2;
constexpr std::int64_t kMfileBigCapacity = 104857600;  // from here on the file grows in fixed steps
constexpr std::int64_t kMfileBigStep = 10485760;

enum MfileState : int {
    kMfileOpen = 0,
    kMfileClosed = 1,
    kMfileReleased = 9,   // buffer freed, name emptied; invisible to lookups and listings
    kMfileNoMemory = -9,  // a write could not grow the buffer; the old contents stay
};

// One memory file. Entries are owned by the table; a pointer stays valid until the entry is
// dropped by mclose_all or mpark (a released entry stays in the table, empty).
struct MFile {
    std::string name;
    int state = kMfileOpen;
    std::size_t index = 0;  // position in the table
    std::unique_ptr<unsigned char[]> buffer;
    std::int64_t step = kMfileInitialStep;
    std::int64_t capacity = 0;
    std::int64_t factor = kMfileFactor;
    std::int64_t length = 0;
    std::int64_t position = 0;
    // Last-write time: an explicit stamp (an extracted zip entry keeps its own) or the clock
    // at the last write.
    bool stamped = false;
    DateTime stamp;
    std::time_t written = 0;
};

// Opens `name` with "rb" or "ab" (an existing entry, else the disk file of that name loaded
// whole; "ab" positions at the end) or "wb" (the entry emptied or created). "r+b" is accepted
// as "rb". Returns nullptr, with the last error text set, on any failure.
MFile *mopen(std::string_view name, std::string_view mode);

// Writes size x count bytes at the position; returns count, or 0 on failure.
std::size_t mwrite(const void *data, std::size_t size, std::size_t count, MFile *file);
// Copies up to size x count bytes from the position; returns the number of bytes copied.
std::size_t mread(void *out, std::size_t size, std::size_t count, MFile *file);
// origin 0 = start, 1 = current, 2 = end; the new position must lie within 0 .. capacity.
int mseek(MFile *file, std::int64_t offset, int origin);
std::int64_t mtell(const MFile *file);
// kMfileAtEnd when the position has reached the length (or there is no file), else 0.
constexpr int kMfileAtEnd = -1;
int meof(const MFile *file);
// Marks the entry closed and rewinds it; the contents stay and can be reopened by name.
int mclose(MFile *file);

// The contents as a view (empty for a released entry); valid until the next write.
std::string_view mdata(const MFile *file);
// Sets the date and time reported for the file (kept until the next write).
void mset_datetime(MFile *file, const DateTime &when);

// The entry of that name whose state is not released, or nullptr; does not touch the disk.
MFile *mfind(std::string_view name);
int mtruncate(std::string_view name);
int mrelease(std::string_view name);
// Releases every entry but `keep`, without asking for memory (it runs after a book is gone).
int mrelease_all_but(std::string_view keep);
std::int64_t mlength(std::string_view name);
// Names of every entry that is not released, in table order.
std::vector<std::string> mlist();
// Entries in the table, released ones included.
std::size_t mcount();
const std::string &mlast_error();
// Replaces the last error text (the file routines share it).
void mset_error(std::string text);
// Frees every entry; pointers handed out before are invalid afterwards.
int mclose_all();
// restore == 0: moves every entry to the parked table (dropping whatever was parked before)
// and leaves the active table empty. Otherwise the parked entries replace the active table.
int mpark(int restore);

}  // namespace tabsmith
