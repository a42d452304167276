#pragma once

// How much path one frame may hand the rasteriser. A shape of a million long
// curves (within what the format allows) would hold a frame for a minute;
// past the budget the paths still to come are drawn simplified: a polygon
// through a sample of their on-curve points, at most MaxSimplifiedPoints of
// them. The budget lies far above the heaviest frame of real movies, so these
// are never touched.

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

    explicit PathBudget(std::int64_t segments = SegmentsPerFrame) : m_start(segments), m_left(segments) { }
    // Records what the frame spent for heaviestFrame().
    ~PathBudget();
    PathBudget(const PathBudget&) = delete;
    PathBudget& operator=(const PathBudget&) = delete;

    // The path to draw for `path`: itself while the budget lasts, else a
    // simplified one made in `scratch`.
    const QPainterPath& admit(const QPainterPath& path, QPainterPath& scratch);

    static std::int64_t cost(const QPainterPath& path);
    static QPainterPath simplified(const QPainterPath& path, int maxPoints = MaxSimplifiedPoints);
    bool spent() const { return m_left < 0; }
    int simplifiedCount() const { return m_simplified; }
    // Segments admitted whole so far.
    std::int64_t used() const { return m_start - std::max<std::int64_t>(m_left, 0); }
    // The most segments one budget (one frame) admitted in this process, for
    // the benchmark that checks the budget against real movies.
    static std::int64_t heaviestFrame();
    static void resetHeaviestFrame();

private:
    std::int64_t m_start;
    std::int64_t m_left;
    int m_simplified = 0;
};

} // namespace swf
