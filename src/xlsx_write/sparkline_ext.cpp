// The sparkline extension list of a worksheet: each SPARKLINE statement's group with its type,
// marked points, colours and one sparkline per cell of its place.

#include "xlsx_write/sparkline_ext.h"

#include "model/address.h"
#include "xlsx_write/xml_writer.h"

namespace tabsmith {

namespace {

using namespace std::string_view_literals;

constexpr XmlTemplate kExtList{
    "<extLst><ext uri=\"{uri}\" "
    "xmlns:x14=\"http://schemas.microsoft.com/office/spreadsheetml/2009/9/main\">"
    "<x14:sparklineGroups xmlns:xm=\"http://schemas.microsoft.com/office/excel/2006/main\">{groups}"
    "</x14:sparklineGroups></ext></extLst>"};
// Braces would read as a hole of the template: the extension's id is filled in.
constexpr std::string_view kSparklineExtUri = "{05C60535-1F16-4fd2-B633-F4F36F0B64E0}";
constexpr XmlTemplate kGroup{
    "<x14:sparklineGroup {type}displayEmptyCellsAs=\"gap\"{display}><x14:colorSeries rgb=\"FF{series}\" />"
    "<x14:colorNegative rgb=\"FF{negative}\" /><x14:colorAxis rgb=\"FF{axis}\" />"
    "<x14:colorMarkers rgb=\"FF{markers}\" /><x14:colorFirst rgb=\"FF{first}\" />"
    "<x14:colorLast rgb=\"FF{last}\" /><x14:colorHigh rgb=\"FF{high}\" /><x14:colorLow rgb=\"FF{low}\" />"
    "<x14:sparklines>{sparklines}</x14:sparklines></x14:sparklineGroup>"};
constexpr XmlTemplate kSparkline{
    "<x14:sparkline><xm:f>{sheet}!{first}:{last}</xm:f><xm:sqref>{cell}</xm:sqref></x14:sparkline>"};
constexpr std::string_view kTypeColumn = "type=\"column\" ", kTypeStacked = "type=\"stacked\" ";

// The display attributes in the order the groups carry them; a win/loss group always marks
// its negative points.
struct DisplayAttribute {
    std::uint32_t bit;
    std::string_view text;
};
constexpr DisplayAttribute kDisplayAttributes[] = {
    {kShowMarkers, " markers=\"1\""}, {kShowHigh, " high=\"1\""}, {kShowLow, " low=\"1\""},
    {kShowFirst, " first=\"1\""},     {kShowLast, " last=\"1\""}, {kShowNegative, " negative=\"1\""},
};

HexRgb hex(const ColorValue &colour) {
    return HexRgb{colour_rgb(colour.index, Rgb{colour.red, colour.green, colour.blue}), HexCase::kUpper};
}

void write_sparklines(const Sparkline &line, std::string_view sheet, std::string &out) {
    if (line.place_column1 == line.place_column2) {
        // One column: the sparkline of row r shows row r of the data.
        for (int r = line.place_row1; r <= line.place_row2; ++r)
            xml_fill<kSparkline>(out, XmlText{sheet}, CellName{r, line.data_column1}, CellName{r, line.data_column2},
                                 CellName{r, line.place_column1});
        return;
    }
    for (int c = line.place_column1; c <= line.place_column2; ++c)
        xml_fill<kSparkline>(out, XmlText{sheet}, CellName{line.data_row1, c}, CellName{line.data_row2, c},
                             CellName{line.place_row1, c});
}

void write_group(const Sparkline &line, std::string_view sheet, std::string &out) {
    std::string_view type = line.kind == SparklineKind::kColumn    ? kTypeColumn
                            : line.kind == SparklineKind::kStacked ? kTypeStacked
                                                                   : ""sv;
    std::uint32_t show = line.show;
    if (line.kind == SparklineKind::kStacked) show |= kShowNegative;
    auto display = [&](std::string &o) {
        for (const DisplayAttribute &attribute : kDisplayAttributes)
            if (show & attribute.bit) o.append(attribute.text);
    };
    auto sparklines = [&](std::string &o) { write_sparklines(line, sheet, o); };
    xml_fill<kGroup>(out, type, display, hex(line.series), hex(line.negative), hex(line.axis), hex(line.markers),
                     hex(line.first), hex(line.last), hex(line.high), hex(line.low), sparklines);
}

}  // namespace

void write_sparkline_ext(const Book &book, int sheet_index, std::string &out) {
    const Sheet *sheet = book.sheet(sheet_index);
    if (!sheet || sheet->sparklines.empty()) return;
    // A name that needs quotes in a formula needs them here too, or the reference breaks.
    const std::string name = quoted_sheet_name(sheet->name);
    auto groups = [&](std::string &o) {
        for (const Sparkline &line : sheet->sparklines) write_group(line, name, o);
    };
    xml_fill<kExtList>(out, kSparklineExtUri, groups);
}

}  // namespace tabsmith
