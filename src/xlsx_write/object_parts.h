// The numbers a save gives the object parts (drawings, charts, media, comments, tables) and
// which of them each sheet refers to: decided once per save, so that every part agrees.
#pragma once

#include <string_view>
#include <vector>

#include "model/book.h"

namespace tabsmith {

// One picture file stored in the package (xl/media/image<number>.<extension>).
struct MediaItem {
    int number = 0;
    const PictureData *picture = nullptr;
};

struct SheetObjectParts {
    int drawing = 0;            // n of xl/drawings/drawing<n>.xml; 0 = the sheet has no drawing
    int background_media = 0;   // media number of the sheet's background picture; 0 = none
    // Where the drawing's own numbering starts: a save that adds anchors to a drawing the
    // package already has continues after the relationship ids and object ids it holds.
    int first_drawing_relationship = 1;
    int first_drawing_object_id = 1;
    int comments = 0;           // n of xl/comments<n>.xml; 0 = the sheet has no comments
    int vml_drawing = 0;        // n of xl/drawings/vmlDrawing<n>.vml holding the comment boxes
    int first_comment_shape = 0;   // VML shape id of the sheet's first comment box
    std::vector<int> tables;    // n of xl/tables/table<n>.xml for each table of the sheet, in its order
};

struct ObjectParts {
    std::vector<SheetObjectParts> sheets;   // one per sheet, in book order
    std::vector<int> chart_of_object;       // per book.drawings entry: its chart number, 0 = not a chart
    std::vector<int> media_of_object;       // per book.drawings entry: its media number, 0 = none
    std::vector<MediaItem> media;           // in number order, each picture file once
    int drawing_parts = 0;
    int chart_parts = 0;
    int comment_parts = 0;                  // comments parts, each with its VML drawing
    int table_parts = 0;
};

// Part numbers already taken in the package a save writes into: new parts number after them.
struct TakenPartNumbers {
    int drawing = 0, chart = 0, media = 0;
    int comments = 0, vml_drawing = 0;
    int comment_shapes = 0;   // comment boxes already drawn: new shape ids follow theirs
    int table = 0;            // the highest table part number or table id in use
};

// Comment box shape ids run over the whole book: 1025 for the first, 25 more for each next.
constexpr int kFirstCommentShapeId = 1025;
constexpr int kCommentShapeIdStep = 25;

ObjectParts plan_object_parts(const Book &book, const TakenPartNumbers &taken = {});

// The media file extension of a picture type code ("png" for 203), or "" for an unknown type.
std::string_view picture_extension(int type);

// The content type of a picture type code's media files ("image/png"), or "" for an unknown type.
std::string_view picture_content_type(int type);

// Whether an object goes into its sheet's drawing part (backgrounds do not).
inline bool in_drawing_part(const DrawingObject &object) { return object.kind != DrawingKind::kBackground; }

}  // namespace tabsmith
