// Loading a picture file for a sheet: read once, recognised by its bytes and name, measured
// from its header.
#pragma once

#include <string>

#include "model/drawing.h"

namespace tabsmith {

// Reads the picture at `path` into `out` (type, size in pixels, bytes, source). The type is
// probed from the first bytes and the name before the rest is read, so that a file of a type
// outside `first_type`..`last_type` costs no more than those bytes.
// Results: kOk; kOpenError (the file cannot be opened or read); kNoMemory; kUnsupported (a type
// outside the range, or a header that gives no size). `out` is complete only on kOk.
int load_picture_file(const std::string &path, int first_type, int last_type, PictureData &out);

}  // namespace tabsmith
