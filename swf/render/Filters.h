#pragma once

// Bitmap filters applied to an object drawn alone on a layer: blur, drop
// shadow, glow and colour matrix. Others are kept by the loader and drawn as
// if absent.

#include "swf/format/Control.h"

#include <QImage>

#include <vector>

namespace swf {

// True when at least one of `filters` changes what is drawn.
bool hasDrawableFilter(const std::vector<Filter>& filters);

// Applies the filters in order to a premultiplied layer. `scale` is device
// pixels per stage pixel: filter sizes are in stage pixels.
void applyFilters(QImage& layer, const std::vector<Filter>& filters, double scale);

// A box blur of the given widths (device pixels), `passes` times, in place.
void boxBlur(QImage& image, double width, double height, int passes);

} // namespace swf
