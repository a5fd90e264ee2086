// The exported file-type probe: checks the caller's pointers and hands the source to the image
// module's probe (a mode-9999 source is the caller's 16 bytes, any other a name).

#include <string_view>

#include "api/api.h"
#include "image/file_type.h"
#include "tabsmith.h"

using namespace tabsmith;

namespace {

// The header's names for the probe's type codes.
constexpr bool header_names_the_probe_codes() {
    constexpr int pairs[][2] = {
        {TXLS_FILE_UNKNOWN, kFileTypeUnknown}, {TXLS_FILE_CSV, kFileTypeCsv},
        {TXLS_FILE_XLS, kFileTypeXls},         {TXLS_FILE_XLSX, kFileTypeXlsx},
        {TXLS_FILE_XLSB, kFileTypeXlsb},       {TXLS_FILE_XLSM, kFileTypeXlsm},
        {TXLS_FILE_XLSX_ENCRYPTED, kFileTypeXlsxEncrypted},
        {TXLS_FILE_DOC, kFileTypeDoc},         {TXLS_FILE_DOCX, kFileTypeDocx},
        {TXLS_FILE_DOCM, kFileTypeDocm},       {TXLS_FILE_DOCX_ENCRYPTED, kFileTypeDocxEncrypted},
        {TXLS_FILE_PPT, kFileTypePpt},         {TXLS_FILE_PPTX, kFileTypePptx},
        {TXLS_FILE_PPTM, kFileTypePptm},       {TXLS_FILE_PPTX_ENCRYPTED, kFileTypePptxEncrypted},
        {TXLS_FILE_MPP, kFileTypeMpp},         {TXLS_FILE_VSD, kFileTypeVsd},
        {TXLS_FILE_PDF, kFileTypePdf},         {TXLS_FILE_PSD, kFileTypePsd},
        {TXLS_FILE_BMP, kFileTypeBmp},         {TXLS_FILE_JPEG, kFileTypeJpeg},
        {TXLS_FILE_PNG, kFileTypePng},         {TXLS_FILE_GIF, kFileTypeGif},
        {TXLS_FILE_TIFF, kFileTypeTiff},       {TXLS_FILE_EMF, kFileTypeEmf},
        {TXLS_FILE_WMF, kFileTypeWmf},         {TXLS_FILE_ZIP, kFileTypeZip},
        {TXLS_FILE_AVI, kFileTypeAvi},         {TXLS_FILE_MPG, kFileTypeMpg},
        {TXLS_FILE_WMV, kFileTypeWmv},         {TXLS_FILE_EXE, kFileTypeExe},
    };
    for (const auto &pair : pairs)
        if (pair[0] != pair[1]) return false;
    return true;
}
static_assert(header_names_the_probe_codes(), "a TXLS_FILE_* code differs from the probe's");

}  // namespace

extern "C" {

int orv_file_type(int mode, const char *source, int *type) {
    if (type) *type = kFileTypeUnknown;
    if (!source || !type) return kBadArgument;
    return api_boundary(nullptr, "orv_file_type()", [&] {
        std::string_view bytes = mode == kProbeBytes ? std::string_view(source, kProbeLength) : std::string_view(source);
        return probe_file_type(mode, bytes, *type);
    });
}

}  // extern "C"
