// Chart statements: CHART with its type word and options, which makes a chart object over the
// target range, and the settings statements that fill what the next chart copies.

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>

#include "model/address.h"
#include "props/cell_format.h"
#include "props/colour.h"
#include "props/property.h"
#include "props/property_parser.h"
#include "support/charset.h"
#include "support/scanner.h"

namespace tabsmith {
namespace {

constexpr int kMaxChartSeries = 255;
constexpr int kMaxChartPoints = 32000;
constexpr int kSeriesPalette[] = {34, 35, 36};

constexpr ChartTypeWord kTypeWords[] = {
    {"LINE", "折れ線", kChartLine},
    {"LINE_3D", "3D折れ線", kChartLine3d},
    {"BAR_VERITICAL", "縦棒", kChartBar},
    {"BAR_3D_VERITICAL", "3D縦棒", kChartBar3d},
    {"BAR_CYLINDER", "円柱", kChartBarCylinder},
    {"BAR_CONE", "円錐", kChartBarCone},
    {"BAR_PYRAMLID", "ピラミッド", kChartBarPyramid},
    {"BAR_HORIZONTAL", "横棒", kChartBarHorizontal},
    {"BAR_3D_HORIZONTAL", "3D横棒", kChartBar3dHorizontal},
    {"BAR_CYLINDER_HORIZONTAL", "円柱横棒", kChartBarCylinderHorizontal},
    {"BAR_CONE_HORIZONTAL", "円錐横棒", kChartBarConeHorizontal},
    {"BAR_PYRAMLID_HORIZONTAL", "ピラミッド横棒", kChartBarPyramidHorizontal},
    {"PIE", "円", kChartPie},
    {"PIE_3D", "3D円", kChartPie3d},
    {"AREA", "面", kChartArea},
    {"AREA_3D", "3D面", kChartArea3d},
    {"SCATTER", "散布図", kChartScatter},
    {"STOCK", "株価", kChartStock},
    {"CONTOUR", "等高線", kChartContour},
    {"DOUGHNUT", "ドーナツ", kChartDoughnut},
    {"RADAR", "レーダー", kChartRadar},
};

// Every setting a statement or a CHART option can change.
enum class Setting {
    kSwitch, kTitle, kLegendPosition, kLegendFontSize, kSeriesLine, kMajorUnit, kDataLabel, kMin, kMax,
    kGapWidth, kStyle, kType, kLocation, kLegend, kBackColour, kGradient1, kGradient2, kRotateX, kRotateY,
    kDepth, kPerspective, kAxisXFontSize, kAxisYFontSize, kTitleFontSize, kReset,
};

struct SettingId {
    int id;
    Setting setting;
};

constexpr SettingId kSettingIds[] = {
    {602, Setting::kSwitch}, {603, Setting::kTitle}, {604, Setting::kLegendPosition},
    {605, Setting::kLegendFontSize}, {606, Setting::kSeriesLine}, {607, Setting::kMajorUnit},
    {608, Setting::kDataLabel}, {609, Setting::kMin}, {610, Setting::kMax}, {611, Setting::kGapWidth},
    {612, Setting::kStyle}, {613, Setting::kType}, {614, Setting::kLocation}, {615, Setting::kLegend},
    {616, Setting::kBackColour}, {617, Setting::kGradient1}, {618, Setting::kGradient2},
    {619, Setting::kRotateX}, {620, Setting::kRotateY}, {621, Setting::kDepth}, {622, Setting::kPerspective},
    {623, Setting::kAxisXFontSize}, {624, Setting::kAxisYFontSize}, {625, Setting::kTitleFontSize},
    {629, Setting::kReset},
};

// The KEY=VALUE options of a CHART value.
struct OptionKey {
    std::string_view english;
    std::array<std::string_view, 3> aliases;
    Setting setting;
};

const OptionKey kOptionKeys[] = {
    {"TITLE", {"タイトル"}, Setting::kTitle},
    {"TITLE.FONT.SIZE", {"タイトル.フォント.サイズ"}, Setting::kTitleFontSize},
    {"X.AXIS.SIZE", {"X軸.サイズ", "Ｘ軸.サイズ"}, Setting::kAxisXFontSize},
    {"Y.AXIS.SIZE", {"Y軸.サイズ", "Ｙ軸.サイズ"}, Setting::kAxisYFontSize},
    {"LEGEND", {"凡例"}, Setting::kLegend},
    {"3D_ROTATE_X", {"3D角度X"}, Setting::kRotateX},
    {"3D_ROTATE_Y", {"3D角度Y"}, Setting::kRotateY},
    {"3D_DEPTH", {"3D深さ"}, Setting::kDepth},
    {"3D_PERSPECTIVE", {"3D透視投影"}, Setting::kPerspective},
    {"TYPE", {"タイプ"}, Setting::kType},
    {"STYLE", {"スタイル"}, Setting::kStyle},
    {"LOCATION", {"位置"}, Setting::kLocation},
    {"BACKCOLOR", {"背景色"}, Setting::kBackColour},
    {"GRADATIONCOLOR1", {"グラデーション色1", "グラデーション色１"}, Setting::kGradient1},
    {"GRADATIONCOLOR2", {"グラデーション色2", "グラデーション色２"}, Setting::kGradient2},
};

struct ChartWord {
    std::string_view english;
    std::string_view alias;
    int value;
};

constexpr ChartWord kLegendPositions[] = {
    {"RIGHT", "右端", static_cast<int>(LegendPosition::kRight)},
    {"LEFT", "左端", static_cast<int>(LegendPosition::kLeft)},
    {"TOP", "上端", static_cast<int>(LegendPosition::kTop)},
    {"TOP_RIGHT", "右上隅", static_cast<int>(LegendPosition::kTopRight)},
    {"BOTTOM", "下端", static_cast<int>(LegendPosition::kBottom)},
};

constexpr ChartWord kDataLabels[] = {
    {"SERIES", "系列名", kLabelSeriesName},
    {"CLASS", "分類名", kLabelCategory},
    {"VALUE", "値", kLabelValue},
    {"PERCENTAGE", "パーセンテージ", kLabelPercent},
};

template <std::size_t N>
int find_word(const ChartWord (&words)[N], std::string_view value) {
    for (const ChartWord &w : words)
        if (keyword_is(value, w.english, {w.alias})) return w.value;
    return -1;
}

int bad_chart_value(Book &book, std::string_view value) {
    return book.err.raise(kBadArgument, Msg::k02430, std::string(value).c_str());
}

// A whole number of the statement number form (its fraction dropped). False for anything else.
bool read_whole_number(std::string_view value, int &out) {
    double number = 0.0;
    if (!parse_number_form(value, number) || std::fabs(number) > 1e9) return false;
    out = static_cast<int>(std::trunc(number));
    return true;
}

// A real number as "%lf" reads one, the whole text.
bool read_real(std::string_view value, double &out) {
    std::string text(value);
    if (text.empty() || text.front() == ' ') return false;
    char *end = nullptr;
    errno = 0;
    double number = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || errno == ERANGE || !std::isfinite(number)) return false;
    out = number;
    return true;
}

// A font size of 1 to 100 points, kept in hundredths; sizes outside are ignored.
int read_font_size(Book &book, std::string_view value, int &size) {
    int points = 0;
    if (!read_whole_number(value, points)) return bad_chart_value(book, value);
    if (points >= 1 && points <= 100) size = points * 100;
    return kOk;
}

// A number kept when it lies within [low, high]; anything that is no number fails.
int read_bounded(Book &book, std::string_view value, int low, int high, int &setting, bool *given = nullptr) {
    int number = 0;
    if (!read_whole_number(value, number)) return bad_chart_value(book, value);
    if (number >= low && number <= high) {
        setting = number;
        if (given) *given = true;
    }
    return kOk;
}

int read_colour(Book &book, std::string_view value, Rgb &rgb) {
    Colour colour;
    if (parse_colour(value, colour) != ColourParse::kColour)
        return book.err.raise(kBadArgument, Msg::k02401, std::string(value).c_str());
    rgb = colour.rgb;
    return kOk;
}

void normalise(int &first, int &last) {
    if (first > last) std::swap(first, last);
}

// Reads every row or column of the areas as one record, in area order. The orientation follows
// the last area: rows when its last column is not below its last row, then SWITCH turns it.
int derive_series(Book &book, ChartObject &chart) {
    const ChartArea &last = chart.areas.back();
    chart.series_in_rows = last.column2 >= last.row2;
    if (chart.settings.switch_rows_columns) chart.series_in_rows = !chart.series_in_rows;
    chart.series.clear();
    int data_series = 0;
    for (const ChartArea &area : chart.areas) {
        const int rows = area.row2 - area.row1 + 1, columns = area.column2 - area.column1 + 1;
        const int records = chart.series_in_rows ? rows : columns;
        const int points = chart.series_in_rows ? columns : rows;
        if (records >= kMaxChartSeries) return book.err.raise(kBadArgument, Msg::k02431, kMaxChartSeries);
        if (points >= kMaxChartPoints) return book.err.raise(kBadArgument, Msg::k02432, kMaxChartPoints);
        for (int k = 0; k < records; ++k) {
            ChartSeries s;
            if (chart.series_in_rows) s = {area.row1 + k, area.column1, area.row1 + k, area.column2, 0};
            else s = {area.row1, area.column1 + k, area.row2, area.column1 + k, 0};
            s.colour = kSeriesPalette[chart.series.size() % std::size(kSeriesPalette)];
            chart.series.push_back(s);
            if (chart.series.size() > 1 && ++data_series > kMaxChartSeries)
                return book.err.raise(kBadArgument, Msg::k02431, kMaxChartSeries);
        }
    }
    return kOk;
}

// The areas of a target: its ranges, or its one cell.
bool target_areas(const PropertyTarget &target, std::vector<ChartArea> &areas) {
    areas.clear();
    for (int k = 0; k < target.area_count; ++k) {
        const TargetArea &a = target.areas[static_cast<std::size_t>(k)];
        ChartArea area{a.row1, a.column1, a.row2, a.column2};
        normalise(area.row1, area.row2);
        normalise(area.column1, area.column2);
        areas.push_back(area);
    }
    if (areas.empty() && target.row >= 0 && target.column >= 0)
        areas.push_back({target.row, target.column, target.row, target.column});
    return !areas.empty();
}

int apply_setting(Book &book, Setting setting, ChartSettings &s, std::string_view value) {
    switch (setting) {
    case Setting::kSwitch: {
        int on = parse_switch(value);
        if (on == kNotASwitch) return bad_chart_value(book, value);
        s.switch_rows_columns = on == 1;
        return kOk;
    }
    case Setting::kTitle: s.title = std::string(value); return kOk;
    case Setting::kLegendPosition: {
        int position = find_word(kLegendPositions, value);
        if (position < 0) return bad_chart_value(book, value);
        s.legend_position = static_cast<LegendPosition>(position);
        return kOk;
    }
    case Setting::kLegendFontSize: return read_font_size(book, value, s.legend_font_size);
    case Setting::kAxisXFontSize: return read_font_size(book, value, s.axis_x_font_size);
    case Setting::kAxisYFontSize: return read_font_size(book, value, s.axis_y_font_size);
    case Setting::kTitleFontSize: return read_font_size(book, value, s.title_font_size);
    case Setting::kSeriesLine: {
        int on = parse_switch(value);
        if (on == kNotASwitch) return bad_chart_value(book, value);
        s.series_lines = on == 1;
        return kOk;
    }
    case Setting::kMajorUnit: {
        double unit = 0.0;
        if (!read_real(value, unit) && !parse_number_form(value, unit)) return bad_chart_value(book, value);
        if (unit > 0.0) {
            s.has_major_unit = true;
            s.major_unit = unit;
        }
        return kOk;
    }
    case Setting::kDataLabel: {
        int label = find_word(kDataLabels, value);
        if (label < 0) return bad_chart_value(book, value);
        s.data_labels = static_cast<std::uint8_t>(s.data_labels | label);
        return kOk;
    }
    case Setting::kMin:
    case Setting::kMax: {
        double number = 0.0;
        if (!read_real(value, number)) return bad_chart_value(book, value);
        if (setting == Setting::kMin) {
            s.has_axis_min = true;
            s.axis_min = number;
        } else {
            s.has_axis_max = true;
            s.axis_max = number;
        }
        return kOk;
    }
    case Setting::kGapWidth: return read_bounded(book, value, 1, 1000, s.gap_width);
    case Setting::kStyle: return read_bounded(book, value, 1, 48, s.style);
    case Setting::kType: return read_bounded(book, value, 1, 4, s.sub_type);
    case Setting::kLocation: {
        CellRef ref;
        if (value.empty() || resolve_reference(book, value, ref) != 0)
            return book.err.raise(kBadArgument, Msg::k02301, std::string(value).c_str());
        s.has_location = true;
        s.location_row1 = std::min(ref.row1, ref.row2);
        s.location_row2 = std::max(ref.row1, ref.row2);
        s.location_column1 = std::min(ref.column1, ref.column2);
        s.location_column2 = std::max(ref.column1, ref.column2);
        return kOk;
    }
    case Setting::kLegend: {
        int on = value == "なし" ? 0 : value == "あり" ? 1 : parse_switch(value);
        if (on == kNotASwitch) {
            int position = find_word(kLegendPositions, value);
            if (position < 0) return bad_chart_value(book, value);
            s.legend = true;
            s.legend_position = static_cast<LegendPosition>(position);
            return kOk;
        }
        s.legend = on == 1;
        return kOk;
    }
    case Setting::kBackColour:
        if (keyword_is(value, "GRADATION", {"グラデーション"})) {
            s.background = ChartBackground::kGradient;
            return kOk;
        }
        if (int rc = read_colour(book, value, s.back_colour); rc != kOk) return rc;
        s.background = ChartBackground::kSolid;
        return kOk;
    case Setting::kGradient1: return read_colour(book, value, s.gradient_colour1);
    case Setting::kGradient2: return read_colour(book, value, s.gradient_colour2);
    // The 3-D view takes what a chart part can hold; other numbers are ignored.
    case Setting::kRotateX: return read_bounded(book, value, -90, 90, s.rotate_x);
    case Setting::kRotateY: return read_bounded(book, value, 0, 360, s.rotate_y);
    case Setting::kDepth: return read_bounded(book, value, 20, 2000, s.depth);
    case Setting::kPerspective: return read_bounded(book, value, 0, 240, s.perspective, &s.has_perspective);
    case Setting::kReset: {
        int on = parse_switch(value);
        if (on == kNotASwitch) return bad_chart_value(book, value);
        if (on == 1) s = ChartSettings{};
        return kOk;
    }
    }
    return kOk;
}

const OptionKey *find_option(std::string_view key) {
    for (const OptionKey &option : kOptionKeys) {
        if (equals_ignore_case(key, option.english)) return &option;
        for (std::string_view alias : option.aliases)
            if (!alias.empty() && key == alias) return &option;
    }
    return nullptr;
}

std::string_view strip_option_quotes(std::string_view token) {
    if (token.size() >= 2 && token.front() == '\'' && token.back() == '\'') return token.substr(1, token.size() - 2);
    return strip_quotes(token);
}

// The CHART statement: type word, options, series, and the new drawing object.
int make_chart(Book &book, const PropertyTarget &target, std::string_view value) {
    std::size_t pos = 0;
    std::string word;
    if (scan_token(ScanMode::kOptions, kUtf8, value, pos, word) != 0) return bad_chart_value(book, value);
    int type = kChartNone;
    for (const ChartTypeWord &t : kTypeWords)
        if (keyword_is(word, t.english, {t.alias})) type = t.code;
    if (type == kChartNone) return bad_chart_value(book, word);

    auto chart = std::make_unique<ChartObject>();
    chart->settings = book.chart_settings;
    chart->type = type;
    std::string key, equals, option_value;
    for (;;) {
        int rc = scan_token(ScanMode::kOptions, kUtf8, value, pos, key);
        if (rc == kScanNoMore) break;
        if (rc != 0) return bad_chart_value(book, value);
        const OptionKey *option = find_option(key);
        if (!option) return bad_chart_value(book, key);
        if (scan_token(ScanMode::kOptions, kUtf8, value, pos, equals) != 0 || equals != "=" ||
            scan_token(ScanMode::kOptions, kUtf8, value, pos, option_value) != 0)
            return bad_chart_value(book, key);
        if (int rc2 = apply_setting(book, option->setting, chart->settings, strip_option_quotes(option_value));
            rc2 != kOk)
            return rc2;
    }

    if (!target_areas(target, chart->areas)) return book.err.raise(kBadArgument, Msg::k02101, "CHART");
    if (target.sheet < 0 && book.sheet_count() == 0)
        if (int rc = ensure_first_sheet(book); rc != kOk) return rc;
    chart->sheet = target.sheet >= 0 ? target.sheet : book.current_sheet;
    if (int rc = derive_series(book, *chart); rc != kOk) return rc;

    DrawingObject object;
    object.kind = DrawingKind::kChart;
    object.sheet = chart->sheet;
    object.row = chart->areas.front().row1;
    object.column = chart->areas.front().column1;
    object.chart = std::move(chart);
    book.drawings.push_back(std::move(object));
    return kOk;
}

}  // namespace

std::span<const ChartTypeWord> chart_type_words() { return kTypeWords; }

int apply_chart_property(Book &book, int id, PropertyTarget &target, std::string_view value) {
    if (id == kPropChartFirst) return make_chart(book, target, value);
    for (const SettingId &entry : kSettingIds) {
        if (entry.id != id) continue;
        ChartSettings settings = book.chart_settings;
        if (int rc = apply_setting(book, entry.setting, settings, value); rc != kOk) return rc;
        // Switching rows and columns must still leave a chart over the target within the limits.
        if (entry.setting == Setting::kSwitch) {
            ChartObject probe;
            probe.settings = settings;
            if (target_areas(target, probe.areas))
                if (int rc = derive_series(book, probe); rc != kOk) return rc;
        }
        book.chart_settings = std::move(settings);
        return kOk;
    }
    return book.err.raise(kFail, Msg::k03600, property_display_name(id, target).c_str());
}

}  // namespace tabsmith
