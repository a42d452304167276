#pragma once

// What scripts draw into a clip with the drawing commands (moveTo, lineTo,
// curveTo, fills and line styles), kept as paths in the clip's own twips.
//
// The player's rules: a fill runs from beginFill to endFill (or to the next
// fill) and is closed back to the point where it started; segments drawn
// with a line style are stroked; all fills are drawn first, then all lines,
// and the whole drawing sits below the clip's children.

#include "swf/format/Shape.h"

#include <QImage>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>

#include <memory>
#include <vector>

namespace swf {

// The pixels of a bitmap made by a script. The script object and every fill
// that draws it share one, so a fill shows later changes to the pixels.
struct BitmapPixels {
    QImage image; // Format_ARGB32_Premultiplied
    bool transparent = true;
    bool disposed = false;
};

// A fill style as a script sets it: a FillStyle whose matrix is in the
// clip's twips, plus the script bitmap a bitmap fill draws.
struct DrawingFill {
    FillStyle style;
    std::shared_ptr<const BitmapPixels> bitmap;
};

class Drawing {
public:
    struct FillPart {
        DrawingFill fill;
        QPainterPath path;
    };
    struct LinePart {
        LineStyle style;
        QPainterPath path;
    };

    // How many path elements one drawing may hold; further segments are ignored.
    static constexpr int MaxElements = 1 << 20;

    void clear();

    // Strokes the following segments with `style`; clearLineStyle stops stroking.
    void setLineStyle(const LineStyle& style);
    void clearLineStyle();
    // Gives the current line style a gradient fill (lineGradientStyle).
    void setLineFill(const FillStyle& fill);
    bool hasLineStyle() const { return m_hasLine; }

    // Starts a fill at the pen (closing the one in progress first).
    void beginFill(const DrawingFill& fill);
    // Closes the fill in progress back to its start point, stroking the
    // closing segment with the line style.
    void endFill();
    bool filling() const { return m_filling; }

    // Coordinates in twips. Non-finite coordinates are ignored.
    void moveTo(QPointF to);
    void lineTo(QPointF to);
    void curveTo(QPointF control, QPointF to);
    QPointF pen() const { return m_pen; }

    const std::vector<FillPart>& fills() const { return m_fills; }
    const std::vector<LinePart>& lines() const { return m_lines; }
    bool isEmpty() const { return m_fills.empty() && m_lines.empty(); }
    // The area the drawing covers in twips, strokes included.
    QRectF bounds() const;
    // The rectangle scripts measure (getBounds, _width): the paths' extent,
    // grown by each stroke's whole thickness on every side, as the player
    // reports it; zero-sized paths (a straight vertical line) still count.
    // False when nothing has been drawn.
    bool scriptBounds(QRectF& bounds) const;
    // Grows with every change, so a cache can tell when to redraw.
    quint64 revision() const { return m_revision; }
    // Path elements held so far (what MaxElements bounds).
    int elementCount() const { return m_elements; }

    // A full copy, including the fill and line in progress and the pen, so
    // that a duplicated clip goes on drawing where the original stood.
    std::unique_ptr<Drawing> clone() const;

private:
    bool spend(int elements);
    void closeFill();
    void addLineSegment(QPointF from, const QPointF* control, QPointF to);

    std::vector<FillPart> m_fills;
    std::vector<LinePart> m_lines;
    QPointF m_pen;
    QPointF m_fillStart; // where the current fill (or its current sub-path) began
    bool m_filling = false;
    bool m_hasLine = false;
    bool m_lineOpen = false; // the current line style already has a part
    LineStyle m_lineStyle;
    int m_elements = 0;
    quint64 m_revision = 0;
};

} // namespace swf
