// Drawing objects of a book: pictures placed at cells, charts, shapes and sheet backgrounds, in
// creation order, with the picture bytes they share.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>

#include "model/chart.h"
#include "model/shape.h"

namespace tabsmith {

// What a drawing object is; the values are those stored files and messages use.
enum class DrawingKind : int {
    kPicture = 10,
    kChart = 20,
    kBackground = 30,
    kShape = 40,
};

// A picture file as the package stores it: its type code (201 BMP .. 207 WMF), its size in
// pixels and its bytes. One record is shared by every object that shows the same file, so that
// the package holds it once and memory holds it once.
struct PictureData {
    int type = 0;
    int width = 0, height = 0;   // pixels
    std::string bytes;
    std::string source;          // the path it was read from; "" for pictures handed over in memory
};

// The pictures read from files so far, by path: a path placed at many cells is read once and
// its record shared. Entries whose record no object holds any more have expired.
using PictureFileCache = std::unordered_map<std::string, std::weak_ptr<const PictureData>>;

struct DrawingObject {
    DrawingKind kind = DrawingKind::kPicture;
    int sheet = 0;
    int row = 0, column = 0;                   // anchor cell, 0-based
    double offset_x = 0.0, offset_y = 0.0;     // shift inside the anchor cell
    double ratio = 1.0;                        // picture zoom
    std::shared_ptr<const PictureData> picture;  // pictures and backgrounds
    std::string link;                          // a picture's click link ("" none)
    std::unique_ptr<ChartObject> chart;        // kChart
    std::unique_ptr<ShapeObject> shape;        // kShape
};

}  // namespace tabsmith
