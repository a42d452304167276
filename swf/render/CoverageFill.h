#pragma once

// Fills through our coverage rasteriser (see CoverageRaster.h) instead of
// the painter's anti-aliasing, so that edges show the movie's sixteen levels.
// The painter's transform, clip, opacity and composition mode still apply.

#include "swf/render/CoverageRaster.h"

#include <functional>

class QBrush;
class QColor;
class QImage;
class QPainter;
class QPainterPath;
class QTransform;

namespace swf {

// Fills `path` (in the painter's current coordinates, its own fill rule)
// with `brush` (in the same coordinates). Without anti-aliasing on the
// painter, or on a painter that does not draw into an image (a window), it
// is the painter's own fill. A `kept` path lives on unchanged between
// frames (a shape's outline): its coverage is kept and moved with it (see
// CoverageCache.h).
void fillCovered(QPainter& painter, const QPainterPath& path, const QBrush& brush, bool kept = false);

// Fills `path` with a solid colour through `toDevice` (its own space to the
// device), whatever the painter's transform, as fillCovered would with that
// transform set; false, drawing nothing, when fillCovered would leave the
// fill to the painter.
bool fillCoveredAt(QPainter& painter, const QPainterPath& path, const QColor& color, const QTransform& toDevice, bool kept);

// Whether fillCovered uses our coverage on this painter (see above).
bool fillsCovered(const QPainter& painter);

// Fills `path` with whatever `paint` draws: `paint` gets a painter on a
// scratch image and the shift from the painter's device to that image, and
// draws there the paint that shows wherever the path covers.
using CoveredPaint = std::function<void(QPainter& scratch, const QTransform& deviceToScratch)>;
void fillCovered(QPainter& painter, const QPainterPath& path, const CoveredPaint& paint);

// Blends `color` (premultiplied ARGB) into `target` (premultiplied ARGB32
// or RGB32) by the mask's coverage, source over.
void blendCoverage(QImage& target, const CoverageMask& mask, unsigned color);

// Blends `layer` (premultiplied ARGB32 over the mask's box) into `target`
// by the mask's coverage, source over.
void blendLayer(QImage& target, const QImage& layer, const CoverageMask& mask);

// Keeps of every pixel of `image` (premultiplied ARGB32, its top left
// corner on device pixel `origin`) the share the mask covers.
void applyCoverage(QImage& image, QPoint origin, const CoverageMask& mask);

// The coverage of `path` drawn through `toDevice`, limited to `clip`.
void coverageOf(const QPainterPath& path, const QTransform& toDevice, const QRect& clip, CoverageMask& mask);

} // namespace swf
