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
        // A script may draw millions of lines: they share the frame's budget with shapes.
        QPainterPath scratch;
        const QPainterPath& path = renderer.pathBudget().admit(part.path, scratch);
        const SimplifiedDrawing simplified(painter, &path == &scratch);
        if (style.type == FillStyle::Type::Bitmap) {
            // Without repeat the bitmap's edge pixels stretch out over the rest of the path.
            const BitmapPixels* bitmap = part.fill.bitmap.get();
            if (bitmap && !bitmap->disposed && !bitmap->image.isNull()) {
                const QImage image = cx.isIdentity() ? bitmap->image : applyColorTransform(bitmap->image, cx);
                if (&path == &scratch)
                    drawBitmapFill(painter, path, style, image, transform, BitmapEdges::Stretch);
                else
                    drawBitmapCovered(painter, path, style, image, transform, BitmapEdges::Stretch);
            }
            continue;
        }
        if (isGradient(style)) {
            fillGradientPath(painter, path, style, cx, transform, &renderer.cache());
            continue;
        }
        QBrush brush;
        if (!renderer.makeBrush(style, cx, transform, brush))
            continue;
        // A simplified polygon is drawn unsmoothed by the painter (see PathBudget.h).
        if (&path == &scratch)
            painter.fillPath(path, brush);
        else
            fillCovered(painter, path, brush);
    }
    for (const Drawing::LinePart& part : drawing.lines()) {
        QPen pen;
        if (!renderer.makePen(part.style, cx, transform, pen))
            continue;
        QPainterPath scratch;
        const QPainterPath& path = renderer.pathBudget().admit(part.path, scratch, PathBudget::Use::Stroke);
        const SimplifiedDrawing simplified(painter, &path == &scratch);
        painter.strokePath(path, pen);
    }
    painter.restore();
}

} // namespace swf
