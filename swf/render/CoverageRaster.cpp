#include "swf/render/CoverageRaster.h"

#include <QPainterPath>
#include <QTransform>

#include <algorithm>
#include <cmath>

namespace swf {

namespace {

constexpr int S = CoverageRasterizer::Samples;
// Where the points sit inside their quarter of a pixel: in its middle.
constexpr double ox = 0.5, oy = 0.5;

// How far a flattened curve may stray from the true one, in device pixels:
// about a twip at the movie's own size.
constexpr double FlatnessTolerance = 0.05;
// How close (in quarter pixels) a point may come to an edge and still be
// taken as lying on it: a 45 degree edge through the points' own corners
// leaves those on it out, whatever the last bit of its slope.
constexpr double OnEdge = 1e-7;
// A curve is never cut into more straight pieces than this.
constexpr int MaxCurvePieces = 256;

// ceil(v), held inside [lo, hi] before it becomes an int, so that huge or
// infinite values never overflow.
int ceilWithin(double v, int lo, int hi)
{
    if (!(v > lo))
        return lo;
    if (!(v < hi))
        return hi;
    // Truncation rounds toward zero; one more when that fell below v.
    const int i = int(v);
    return i + (i < v);
}

int floorWithin(double v, int lo, int hi)
{
    if (!(v > lo))
        return lo;
    if (!(v < hi))
        return hi;
    const int i = int(v);
    return i - (i > v);
}

bool finite(QPointF p)
{
    return std::isfinite(p.x()) && std::isfinite(p.y());
}

} // namespace

int CoverageMask::at(int x, int y) const
{
    if (!bounds.contains(x, y))
        return 0;
    return row(y)[x - bounds.left()];
}

void CoverageRasterizer::clear()
{
    m_edges.clear();
    m_minX = m_minY = 1e300;
    m_maxX = m_maxY = -1e300;
}

void CoverageRasterizer::addEdge(QPointF from, QPointF to)
{
    if (!finite(from) || !finite(to) || from.y() == to.y())
        return; // a level edge crosses no row of points
    const int dir = from.y() < to.y() ? 1 : -1;
    if (dir < 0)
        std::swap(from, to);
    const double dxdy = (to.x() - from.x()) / (to.y() - from.y());
    if (!std::isfinite(dxdy))
        return;
    m_edges.push_back({from.x(), from.y(), dxdy, dir, to.y()});
    m_minX = std::min({m_minX, from.x(), to.x()});
    m_maxX = std::max({m_maxX, from.x(), to.x()});
    m_minY = std::min(m_minY, from.y());
    m_maxY = std::max(m_maxY, to.y());
}

void CoverageRasterizer::addPath(const QPainterPath& path, const QTransform& toDevice)
{
    QPointF start, last;
    bool open = false;
    const int count = path.elementCount();
    for (int i = 0; i < count; ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        const QPointF p = toDevice.map(QPointF(e.x, e.y));
        switch (e.type) {
        case QPainterPath::MoveToElement:
            if (open)
                addEdge(last, start);
            start = last = p;
            open = true;
            break;
        case QPainterPath::LineToElement:
            addEdge(last, p);
            last = p;
            break;
        case QPainterPath::CurveToElement: {
            if (i + 2 >= count)
                return;
            const QPointF c1 = p;
            const QPointF c2 = toDevice.map(QPointF(path.elementAt(i + 1).x, path.elementAt(i + 1).y));
            const QPointF end = toDevice.map(QPointF(path.elementAt(i + 2).x, path.elementAt(i + 2).y));
            i += 2;
            // A cubic cut into n even steps strays at most 3/4 of its
            // largest second difference divided by n squared.
            const QPointF d1 = last - 2 * c1 + c2, d2 = c1 - 2 * c2 + end;
            const double dd = std::max(std::hypot(d1.x(), d1.y()), std::hypot(d2.x(), d2.y()));
            int pieces = 1;
            if (std::isfinite(dd) && dd > 0)
                pieces = std::clamp(int(std::ceil(std::sqrt(0.75 * dd / FlatnessTolerance))), 1, MaxCurvePieces);
            QPointF previous = last;
            for (int k = 1; k <= pieces; ++k) {
                const double t = double(k) / pieces, u = 1 - t;
                const QPointF q = k == pieces ? end
                                              : u * u * u * last + 3 * u * u * t * c1 + 3 * u * t * t * c2 + t * t * t * end;
                addEdge(previous, q);
                previous = q;
            }
            last = end;
            break;
        }
        case QPainterPath::CurveToDataElement:
            break; // consumed with its curve
        }
    }
    if (open)
        addEdge(last, start);
}

void CoverageRasterizer::rasterize(Rule rule, const QRect& clip, CoverageMask& mask) const
{
    mask.bounds = QRect();
    mask.cover.clear();
    if (m_edges.empty() || clip.isEmpty())
        return;
    // The box of pixels the edges can touch, inside the clip.
    const int left = floorWithin(m_minX, clip.left(), clip.right() + 1);
    const int right = ceilWithin(m_maxX, clip.left(), clip.right() + 1);
    const int top = floorWithin(m_minY, clip.top(), clip.bottom() + 1);
    const int bottom = ceilWithin(m_maxY, clip.top(), clip.bottom() + 1);
    if (right <= left || bottom <= top)
        return;
    const int width = right - left;
    mask.bounds = QRect(left, top, width, bottom - top);
    mask.cover.assign(std::size_t(width) * std::size_t(bottom - top), 0);

    // Each edge's rows of points: from the first whose centre is at or
    // below its top to the last above its bottom.
    const int rowBegin = top * S, rowEnd = bottom * S;
    std::vector<Span>& spans = m_spans;
    spans.clear();
    for (const Edge& e : m_edges) {
        const int first = ceilWithin(e.y0 * S - oy, rowBegin, rowEnd);
        const int end = ceilWithin(e.y1 * S - oy, rowBegin, rowEnd);
        if (end > first)
            spans.push_back({first, end, &e});
    }
    std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.first < b.first; });

    const int colBegin = left * S, colEnd = right * S;
    std::vector<int>& partial = m_partial;
    std::vector<int>& delta = m_delta;
    partial.assign(std::size_t(width), 0);
    delta.assign(std::size_t(width) + 1, 0);
    std::vector<Span>& active = m_active;
    active.clear();
    std::vector<std::pair<double, int>>& crossings = m_crossings;
    std::size_t next = 0;
    int lo = width, hi = -1; // the columns a pixel row's spans reached

    for (int y = top; y < bottom; ++y) {
        if (active.empty()) {
            if (next == spans.size())
                break;
            const int row = spans[next].first / S;
            if (row > y)
                y = row; // nothing between: skip to where the next edge starts
        }
        bool touched = false;
        for (int sub = 0; sub < S; ++sub) {
            const int k = y * S + sub;
            bool ended = false;
            while (next < spans.size() && spans[next].first <= k)
                active.push_back(spans[next++]);
            for (const Span& s : active)
                ended |= s.end <= k;
            if (ended)
                active.erase(std::remove_if(active.begin(), active.end(), [k](const Span& s) { return s.end <= k; }), active.end());
            if (active.empty())
                continue;
            const double sampleY = (k + oy) / S;
            crossings.clear();
            for (const Span& s : active)
                crossings.emplace_back(s.edge->x0 + (sampleY - s.edge->y0) * s.edge->dxdy, s.edge->dir);
            if (crossings.size() == 2) {
                if (crossings[1].first < crossings[0].first)
                    std::swap(crossings[0], crossings[1]);
            } else {
                std::sort(crossings.begin(), crossings.end(),
                    [](const std::pair<double, int>& a, const std::pair<double, int>& b) { return a.first < b.first; });
            }
            int winding = 0;
            for (std::size_t i = 0; i + 1 < crossings.size(); ++i) {
                winding += rule == Rule::EvenOdd ? 1 : crossings[i].second;
                const bool inside = rule == Rule::EvenOdd ? (winding & 1) != 0 : winding != 0;
                if (!inside)
                    continue;
                // The points of this row between the two crossings; a point
                // on either crossing (to within rounding) is outside.
                const int s0 = floorWithin(crossings[i].first * S - ox + OnEdge, colBegin - 1, colEnd - 1) + 1 - colBegin;
                const int s1 = ceilWithin(crossings[i + 1].first * S - ox - OnEdge, colBegin, colEnd) - colBegin;
                if (s1 <= s0)
                    continue;
                touched = true;
                const int p0 = s0 / S, p1 = s1 / S;
                lo = std::min(lo, p0);
                hi = std::max(hi, p1);
                if (p0 == p1) {
                    partial[std::size_t(p0)] += s1 - s0;
                    continue;
                }
                partial[std::size_t(p0)] += S - s0 % S;
                delta[std::size_t(p0) + 1] += S;
                delta[std::size_t(p1)] -= S;
                if (s1 % S)
                    partial[std::size_t(p1)] += s1 % S;
            }
        }
        if (!touched)
            continue;
        // Only the columns the row's spans reached can be covered: left of
        // them nothing was added, right of them every span has ended. The
        // buffers are reached through locals, which the byte stores below
        // cannot alias, so the loop keeps them in registers.
        std::uint8_t* out = mask.cover.data() + std::size_t(y - top) * std::size_t(width);
        int* const part = partial.data();
        int* const del = delta.data();
        const int last = std::min(hi, width - 1);
        int run = 0;
        for (int x = lo; x <= last; ++x) {
            run += del[x];
            out[x] = std::uint8_t(std::clamp(run + part[x], 0, CoverageMask::Full));
            part[x] = 0;
            del[x] = 0;
        }
        del[width] = 0;
        lo = width;
        hi = -1;
    }
}

} // namespace swf
