// The memory-file table: lookup by name, growth of the buffers, parking for TXLS_swap_book.
// The table is per thread so that two threads working on two books never share entries.

#include "support/mfile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <new>
#include <unordered_map>
#include <utility>

#include "support/files.h"

namespace tabsmith {
namespace {

// Looks names up as views, so that finding (and releasing) an entry asks for no memory: a
// failed save drops its half-written archive when memory has just run out.
struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view name) const noexcept { return std::hash<std::string_view>{}(name); }
};

struct Table {
    std::vector<std::unique_ptr<MFile>> entries;
    // Names of the entries that are not released; a linear search over up to 100000 names
    // would make building a large package quadratic.
    std::unordered_map<std::string, MFile *, NameHash, std::equal_to<>> by_name;

    void clear() {
        by_name.clear();
        entries.clear();
    }
};

thread_local Table active;
thread_local Table parked;
thread_local std::string last_error;

// Noting a failure must not fail in turn: it happens where memory has just run out, and inside
// minizip's callbacks, which no exception may cross.
void note_error(const char *text) noexcept {
    try {
        last_error = text;
    } catch (...) {
        last_error.clear();
    }
}

std::unique_ptr<unsigned char[]> allocate(std::int64_t bytes) {
    if (bytes < 0 || static_cast<std::uint64_t>(bytes) > std::numeric_limits<std::size_t>::max()) return nullptr;
    return std::unique_ptr<unsigned char[]>(new (std::nothrow) unsigned char[bytes > 0 ? bytes : 1]);
}

bool valid_name(std::string_view name) { return !name.empty() && name.size() <= kMfileNameMax; }

MFile *add_entry(std::string_view name) {
    if (active.entries.size() >= MFILE_MAX_OPEN_FILES) {
        note_error("mopen() Mfile_ct >= MFILE_MAX_OPEN_FILES");
        return nullptr;
    }
    auto entry = std::unique_ptr<MFile>(new (std::nothrow) MFile);
    if (!entry) {
        note_error("mopen() malloc()");
        return nullptr;
    }
    entry->name.assign(name);
    // Every step that may run out of memory comes before the table changes, so that an entry
    // is either in both the list and the name index or in neither.
    if (active.entries.size() == active.entries.capacity())
        active.entries.reserve(std::max<std::size_t>(16, active.entries.capacity() * 2));
    entry->index = active.entries.size();
    MFile *raw = entry.get();
    active.by_name.emplace(raw->name, raw);
    active.entries.push_back(std::move(entry));   // room was made above
    return raw;
}

// Reads the disk file `name` whole into a new entry.
MFile *load_from_disk(std::string_view name) {
    std::int64_t size = aod_fsze(1, name);
    if (size < 0) {
        char text[64];
        std::snprintf(text, sizeof text, "mopen() aod_fsze() rc=%d", static_cast<int>(size));
        note_error(text);
        return nullptr;
    }
    auto buffer = allocate(size);
    if (!buffer) {
        note_error("mopen() malloc()");
        return nullptr;
    }
    auto file = aod_open(1, name, kAodRead);
    if (!file) {
        note_error("mopen() fopen()");
        return nullptr;
    }
    std::int64_t got = size > 0 ? aod_read(file.get(), buffer.get(), static_cast<std::size_t>(size)) : 0;
    aod_close(file);
    if (got != size) {
        note_error("mopen() fread()");
        return nullptr;
    }
    MFile *entry = add_entry(name);
    if (!entry) return nullptr;
    entry->buffer = std::move(buffer);
    entry->capacity = entry->length = size;
    entry->written = std::time(nullptr);
    return entry;
}

// A closed entry waits to be reopened by name and a released one has no contents left.
bool usable(const MFile *file) { return file && (file->state == kMfileOpen || file->state == kMfileNoMemory); }

}  // namespace

MFile *mopen(std::string_view name, std::string_view mode) {
    bool reading = mode == "rb" || mode == "r+b";
    bool appending = mode == "ab";
    if (!reading && !appending && mode != "wb") {
        note_error("mopen() mode");
        return nullptr;
    }
    if (!valid_name(name)) {
        note_error("mopen() name");
        return nullptr;
    }
    MFile *entry = mfind(name);
    if (reading || appending) {
        if (!entry) entry = load_from_disk(name);
        if (!entry) return nullptr;
        entry->state = kMfileOpen;
        // Appending at the start would overwrite what is there.
        entry->position = appending ? entry->length : 0;
        return entry;
    }
    auto buffer = allocate(kMfileInitialStep);
    if (!buffer) {
        note_error("mopen() malloc()");
        return nullptr;
    }
    if (!entry) entry = add_entry(name);
    if (!entry) return nullptr;
    entry->buffer = std::move(buffer);
    entry->capacity = kMfileInitialStep;
    entry->step = kMfileInitialStep;
    entry->factor = kMfileFactor;
    entry->length = 0;
    entry->position = 0;
    entry->state = kMfileOpen;
    entry->stamped = false;
    entry->written = std::time(nullptr);
    return entry;
}

std::size_t mwrite(const void *data, std::size_t size, std::size_t count, MFile *file) {
    if (!usable(file) || size == 0 || count == 0) return 0;
    if (!data || count > static_cast<std::size_t>(std::numeric_limits<std::int64_t>::max()) / size) return 0;
    const std::int64_t bytes = static_cast<std::int64_t>(size * count);
    if (file->position < 0 || file->position > file->capacity) return 0;
    if (bytes > std::numeric_limits<std::int64_t>::max() - file->position - 2) return 0;
    const std::int64_t end = file->position + bytes;
    if (end >= file->capacity - 1) {
        std::int64_t step = file->capacity >= kMfileBigCapacity ? kMfileBigStep : file->step * file->factor;
        // Smallest multiple of the step after which the write ends before capacity - 1.
        std::int64_t needed = end + 2 - file->capacity;
        std::int64_t steps = (needed + step - 1) / step;
        if (steps < 1) steps = 1;
        if (steps > (std::numeric_limits<std::int64_t>::max() - file->capacity) / step) {
            file->state = kMfileNoMemory;
            note_error("mwrite() malloc()");
            return 0;
        }
        std::int64_t capacity = file->capacity + steps * step;
        auto grown = allocate(capacity);
        if (!grown) {
            file->state = kMfileNoMemory;
            note_error("mwrite() malloc()");
            return 0;
        }
        if (file->length > 0) std::memcpy(grown.get(), file->buffer.get(), static_cast<std::size_t>(file->length));
        file->buffer = std::move(grown);
        file->capacity = capacity;
        file->step = step;
    }
    // A seek past the end leaves a gap; it reads back as zeros, not as old heap contents.
    if (file->position > file->length)
        std::memset(file->buffer.get() + file->length, 0, static_cast<std::size_t>(file->position - file->length));
    std::memcpy(file->buffer.get() + file->position, data, static_cast<std::size_t>(bytes));
    file->position = end;
    if (end > file->length) file->length = end;
    file->stamped = false;
    file->written = std::time(nullptr);
    return count;
}

std::size_t mread(void *out, std::size_t size, std::size_t count, MFile *file) {
    if (!usable(file) || !out || size == 0 || count == 0) return 0;
    if (file->position < 0 || file->position >= file->length) return 0;
    std::uint64_t available = static_cast<std::uint64_t>(file->length - file->position);
    std::uint64_t wanted = count > std::numeric_limits<std::uint64_t>::max() / size
                               ? std::numeric_limits<std::uint64_t>::max()
                               : static_cast<std::uint64_t>(size) * count;
    std::size_t bytes = static_cast<std::size_t>(wanted < available ? wanted : available);
    std::memcpy(out, file->buffer.get() + file->position, bytes);
    file->position += static_cast<std::int64_t>(bytes);
    return bytes;
}

int mseek(MFile *file, std::int64_t offset, int origin) {
    if (!file) return kFail;
    std::int64_t base;
    switch (origin) {
    case 0: base = 0; break;
    case 1: base = file->position; break;
    case 2: base = file->length; break;
    default: return kFail;
    }
    if ((offset > 0 && base > std::numeric_limits<std::int64_t>::max() - offset) ||
        (offset < 0 && base < std::numeric_limits<std::int64_t>::min() - offset))
        return kFail;
    std::int64_t target = base + offset;
    if (target < 0 || target > file->capacity) return kFail;
    file->position = target;
    return 0;
}

std::int64_t mtell(const MFile *file) {
    if (!file || file->position < 0 || file->position > file->capacity) return kFail;
    return file->position;
}

int meof(const MFile *file) {
    if (!file) return kMfileAtEnd;
    return file->position >= file->length ? kMfileAtEnd : 0;
}

int mclose(MFile *file) {
    if (!file) return kFail;
    if (file->state != kMfileReleased) file->state = kMfileClosed;
    file->position = 0;
    return 0;
}

std::string_view mdata(const MFile *file) {
    if (!file || !file->buffer || file->length <= 0) return {};
    return {reinterpret_cast<const char *>(file->buffer.get()), static_cast<std::size_t>(file->length)};
}

void mset_datetime(MFile *file, const DateTime &when) {
    if (!file) return;
    file->stamp = when;
    file->stamped = true;
}

MFile *mfind(std::string_view name) {
    if (!valid_name(name)) return nullptr;
    auto it = active.by_name.find(name);
    return it == active.by_name.end() ? nullptr : it->second;
}

int mtruncate(std::string_view name) {
    if (MFile *file = mfind(name)) {
        file->buffer.reset();
        file->capacity = file->length = file->position = 0;
    }
    return 0;
}

namespace {

void release_entry(MFile &file) {
    active.by_name.erase(file.name);
    file.buffer.reset();
    file.name.clear();
    file.capacity = file.length = file.position = 0;
    file.state = kMfileReleased;
}

}  // namespace

int mrelease(std::string_view name) {
    if (MFile *file = mfind(name)) release_entry(*file);
    return 0;
}

int mrelease_all_but(std::string_view keep) {
    for (auto &entry : active.entries)
        if (entry->state != kMfileReleased && entry->name != keep) release_entry(*entry);
    return 0;
}

std::int64_t mlength(std::string_view name) {
    const MFile *file = mfind(name);
    return file ? file->length : 0;
}

std::vector<std::string> mlist() {
    std::vector<std::string> names;
    names.reserve(active.by_name.size());
    for (const auto &entry : active.entries)
        if (entry->state != kMfileReleased) names.push_back(entry->name);
    return names;
}

std::size_t mcount() { return active.entries.size(); }

const std::string &mlast_error() { return last_error; }

void mset_error(std::string text) { last_error = std::move(text); }

int mclose_all() {
    active.clear();
    return 0;
}

int mpark(int restore) {
    if (restore == 0) {
        parked.clear();
        std::swap(parked, active);
    } else {
        active.clear();
        std::swap(active, parked);
    }
    return 0;
}

}  // namespace tabsmith
