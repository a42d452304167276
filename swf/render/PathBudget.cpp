#include "swf/render/PathBudget.h"

#include <QCache>

#include <algorithm>
#include <atomic>

namespace swf {

namespace {

// Shapes are made into paths once, so a heavy path comes back frame after
// frame: its cost and simplified form are kept rather than walked each time.
// Keyed by the path and what it holds at both ends, so that another path
// made later at the same address is not mistaken for it.
constexpr int HeavyElements = 4096;

struct HeavyKey {
    const QPainterPath* path;
    int elements;
    QPointF first, last;
    bool operator==(const HeavyKey& o) const { return path == o.path && elements == o.elements && first == o.first && last == o.last; }
};

size_t qHash(const HeavyKey& k, size_t seed = 0) { return ::qHash(quintptr(k.path), seed) ^ ::qHash(k.elements, seed); }

struct Heavy {
    std::int64_t cost = 0;
    std::optional<QPainterPath> simplified[2]; // for filling and for stroking
};

QCache<HeavyKey, Heavy>& heavyPaths()
{
    thread_local QCache<HeavyKey, Heavy> cache(64);
    return cache;
}

HeavyKey keyOf(const QPainterPath& path)
{
    const int n = path.elementCount();
    return HeavyKey { &path, n, QPointF(path.elementAt(0)), QPointF(path.elementAt(n - 1)) };
}

std::atomic<std::int64_t> heaviest { 0 };

} // namespace

PathBudget::~PathBudget()
{
    const std::int64_t spent = used();
    std::int64_t seen = heaviest.load(std::memory_order_relaxed);
    while (spent > seen && !heaviest.compare_exchange_weak(seen, spent, std::memory_order_relaxed)) { }
}

std::int64_t PathBudget::heaviestFrame()
{
    return heaviest.load(std::memory_order_relaxed);
}

void PathBudget::resetHeaviestFrame()
{
    heaviest.store(0, std::memory_order_relaxed);
}

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
    // On-curve points only (control points dropped), one of every step of
    // them: of each run of `step`, the one farthest from the point kept
    // before, so that a shape's reach survives even when its points repeat
    // with the step's period (every other point of a zigzag lies on one
    // side). The count runs on across subpaths and a subpath starts only
    // with its first kept point, so a path of a million tiny parts stays
    // within the bound too.
    const int n = path.elementCount();
    int onCurve = 0; // the points that may be kept: ends of lines and curves
    for (int i = 0; i < n; ++i) {
        const auto type = path.elementAt(i).type;
        onCurve += type == QPainterPath::LineToElement || type == QPainterPath::CurveToElement;
    }
    const int step = std::max(1, (onCurve + maxPoints - 1) / std::max(1, maxPoints));
    QPainterPath out;
    out.setFillRule(path.fillRule());
    QPointF start, from, best;
    double bestDistance = -1;
    bool started = false;
    int seen = 0;
    for (int i = 0; i < n; ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        QPointF point;
        if (e.type == QPainterPath::MoveToElement) {
            start = from = QPointF(e.x, e.y);
            started = false;
            bestDistance = -1;
            continue;
        }
        if (e.type == QPainterPath::CurveToElement) {
            if (i + 2 >= n)
                continue;
            point = QPointF(path.elementAt(i + 2)); // a curve's end point is its second data element
        } else if (e.type == QPainterPath::LineToElement) {
            point = QPointF(e.x, e.y);
        } else {
            continue;
        }
        const QPointF d = point - from;
        const double distance = d.x() * d.x() + d.y() * d.y();
        if (distance > bestDistance) {
            bestDistance = distance;
            best = point;
        }
        if (++seen % step != 0)
            continue;
        if (!started) {
            out.moveTo(start);
            started = true;
        }
        out.lineTo(best);
        from = best;
        bestDistance = -1;
    }
    return out;
}

const QPainterPath& PathBudget::admit(const QPainterPath& path, QPainterPath& scratch, Use use)
{
    Heavy* heavy = nullptr;
    if (path.elementCount() > HeavyElements) {
        const HeavyKey key = keyOf(path);
        heavy = heavyPaths().object(key);
        if (!heavy) {
            heavy = new Heavy { cost(path), {} };
            heavyPaths().insert(key, heavy);
        }
    }
    if (m_left >= 0) {
        m_left -= heavy ? heavy->cost : cost(path);
        if (m_left >= 0)
            return path;
    }
    const bool stroke = use == Use::Stroke;
    const int maxPoints = stroke ? MaxSimplifiedStrokePoints : MaxSimplifiedPoints;
    if (m_simplifiedLeft <= 0) {
        ++m_dropped;
        scratch = QPainterPath();
        return scratch;
    }
    ++m_simplified;
    if (heavy) {
        std::optional<QPainterPath>& kept = heavy->simplified[stroke];
        if (!kept)
            kept = simplified(path, maxPoints);
        scratch = *kept;
    } else {
        scratch = simplified(path, maxPoints);
    }
    m_simplifiedLeft -= std::int64_t(scratch.elementCount()) * (stroke ? StrokePointCost : 1);
    return scratch;
}

} // namespace swf
