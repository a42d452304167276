#pragma once

// Our own scanline coverage rasteriser. Movies are drawn with sixteen levels
// of edge coverage: every pixel is sampled at 4 x 4 points, each a quarter
// pixel apart and centred in its quarter ((i + 0.5) / 4 of the way across),
// and a pixel is as covered as the share of its points inside the fill. The
// painter's own anti-aliasing measures area instead and lands a few levels
// off at nearly every edge, so fills and glyphs go through here.
//
// The rasteriser knows nothing of painting: it turns flattened edges into a
// CoverageMask (a box of pixels, 0..16 each). A mask stays valid under a
// translation by whole pixels: move its box and it is the same fill there.

#include <QPointF>
#include <QRect>

#include <cstdint>
#include <vector>

class QPainterPath;
class QTransform;

namespace swf {

struct CoverageMask {
    static constexpr int Full = 16; // all sixteen points inside

    QRect bounds;                    // every covered pixel lies inside; empty when nothing is covered
    std::vector<std::uint8_t> cover; // bounds.width() per row, top row first, 0..Full each

    bool isEmpty() const { return bounds.isEmpty(); }
    // The coverage of device pixel (x, y); 0 outside the box.
    int at(int x, int y) const;
    const std::uint8_t* row(int y) const { return cover.data() + std::size_t(y - bounds.top()) * std::size_t(bounds.width()); }
    void translate(int dx, int dy) { bounds.translate(dx, dy); }
};

class CoverageRasterizer {
public:
    static constexpr int Samples = 4; // points per pixel along each axis

    enum class Rule { NonZero, EvenOdd };

    void clear();
    bool isEmpty() const { return m_edges.empty(); }
    // Adds every subpath of `path` mapped through `toDevice`, each closed,
    // curves flattened to within a twentieth of a pixel.
    void addPath(const QPainterPath& path, const QTransform& toDevice);
    // Adds one edge, in device pixels; its direction counts for the non-zero rule.
    void addEdge(QPointF from, QPointF to);

    // The coverage of what was added, limited to `clip`. Points that are
    // not finite are dropped, and huge coordinates are safe.
    void rasterize(Rule rule, const QRect& clip, CoverageMask& mask) const;

private:
    struct Edge {
        double x0, y0; // top end
        double dxdy;   // x step per unit of y
        int dir;       // +1 going down, -1 going up
        double y1;     // bottom end
    };
    struct Span {
        int first, end; // the rows of points the edge crosses, [first, end)
        const Edge* edge;
    };
    std::vector<Edge> m_edges;
    // Working space of rasterize(), kept so that a fill allocates nothing.
    mutable std::vector<Span> m_spans, m_active;
    mutable std::vector<std::pair<double, int>> m_crossings;
    mutable std::vector<int> m_partial, m_delta;
    // The box of the edges added, in device pixels.
    double m_minX = 1e300, m_maxX = -1e300, m_minY = 1e300, m_maxY = -1e300;
};

} // namespace swf
