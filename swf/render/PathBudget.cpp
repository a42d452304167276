#include "swf/render/PathBudget.h"

#include <algorithm>

namespace swf {

std::int64_t PathBudget::cost(const QPainterPath& path)
{
    std::int64_t segments = 0;
    const int n = path.elementCount();
    for (int i = 0; i < n; ++i) {
        switch (path.elementAt(i).type) {
        case QPainterPath::LineToElement: segments += 1; break;
        case QPainterPath::CurveToElement: segments += CurveSegments; break;
        default: break; // moves and the curves' control points
        }
    }
    return segments;
}

QPainterPath PathBudget::simplified(const QPainterPath& path, int maxPoints)
{
    // On-curve points only (control points dropped), every step-th of them;
    // each subpath stays a subpath so holes and separate parts remain.
    const int n = path.elementCount();
    int onCurve = 0;
    for (int i = 0; i < n; ++i)
        onCurve += path.elementAt(i).type != QPainterPath::CurveToDataElement;
    const int step = std::max(1, (onCurve + maxPoints - 1) / std::max(1, maxPoints));
    QPainterPath out;
    out.setFillRule(path.fillRule());
    int seen = 0;
    for (int i = 0; i < n; ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.type == QPainterPath::MoveToElement) {
            out.moveTo(e.x, e.y);
            seen = 0;
            continue;
        }
        if (e.type == QPainterPath::CurveToElement) {
            // A curve's end point is its second data element.
            if (i + 2 < n) {
                const QPainterPath::Element end = path.elementAt(i + 2);
                if (++seen % step == 0)
                    out.lineTo(end.x, end.y);
            }
            continue;
        }
        if (e.type == QPainterPath::LineToElement && ++seen % step == 0)
            out.lineTo(e.x, e.y);
    }
    return out;
}

const QPainterPath& PathBudget::admit(const QPainterPath& path, QPainterPath& scratch)
{
    if (m_left >= 0) {
        m_left -= cost(path);
        if (m_left >= 0)
            return path;
    }
    ++m_simplified;
    scratch = simplified(path);
    return scratch;
}

} // namespace swf
