#include "swf/render/DrawingRenderer.h"

#include "swf/render/BitmapFill.h"
#include "swf/render/CoverageFill.h"
#include "swf/render/GradientFill.h"
#include "swf/render/RenderCache.h"
#include "swf/render/Renderer.h"
#include "swf/runtime/Drawing.h"

#include <QPainter>

namespace swf {

void drawDrawing(QPainter& painter, const Drawing& drawing, const QTransform& transform, const ColorTransform& cx,
    Renderer& renderer)
{
    if (drawing.isEmpty() || !invertible(transform))
        return;
    painter.save();
    painter.setTransform(transform);
    painter.setPen(Qt::NoPen);
    for (const Drawing::FillPart& part : drawing.fills()) {
        const FillStyle& style = part.fill.style;
        if (style.type == FillStyle::Type::Bitmap) {
            // Without repeat the bitmap's edge pixels stretch out over the rest of the path.
            const BitmapPixels* bitmap = part.fill.bitmap.get();
            if (bitmap && !bitmap->disposed && !bitmap->image.isNull()) {
                const QImage image = cx.isIdentity() ? bitmap->image : applyColorTransform(bitmap->image, cx);
                drawBitmapCovered(painter, part.path, style, image, transform, BitmapEdges::Stretch);
            }
            continue;
        }
        if (isGradient(style)) {
            fillGradientPath(painter, part.path, style, cx, transform, &renderer.cache());
            continue;
        }
        QBrush brush;
        if (renderer.makeBrush(style, cx, transform, brush))
            fillCovered(painter, part.path, brush);
    }
    for (const Drawing::LinePart& part : drawing.lines()) {
        QPen pen;
        if (!renderer.makePen(part.style, cx, transform, pen))
            continue;
        painter.strokePath(part.path, pen);
    }
    painter.restore();
}

} // namespace swf
