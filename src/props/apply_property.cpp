// Gives a resolved property statement its effect by sending its id to the family that owns it:
// cell formatting, sheet and book settings, drawing objects and data sources.

#include <atomic>
#include <string>

#include "props/property.h"
#include "props/property_parser.h"

namespace tabsmith {
namespace {

std::atomic<DataSourcePaste> registered_paste{nullptr};
std::atomic<TemplateLoad> registered_template_load{nullptr};

bool in(int id, int first, int last) { return id >= first && id <= last; }

bool cell_family(int id) {
    switch (id) {
    case kPropHeight: case kPropNewPage: case kPropWidth:
    case kPropFilter: case kPropAutoWidth:
        return true;
    default:
        return in(id, kPropBorder, kPropBorderDiagonalDown) || in(id, kPropFontName, kPropFontColor) ||
               in(id, kPropFillColor, kPropFillPatternColor) || in(id, kPropGradationColor1, kPropGradationVariation) ||
               in(id, kPropAlign, kPropFormat);
    }
}

bool sheet_family(int id) {
    if (in(id, kPropBookName, kPropBookSubject) || in(id, kPropTemplate, kPropBookFinal)) return true;
    if (in(id, kPropSheetName, kPropSheetScrollRow) || id == kPropSheetTabColor) return true;
    if (in(id, kPropPaperSize, kPropPageFitHorizontal)) return true;
    if (id == kPropPrintTitleRow || id == kPropPrintTitleColumn) return true;
    // Header and footer sections and their fonts: 801-805, 811-815, ... 851-855.
    return in(id, kPropHeaderLeft, kPropFooterCenter + 4) && id % 10 <= 5 && id % 10 >= 1;
}

// Settings of the book as a whole, which need no sheet: the sheet name adds its own.
bool book_setting(int id) {
    return in(id, kPropBookName, kPropBookFinal) || id == kPropSheetName || id == kPropSheetOrder;
}

// A statement about cells, a sheet or a sheet's objects; charts and annotations find their sheet
// themselves.
bool acts_on_sheet(int id) {
    return cell_family(id) || (sheet_family(id) && !book_setting(id)) || in(id, kPropImageFirst, kPropImageLast) ||
           in(id, kPropAutoshapeFirst, kPropAutoshapeLast) || in(id, kPropSparklineFirst, kPropSparklineLast);
}

}  // namespace

void register_data_source_paste(DataSourcePaste paste) { registered_paste.store(paste); }

void register_template_load(TemplateLoad load) { registered_template_load.store(load); }

int load_template(Book &book, std::string_view path) {
    if (TemplateLoad load = registered_template_load.load()) return load(book, path);
    return book.err.raise(kFail, Msg::k03600, "TEMPLATE");
}

int apply_property(Book &book, int id, PropertyTarget &target, std::string_view value) {
    // A book without sheets gets its first for any statement about one, as a value does.
    if (target.sheet < 0 && acts_on_sheet(id))
        if (int rc = ensure_first_sheet(book); rc != 0) return rc;
    if (cell_family(id)) return apply_cell_property(book, id, target, value);
    if (sheet_family(id)) return apply_sheet_property(book, id, target, value);
    if (in(id, kPropImageFirst, kPropImageLast)) return apply_picture_property(book, id, target, value);
    if (in(id, kPropChartFirst, kPropChartLast)) return apply_chart_property(book, id, target, value);
    if (in(id, kPropAutoshapeFirst, kPropAutoshapeLast)) return apply_shape_property(book, id, target, value);
    if (in(id, kPropSparklineFirst, kPropSparklineLast)) return apply_sparkline_property(book, id, target, value);
    if (id == kPropComment || id == kPropHyperlink || id == kPropTableFormat || id == kPropTableColumnName)
        return apply_annotation_property(book, id, target, value);
    if (id == kPropCsv || id == kPropTsv)
        if (DataSourcePaste paste = registered_paste.load()) return paste(book, id, target, value);
    return book.err.raise(kFail, Msg::k03600, property_display_name(id, target).c_str());
}

}  // namespace tabsmith
