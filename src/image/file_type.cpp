// The signature table of the file-type probe and the probe itself, over a disk file, a memory
// file or the first bytes handed over.

#include "image/file_type.h"

#include <cstdio>
#include <memory>
#include <string>

#include "support/charset.h"
#include "support/compound_file.h"
#include "support/files.h"
#include "support/mfile.h"
#include "support/results.h"

namespace tabsmith {

namespace {

struct Signature {
    int type;
    std::string_view extension;
    std::string_view bytes;  // at offset 0; empty: the extension alone decides
};

constexpr std::string_view kJpeg("\xFF\xD8\xFF", 3);
constexpr std::string_view kGif("GIF8", 4);
constexpr std::string_view kBmp("BM", 2);
constexpr std::string_view kPng("\x89PNG\r\n\x1A\n", 8);
constexpr std::string_view kTiff("II*\0", 4);
constexpr std::string_view kZip("PK\x03\x04", 4);
constexpr std::string_view kCompound("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);

// Searched in this order: the first entry that matches decides, so a zip or compound file is
// told apart by its extension.
constexpr Signature kSignatures[] = {
    {kFileTypeJpeg, "jpg", kJpeg},
    {kFileTypeJpeg, "jpeg", kJpeg},
    {kFileTypeGif, "gif", kGif},
    {kFileTypeBmp, "bmp", kBmp},
    {kFileTypePng, "png", kPng},
    {kFileTypeTiff, "tiff", kTiff},
    {kFileTypeTiff, "tif", kTiff},
    {kFileTypeZip, "zip", kZip},
    {kFileTypeXls, "xls", kCompound},
    {kFileTypeXlsx, "xlsx", kZip},
    {kFileTypeXlsb, "xlsb", kZip},
    {kFileTypeXlsm, "xlsm", kZip},
    {kFileTypeXlsxEncrypted, "xlsx", kCompound},
    {kFileTypeDoc, "doc", kCompound},
    {kFileTypeDocx, "docx", kZip},
    {kFileTypeDocm, "docm", kZip},
    {kFileTypeDocxEncrypted, "docx", kCompound},
    {kFileTypePpt, "ppt", kCompound},
    {kFileTypePptx, "pptx", kZip},
    {kFileTypePptm, "pptm", kZip},
    {kFileTypePptxEncrypted, "pptx", kCompound},
    {kFileTypeMpp, "mpp", kCompound},
    {kFileTypeVsd, "vsd", kCompound},
    {kFileTypePdf, "pdf", std::string_view("%PDF", 4)},
    {kFileTypePsd, "psd", std::string_view("8BPS", 4)},
    {kFileTypeWmf, "wmf", std::string_view("\xD7\xCD\xC6\x9A", 4)},
    {kFileTypeEmf, "emf", std::string_view("\x01\0\0\0", 4)},
    {kFileTypeExe, "exe", std::string_view("MZ", 2)},
    {kFileTypeCsv, "csv", std::string_view()},
    {kFileTypeAvi, "avi", std::string_view("RIFF", 4)},
    {kFileTypeMpg, "mpg", std::string_view("\0\0\x01", 3)},
    {kFileTypeWmv, "wmv", std::string_view("\x30\x26\xB2\x75\x8E\x66\xCF\x11", 8)},
};

bool is_encrypted_package_type(int type) {
    return type == kFileTypeXlsxEncrypted || type == kFileTypeDocxEncrypted || type == kFileTypePptxEncrypted;
}

// Whether `name` ends with "." and the extension, in any letter case.
bool has_extension(std::string_view name, std::string_view extension) {
    if (name.size() <= extension.size()) return false;
    std::string_view tail = name.substr(name.size() - extension.size());
    return name[name.size() - extension.size() - 1] == '.' && equals_ignore_case(tail, extension);
}


// The whole disk file after its first bytes were looked at: 0, kSeekError when it cannot be
// read again from the start, kFail on a read error.
int read_whole(std::FILE *file, std::string &out) {
    if (std::fseek(file, 0, SEEK_SET) != 0) return kSeekError;
    out.clear();
    char chunk[65536];
    for (;;) {
        std::size_t got = std::fread(chunk, 1, sizeof chunk, file);
        out.append(chunk, got);
        if (got < sizeof chunk) return std::ferror(file) ? kFail : 0;
    }
}

// An encrypted Office package is a compound file whose root holds the "EncryptedPackage" stream.
int check_encrypted_package(std::string bytes) {
    CompoundFile compound;
    int rc = compound.open(std::move(bytes));
    if (rc == kNoMemory) return kNoMemory;
    if (rc != 0) return kFail;
    int index = compound.find_top("EncryptedPackage");
    return index >= 0 && compound.entries()[index].type == kCompoundStream ? 0 : kFail;
}

// The table search over the first bytes `head`: with `name_decides` the name's extension must
// match too. `whole` gives the entire file for the encrypted-package check.
template <typename WholeFile>
int match_signatures(std::string_view head, std::string_view name, bool name_decides, WholeFile &&whole, int &type) {
    if (head.size() < kProbeLength) return 0;
    head = head.substr(0, kProbeLength);
    for (const Signature &entry : kSignatures) {
        if (entry.bytes.empty()) {
            if (!name_decides || !has_extension(name, entry.extension)) continue;
        } else {
            if (!head.starts_with(entry.bytes)) continue;
            if (name_decides && !has_extension(name, entry.extension)) continue;
        }
        if (is_encrypted_package_type(entry.type)) {
            std::string bytes;
            if (int rc = whole(bytes)) return rc;
            if (int rc = check_encrypted_package(std::move(bytes))) return rc;
        }
        type = entry.type;
        return 0;
    }
    return 0;
}

}  // namespace

int probe_file_type(int mode, std::string_view source, int &type) {
    type = kFileTypeUnknown;
    std::string_view head;
    std::string_view name;
    const MFile *memory = nullptr;
    InputFile disk;
    char buffer[kProbeLength];
    if (mode == kProbeBytes) {
        head = source;
    } else if (mode == kProbeMemoryFile) {
        memory = mfind(source);
        if (!memory) return kOpenError;
        head = mdata(memory);
        name = source;
    } else {
        if (source.empty() || source.find('\0') != std::string_view::npos) return kOpenError;
        disk.reset(open_input_file(std::string(source)));
        if (!disk) return kOpenError;
        head = std::string_view(buffer, std::fread(buffer, 1, sizeof buffer, disk.get()));
        name = source;
    }
    // Only a name can say "xlsx" rather than "xls", so the bytes mode never reads the whole file.
    auto whole = [&](std::string &out) -> int {
        if (memory) {
            out.assign(mdata(memory));
            return 0;
        }
        if (!disk) return kFail;
        return read_whole(disk.get(), out);
    };
    return match_signatures(head, name, mode != kProbeBytes, whole, type);
}

int probe_named_bytes(std::string_view bytes, std::string_view name, int &type) {
    type = kFileTypeUnknown;
    auto whole = [&](std::string &out) -> int {
        out.assign(bytes);
        return 0;
    };
    return match_signatures(bytes, name, true, whole, type);
}

}  // namespace tabsmith
