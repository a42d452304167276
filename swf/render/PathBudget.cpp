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
    std::optional<QPainterPath> simplified;
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
    ++m_simplified;
    if (heavy) {
        if (!heavy->simplified)
            heavy->simplified = simplified(path);
        scratch = *heavy->simplified;
    } else {
        scratch = simplified(path);
    }
    return scratch;
}

} // namespace swf
