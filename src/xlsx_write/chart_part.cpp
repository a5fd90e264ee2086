// Chart parts (xl/charts/chart<n>.xml): the plot form of each chart type, its series with the
// cell references and cached values, axes, legend and background; and the chart's graphic frame.

#include "xlsx_write/chart_part.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "format/number_format.h"
#include "model/address.h"
#include "xlsx_write/part_table.h"
#include "xlsx_write/xml_writer.h"

namespace tabsmith {
namespace {

using namespace std::string_view_literals;

// ---- Fixed texts ----

constexpr std::string_view kChartHead =
    "<c:chartSpace xmlns:c=\"http://schemas.openxmlformats.org/drawingml/2006/chart\" "
    "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
    "<c:lang val=\"ja-JP\"/><c:roundedCorners val=\"0\"/>";
// The plain style element: a markup-compatibility wrapper around it is no part of the chart
// schema, and every program reads the plain form.
constexpr XmlTemplate kStyle{"<c:style val=\"{style}\"/><c:chart>"};
// The title's paragraph ends with its run: an end-of-paragraph mark after it says nothing and is
// more than some readers take.
constexpr XmlTemplate kTitle{
    "<c:title><c:tx><c:rich><a:bodyPr/><a:lstStyle/><a:p><a:pPr><a:defRPr/></a:pPr>"
    "<a:r><a:rPr lang=\"ja-JP\" altLang=\"en-US\" sz=\"{size}\"/><a:t>{text}</a:t></a:r>"
    "</a:p></c:rich></c:tx><c:layout/><c:overlay val=\"0\"/></c:title>"};
constexpr XmlTemplate kView3d{
    "<c:view3D><c:rotX val=\"{x}\"/><c:rotY val=\"{y}\"/><c:depthPercent val=\"{depth}\"/><c:rAngAx val=\"1\"/></c:view3D>"};
constexpr XmlTemplate kView3dPerspective{
    "<c:view3D><c:rotX val=\"{x}\"/><c:rotY val=\"{y}\"/><c:rAngAx val=\"0\"/><c:perspective val=\"{perspective}\"/></c:view3D>"};
constexpr std::string_view kWalls =
    "<c:floor><c:thickness val=\"0\"/></c:floor><c:sideWall><c:thickness val=\"0\"/></c:sideWall>"
    "<c:backWall><c:thickness val=\"0\"/></c:backWall>";
constexpr std::string_view kPlotAreaHead = "<c:plotArea><c:layout/>";

constexpr XmlTemplate kPlotOpen{"<c:{element}>"};
constexpr XmlTemplate kPlotClose{"</c:{element}>"};
constexpr XmlTemplate kBarHead{"<c:barDir val=\"{dir}\"/><c:grouping val=\"{grouping}\"/><c:varyColors val=\"0\"/>"};
constexpr XmlTemplate kGroupingHead{"<c:grouping val=\"{grouping}\"/><c:varyColors val=\"0\"/>"};
constexpr std::string_view kVaryColours = "<c:varyColors val=\"1\"/>";
constexpr std::string_view kScatterHead = "<c:scatterStyle val=\"lineMarker\"/><c:varyColors val=\"0\"/>";
constexpr std::string_view kRadarHead = "<c:radarStyle val=\"marker\"/><c:varyColors val=\"0\"/>";
constexpr std::string_view kSurfaceHead = "<c:wireframe val=\"0\"/>";

constexpr XmlTemplate kBarTail{"<c:gapWidth val=\"{gap}\"/><c:overlap val=\"{overlap}\"/>"};
constexpr std::string_view kSeriesLines =
    "<c:serLines><c:spPr><a:ln><a:pattFill prst=\"pct50\"><a:fgClr><a:srgbClr val=\"000000\" /></a:fgClr>"
    "<a:bgClr><a:srgbClr val=\"FFFFFF\" /></a:bgClr></a:pattFill><a:prstDash val=\"solid\" /></a:ln></c:spPr></c:serLines>";
constexpr XmlTemplate kBar3dTail{"<c:gapWidth val=\"{gap}\"/><c:shape val=\"{shape}\"/>"};
constexpr std::string_view kLineTail = "<c:marker val=\"1\"/>";
constexpr std::string_view kLineSmoothOff = "<c:smooth val=\"0\"/>";
constexpr std::string_view kPieTail = "<c:firstSliceAng val=\"0\"/>";
constexpr std::string_view kDoughnutTail = "<c:firstSliceAng val=\"0\"/><c:holeSize val=\"50\"/>";
constexpr std::string_view kHighLowLines = "<c:hiLowLines/>";
constexpr XmlTemplate kUpDownBars{"<c:upDownBars><c:gapWidth val=\"{gap}\"/><c:upBars/><c:downBars/></c:upDownBars>"};
constexpr std::string_view kSurfaceTail = "<c:bandFmts/>";
constexpr XmlTemplate kAxisId{"<c:axId val=\"{id}\"/>"};

constexpr XmlTemplate kSeriesHead{"<c:ser><c:idx val=\"{k}\"/><c:order val=\"{k}\"/>"};
constexpr XmlTemplate kSeriesName{
    "<c:tx><c:strRef><c:f>{ref}</c:f><c:strCache><c:ptCount val=\"1\"/>{point}</c:strCache></c:strRef></c:tx>"};
constexpr std::string_view kSeriesNoLine = "<c:spPr><a:ln w=\"28575\"><a:noFill/></a:ln></c:spPr>";
constexpr XmlTemplate kMarker{"<c:marker><c:symbol val=\"{symbol}\"/></c:marker>"};
constexpr std::string_view kExplosion = "<c:explosion val=\"25\"/>";
constexpr XmlTemplate kStrRef{
    "<c:{role}><c:strRef><c:f>{ref}</c:f><c:strCache><c:ptCount val=\"{count}\"/>{points}</c:strCache></c:strRef></c:{role}>"};
constexpr XmlTemplate kNumRef{
    "<c:{role}><c:numRef><c:f>{ref}</c:f><c:numCache><c:formatCode>{format}</c:formatCode><c:ptCount val=\"{count}\"/>"
    "{points}</c:numCache></c:numRef></c:{role}>"};
constexpr XmlTemplate kPoint{"<c:pt idx=\"{idx}\"><c:v>{value}</c:v></c:pt>"};
constexpr std::string_view kSeriesTail = "</c:ser>";

constexpr XmlTemplate kDataLabels{
    "<c:dLbls><c:showLegendKey val=\"0\"/><c:showVal val=\"{value}\"/><c:showCatName val=\"{category}\"/>"
    "<c:showSerName val=\"{series}\"/><c:showPercent val=\"{percent}\"/><c:showBubbleSize val=\"0\"/>"
    "<c:showLeaderLines val=\"0\"/></c:dLbls>"};

constexpr XmlTemplate kCategoryAxis{
    "<c:catAx><c:axId val=\"{id}\"/><c:scaling><c:orientation val=\"minMax\"/></c:scaling><c:delete val=\"0\"/>"
    "<c:axPos val=\"{pos}\"/>{numfmt}<c:majorTickMark val=\"out\"/><c:minorTickMark val=\"none\"/>"
    "<c:tickLblPos val=\"nextTo\"/><c:txPr><a:bodyPr/><a:lstStyle/><a:p><a:pPr><a:defRPr baseline=\"0\" sz=\"{size}\"/>"
    "</a:pPr><a:endParaRPr lang=\"ja-JP\"/></a:p></c:txPr><c:crossAx val=\"{cross}\"/><c:crosses val=\"autoZero\"/>"
    "<c:auto val=\"1\"/><c:lblAlgn val=\"ctr\"/><c:lblOffset val=\"100\"/><c:tickLblSkip val=\"1\"/>"
    "<c:noMultiLvlLbl val=\"0\"/></c:catAx>"};
constexpr std::string_view kDateAxisFormat = "<c:numFmt formatCode=\"m/d/yyyy\" sourceLinked=\"1\"/>";
constexpr XmlTemplate kValueAxis{
    "<c:valAx><c:axId val=\"{id}\"/><c:scaling><c:orientation val=\"minMax\"/>{limits}</c:scaling>"
    "<c:delete val=\"0\"/><c:axPos val=\"{pos}\"/>{gridlines}<c:numFmt formatCode=\"General\" sourceLinked=\"1\"/>"
    "<c:majorTickMark val=\"out\"/><c:minorTickMark val=\"none\"/><c:tickLblPos val=\"nextTo\"/>{font}"
    "<c:crossAx val=\"{cross}\"/><c:crosses val=\"autoZero\"/><c:crossBetween val=\"{between}\"/>{unit}</c:valAx>"};
constexpr std::string_view kGridlines = "<c:majorGridlines/>";
constexpr XmlTemplate kAxisMax{"<c:max val=\"{value}\"/>"};
constexpr XmlTemplate kAxisMin{"<c:min val=\"{value}\"/>"};
constexpr XmlTemplate kMajorUnit{"<c:majorUnit val=\"{value}\"/>"};
constexpr XmlTemplate kAxisFont{
    "<c:txPr><a:bodyPr /><a:lstStyle /><a:p><a:pPr><a:defRPr sz=\"{size}\" b=\"0\" i=\"0\" u=\"none\" "
    "strike=\"noStrike\" baseline=\"0\"><a:solidFill><a:srgbClr val=\"000000\" /></a:solidFill>"
    "<a:latin typeface=\"ＭＳ Ｐゴシック\" /><a:ea typeface=\"ＭＳ Ｐゴシック\" /><a:cs typeface=\"ＭＳ Ｐゴシック\" />"
    "</a:defRPr></a:pPr><a:endParaRPr lang=\"ja-JP\" /></a:p></c:txPr>"};
constexpr XmlTemplate kSeriesAxis{
    "<c:serAx><c:axId val=\"{id}\"/><c:scaling><c:orientation val=\"minMax\"/></c:scaling><c:delete val=\"0\"/>"
    "<c:axPos val=\"b\"/><c:majorTickMark val=\"out\"/><c:minorTickMark val=\"none\"/><c:tickLblPos val=\"nextTo\"/>"
    "<c:crossAx val=\"{cross}\"/><c:crosses val=\"autoZero\"/></c:serAx>"};

constexpr std::string_view kPlotAreaTail = "</c:plotArea>";
constexpr XmlTemplate kLegend{
    "<c:legend><c:legendPos val=\"{pos}\"/><c:layout/><c:overlay val=\"0\"/><c:txPr><a:bodyPr/><a:lstStyle/>"
    "<a:p><a:pPr><a:defRPr sz=\"{size}\"/></a:pPr><a:endParaRPr lang=\"ja-JP\"/></a:p></c:txPr></c:legend>"};
constexpr std::string_view kChartTail =
    "<c:plotVisOnly val=\"1\"/><c:dispBlanksAs val=\"gap\"/><c:showDLblsOverMax val=\"0\"/></c:chart>";
constexpr XmlTemplate kSolidBackground{"<c:spPr><a:solidFill><a:srgbClr val=\"{rgb}\"/></a:solidFill></c:spPr>"};
constexpr XmlTemplate kGradientBackground{
    "<c:spPr><a:gradFill><a:gsLst><a:gs pos=\"0\"><a:srgbClr val=\"FFFFFF\"/></a:gs>"
    "<a:gs pos=\"7001\"><a:srgbClr val=\"{first}\"/></a:gs><a:gs pos=\"32001\"><a:srgbClr val=\"{first}\"/></a:gs>"
    "<a:gs pos=\"47000\"><a:srgbClr val=\"{second}\"/></a:gs><a:gs pos=\"85001\"><a:srgbClr val=\"{second}\"/></a:gs>"
    "<a:gs pos=\"100000\"><a:srgbClr val=\"{second}\"/></a:gs></a:gsLst><a:lin scaled=\"0\" ang=\"5400000\"/>"
    "</a:gradFill></c:spPr>"};
constexpr std::string_view kPrintSettings =
    "<c:printSettings><c:headerFooter/><c:pageMargins b=\"0.75\" l=\"0.70\" r=\"0.70\" t=\"0.75\" header=\"0.30\" "
    "footer=\"0.30\"/><c:pageSetup/></c:printSettings></c:chartSpace>";

constexpr XmlTemplate kFrame{
    "<xdr:twoCellAnchor><xdr:from><xdr:col>{col1}</xdr:col><xdr:colOff>0</xdr:colOff><xdr:row>{row1}</xdr:row>"
    "<xdr:rowOff>0</xdr:rowOff></xdr:from><xdr:to><xdr:col>{col2}</xdr:col><xdr:colOff>0</xdr:colOff>"
    "<xdr:row>{row2}</xdr:row><xdr:rowOff>0</xdr:rowOff></xdr:to><xdr:graphicFrame macro=\"\"><xdr:nvGraphicFramePr>"
    "<xdr:cNvPr id=\"{id}\" name=\"Chart {id}\"/><xdr:cNvGraphicFramePr/></xdr:nvGraphicFramePr><xdr:xfrm>"
    "<a:off y=\"0\" x=\"0\"/><a:ext cy=\"0\" cx=\"0\"/></xdr:xfrm><a:graphic>"
    "<a:graphicData uri=\"http://schemas.openxmlformats.org/drawingml/2006/chart\"><c:chart r:id=\"rId{rid}\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" "
    "xmlns:c=\"http://schemas.openxmlformats.org/drawingml/2006/chart\"/></a:graphicData></a:graphic>"
    "</xdr:graphicFrame><xdr:clientData/></xdr:twoCellAnchor>"};

// Axis ids of one chart part; the same in every part, as they only pair axes within a part.
constexpr int kCategoryAxisId = 50010001;
constexpr int kValueAxisId = 50010002;
constexpr int kSeriesAxisId = 50010003;

constexpr int kMaxGapWidth = 500;   // the most a chart part can hold
constexpr int kStockLineWidth = 28575;

// A chart placed without LOCATION covers this many columns and rows.
constexpr int kFrameColumns = 8;
constexpr int kFrameRows = 15;

// Axis ids print with eight digits.
struct Padded {
    int id;
};

void append_value(std::string &out, Padded id) {
    char digits[16];
    int n = std::snprintf(digits, sizeof digits, "%08d", id.id);
    out.append(digits, static_cast<std::size_t>(n));
}

// ---- Plot forms ----

enum class Form { kBar, kBar3d, kLine, kLine3d, kArea, kArea3d, kPie, kPie3d, kDoughnut, kScatter, kStock, kRadar, kSurface };

struct PlotForm {
    Form form;
    std::string_view element;
    std::string_view bar_direction;   // bar forms
    std::string_view shape;           // 3-D bar forms
};

PlotForm plot_form(int type) {
    switch (type) {
    case kChartBar: return {Form::kBar, "barChart", "col", ""};
    case kChartBarHorizontal: return {Form::kBar, "barChart", "bar", ""};
    case kChartBar3d: return {Form::kBar3d, "bar3DChart", "col", "box"};
    case kChartBarCylinder: return {Form::kBar3d, "bar3DChart", "col", "cylinder"};
    case kChartBarCone: return {Form::kBar3d, "bar3DChart", "col", "cone"};
    case kChartBarPyramid: return {Form::kBar3d, "bar3DChart", "col", "pyramid"};
    case kChartBar3dHorizontal: return {Form::kBar3d, "bar3DChart", "bar", "box"};
    case kChartBarCylinderHorizontal: return {Form::kBar3d, "bar3DChart", "bar", "cylinder"};
    case kChartBarConeHorizontal: return {Form::kBar3d, "bar3DChart", "bar", "cone"};
    case kChartBarPyramidHorizontal: return {Form::kBar3d, "bar3DChart", "bar", "pyramid"};
    case kChartPie: return {Form::kPie, "pieChart", "", ""};
    case kChartPie3d: return {Form::kPie3d, "pie3DChart", "", ""};
    case kChartLine3d: return {Form::kLine3d, "line3DChart", "", ""};
    case kChartArea: return {Form::kArea, "areaChart", "", ""};
    case kChartArea3d: return {Form::kArea3d, "area3DChart", "", ""};
    case kChartScatter: return {Form::kScatter, "scatterChart", "", ""};
    case kChartStock: return {Form::kStock, "stockChart", "", ""};
    case kChartContour: return {Form::kSurface, "surface3DChart", "", ""};
    case kChartDoughnut: return {Form::kDoughnut, "doughnutChart", "", ""};
    case kChartRadar: return {Form::kRadar, "radarChart", "", ""};
    default: return {Form::kLine, "lineChart", "", ""};
    }
}

bool is_3d(Form form) {
    return form == Form::kBar3d || form == Form::kLine3d || form == Form::kArea3d || form == Form::kPie3d ||
           form == Form::kSurface;
}

bool without_axes(Form form) { return form == Form::kPie || form == Form::kPie3d || form == Form::kDoughnut; }

std::string_view bar_grouping(int sub_type, bool three_d) {
    switch (sub_type) {
    case 2: return "stacked";
    case 3: return "percentStacked";
    case 4: return three_d ? "standard" : "clustered";
    default: return "clustered";
    }
}

std::string_view line_grouping(int sub_type) {
    switch (sub_type) {
    case 2: return "stacked";
    case 3: return "percentStacked";
    default: return "standard";
    }
}

std::string_view legend_position(LegendPosition position) {
    switch (position) {
    case LegendPosition::kLeft: return "l";
    case LegendPosition::kTop: return "t";
    case LegendPosition::kTopRight: return "tr";
    case LegendPosition::kBottom: return "b";
    case LegendPosition::kRight: break;
    }
    return "r";
}

// ---- Cells ----

enum class ValueKind { kEmpty, kNumber, kText };

struct CellValue {
    ValueKind kind = ValueKind::kEmpty;
    double number = 0.0;
    bool date = false;
    const Cell *cell = nullptr;
};

bool read_number_text(std::string_view text, double &number) {
    if (text.empty()) return false;
    std::string copy(text);
    char *end = nullptr;
    double value = std::strtod(copy.c_str(), &end);
    if (end != copy.c_str() + copy.size() || !std::isfinite(value)) return false;
    number = value;
    return true;
}

// What a chart shows of a cell: a number, a text (which plots as no point) or nothing.
CellValue chart_value(const Book &book, int sheet, int row, int column) {
    CellValue out;
    const Cell *cell = find_cell(book, sheet, row, column);
    if (!cell || cell->empty()) return out;
    out.cell = cell;
    switch (cell->kind) {
    case kCellInteger:
    case kCellFloat:
    case kCellPercent:
        out.number = cell->number();
        out.kind = std::isfinite(out.number) ? ValueKind::kNumber : ValueKind::kEmpty;
        return out;
    case kCellDate:
    case kCellDateTime:
    case kCellTimeHm:
    case kCellTimeHms:
        out.number = cell->number();
        out.date = true;
        out.kind = std::isfinite(out.number) ? ValueKind::kNumber : ValueKind::kEmpty;
        return out;
    case kCellFormula:
        return out;   // not computed: the program that opens the book fills the chart
    case kCellFormulaValue: {
        const CellExtra *extra = cell->extra_record();
        const char type = extra ? extra->value_type : 0;
        if (type == 'n' || type == 0) {
            double number = cell->number();
            if (cell->text().empty() || read_number_text(cell->text(), number)) {
                out.number = number;
                out.kind = std::isfinite(number) ? ValueKind::kNumber : ValueKind::kEmpty;
                return out;
            }
        }
        out.kind = cell->text().empty() ? ValueKind::kEmpty : ValueKind::kText;
        return out;
    }
    default:
        out.kind = ValueKind::kText;
        return out;
    }
}

// The cells of one record, in series direction.
struct Record {
    int row = 0, column = 0;   // first cell
    int length = 0;
    bool in_rows = false;      // the record runs along a row
    int row_at(int k) const { return in_rows ? row : row + k; }
    int column_at(int k) const { return in_rows ? column + k : column; }
};

Record record_of(const ChartObject &chart, const ChartSeries &s) {
    Record r;
    r.row = s.row1;
    r.column = s.column1;
    r.in_rows = chart.series_in_rows;
    r.length = chart.series_in_rows ? s.column2 - s.column1 + 1 : s.row2 - s.row1 + 1;
    return r;
}

// Element text, so quotes stay as they are; a quote inside the sheet name is doubled.
void append_sheet_prefix(std::string &out, std::string_view sheet) {
    out += '\'';
    for (char c : sheet) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '\'': out += "''"; break;
        default: out += c;
        }
    }
    out += "'!";
}

void append_absolute(std::string &out, int row, int column) {
    std::string name;
    cell_name(row, column, name, true);
    out += name;
}

// "'Sheet'!$B$3:$B$6" (escaped for element text) for `count` cells of a record from cell `from`; one cell without the colon.
std::string record_reference(std::string_view sheet, const Record &r, int from, int count) {
    std::string out;
    append_sheet_prefix(out, sheet);
    append_absolute(out, r.row_at(from), r.column_at(from));
    if (count > 1) {
        out += ':';
        append_absolute(out, r.row_at(from + count - 1), r.column_at(from + count - 1));
    }
    return out;
}

// ---- Writer ----

class ChartWriter {
public:
    ChartWriter(const Book &book, const ChartObject &chart, std::string &out)
        : book_(book), chart_(chart), s_(chart.settings), out_(out), form_(plot_form(chart.type)) {
        const Sheet *sheet = book.sheet(chart.sheet);
        sheet_name_ = sheet ? std::string_view(sheet->name) : std::string_view();
        // The first record holds the categories; a lone record is a series without them.
        if (chart.series.size() == 1) {
            data_.push_back(record_of(chart, chart.series.front()));
        } else if (!chart.series.empty()) {
            categories_ = record_of(chart, chart.series.front());
            has_categories_ = true;
            for (std::size_t k = 1; k < chart.series.size(); ++k) data_.push_back(record_of(chart, chart.series[k]));
        }
        // A stock chart holds three or four series; any other count is drawn as lines between
        // high-low lines.
        if (form_.form == Form::kStock && (data_.size() < 3 || data_.size() > 4)) {
            form_ = {Form::kLine, "lineChart", "", ""};
            stock_as_lines_ = true;
        }
    }

    void write() {
        out_ += kXmlDeclaration;
        out_ += kChartHead;
        xml_fill<kStyle>(out_, s_.style);
        if (!s_.title.empty()) xml_fill<kTitle>(out_, s_.title_font_size, XmlText{s_.title});
        if (is_3d(form_.form)) {
            if (s_.has_perspective) xml_fill<kView3dPerspective>(out_, s_.rotate_x, s_.rotate_y, s_.perspective);
            else xml_fill<kView3d>(out_, s_.rotate_x, s_.rotate_y, s_.depth);
            out_ += kWalls;
        }
        out_ += kPlotAreaHead;
        write_plot();
        write_axes();
        out_ += kPlotAreaTail;
        if (s_.legend) xml_fill<kLegend>(out_, legend_position(s_.legend_position), s_.legend_font_size);
        out_ += kChartTail;
        write_background();
        out_ += kPrintSettings;
    }

private:
    bool three_axes() const {
        switch (form_.form) {
        case Form::kLine3d: case Form::kArea3d: case Form::kSurface: return true;
        case Form::kBar3d: return bar_grouping(s_.sub_type, true) == "standard";
        default: return false;
        }
    }

    void write_plot() {
        const Form f = form_.form;
        xml_fill<kPlotOpen>(out_, form_.element);
        switch (f) {
        case Form::kBar:
        case Form::kBar3d:
            xml_fill<kBarHead>(out_, form_.bar_direction, bar_grouping(s_.sub_type, f == Form::kBar3d));
            break;
        case Form::kLine: xml_fill<kGroupingHead>(out_, line_grouping(stock_as_lines_ ? 0 : s_.sub_type)); break;
        case Form::kArea: xml_fill<kGroupingHead>(out_, line_grouping(s_.sub_type)); break;
        case Form::kLine3d:
        case Form::kArea3d: xml_fill<kGroupingHead>(out_, "standard"sv); break;
        case Form::kPie:
        case Form::kPie3d:
        case Form::kDoughnut: out_ += kVaryColours; break;
        case Form::kScatter: out_ += kScatterHead; break;
        case Form::kRadar: out_ += kRadarHead; break;
        case Form::kSurface: out_ += kSurfaceHead; break;
        case Form::kStock: break;
        }
        for (std::size_t k = 0; k < data_.size(); ++k) write_series(static_cast<int>(k), data_[k]);
        if (f != Form::kSurface) {
            const std::uint8_t labels = s_.data_labels;
            xml_fill<kDataLabels>(out_, (labels & kLabelValue) ? 1 : 0, (labels & kLabelCategory) ? 1 : 0,
                                  (labels & kLabelSeriesName) ? 1 : 0, (labels & kLabelPercent) ? 1 : 0);
        }
        const int gap = std::min(s_.gap_width, kMaxGapWidth);
        switch (f) {
        case Form::kBar: {
            const std::string_view grouping = bar_grouping(s_.sub_type, false);
            xml_fill<kBarTail>(out_, gap, grouping == "clustered" ? 0 : 100);
            if (s_.series_lines) out_ += kSeriesLines;
            break;
        }
        case Form::kBar3d: xml_fill<kBar3dTail>(out_, gap, form_.shape); break;
        case Form::kLine:
            if (stock_as_lines_ && data_.size() >= 2) out_ += kHighLowLines;
            out_ += kLineTail;
            if (s_.sub_type != 3 || stock_as_lines_) out_ += kLineSmoothOff;
            break;
        case Form::kPie: out_ += kPieTail; break;
        case Form::kDoughnut: out_ += kDoughnutTail; break;
        case Form::kStock:
            out_ += kHighLowLines;
            if (data_.size() == 4) xml_fill<kUpDownBars>(out_, gap);
            break;
        case Form::kSurface: out_ += kSurfaceTail; break;
        default: break;
        }
        if (!without_axes(f)) {
            xml_fill<kAxisId>(out_, Padded{kCategoryAxisId});
            xml_fill<kAxisId>(out_, Padded{kValueAxisId});
            if (three_axes()) xml_fill<kAxisId>(out_, Padded{kSeriesAxisId});
        }
        xml_fill<kPlotClose>(out_, form_.element);
    }

    // Where a series' values and categories begin: past a header cell (empty or text), unless
    // that would leave no cell.
    int first_value_cell(const Record &r) const {
        if (r.length < 2) return 0;
        const CellValue head = chart_value(book_, chart_.sheet, r.row, r.column);
        return head.kind == ValueKind::kNumber ? 0 : 1;
    }

    void write_series(int k, const Record &r) {
        const Form f = form_.form;
        const int from = first_value_cell(r);
        const int count = r.length - from;
        xml_fill<kSeriesHead>(out_, k);
        if (has_categories_ || from == 1) write_series_name(r);
        if (f == Form::kStock) {
            out_ += kSeriesNoLine;
            // High-low-close: the close shows as a dash; with open and close the bars show them.
            const bool close = data_.size() == 3 && k == 2;
            xml_fill<kMarker>(out_, close ? "dash"sv : "none"sv);
        }
        if ((f == Form::kPie || f == Form::kPie3d) && s_.sub_type == 2) out_ += kExplosion;
        const bool scatter = f == Form::kScatter;
        if (has_categories_) {
            const int available = categories_.length - from;
            if (available > 0) write_categories(scatter ? "xVal"sv : "cat"sv, from, std::min(count, available));
        }
        write_values(scatter ? "yVal"sv : "val"sv, r, from, count);
        if (f == Form::kLine || f == Form::kScatter || f == Form::kStock) out_ += kLineSmoothOff;
        out_ += kSeriesTail;
    }

    void write_series_name(const Record &r) {
        const std::string ref = record_reference(sheet_name_, r, 0, 1);
        const CellValue head = chart_value(book_, chart_.sheet, r.row, r.column);
        std::string text;
        if (head.cell && head.kind != ValueKind::kEmpty) text = format_cell_text(book_, *head.cell);
        auto point = [&](std::string &o) {
            if (!text.empty()) xml_fill<kPoint>(o, 0, XmlText{text});
        };
        xml_fill<kSeriesName>(out_, std::string_view(ref), point);
    }

    void write_categories(std::string_view role, int from, int count) {
        const Record &r = categories_;
        bool any_text = false, any_number = false, all_dates = true;
        std::vector<CellValue> cells;
        cells.reserve(static_cast<std::size_t>(count));
        for (int k = 0; k < count; ++k) {
            cells.push_back(chart_value(book_, chart_.sheet, r.row_at(from + k), r.column_at(from + k)));
            const CellValue &c = cells.back();
            if (c.kind == ValueKind::kText) any_text = true;
            if (c.kind == ValueKind::kNumber) {
                any_number = true;
                all_dates = all_dates && c.date;
            }
        }
        const std::string ref = record_reference(sheet_name_, r, from, count);
        if (any_text || !any_number) {
            // Texts and numbers together: each as the sheet shows it.
            auto points = [&](std::string &o) {
                for (int k = 0; k < count; ++k) {
                    const CellValue &c = cells[static_cast<std::size_t>(k)];
                    if (c.kind == ValueKind::kEmpty) continue;
                    const std::string text = format_cell_text(book_, *c.cell);
                    if (!text.empty()) xml_fill<kPoint>(o, k, XmlText{text});
                }
            };
            xml_fill<kStrRef>(out_, role, std::string_view(ref), count, points);
            return;
        }
        date_categories_ = all_dates;
        write_numbers(role, ref, all_dates ? "m/d/yyyy"sv : "General"sv, cells);
    }

    void write_values(std::string_view role, const Record &r, int from, int count) {
        std::vector<CellValue> cells;
        cells.reserve(static_cast<std::size_t>(count));
        for (int k = 0; k < count; ++k)
            cells.push_back(chart_value(book_, chart_.sheet, r.row_at(from + k), r.column_at(from + k)));
        write_numbers(role, record_reference(sheet_name_, r, from, count), "General"sv, cells);
    }

    // Points without a number are left out; the count still covers every cell.
    void write_numbers(std::string_view role, const std::string &ref, std::string_view format,
                       const std::vector<CellValue> &cells) {
        auto points = [&](std::string &o) {
            for (std::size_t k = 0; k < cells.size(); ++k)
                if (cells[k].kind == ValueKind::kNumber) xml_fill<kPoint>(o, k, Shortest{cells[k].number});
        };
        xml_fill<kNumRef>(out_, role, std::string_view(ref), format, cells.size(), points);
    }

    void write_axes() {
        const Form f = form_.form;
        if (without_axes(f)) return;
        const bool horizontal = form_.bar_direction == "bar";
        auto value_axis = [&](int id, int cross, std::string_view pos, bool gridlines, int font_size, bool limits) {
            auto limit_text = [&](std::string &o) {
                if (!limits) return;
                const bool both = s_.has_axis_min && s_.has_axis_max;
                if (both && s_.axis_min >= s_.axis_max) return;   // no program draws an empty scale
                if (s_.has_axis_max) xml_fill<kAxisMax>(o, Shortest{s_.axis_max});
                if (s_.has_axis_min) xml_fill<kAxisMin>(o, Shortest{s_.axis_min});
            };
            auto font = [&](std::string &o) { xml_fill<kAxisFont>(o, font_size); };
            auto unit = [&](std::string &o) {
                if (limits && s_.has_major_unit) xml_fill<kMajorUnit>(o, Shortest{s_.major_unit});
            };
            const std::string_view between = f == Form::kArea || f == Form::kArea3d || f == Form::kScatter ? "midCat"sv : "between"sv;
            xml_fill<kValueAxis>(out_, Padded{id}, limit_text, pos, gridlines ? kGridlines : ""sv, font, Padded{cross},
                                 between, unit);
        };
        if (f == Form::kScatter) {
            value_axis(kCategoryAxisId, kValueAxisId, "b", false, s_.axis_x_font_size, false);
            value_axis(kValueAxisId, kCategoryAxisId, "l", true, s_.axis_y_font_size, true);
            return;
        }
        xml_fill<kCategoryAxis>(out_, Padded{kCategoryAxisId}, horizontal ? "l"sv : "b"sv,
                                date_categories_ ? kDateAxisFormat : ""sv, s_.axis_x_font_size, Padded{kValueAxisId});
        value_axis(kValueAxisId, kCategoryAxisId, horizontal ? "b" : "l", true, s_.axis_y_font_size, true);
        if (three_axes()) xml_fill<kSeriesAxis>(out_, Padded{kSeriesAxisId}, Padded{kValueAxisId});
    }

    void write_background() {
        switch (s_.background) {
        case ChartBackground::kSolid: xml_fill<kSolidBackground>(out_, HexRgb{s_.back_colour, HexCase::kLower}); break;
        case ChartBackground::kGradient:
            xml_fill<kGradientBackground>(out_, HexRgb{s_.gradient_colour1, HexCase::kLower},
                                          HexRgb{s_.gradient_colour2, HexCase::kLower});
            break;
        case ChartBackground::kNone: break;
        }
    }

    const Book &book_;
    const ChartObject &chart_;
    const ChartSettings &s_;
    std::string &out_;
    PlotForm form_;
    std::string_view sheet_name_;
    Record categories_;
    bool has_categories_ = false;
    bool date_categories_ = false;
    bool stock_as_lines_ = false;
    std::vector<Record> data_;
};

}  // namespace

std::string chart_part(const Book &book, const DrawingObject &object) {
    std::string out;
    if (!object.chart) return out;
    ChartWriter(book, *object.chart, out).write();
    return out;
}

ChartAnchor chart_anchor(const Book &book, const ChartObject &chart) {
    ChartAnchor a;
    const ChartSettings &s = chart.settings;
    if (s.has_location) {
        a = {s.location_row1, s.location_column1, s.location_row2 + 1, s.location_column2 + 1};
        if (a.row2 - a.row1 < 2 && a.column2 - a.column1 < 2) {
            // One cell: the chart starts there with its own size.
            a.row2 = a.row1 + kFrameRows;
            a.column2 = a.column1 + kFrameColumns;
        }
    } else {
        int top = book.max_rows, bottom = 0, left = book.max_columns, right = 0;
        for (const ChartArea &area : chart.areas) {
            top = std::min(top, area.row1);
            bottom = std::max(bottom, area.row2);
            left = std::min(left, area.column1);
            right = std::max(right, area.column2);
        }
        if (chart.areas.empty()) top = bottom = left = right = 0;
        // Beside the source range, one column apart; below it when the sheet ends on the right.
        if (right + 2 + kFrameColumns <= kXlsxMaxColumns) a = {top, right + 2, top + kFrameRows, right + 2 + kFrameColumns};
        else a = {bottom + 2, left, bottom + 2 + kFrameRows, left + kFrameColumns};
    }
    a.row2 = std::min(a.row2, kXlsxMaxRows - 1);
    a.column2 = std::min(a.column2, kXlsxMaxColumns - 1);
    a.row1 = std::min(a.row1, a.row2);
    a.column1 = std::min(a.column1, a.column2);
    return a;
}

void write_chart_frame(const Book &book, const DrawingObject &object, int frame_id, int relationship_id,
                       std::string &out) {
    if (!object.chart) return;
    const ChartAnchor a = chart_anchor(book, *object.chart);
    xml_fill<kFrame>(out, a.column1, a.row1, a.column2, a.row2, frame_id, relationship_id);
}

}  // namespace tabsmith
