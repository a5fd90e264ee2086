// Closing the files of streamed rows and removing the book's private folder when the book or
// the sheet that owns them goes away.

#include "model/streamed_rows.h"

#include <unistd.h>

#include "support/files.h"

namespace tabsmith {

SheetRowFile::~SheetRowFile() {
    if (file) std::fclose(file);
    if (!path.empty()) ::unlink(path.c_str());
}

StreamedRows::~StreamedRows() {
    if (strings) std::fclose(strings);
    if (!folder.empty()) remove_folder_tree(folder);
}

}  // namespace tabsmith
