// Result codes shared by every layer: the values callers see as TXLS_ERR_* in tabsmith.h.
// Modules with results of their own name them beside their functions.
#pragma once
namespace tabsmith {
constexpr int kOk = 0;
constexpr int kFail = -1;
constexpr int kNoMemory = -2;
constexpr int kBadArgument = -3;
constexpr int kUnsupported = -4;
constexpr int kLimit = -9;
constexpr int kOpenError = -101;
constexpr int kReadError = -102;
constexpr int kWriteError = -103;
constexpr int kSeekError = -104;
constexpr int kNoSheet = -801;
constexpr int kSheetIndex = -901;
constexpr int kRowIndex = -902;
constexpr int kColumnIndex = -903;
constexpr int kOverflow = -909;
constexpr int kXlsRead = -910;
constexpr int kConvertError = -920;
constexpr int kNoData = 1403;
}  // namespace tabsmith
