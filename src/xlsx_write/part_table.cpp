// Part kinds and their file names.

#include "xlsx_write/part_table.h"

#include <cstdio>

namespace tabsmith {

const PartKind kPartKinds[20] = {
    {kPartContentTypes, "[Content_Types].xml"},
    {kPartPackageRels, "_rels/.rels"},
    {kPartApp, "docProps/app.xml"},
    {kPartCore, "docProps/core.xml"},
    {kPartCustom, "docProps/custom.xml"},
    {kPartWorkbookRels, "xl/_rels/workbook.xml.rels"},
    {kPartTheme, "xl/theme/theme1.xml"},
    {kPartWorksheet, "xl/worksheets/sheet%d.xml"},
    {kPartStyles, "xl/styles.xml"},
    {kPartWorkbook, "xl/workbook.xml"},
    {kPartSharedStrings, "xl/sharedStrings.xml"},
    {kPartWorksheetRels, "xl/worksheets/_rels/sheet%d.xml.rels"},
    {kPartDrawingRels, "xl/drawings/_rels/drawing%d.xml.rels"},
    {kPartDrawing, "xl/drawings/drawing%d.xml"},
    {kPartChart, "xl/charts/chart%d.xml"},
    {kPartPrinterSettings, "xl/printerSettings/printerSettings%d.bin"},
    {kPartComments, "xl/comments%d.xml"},
    {kPartVmlDrawing, "xl/drawings/vmlDrawing%d.vml"},
    {kPartTable, "xl/tables/table%d.xml"},
    {kPartThumbnail, "docProps/thumbnail.jpeg"},
};

std::string part_file_name(PartId id, int number) {
    for (const auto &kind : kPartKinds) {
        if (kind.id != id) continue;
        std::string pattern = kind.file_name;
        auto at = pattern.find("%d");
        if (at == std::string::npos) return pattern;
        return pattern.substr(0, at) + std::to_string(number) + pattern.substr(at + 2);
    }
    return {};
}

}  // namespace tabsmith
