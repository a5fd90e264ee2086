// Chart settings: the book's current settings that chart statements change, and the chart
// objects that take a copy of them with their source range and the series read from it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/style_registry.h"

namespace tabsmith {

// Chart type codes; the values are those the statement words select and messages show.
enum ChartType : int {
    kChartNone = 0,
    kChartBar = 1000,
    kChartBar3d = 1010,
    kChartBarCylinder = 1020,
    kChartBarCone = 1030,
    kChartBarPyramid = 1040,
    kChartBarHorizontal = 1100,
    kChartBar3dHorizontal = 1110,
    kChartBarCylinderHorizontal = 1120,
    kChartBarConeHorizontal = 1130,
    kChartBarPyramidHorizontal = 1140,
    kChartPie = 2000,
    kChartPie3d = 2100,
    kChartLine = 3000,
    kChartLine3d = 3100,
    kChartArea = 4000,
    kChartArea3d = 4100,
    kChartScatter = 5000,
    kChartStock = 6000,
    kChartContour = 7000,
    kChartDoughnut = 8000,
    kChartRadar = 10000,
};

enum class LegendPosition : std::uint8_t { kRight = 0, kLeft, kTop, kTopRight, kBottom };

// What data labels show; DATA_LABEL statements add to the set.
enum DataLabelFlags : std::uint8_t {
    kLabelSeriesName = 1,
    kLabelCategory = 2,
    kLabelValue = 4,
    kLabelPercent = 8,
};

enum class ChartBackground : std::uint8_t { kNone, kSolid, kGradient };

// Font sizes are kept in hundredths of a point, as the chart part writes them.
constexpr int kChartDefaultFontSize = 1000;

struct ChartSettings {
    int sub_type = 0;              // TYPE 1..4: grouping (and exploded pies); 0 = the form's own
    int style = 2;                 // STYLE 1..48
    std::string title;             // UTF-8; empty = no title
    int title_font_size = kChartDefaultFontSize;
    int legend_font_size = kChartDefaultFontSize;
    int axis_x_font_size = kChartDefaultFontSize;
    int axis_y_font_size = kChartDefaultFontSize;
    bool legend = true;
    LegendPosition legend_position = LegendPosition::kRight;
    bool series_lines = false;
    bool has_major_unit = false;
    double major_unit = 0.0;
    std::uint8_t data_labels = 0;  // DataLabelFlags
    bool has_axis_min = false, has_axis_max = false;
    double axis_min = 0.0, axis_max = 0.0;
    int gap_width = 150;           // 1..1000
    bool has_location = false;     // the frame covers this range instead of a place of its own
    int location_row1 = 0, location_column1 = 0, location_row2 = 0, location_column2 = 0;
    ChartBackground background = ChartBackground::kNone;
    Rgb back_colour{255, 255, 255};
    Rgb gradient_colour1{255, 255, 255};
    Rgb gradient_colour2{0xB9, 0xCD, 0xE5};
    int rotate_x = 15;
    int rotate_y = 25;
    int depth = 100;
    bool has_perspective = false;  // a 3D_PERSPECTIVE setting turns the right-angle axes off
    int perspective = 30;
    bool switch_rows_columns = false;
};

// One record read from the source range: a row or a column of one area, 0-based, inclusive.
// The first record of a chart holds its categories, the others are its data series.
struct ChartSeries {
    int row1 = 0, column1 = 0, row2 = 0, column2 = 0;
    int colour = 0;                // palette index: 34, 35, 36 in turn
};

struct ChartArea {
    int row1 = 0, column1 = 0, row2 = 0, column2 = 0;
};

struct ChartObject {
    ChartSettings settings;
    int type = kChartNone;
    int sheet = 0;
    std::vector<ChartArea> areas;
    bool series_in_rows = false;   // every row of an area is one record (else every column)
    std::vector<ChartSeries> series;
};

}  // namespace tabsmith
