#pragma once

// How much path one frame may hand the rasteriser. A shape of a million long
// curves (within what the format allows) would hold a frame for a minute;
// past the budget the paths still to come are drawn simplified: a polygon
// through a sample of their on-curve points, at most MaxSimplifiedPoints of
// them (MaxSimplifiedStrokePoints for outlines, whose pen paints every edge's
// length). Smoothing such a polygon costs as much as the edges it crosses,
// seconds for one that zigzags across the stage, so it is drawn without
// smoothing (SimplifiedDrawing). The simplified polygons of one frame share a
// budget of their own; past it the rest are left out. The budgets lie far
// above the heaviest frame of real movies, so these are never touched.

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cstdint>
#include <optional>

namespace swf {

class PathBudget {
public:
    // Segments a frame may flatten; a curve counts as CurveSegments.
    static constexpr std::int64_t SegmentsPerFrame = 4'000'000;
    static constexpr std::int64_t CurveSegments = 8;
    static constexpr int MaxSimplifiedPoints = 20'000;
    static constexpr int MaxSimplifiedStrokePoints = 2'000;
    // Points of simplified polygons one frame may draw; an outline's point
    // counts StrokePointCost, its pen painting far more pixels than a fill's edge.
    static constexpr std::int64_t SimplifiedPointsPerFrame = 200'000;
    static constexpr std::int64_t StrokePointCost = 10;

    enum class Use { Fill, Stroke };

    explicit PathBudget(std::int64_t segments = SegmentsPerFrame) : m_start(segments), m_left(segments) { }
    // Records what the frame spent for heaviestFrame().
    ~PathBudget();
    PathBudget(const PathBudget&) = delete;
    PathBudget& operator=(const PathBudget&) = delete;

    // The path to draw for `path`: itself while the budget lasts, else a
    // simplified one made in `scratch` (empty once the simplified polygons'
    // budget is spent too).
    const QPainterPath& admit(const QPainterPath& path, QPainterPath& scratch, Use use = Use::Fill);

    static std::int64_t cost(const QPainterPath& path);
    static QPainterPath simplified(const QPainterPath& path, int maxPoints = MaxSimplifiedPoints);
    bool spent() const { return m_left < 0; }
    int simplifiedCount() const { return m_simplified; }
    // Paths left out because the simplified polygons' budget was spent.
    int droppedCount() const { return m_dropped; }
    // Segments admitted whole so far.
    std::int64_t used() const { return m_start - std::max<std::int64_t>(m_left, 0); }
    // The most segments one budget (one frame) admitted in this process, for
    // the benchmark that checks the budget against real movies.
    static std::int64_t heaviestFrame();
    static void resetHeaviestFrame();

private:
    std::int64_t m_start;
    std::int64_t m_left;
    std::int64_t m_simplifiedLeft = SimplifiedPointsPerFrame;
    int m_simplified = 0;
    int m_dropped = 0;
};

// While it lives, `painter` draws without smoothing when `simplified`: the
// path handed to it is a simplified polygon (see above).
class SimplifiedDrawing {
public:
    SimplifiedDrawing(QPainter& painter, bool simplified)
        : m_painter(painter)
        , m_restore(simplified && painter.testRenderHint(QPainter::Antialiasing))
    {
        if (m_restore)
            m_painter.setRenderHint(QPainter::Antialiasing, false);
    }
    ~SimplifiedDrawing()
    {
        if (m_restore)
            m_painter.setRenderHint(QPainter::Antialiasing, true);
    }
    SimplifiedDrawing(const SimplifiedDrawing&) = delete;
    SimplifiedDrawing& operator=(const SimplifiedDrawing&) = delete;

private:
    QPainter& m_painter;
    bool m_restore;
};

} // namespace swf
