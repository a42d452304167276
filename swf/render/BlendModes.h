#pragma once

// The blend modes the painter has no composition mode for. Subtract takes
// the layer's (premultiplied) colour from what lies below, each channel
// stopping at black; invert turns what lies below to its negative as far as
// the layer covers it, whatever the layer's colour.

#include <QPoint>

class QImage;
class QPainter;

namespace swf {

// Blend mode numbers as placements and scripts give them.
enum BlendModeNumber { BlendSubtract = 9, BlendInvert = 10 };

// Whether `blendMode` is one composited here.
inline bool isOwnBlend(int blendMode) { return blendMode == BlendSubtract || blendMode == BlendInvert; }

// Composites `layer` (premultiplied ARGB32, its top left corner on device
// pixel `origin`) onto what `painter` draws into, by `blendMode`. The
// painter's transform is ignored; its clip applies.
void compositeOwnBlend(QPainter& painter, const QImage& layer, QPoint origin, int blendMode);

// The same on an image (premultiplied ARGB32 or RGB32) written directly.
void compositeOwnBlend(QImage& target, const QImage& layer, QPoint origin, int blendMode);

// The image `painter` draws into when its pixels may be written directly
// (no clip, premultiplied ARGB32 or RGB32, not shared); null otherwise.
QImage* writableImageOf(QPainter& painter);

// Alpha mode inside a layer: where the object covers (`coverage`, its
// alpha, premultiplied ARGB32 over the same box as `layer`), what lies
// below keeps the share the object's own alpha gives it; past the object's
// edges it is left as it was, however transparent the object's colours.
void compositeAlphaByCoverage(QImage& target, const QImage& layer, const QImage& coverage, QPoint origin);

} // namespace swf
