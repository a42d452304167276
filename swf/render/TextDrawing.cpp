#include "swf/render/TextDrawing.h"

#include "swf/render/ColorMath.h"
#include "swf/render/CoverageFill.h"
#include "swf/render/DeviceGlyphs.h"

#include "swf/movie/Fonts.h"
#include "swf/movie/Movie.h"
#include "swf/movie/Texts.h"
#include "swf/runtime/EditTextInstance.h"

#include <QPainter>

#include <cmath>

namespace swf {

void drawStaticText(QPainter& painter, const Movie& movie, const TextDef& text, const QTransform& transform, const ColorTransform& cx)
{
    painter.save();
    painter.setTransform(text.matrix.toQTransform() * transform);
    painter.setPen(Qt::NoPen);
    for (const GlyphRun& run : text.runs) {
        const auto* font = dynamic_cast<const FontDef*>(movie.character(run.fontId));
        if (!font || run.height <= 0)
            continue;
        const double scale = run.height / font->emSize();
        QPainterPath path;
        path.setFillRule(Qt::OddEvenFill);
        for (const PlacedGlyph& glyph : run.glyphs) {
            if (glyph.index < 0 || std::size_t(glyph.index) >= font->glyphs.size())
                continue; // an index past the font draws nothing
            QTransform place = QTransform::fromScale(scale, scale) * QTransform::fromTranslate(glyph.x, run.y);
            path.addPath(place.map(font->glyphs[std::size_t(glyph.index)]));
        }
        if (!path.isEmpty())
            fillCovered(painter, path, tint(cx, run.color.toQColor()));
    }
    painter.restore();
}

namespace {

// A field shown at its own size, unrotated and unflipped: drawn on whole
// device pixels, from hinted glyphs.
bool atOwnSize(const QTransform& transform)
{
    return std::abs(transform.m12()) < 1e-9 && std::abs(transform.m21()) < 1e-9 && std::abs(transform.m11() * 20 - 1) < 1e-6
        && std::abs(transform.m22() * 20 - 1) < 1e-6;
}

// A box lands on the nearest whole pixel, a half pixel going down and right:
// at 75.4 it starts on pixel 75, at 75.5 on pixel 76.
int snap(double v)
{
    return int(std::floor(v + 0.5 + 1e-3));
}

} // namespace

void drawEditText(QPainter& painter, const EditTextInstance& edit, const QTransform& transform, const ColorTransform& givenCx)
{
    const EditTextRecord& record = edit.record();
    const QRectF box = record.bounds.toTwips();
    const EditTextLayout& layout = edit.layout();
    const bool device = layout.usesDeviceFonts || !record.useOutlines;
    // System fonts can neither be flipped nor turned: such a field shows nothing.
    if (device && (transform.m11() < 0 || transform.m22() < 0 || std::abs(transform.m12()) > 1e-9 || std::abs(transform.m21()) > 1e-9))
        return;
    // Nor made see-through: colour transforms change their colours, not their alpha.
    ColorTransform cx = givenCx;
    if (device) {
        cx.aMul = 1;
        cx.aAdd = 0;
    }
    painter.save();
    const bool crisp = atOwnSize(transform);
    QPointF snapped; // how far the box moved to land on whole pixels
    if (crisp) {
        // Box, background and border on whole pixels: the border is a one-pixel
        // line on the box's first and last pixel columns and rows, the last
        // one just outside the background.
        const QPointF topLeft = transform.map(box.topLeft());
        const QPointF bottomRight = transform.map(box.bottomRight());
        const QRect pixels(QPoint(snap(topLeft.x()), snap(topLeft.y())), QPoint(snap(bottomRight.x()) - 1, snap(bottomRight.y()) - 1));
        snapped = QPointF(pixels.topLeft()) - topLeft;
        painter.setTransform(QTransform());
        painter.setPen(Qt::NoPen);
        if (edit.background())
            painter.fillRect(pixels, tint(cx, QColor::fromRgb(edit.backgroundColor())));
        if (edit.border()) {
            const QColor color = tint(cx, QColor::fromRgb(edit.borderColor()));
            const int right = pixels.right() + 1, bottom = pixels.bottom() + 1;
            painter.fillRect(QRect(pixels.left(), pixels.top(), pixels.width() + 1, 1), color);
            painter.fillRect(QRect(pixels.left(), bottom, pixels.width() + 1, 1), color);
            painter.fillRect(QRect(pixels.left(), pixels.top() + 1, 1, pixels.height()), color);
            painter.fillRect(QRect(right, pixels.top() + 1, 1, pixels.height()), color);
        }
        // Text is cut at the gutter, two pixels inside the box.
        painter.setClipRect(pixels.adjusted(2, 2, -2, -2), Qt::IntersectClip);
        painter.setTransform(transform);
    } else {
        painter.setTransform(transform);
        if (edit.background()) {
            painter.setPen(Qt::NoPen);
            painter.fillRect(box, tint(cx, QColor::fromRgb(edit.backgroundColor())));
        }
        if (edit.border()) {
            QPen pen(tint(cx, QColor::fromRgb(edit.borderColor())), 0);
            pen.setCosmetic(true);
            painter.setPen(pen);
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(box);
        }
        painter.setClipRect(box, Qt::IntersectClip);
    }
    painter.setPen(Qt::NoPen);
    // Scrolled text moves up by the lines above the first shown, and left by the horizontal scroll.
    const QPointF shift = editTextScrollShift(edit);
    painter.translate(shift);
    for (const TextPiece& piece : layout.pieces) {
        if (!(crisp && piece.device))
            fillCovered(painter, piece.path, tint(cx, piece.color));
    }
    if (crisp && !layout.deviceRuns.empty()) {
        const QTransform toDevice = painter.transform();
        painter.setTransform(QTransform());
        for (const DeviceRun& run : layout.deviceRuns) {
            // Glyphs keep their place in the box as the box lands on its pixels.
            const QPointF at = toDevice.map(run.origin) + snapped;
            const QPointF pen(snap(at.x()), snap(at.y()));
            const QColor color = tint(cx, run.color);
            if (drawDeviceText(painter, run.font, run.text, pen, color))
                continue;
            painter.setPen(color);
            painter.setFont(run.font);
            painter.drawText(pen, run.text);
        }
        painter.setTransform(toDevice);
    }
    if (edit.hasFocus() && edit.isInput()) {
        QPen caret(tint(cx, QColor(Qt::black)), 0);
        caret.setCosmetic(true);
        painter.setPen(caret);
        painter.drawLine(layout.caret, layout.caret + QPointF(0, layout.caretHeight));
    }
    painter.restore();
}

QPointF editTextScrollShift(const EditTextInstance& edit)
{
    const EditTextLayout& layout = edit.layout();
    double dy = 0;
    const std::size_t first = std::size_t(std::max(0, edit.scroll() - 1));
    if (first > 0 && first < layout.lineTops.size())
        dy = layout.lineTops[first] - layout.lineTops.front();
    return QPointF(-edit.hscroll(), -dy);
}

void addEditTextArea(QPainterPath& area, const EditTextInstance& edit, const QTransform& transform)
{
    // As a mask a field covers the shapes of its glyphs, cut to its box.
    QPainterPath glyphs;
    glyphs.setFillRule(Qt::WindingFill);
    const QTransform shift = QTransform::fromTranslate(editTextScrollShift(edit).x(), editTextScrollShift(edit).y());
    for (const TextPiece& piece : edit.layout().pieces)
        glyphs.addPath(shift.map(piece.path));
    QPainterPath box;
    box.addRect(edit.record().bounds.toTwips());
    area.addPath(transform.map(glyphs.intersected(box)));
}

void addStaticTextArea(QPainterPath& area, const Movie& movie, const TextDef& text, const QTransform& transform)
{
    const QTransform toDevice = text.matrix.toQTransform() * transform;
    for (const GlyphRun& run : text.runs) {
        const auto* font = dynamic_cast<const FontDef*>(movie.character(run.fontId));
        if (!font || run.height <= 0)
            continue;
        const double scale = run.height / font->emSize();
        for (const PlacedGlyph& glyph : run.glyphs) {
            if (glyph.index < 0 || std::size_t(glyph.index) >= font->glyphs.size())
                continue;
            QTransform place = QTransform::fromScale(scale, scale) * QTransform::fromTranslate(glyph.x, run.y) * toDevice;
            // Each glyph keeps its own even-odd holes before joining the mask's winding union.
            QPainterPath outline = font->glyphs[std::size_t(glyph.index)];
            outline.setFillRule(Qt::OddEvenFill);
            area.addPath(place.map(outline.simplified()));
        }
    }
}

} // namespace swf
