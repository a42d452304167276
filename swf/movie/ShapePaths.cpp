#include "swf/movie/Shapes.h"

#include <QHash>

namespace swf {

namespace {

quint64 pointKey(const QPointF& p)
{
    // Coordinates are whole twips, so exact keys join contours reliably.
    auto x = quint32(qint32(std::lround(p.x())));
    auto y = quint32(qint32(std::lround(p.y())));
    return (quint64(x) << 32) | y;
}

void addEdge(QPainterPath& path, const Edge& e)
{
    if (e.curved)
        path.quadTo(e.control, e.to);
    else
        path.lineTo(e.to);
}

QPainterPath joinContours(const std::vector<Edge>& edges, bool windingFill)
{
    QPainterPath path;
    path.setFillRule(windingFill ? Qt::WindingFill : Qt::OddEvenFill);
    // Edges by the point they start from. Each bucket keeps a cursor past the
    // edges already used, so a point that starts many edges (a star, a pile of
    // zero-length edges) is scanned once in all, not once per visit.
    struct Bucket {
        std::vector<int> edges;
        std::size_t next = 0;
    };
    QHash<quint64, Bucket> byStart;
    byStart.reserve(qsizetype(edges.size()));
    for (int i = 0; i < int(edges.size()); ++i)
        byStart[pointKey(edges[std::size_t(i)].from)].edges.push_back(i);
    std::vector<bool> used(edges.size(), false);
    for (int first = 0; first < int(edges.size()); ++first) {
        if (used[std::size_t(first)])
            continue;
        const quint64 startKey = pointKey(edges[std::size_t(first)].from);
        path.moveTo(edges[std::size_t(first)].from);
        int current = first;
        while (current >= 0) {
            used[std::size_t(current)] = true;
            const Edge& e = edges[std::size_t(current)];
            addEdge(path, e);
            quint64 key = pointKey(e.to);
            if (key == startKey)
                break;
            current = -1;
            auto it = byStart.find(key);
            if (it != byStart.end()) {
                Bucket& bucket = *it;
                while (bucket.next < bucket.edges.size() && used[std::size_t(bucket.edges[bucket.next])])
                    ++bucket.next;
                if (bucket.next < bucket.edges.size())
                    current = bucket.edges[bucket.next];
            }
        }
        path.closeSubpath();
    }
    return path;
}

Edge reversed(const Edge& e)
{
    return Edge { e.to, e.control, e.from, e.curved };
}

struct LayerEdges {
    std::vector<std::vector<Edge>> fills;
    std::vector<std::vector<Edge>> lines;
};

} // namespace

std::vector<ShapeLayer> buildShapeLayers(const ShapeRecords& shape, bool windingFill)
{
    std::vector<ShapeLayer> layers;
    std::vector<LayerEdges> edges;
    auto startLayer = [&](const StyleSet& styles) {
        layers.push_back(ShapeLayer { styles, {}, {} });
        edges.push_back(LayerEdges { std::vector<std::vector<Edge>>(styles.fills.size()),
            std::vector<std::vector<Edge>>(styles.lines.size()) });
    };
    startLayer(shape.styles.empty() ? StyleSet {} : shape.styles.front());
    int fill0 = 0, fill1 = 0, line = 0;
    for (const ShapeRecord& record : shape.records) {
        if (auto change = std::get_if<StyleChange>(&record)) {
            if (change->newStyles >= 0 && change->newStyles < int(shape.styles.size())) {
                startLayer(shape.styles[std::size_t(change->newStyles)]);
                fill0 = fill1 = line = 0;
            }
            if (change->fill0 >= 0)
                fill0 = change->fill0;
            if (change->fill1 >= 0)
                fill1 = change->fill1;
            if (change->line >= 0)
                line = change->line;
            continue;
        }
        const Edge& edge = std::get<Edge>(record);
        LayerEdges& layer = edges.back();
        // Indices are 1-based; one past the table is ignored rather than trusted.
        if (fill0 > 0 && fill0 <= int(layer.fills.size()))
            layer.fills[std::size_t(fill0 - 1)].push_back(reversed(edge));
        if (fill1 > 0 && fill1 <= int(layer.fills.size()))
            layer.fills[std::size_t(fill1 - 1)].push_back(edge);
        if (line > 0 && line <= int(layer.lines.size()))
            layer.lines[std::size_t(line - 1)].push_back(edge);
    }
    for (std::size_t l = 0; l < layers.size(); ++l) {
        for (std::size_t f = 0; f < edges[l].fills.size(); ++f) {
            if (!edges[l].fills[f].empty())
                layers[l].fills.emplace_back(int(f), joinContours(edges[l].fills[f], windingFill));
        }
        for (std::size_t s = 0; s < edges[l].lines.size(); ++s) {
            const auto& run = edges[l].lines[s];
            if (run.empty())
                continue;
            QPainterPath path;
            QPointF pen(qQNaN(), qQNaN());
            for (const Edge& e : run) {
                if (e.from != pen)
                    path.moveTo(e.from);
                addEdge(path, e);
                pen = e.to;
            }
            layers[l].lines.emplace_back(int(s), path);
        }
    }
    return layers;
}

} // namespace swf
