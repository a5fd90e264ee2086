// Reading the BIFF5 forms of texts and telling the BIFF versions apart by their first BOF.
// Everything else of a BIFF5 stream (numbers, RK, XF format indexes, formula results) is BIFF8's.

#include "readers/xls_biff5.h"

#include "support/charset.h"

namespace tabsmith {

namespace {

std::uint16_t le16_at(std::string_view data, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(data[at]) |
                                      (static_cast<unsigned char>(data[at + 1]) << 8));
}

// BOF ids of the versions before BIFF5, whose worksheets stand alone, one to a file.
constexpr std::uint16_t kBofBiff2 = 0x0009, kBofBiff3 = 0x0209, kBofBiff4 = 0x0409, kBofBiff5And8 = 0x0809;
constexpr std::uint16_t kVersionBiff5 = 0x0500, kVersionBiff8 = 0x0600;

}  // namespace

BiffForm biff_form(std::uint16_t record_id, std::string_view data) {
    if (record_id == kBofBiff2 || record_id == kBofBiff3 || record_id == kBofBiff4) return BiffForm::kTooOld;
    if (record_id != kBofBiff5And8 || data.size() < 4) return BiffForm::kUnknown;
    const std::uint16_t version = le16_at(data, 0);
    if (version < kVersionBiff5) return BiffForm::kTooOld;
    if (version == kVersionBiff5) return BiffForm::kBiff5;
    return version == kVersionBiff8 ? BiffForm::kBiff8 : BiffForm::kUnknown;
}

bool read_byte_string(std::string_view data, ByteStringField field, unsigned code_page, std::string &out) {
    if (field.at + field.count_bytes > data.size()) return false;
    std::size_t count = field.count_bytes == 1 ? static_cast<unsigned char>(data[field.at]) : le16_at(data, field.at);
    std::string_view characters = data.substr(field.at + field.count_bytes, count);
    out = code_page_to_utf8(characters, code_page);
    return true;
}

}  // namespace tabsmith
