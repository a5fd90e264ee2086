// The thumbnail part (docProps/thumbnail.jpeg): the JPEG file BOOK.THUMBNAIL.PATH names, read
// whole at the save and stored byte for byte.

#include "support/files.h"
#include "support/messages.h"
#include "support/results.h"
#include "xlsx_write/book_parts.h"
#include "xlsx_write/package_writer.h"

namespace tabsmith {

int thumbnail_part(const Book &book, std::string &out) {
    const std::string &path = book.settings.thumbnail_path;
    // Read at the save, not when the property was given: the file may have changed or gone
    // since, and the package must never point at a part it does not hold.
    int rc = aod_read_all(1, path, out);
    if (rc == kNoMemory) return book.err.raise(kNoMemory, Msg::k00002);
    if (rc != kOk) {
        book.err.raise(kOpenError, Msg::k03102, path.c_str());
        return kPictureOpenError;
    }
    return kOk;
}

}  // namespace tabsmith
