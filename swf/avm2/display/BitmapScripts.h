#pragma once

// What the BitmapData and Bitmap classes share: the pixels behind a
// BitmapData object and their unpremultiplied reads and writes.

#include "swf/avm2/display/StageScripts.h"
#include "swf/runtime/Drawing.h"

#include <memory>

namespace swf::avm2 {

// The largest side and area a script bitmap may have.
constexpr int MaxBitmapSide = 8191;
constexpr qint64 MaxBitmapPixels = 16777215;

// The pixels of a BitmapData object; null for any other value.
std::shared_ptr<BitmapPixels> pixelsOf(const Object* o);
// The unpremultiplied ARGB at (x, y), 0 outside; opaque bitmaps read alpha 255.
std::uint32_t readPixel32(const BitmapPixels& pixels, int x, int y);
// Writes an unpremultiplied ARGB; ignored outside the bitmap.
void writePixel32(BitmapPixels& pixels, int x, int y, std::uint32_t argb);

} // namespace swf::avm2
