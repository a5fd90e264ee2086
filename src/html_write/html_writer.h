// The HTML view of a book: one self-contained page showing one sheet, or every sheet the book
// does not hide behind tabs, written in pieces as it is made.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "model/book.h"
#include "model/sheet_objects.h"

namespace tabsmith {

// Where the page goes, piece by piece.
class HtmlSink {
public:
    virtual ~HtmlSink() = default;
    // 0, or a failure code that ends the page (and is what write_html returns).
    virtual int write(std::string_view piece) = 0;
};

constexpr int kEverySheet = -1;

struct HtmlView {
    int sheet = kEverySheet;             // a sheet index, or every sheet not hidden, as tabs
    std::string title;                   // UTF-8
    // The pictures, links and comments of a package's own parts, by sheet index (empty for a
    // book made here, whose objects the model holds).
    std::vector<SheetObjects> package_objects;
};

// Writes the page: cell values as their number formats show them; fonts, fills, borders,
// alignment and wrapping as one CSS class per cell format in use; merged areas as row and
// column spans; hidden rows and columns left out; column widths and row heights in pixels;
// pictures as data: addresses; links with safe schemes; comments as titles. The page loads
// nothing and runs no script. kOk, or the sink's failure code.
int write_html(const Book &book, const HtmlView &view, HtmlSink &sink);

}  // namespace tabsmith
