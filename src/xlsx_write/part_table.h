// The part table of a saved package: every part kind with its id and file name in the order the
// writer visits them, and the texts many parts share (XML declaration, relationship part frame).
#pragma once

#include <string>
#include <string_view>

namespace tabsmith {

enum PartId : int {
    kPartWorksheet = 100,
    kPartSharedStrings = 101,
    kPartDrawing = 102,
    kPartComments = 103,
    kPartWorkbook = 104,
    kPartContentTypes = 110,
    kPartPackageRels = 111,
    kPartApp = 112,
    kPartCore = 113,
    kPartCustom = 114,
    kPartTheme = 115,
    kPartStyles = 116,
    kPartWorkbookRels = 117,
    kPartDrawingRels = 118,
    kPartWorksheetRels = 119,
    kPartChart = 120,
    kPartPrinterSettings = 130,
    kPartVmlDrawing = 140,
    kPartTable = 150,
    kPartThumbnail = 160,
};

struct PartKind {
    PartId id;
    const char *file_name;  // "%d" where the part's number goes
};

// Rows in table order.
extern const PartKind kPartKinds[20];

// The file name of a part kind, numbered where the kind is numbered.
std::string part_file_name(PartId id, int number = 0);

inline constexpr std::string_view kXmlDeclaration =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";
// The frame of the three relationship parts (package, workbook, worksheet).
inline constexpr std::string_view kRelationshipsHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
inline constexpr std::string_view kRelationshipsTail = "</Relationships>";
// The relationships namespace (r:id attributes) and the stem of every relationship type.
inline constexpr std::string_view kRelationshipsNamespace =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
inline constexpr std::string_view kRelationshipTypeBase =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

}  // namespace tabsmith
