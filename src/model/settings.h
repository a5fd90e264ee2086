// Book and sheet settings that the property language sets and the package writer reads:
// document properties and switches, sheet views, protection, page setup and print titles.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tabsmith {

// A colour as the registry codes it: 0 = none/automatic, 0xFFFFFFFF = the RGB bytes hold it,
// anything else a palette index.
struct ColorValue {
    std::uint32_t index = 0;
    std::uint8_t red = 0, green = 0, blue = 0;
    bool set() const { return index != 0; }
};

constexpr std::uint32_t kColorRgb = 0xFFFFFFFFu;

enum class FrozenPane { kNone, kFirstRow, kFirstColumn };

struct HeaderFooterSection {
    bool set = false;
    std::string text;          // UTF-8, field codes already translated
    int font = -1;             // font table index, -1 = the book default font
};

struct PageSetup {
    int paper = 4;             // paper index: 0 A0 .. 5 A5, 11 B1 .. 15 B5
    bool landscape = false;
    int scale = 100;
    int dpi = 600;
    int fit_width = 0;         // pages wide, 0 = not set
    int fit_height = 0;        // pages tall, 0 = not set
    bool fit_to_page = false;
    // Margins in centimetres.
    double left = 1.778, right = 1.778, top = 1.905, bottom = 1.905, header = 0.762, footer = 0.762;
};

struct SheetSettings {
    std::string code_name;     // empty = "Sheet<n>"
    ColorValue tab_color;
    bool selected = false;
    int zoom = 100;
    bool hidden = false;
    bool grid_lines = true;
    bool headings = true;
    bool is_protected = false;
    std::string password;
    FrozenPane frozen = FrozenPane::kNone;
    int split_row = -1, split_column = -1;      // frozen split cell, -1 = none
    int selected_row = -1, selected_column = -1;  // active cell, -1 = A1
    int default_row_height = 1350;              // hundredths of a point
    // Auto filter range, 0-based; -1 = not set.
    int filter_row1 = -1, filter_column1 = -1, filter_row2 = -1, filter_column2 = -1;
    PageSetup page;
    HeaderFooterSection header[3], footer[3];   // left, centre, right
    std::vector<int> row_breaks;                // 1-based row numbers
    // Column page breaks: the 1-based number of the last column before each break, ascending.
    std::vector<int> column_breaks;
    int title_row1 = 0, title_row2 = 0;         // print titles, 1-based, 0 = none
    int title_column1 = 0, title_column2 = 0;
    std::string background_path;
    int background_type = 0;
    int top_row = -1;                           // first visible row (0-based), -1 = not set
};

struct BookSettings {
    std::string title, subject, manager;
    std::string write_password;
    bool recalc = true;
    bool backup = false;
    bool final = false;
    std::string thumbnail_path;
    bool descending_order = false;
    bool auto_width = false;
    int app_version = 2007;     // 2010 writes AppVersion 14.0000
    bool suppress_code_names = false;
};

}  // namespace tabsmith
