// The size in pixels of a picture file, read from its own header: BMP, JPEG, PNG, GIF, TIFF,
// EMF and WMF, from bytes in memory.
#pragma once

#include <string_view>

namespace tabsmith {

struct PictureSize {
    int width = 0, height = 0;  // pixels, both positive once measured
};

// Measures a picture of type `type` (201 BMP .. 207 WMF, the file-type codes). Only the header
// is looked at, never past the end of `bytes`. False when the type is not a picture type or the
// header is truncated, malformed or gives no positive size; `size` is then left unchanged.
bool measure_picture(int type, std::string_view bytes, PictureSize &size);

}  // namespace tabsmith
