// The file-type probe: recognises pictures, workbooks and other documents by their first bytes
// and, where formats share a signature, by the name's extension.
#pragma once

#include <cstddef>
#include <string_view>

#include "model/book.h"

namespace tabsmith {

// Where probe_file_type takes its bytes from; any mode other than these reads a disk file.
constexpr int kProbeMemoryFile = 0;  // `source` names a memory file
constexpr int kProbePath = 1;        // `source` is a disk path (as is every other mode)
constexpr int kProbeBytes = 9999;    // `source` holds the file's first bytes (16 are looked at)

// Bytes the probe looks at; a shorter file is of no known type.
constexpr std::size_t kProbeLength = 16;

// Type codes (kFileTypeXls, kFileTypeXlsx and kFileTypeXlsm come with the book model).
constexpr int kFileTypeUnknown = -1;
constexpr int kFileTypeCsv = 0;
constexpr int kFileTypeXlsb = 13;
constexpr int kFileTypeXlsxEncrypted = 19;
constexpr int kFileTypeDoc = 21;
constexpr int kFileTypeDocx = 22;
constexpr int kFileTypeDocm = 23;
constexpr int kFileTypeDocxEncrypted = 29;
constexpr int kFileTypePpt = 31;
constexpr int kFileTypePptx = 32;
constexpr int kFileTypePptm = 33;
constexpr int kFileTypePptxEncrypted = 39;
constexpr int kFileTypeMpp = 40;
constexpr int kFileTypeVsd = 101;
constexpr int kFileTypePdf = 102;
constexpr int kFileTypePsd = 103;
constexpr int kFileTypeBmp = 201;
constexpr int kFileTypeJpeg = 202;
constexpr int kFileTypePng = 203;
constexpr int kFileTypeGif = 204;
constexpr int kFileTypeTiff = 205;
constexpr int kFileTypeEmf = 206;
constexpr int kFileTypeWmf = 207;
constexpr int kFileTypeZip = 301;
constexpr int kFileTypeAvi = 401;
constexpr int kFileTypeMpg = 402;
constexpr int kFileTypeWmv = 403;
constexpr int kFileTypeExe = 900;

// Sets `type` to the code of the first table entry whose signature starts the file and (except
// in kProbeBytes mode) whose extension ends the name, case-insensitively; entries without a
// signature match on the extension alone. An encrypted-package type (19, 29, 39) also needs a
// compound file whose root holds an "EncryptedPackage" stream. Results: 0 (type -1 when nothing
// matched or the file is shorter than 16 bytes); kOpenError when the file or memory file cannot
// be opened; kSeekError when the file cannot be read again from the start; kFail when the
// encrypted-package check fails (type -1); kNoMemory.
int probe_file_type(int mode, std::string_view source, int &type);

// The same probe (signature and extension) over a whole file already read into memory, named
// `name`: for callers that read a file once and use its bytes for more than the probe.
int probe_named_bytes(std::string_view bytes, std::string_view name, int &type);

}  // namespace tabsmith
