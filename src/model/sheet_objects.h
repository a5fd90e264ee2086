// What a sheet shows besides its cells, gathered for a view of the book: pictures with where and
// how large they appear, hyperlinks and comments. Readers fill it from a package's own parts.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "model/annotations.h"

namespace tabsmith {

// A picture as the sheet shows it. Distances are screen pixels (96 to the inch).
struct PlacedPicture {
    int row = 0, column = 0;          // the cell of the top-left corner, 0-based
    double x = 0, y = 0;              // the corner's distance into that cell
    // The bottom-right corner as a cell and a distance into it (a picture anchored at two
    // cells); end_row < 0 when width and height give the size instead.
    int end_row = -1, end_column = -1;
    double end_x = 0, end_y = 0;
    double width = 0, height = 0;
    std::string bytes;                // the picture file
    bool has_link = false;            // a click link (its cell fields unused)
    Hyperlink link;
};

struct SheetObjects {
    std::vector<PlacedPicture> pictures;
    std::vector<Hyperlink> links;
    std::vector<CellComment> comments;
};

// Reads a place in the book, "Sheet2!B3" or "'My sheet'!B3" (a leading '#' allowed), into an
// in-book link (target sheet, 1-based target cell). False for any other text.
bool parse_book_location(std::string_view text, Hyperlink &link);

}  // namespace tabsmith
