#include "swf/runtime/Drawing.h"

#include <cmath>

namespace swf {

namespace {

bool finite(QPointF p)
{
    return std::isfinite(p.x()) && std::isfinite(p.y());
}

} // namespace

void Drawing::clear()
{
    // Everything goes, the line style too; the pen returns to the origin.
    m_fills.clear();
    m_lines.clear();
    m_pen = QPointF();
    m_fillStart = QPointF();
    m_filling = false;
    m_hasLine = false;
    m_lineOpen = false;
    m_lineStyle = LineStyle {};
    m_elements = 0;
    ++m_revision;
}

void Drawing::setLineStyle(const LineStyle& style)
{
    m_lineStyle = style;
    m_hasLine = true;
    m_lineOpen = false;
    ++m_revision;
}

void Drawing::clearLineStyle()
{
    m_hasLine = false;
    m_lineOpen = false;
    ++m_revision;
}

void Drawing::setLineFill(const FillStyle& fill)
{
    if (!m_hasLine)
        return;
    m_lineStyle.hasFill = true;
    m_lineStyle.fill = fill;
    m_lineOpen = false;
    ++m_revision;
}

void Drawing::beginFill(const DrawingFill& fill)
{
    closeFill();
    FillPart part;
    part.fill = fill;
    part.path.setFillRule(Qt::OddEvenFill);
    part.path.moveTo(m_pen);
    m_fills.push_back(std::move(part));
    m_fillStart = m_pen;
    m_filling = true;
    ++m_revision;
}

void Drawing::endFill()
{
    closeFill();
    m_filling = false;
    ++m_revision;
}

void Drawing::closeFill()
{
    if (!m_filling)
        return;
    if (m_pen != m_fillStart) {
        if (m_hasLine)
            addLineSegment(m_pen, nullptr, m_fillStart);
        m_fills.back().path.lineTo(m_fillStart);
        m_pen = m_fillStart;
    }
    // A fill that never left its start point covers nothing.
    if (m_fills.back().path.elementCount() <= 1)
        m_fills.pop_back();
    m_filling = false;
}

bool Drawing::spend(int elements)
{
    if (m_elements > MaxElements - elements)
        return false;
    m_elements += elements;
    return true;
}

void Drawing::moveTo(QPointF to)
{
    if (!finite(to) || !spend(1))
        return;
    if (m_filling) {
        // A move inside a fill starts another outline of the same fill.
        m_fills.back().path.moveTo(to);
        m_fillStart = to;
    }
    m_pen = to;
    ++m_revision;
}

void Drawing::lineTo(QPointF to)
{
    if (!finite(to) || !spend(2))
        return;
    if (m_filling)
        m_fills.back().path.lineTo(to);
    if (m_hasLine)
        addLineSegment(m_pen, nullptr, to);
    m_pen = to;
    ++m_revision;
}

void Drawing::curveTo(QPointF control, QPointF to)
{
    if (!finite(control) || !finite(to) || !spend(4))
        return;
    if (m_filling)
        m_fills.back().path.quadTo(control, to);
    if (m_hasLine)
        addLineSegment(m_pen, &control, to);
    m_pen = to;
    ++m_revision;
}

void Drawing::addLineSegment(QPointF from, const QPointF* control, QPointF to)
{
    if (!m_lineOpen) {
        m_lines.push_back(LinePart { m_lineStyle, QPainterPath() });
        m_lineOpen = true;
    }
    QPainterPath& path = m_lines.back().path;
    if (path.elementCount() == 0 || path.currentPosition() != from)
        path.moveTo(from);
    if (control)
        path.quadTo(*control, to);
    else
        path.lineTo(to);
}

QRectF Drawing::bounds() const
{
    QRectF area;
    for (const FillPart& part : m_fills)
        area |= part.path.boundingRect();
    for (const LinePart& part : m_lines) {
        // Hairlines still cover a pixel.
        double half = std::max(part.style.width, 20.0) / 2;
        area |= part.path.boundingRect().adjusted(-half, -half, half, half);
    }
    return area;
}

bool Drawing::scriptBounds(QRectF& bounds) const
{
    bool any = false;
    auto add = [&](const QRectF& r) {
        if (!any) {
            bounds = r;
            any = true;
            return;
        }
        bounds.setLeft(std::min(bounds.left(), r.left()));
        bounds.setTop(std::min(bounds.top(), r.top()));
        bounds.setRight(std::max(bounds.right(), r.right()));
        bounds.setBottom(std::max(bounds.bottom(), r.bottom()));
    };
    for (const FillPart& part : m_fills) {
        if (!part.path.isEmpty())
            add(part.path.boundingRect());
    }
    for (const LinePart& part : m_lines) {
        if (part.path.isEmpty())
            continue;
        const double w = part.style.width;
        add(part.path.boundingRect().adjusted(-w, -w, w, w));
    }
    return any;
}

std::unique_ptr<Drawing> Drawing::clone() const
{
    return std::make_unique<Drawing>(*this);
}

} // namespace swf
