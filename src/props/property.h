// What a resolved property statement is: its id and its target (sheet, cell, row, column or
// areas), and the application entry points that give it effect.
#pragma once

#include <array>
#include <span>
#include <string_view>

#include "model/book.h"

namespace tabsmith {

constexpr int kMaxTargetAreas = 255;

struct TargetArea {
    int row1 = 0, column1 = 0, row2 = 0, column2 = 0;  // 0-based, inclusive
};

struct PropertyTarget {
    int sheet = -1;    // sheet index, -1 = the book's current sheet
    int row = -1;      // 0-based, -1 = none
    int column = -1;   // 0-based, -1 = none
    std::array<TargetArea, kMaxTargetAreas> areas{};
    int area_count = 0;  // 0 = no range; a row range 3:7 is one area with columns 0..0
    bool row_range = false;  // the areas came from a row range such as 3:7
    bool column_range = false;  // the areas came from a column range such as A:C (rows 0..0)

    // Back to no target without clearing every area (4 KB): the areas past area_count are
    // never read, and the first is cleared for readers that take it as the target's cell.
    void reset() {
        sheet = row = column = -1;
        areas[0] = TargetArea{};
        area_count = 0;
        row_range = column_range = false;
    }
};

// Property ids (the values are part of the interface: TXLS_is_property returns them).
enum PropertyId : int {
    kPropNone = -1,
    kPropBookName = 101, kPropBookCompany = 102, kPropBookCreator = 103, kPropBookManager = 104,
    kPropBookTitle = 105, kPropBookSubject = 106, kPropTemplate = 109, kPropBookWritePassword = 110,
    kPropBookRecalc = 111, kPropBookBackup = 112, kPropBookThumbnailPath = 113, kPropBookFinal = 114,
    kPropSheetName = 201, kPropSheetZoom = 202, kPropSheetHidden = 203, kPropSheetPassword = 204,
    kPropSheetProtect = 205, kPropSheetOrder = 206, kPropSheetHiddenGrid = 207, kPropSheetHiddenHeader = 208,
    kPropSheetFrozenTop = 209, kPropSheetFrozenLeft = 210, kPropSheetFrozenSplit = 211,
    kPropSheetBackgroundPath = 212, kPropSheetScrollRow = 213,
    kPropHeight = 221, kPropNewPage = 222, kPropWidth = 223, kPropSheetTabColor = 231,
    kPropBorder = 310, kPropBorderLeft = 311, kPropBorderRight = 312, kPropBorderTop = 313,
    kPropBorderBottom = 314, kPropBorderColor = 315, kPropBorderDiagonalUp = 316, kPropBorderDiagonalDown = 317,
    kPropFontName = 331, kPropFontStyle = 332, kPropFontSize = 333, kPropFontColor = 334,
    kPropFillColor = 341, kPropFillPatternName = 342, kPropFillPatternColor = 343,
    kPropGradationColor1 = 351, kPropGradationColor2 = 352, kPropGradationKind = 353, kPropGradationVariation = 354,
    kPropAlign = 401, kPropWrap = 402, kPropRotation = 403, kPropShrink = 404, kPropMerge = 405, kPropFormat = 406,
    kPropComment = 407,
    kPropImageFirst = 501, kPropImageLast = 504,
    kPropHyperlink = 511, kPropFilter = 512,
    kPropSparklineFirst = 521, kPropSparklineLast = 529,
    kPropTableFormat = 531, kPropTableColumnName = 532,
    kPropChartFirst = 601, kPropChartLast = 629,
    kPropAutoshapeFirst = 631, kPropAutoshapeLast = 707,
    kPropPaperSize = 711, kPropPaperOrientation = 712, kPropPaperScale = 713, kPropPaperDpi = 714,
    kPropMarginTop = 715, kPropMarginBottom = 716, kPropMarginLeft = 717, kPropMarginRight = 718,
    kPropMarginHeader = 719, kPropMarginFooter = 720,
    kPropPageFitVertical = 721, kPropPageFitHorizontal = 722,
    kPropHeaderLeft = 801, kPropHeaderRight = 811, kPropHeaderCenter = 821,
    kPropFooterLeft = 831, kPropFooterRight = 841, kPropFooterCenter = 851,
    // A header/footer section id + 1..4: its FONT.NAME, .SIZE, .STYLE, .COLOR.
    kPropPrintTitleRow = 860, kPropPrintTitleColumn = 861,
    kPropAutoWidth = 1001,
    kPropVariable = 2001, kPropCsv = 2002, kPropTsv = 2003,
};

// Gives a resolved statement its effect. `value` is UTF-8 with one pair of surrounding double
// quotes already removed. 0, or a negative code with the book's message set (kLimit for a fixed
// limit; the statement loop reports it as kOverflow).
int apply_property(Book &book, int id, PropertyTarget &target, std::string_view value);

// The families of drawing objects and sheet decorations, one source file each. Each takes the
// ids of its own range and answers like apply_property.
int apply_picture_property(Book &book, int id, PropertyTarget &target, std::string_view value);     // 501-504
int apply_chart_property(Book &book, int id, PropertyTarget &target, std::string_view value);       // 601-629
int apply_shape_property(Book &book, int id, PropertyTarget &target, std::string_view value);       // 631-707
int apply_annotation_property(Book &book, int id, PropertyTarget &target, std::string_view value);  // 407, 511, 531, 532
int apply_sparkline_property(Book &book, int id, PropertyTarget &target, std::string_view value);   // 521-529

// The CSV and TSV properties paste a file through the data sources, which sit above this module
// (the "!" lines of a pasted file run statements in turn). The API registers the paste before any
// statement runs; until then those properties answer as unsupported.
using DataSourcePaste = int (*)(Book &book, int id, const PropertyTarget &target, std::string_view path);
void register_data_source_paste(DataSourcePaste paste);

// The TEMPLATE statement loads a workbook through the readers, which also sit above this module;
// the API registers the loader as it registers the paste.
using TemplateLoad = int (*)(Book &book, std::string_view path);
void register_template_load(TemplateLoad load);
int load_template(Book &book, std::string_view path);

// The cell-formatting family: heights, breaks, widths, borders, fonts, fills, gradients,
// alignment, wrap, vertical text, shrink, merge, number formats, filter, automatic widths.
int apply_cell_property(Book &book, int id, const PropertyTarget &target, std::string_view value);
// The CHART statement's type words, English and Japanese, and the chart type each selects.
struct ChartTypeWord {
    std::string_view english;
    std::string_view alias;
    int code;
};
std::span<const ChartTypeWord> chart_type_words();

// The book, sheet, paper, margin, page-fit, header/footer and print-title family.
int apply_sheet_property(Book &book, int id, const PropertyTarget &target, std::string_view value);

}  // namespace tabsmith
