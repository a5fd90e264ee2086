// Exported utilities over the memory-file table, the zip routing flag and the memory limit: books
// in and out as bytes, where archives live, and how much heap a thread's calls may take.

#include <cstring>
#include <new>

#include "api/api.h"
#include "support/memory_budget.h"
#include "support/mfile.h"
#include "support/zip_archive.h"
#include "tabsmith.h"

using namespace tabsmith;

extern "C" {

int orv_zip_on_memory(int on) { return set_zip_route(on); }

int TXLS_memory_limit(long bytes) {
    if (bytes < 0) return kBadArgument;
    set_memory_limit(static_cast<std::size_t>(bytes));
    return 0;
}

int TXLS_memory_put(const char *name, const void *bytes, long size) {
    if (!name || !name[0] || size < 0 || (size > 0 && !bytes)) return kBadArgument;
    if (std::strlen(name) > kMfileNameMax) return kBadArgument;
    return api_boundary(nullptr, "TXLS_memory_put()", [&] {
        MFile *file = mopen(name, "wb");
        if (!file) return kNoMemory;
        int rc = 0;
        if (size > 0 && mwrite(bytes, 1, static_cast<std::size_t>(size), file) != static_cast<std::size_t>(size)) {
            // Half a workbook under the caller's name would only fail later, and more obscurely.
            mclose(file);
            mrelease(name);
            rc = kNoMemory;
        } else {
            mclose(file);
        }
        return rc;
    });
}

int TXLS_memory_get(const char *name, const void **bytes, long *size) {
    if (bytes) *bytes = nullptr;
    if (size) *size = 0;
    if (!name || !name[0] || !bytes || !size) return kBadArgument;
    try {
        const MFile *file = mfind(name);
        if (!file) return kOpenError;
        std::string_view data = mdata(file);
        static const char empty[1] = {0};
        *bytes = data.empty() ? empty : data.data();
        *size = static_cast<long>(data.size());
        return 0;
    } catch (...) {
        return kNoMemory;
    }
}

}  // extern "C"
