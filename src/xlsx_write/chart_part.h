// The chart part (xl/charts/chart<n>.xml) of a chart object and the graphic frame that places it
// in its sheet's drawing part.
#pragma once

#include <string>

#include "model/book.h"

namespace tabsmith {

// Where a chart's frame lies: from the top-left corner of (row1, column1) to the top-left corner
// of (row2, column2), 0-based. A LOCATION range is covered whole; without one the chart stands
// beside its source range.
struct ChartAnchor {
    int row1 = 0, column1 = 0, row2 = 0, column2 = 0;
};
ChartAnchor chart_anchor(const Book &book, const ChartObject &chart);

// The whole chart part of a chart object.
std::string chart_part(const Book &book, const DrawingObject &chart);

// Appends the two-cell anchor holding the chart's graphic frame: `frame_id` is the object's id
// within the drawing part, `relationship_id` the drawing's relationship to the chart part.
void write_chart_frame(const Book &book, const DrawingObject &chart, int frame_id, int relationship_id,
                       std::string &out);

}  // namespace tabsmith
