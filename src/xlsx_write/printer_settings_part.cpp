// The printer settings part of a sheet (xl/printerSettings/printerSettings<n>.bin): a DEVMODE
// record for a fixed printer carrying the sheet's orientation and paper.

#include "xlsx_write/book_parts.h"

namespace tabsmith {
namespace {

constexpr std::size_t kDevModeSize = 1076;
constexpr std::size_t kDevModePublicSize = 220;
constexpr const char *kPrinterName = "Microsoft XPS Document Writer";

// Byte offsets of the DEVMODE fields that are set; every other byte stays 0.
constexpr std::size_t kDeviceNameAt = 0;          // UTF-16, 32 units
constexpr std::size_t kStructureVersionAt = 64;   // the DEVMODE structure version
constexpr std::size_t kDriverVersionAt = 66;
constexpr std::size_t kPublicSizeAt = 68;         // size of the public part
constexpr std::size_t kDriverExtraAt = 70;        // driver data after it
constexpr std::size_t kFieldsAt = 72;             // which of the fields below are in use
constexpr std::size_t kOrientationAt = 76;
constexpr std::size_t kPaperSizeAt = 78;
constexpr std::size_t kScaleAt = 84;
constexpr std::size_t kCopiesAt = 86;
constexpr std::size_t kPrintQualityAt = 90;
constexpr std::size_t kColourAt = 92;
constexpr std::size_t kYResolutionAt = 96;

constexpr unsigned kDevModeVersion = 0x0401;
constexpr unsigned kDriverVersion = 0x0401;
constexpr unsigned kFieldOrientation = 0x0001, kFieldPaperSize = 0x0002, kFieldScale = 0x0010,
                   kFieldCopies = 0x0100, kFieldPrintQuality = 0x0400, kFieldYResolution = 0x2000;
constexpr unsigned kPortrait = 1, kLandscape = 2;
constexpr unsigned kFullScale = 100, kOneCopy = 1, kDotsPerInch = 600, kColour = 2;

void put16(std::string &out, std::size_t at, unsigned value) {
    out[at] = static_cast<char>(value & 0xFF);
    out[at + 1] = static_cast<char>((value >> 8) & 0xFF);
}

void put32(std::string &out, std::size_t at, unsigned value) {
    put16(out, at, value & 0xFFFF);
    put16(out, at + 2, value >> 16);
}

// The printer's paper code for the sheet's paper index; A4 for any other index.
unsigned paper_code(int paper) {
    switch (paper) {
    case 0: return 49;
    case 1: return 51;
    case 2: return 66;
    case 3: return 8;
    case 5: return 11;
    case 11: return 58;
    case 12: return 60;
    case 13: return 62;
    case 14: return 12;
    case 15: return 13;
    default: return 9;
    }
}

}  // namespace

std::string printer_settings_part(const Sheet &sheet) {
    std::string out(kDevModeSize, '\0');
    for (std::size_t i = 0; kPrinterName[i]; ++i)
        put16(out, kDeviceNameAt + i * 2, static_cast<unsigned char>(kPrinterName[i]));
    put16(out, kStructureVersionAt, kDevModeVersion);
    put16(out, kDriverVersionAt, kDriverVersion);
    put16(out, kPublicSizeAt, kDevModePublicSize);
    put16(out, kDriverExtraAt, kDevModeSize - kDevModePublicSize);
    put32(out, kFieldsAt,
          kFieldOrientation | kFieldPaperSize | kFieldScale | kFieldCopies | kFieldPrintQuality | kFieldYResolution);
    put16(out, kOrientationAt, sheet.settings.page.landscape ? kLandscape : kPortrait);
    put16(out, kPaperSizeAt, paper_code(sheet.settings.page.paper));
    put16(out, kScaleAt, kFullScale);
    put16(out, kCopiesAt, kOneCopy);
    put16(out, kPrintQualityAt, kDotsPerInch);
    put16(out, kColourAt, kColour);
    put16(out, kYResolutionAt, kDotsPerInch);
    return out;
}

}  // namespace tabsmith
