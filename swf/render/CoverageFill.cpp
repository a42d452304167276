#include "swf/render/CoverageFill.h"

#include "swf/render/CoverageCache.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cstring>

namespace swf {

namespace {

constexpr int MaxCoveredElements = 10000;

// x * a / 255 for 8-bit x and a, rounded, on all four channels at once.
inline unsigned byteMul(unsigned x, unsigned a)
{
    unsigned t = (x & 0xff00ff) * a;
    t = (t + ((t >> 8) & 0xff00ff) + 0x800080) >> 8;
    t &= 0xff00ff;
    x = ((x >> 8) & 0xff00ff) * a;
    x = (x + ((x >> 8) & 0xff00ff) + 0x800080);
    x &= 0xff00ff00;
    return x | t;
}

// A premultiplied colour scaled by a coverage of c sixteenths.
inline unsigned covered(unsigned color, int c)
{
    if (c >= CoverageMask::Full)
        return color;
    // c * 16 of 256: a sixteenth is exactly sixteen levels of 256.
    const unsigned a = unsigned(c) * 16;
    const unsigned rb = ((color & 0xff00ff) * a >> 8) & 0xff00ff;
    const unsigned ag = (((color >> 8) & 0xff00ff) * a) & 0xff00ff00;
    return rb | ag;
}

// Source over of one premultiplied colour onto `n` pixels.
inline void blendRun(unsigned* out, int n, unsigned src)
{
    const unsigned alpha = src >> 24;
    if (alpha == 255) {
        std::fill(out, out + n, src);
        return;
    }
    for (int i = 0; i < n; ++i)
        out[i] = src + byteMul(out[i], 255 - alpha);
}

// How many pixels from `x` on hold the coverage of pixel x, when that run is
// at least eight long (0 otherwise): whole runs are stored or skipped at once.
inline int sameRun(const std::uint8_t* cover, int x, int width)
{
    if (width - x < 8)
        return 0;
    const std::uint8_t c = cover[x];
    std::uint64_t word;
    const std::uint64_t pattern = 0x0101010101010101ull * c;
    std::memcpy(&word, cover + x, 8);
    if (word != pattern)
        return 0;
    int end = x + 8;
    while (width - end >= 8) {
        std::memcpy(&word, cover + end, 8);
        if (word != pattern)
            break;
        end += 8;
    }
    while (end < width && cover[end] == c)
        ++end;
    return end - x;
}

// The device pixels the painter can change, in its device's coordinates.
QRect paintableArea(const QPainter& painter)
{
    const QPaintDevice* device = painter.device();
    if (!device)
        return QRect();
    QRect area(0, 0, device->width(), device->height());
    if (painter.hasClipping())
        area &= painter.transform().mapRect(painter.clipBoundingRect()).toAlignedRect().adjusted(-1, -1, 1, 1);
    return area;
}

// Our rasteriser, kept between fills so that its buffers are reused.
CoverageRasterizer& rasterizer()
{
    thread_local CoverageRasterizer instance;
    return instance;
}

CoverageMask& scratchMask()
{
    thread_local CoverageMask mask;
    return mask;
}

// Whether the painter draws into an image (the tools, layers, thumbnails)
// rather than onto a window. On a window every covered fill would go through
// a layer image of its own, which cost the player ten times the processor
// time of the painter's own anti-aliasing (a racing game: 5 % of a core
// against 52 %), so there the painter fills and edges differ by a few levels.
bool drawsIntoImage(const QPainter& painter)
{
    const QPaintDevice* device = painter.device();
    return device && device->devType() == QInternal::Image;
}

// The painter draws straight into an image whose pixels we may write.
QImage* directTarget(QPainter& painter)
{
    QPaintDevice* device = painter.device();
    if (!device || device->devType() != QInternal::Image || painter.hasClipping() || painter.opacity() != 1.0
        || painter.compositionMode() != QPainter::CompositionMode_SourceOver)
        return nullptr;
    auto* image = static_cast<QImage*>(device);
    if (image->format() != QImage::Format_ARGB32_Premultiplied && image->format() != QImage::Format_RGB32)
        return nullptr;
    // Another copy sharing the pixels would make writing them detach the
    // image from the painter.
    if (!image->isDetached())
        return nullptr;
    return image;
}

void drawLayer(QPainter& painter, const QImage& layer, QPoint origin)
{
    painter.save();
    painter.setTransform(QTransform());
    painter.drawImage(origin, layer);
    painter.restore();
}

} // namespace

void coverageOf(const QPainterPath& path, const QTransform& toDevice, const QRect& clip, CoverageMask& mask)
{
    CoverageRasterizer& raster = rasterizer();
    raster.clear();
    raster.addPath(path, toDevice);
    raster.rasterize(path.fillRule() == Qt::WindingFill ? CoverageRasterizer::Rule::NonZero : CoverageRasterizer::Rule::EvenOdd,
        clip, mask);
}

void blendCoverage(QImage& target, const CoverageMask& mask, unsigned color)
{
    const QRect area = mask.bounds & target.rect();
    if (area.isEmpty() || (color >> 24) == 0)
        return;
    const int width = area.width();
    const bool opaque = (color >> 24) == 255;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const std::uint8_t* cover = mask.row(y) + (area.left() - mask.bounds.left());
        auto* out = reinterpret_cast<unsigned*>(target.scanLine(y)) + area.left();
        int x = 0;
        while (x < width) {
            // Runs of untouched or fully covered pixels are most of a large
            // fill: skip or store them eight at a time.
            const int run = sameRun(cover, x, width);
            if (run > 0) {
                const int c = cover[x];
                if (c == CoverageMask::Full && opaque)
                    std::fill(out + x, out + x + run, color);
                else if (c != 0)
                    blendRun(out + x, run, covered(color, c));
                x += run;
                continue;
            }
            const int c = cover[x];
            if (c != 0)
                blendRun(out + x, 1, covered(color, c));
            ++x;
        }
    }
}

void applyCoverage(QImage& image, QPoint origin, const CoverageMask& mask)
{
    const QRect area = mask.bounds.translated(-origin) & image.rect();
    if (area.isEmpty()) {
        image.fill(Qt::transparent);
        return;
    }
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<unsigned*>(image.scanLine(y));
        if (y < area.top() || y > area.bottom()) {
            std::fill(line, line + image.width(), 0u);
            continue;
        }
        const std::uint8_t* cover = mask.row(origin.y() + y) + (origin.x() + area.left() - mask.bounds.left());
        std::fill(line, line + area.left(), 0u);
        for (int x = area.left(); x <= area.right(); ++x)
            line[x] = covered(line[x], cover[x - area.left()]);
        std::fill(line + area.right() + 1, line + image.width(), 0u);
    }
}

// A solid fill of `path` through `toDevice` by our coverage: straight into
// the image when the painter allows, else through a layer.
static void fillSolid(QPainter& painter, const QPainterPath& path, unsigned color, const QTransform& toDevice, bool kept)
{
    QPoint offset;
    CoverageMask* found = kept ? CoverageCache::local().coverage(path, toDevice, paintableArea(painter), offset) : nullptr;
    if (!found) {
        found = &scratchMask();
        offset = QPoint();
        coverageOf(path, toDevice, paintableArea(painter), *found);
    }
    if (found->isEmpty())
        return;
    // A kept mask sits at the path's own whole-pixel origin: moved into place
    // while it is used, and back.
    struct Placed {
        CoverageMask& mask;
        QPoint offset;
        Placed(CoverageMask& m, QPoint o) : mask(m), offset(o) { mask.translate(offset.x(), offset.y()); }
        ~Placed() { mask.translate(-offset.x(), -offset.y()); }
    } placed(*found, offset);
    const CoverageMask& mask = *found;
    if (QImage* target = directTarget(painter)) {
        blendCoverage(*target, mask, color);
        return;
    }
    QImage layer(mask.bounds.size(), QImage::Format_ARGB32_Premultiplied);
    const int layerWidth = layer.width(), layerHeight = layer.height();
    for (int y = 0; y < layerHeight; ++y) {
        const std::uint8_t* cover = mask.row(mask.bounds.top() + y);
        auto* line = reinterpret_cast<unsigned*>(layer.scanLine(y));
        for (int x = 0; x < layerWidth; ++x)
            line[x] = covered(color, cover[x]);
    }
    drawLayer(painter, layer, mask.bounds.topLeft());
}

void fillCovered(QPainter& painter, const QPainterPath& path, const QBrush& brush, bool kept)
{
    // Outlines of tens of thousands of points (hostile or simplified ones)
    // stay with the painter, whose area coverage keeps their slivers seen.
    if (!painter.testRenderHint(QPainter::Antialiasing) || brush.style() == Qt::NoBrush || path.elementCount() > MaxCoveredElements
        || !drawsIntoImage(painter)) {
        painter.fillPath(path, brush);
        return;
    }
    if (brush.style() != Qt::SolidPattern) {
        fillCovered(painter, path, [&](QPainter& scratch, const QTransform& deviceToScratch) {
            QBrush moved = brush;
            moved.setTransform(brush.transform() * painter.transform() * deviceToScratch);
            scratch.fillRect(QRect(0, 0, scratch.device()->width(), scratch.device()->height()), moved);
        });
        return;
    }
    fillSolid(painter, path, qPremultiply(brush.color().rgba()), painter.transform(), kept);
}

bool fillCoveredAt(QPainter& painter, const QPainterPath& path, const QColor& color, const QTransform& toDevice, bool kept)
{
    if (!fillsCovered(painter) || path.elementCount() > MaxCoveredElements)
        return false;
    fillSolid(painter, path, qPremultiply(color.rgba()), toDevice, kept);
    return true;
}

bool fillsCovered(const QPainter& painter)
{
    return painter.testRenderHint(QPainter::Antialiasing) && drawsIntoImage(painter);
}

void fillCovered(QPainter& painter, const QPainterPath& path, const CoveredPaint& paint)
{
    CoverageMask& mask = scratchMask();
    coverageOf(path, painter.transform(), paintableArea(painter), mask);
    if (mask.isEmpty())
        return;
    // The mask is ours until the next fill: keep a copy, `paint` may fill too.
    const CoverageMask kept = mask;
    QImage layer(kept.bounds.size(), QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    {
        QPainter scratch(&layer);
        // The same hints: bitmaps are smoothed only where the painter antialiases.
        scratch.setRenderHints(painter.renderHints());
        paint(scratch, QTransform::fromTranslate(-kept.bounds.left(), -kept.bounds.top()));
    }
    if (QImage* target = directTarget(painter)) {
        blendLayer(*target, layer, kept);
        return;
    }
    applyCoverage(layer, kept.bounds.topLeft(), kept);
    drawLayer(painter, layer, kept.bounds.topLeft());
}

void blendLayer(QImage& target, const QImage& layer, const CoverageMask& mask)
{
    const QRect area = mask.bounds & target.rect();
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const std::uint8_t* cover = mask.row(y) + (area.left() - mask.bounds.left());
        const auto* in = reinterpret_cast<const unsigned*>(layer.constScanLine(y - mask.bounds.top())) + (area.left() - mask.bounds.left());
        auto* out = reinterpret_cast<unsigned*>(target.scanLine(y)) + area.left();
        for (int x = 0; x < area.width(); ++x) {
            const int c = cover[x];
            if (c == 0)
                continue;
            const unsigned src = covered(in[x], c);
            const unsigned alpha = src >> 24;
            out[x] = alpha == 255 ? src : src + byteMul(out[x], 255 - alpha);
        }
    }
}

} // namespace swf
