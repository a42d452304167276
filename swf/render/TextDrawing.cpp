#include "swf/render/TextDrawing.h"

#include "swf/render/ColorMath.h"

#include "swf/movie/Fonts.h"
#include "swf/movie/Movie.h"
#include "swf/movie/Texts.h"
#include "swf/runtime/EditTextInstance.h"

#include <QPainter>

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
            painter.fillPath(path, tint(cx, run.color.toQColor()));
    }
    painter.restore();
}

void drawEditText(QPainter& painter, const EditTextInstance& edit, const QTransform& transform, const ColorTransform& cx)
{
    const EditTextRecord& record = edit.record();
    const QRectF box = record.bounds.toTwips();
    painter.save();
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
    painter.setPen(Qt::NoPen);
    painter.setClipRect(box, Qt::IntersectClip);
    const EditTextLayout& layout = edit.layout();
    // Scrolled text moves up by the lines above the first shown, and left by the horizontal scroll.
    const QPointF shift = editTextScrollShift(edit);
    painter.translate(shift);
    for (const TextPiece& piece : layout.pieces)
        painter.fillPath(piece.path, tint(cx, piece.color));
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
