#pragma once

// Gradient fills drawn the way the reference draws them: each device pixel
// looks its colour up in the gradient's 256-entry table at the position of
// the pixel's top-left corner, the table index being the position across the
// gradient cut down to a whole entry. The painter's own gradients sample at
// pixel centres through a table of their own, which shifts every colour step
// by up to a pixel; here only the shape's edge coverage is left to it.

#include "swf/format/Records.h"
#include "swf/format/Shape.h"
#include "swf/render/ColorMath.h"

#include <QImage>
#include <QPainterPath>
#include <QTransform>

class QPainter;

namespace swf {

class RenderCache;

// The most entries of padding on each side of the table in the strip a pad
// gradient is drawn from: positions from -8 to 9 read the strip as they
// would the table.
inline constexpr int GradientPadEntries = 255 * 8;

inline bool isGradient(const FillStyle& fill)
{
    return fill.type == FillStyle::Type::Linear || fill.type == FillStyle::Type::Radial || fill.type == FillStyle::Type::Focal;
}

// The table entry a position looks up: `t` is 0 at the gradient's start and
// 1 at its end (for radial ones, the centre and the rim), before spreading.
int gradientIndex(double t, int spread);

// The gradient's colours over `area` (device pixels): the pixel at
// area.topLeft() + (x, y) shows what the corner (x, y) of the area maps to.
// `gradientToDevice` maps gradient space (the -16384..16384 square) to the
// device. Premultiplied; a null image when the mapping is flat.
QImage gradientImage(const FillStyle& fill, const GradientTable& table, const QTransform& gradientToDevice, const QRect& area);

// Fills `path` (object twips, drawn through `transform` to the device) with
// a gradient fill under a colour transform. The gradient's colours come from
// `cache` when given (built once per gradient and colour transform), else
// are built for this draw alone; both draw the same pixels.
void fillGradientPath(QPainter& painter, const QPainterPath& path, const FillStyle& fill, const ColorTransform& cx,
    const QTransform& transform, RenderCache* cache = nullptr);

} // namespace swf
