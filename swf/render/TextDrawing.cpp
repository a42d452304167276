#include "swf/render/TextDrawing.h"

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
            painter.fillPath(path, cx.apply(run.color.toQColor()));
    }
    painter.restore();
}

void drawEditText(QPainter& painter, const EditTextInstance& edit, const QTransform& transform, const ColorTransform& cx)
{
    const EditTextRecord& record = edit.record();
    const QRectF box = record.bounds.toTwips();
    painter.save();
    painter.setTransform(transform);
    if (record.border) {
        painter.setPen(Qt::NoPen);
        painter.fillRect(box, cx.apply(QColor(Qt::white)));
        QPen pen(cx.apply(QColor(Qt::black)), 0);
        pen.setCosmetic(true);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(box);
    }
    painter.setPen(Qt::NoPen);
    painter.setClipRect(box, Qt::IntersectClip);
    const EditTextLayout& layout = edit.layout();
    for (const TextPiece& piece : layout.pieces)
        painter.fillPath(piece.path, cx.apply(piece.color));
    if (edit.hasFocus() && edit.isInput()) {
        QPen caret(cx.apply(QColor(Qt::black)), 0);
        caret.setCosmetic(true);
        painter.setPen(caret);
        painter.drawLine(layout.caret, layout.caret + QPointF(0, layout.caretHeight));
    }
    painter.restore();
}

} // namespace swf
