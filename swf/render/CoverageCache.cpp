#include "swf/render/CoverageCache.h"

#include <QTransform>

#include <bit>
#include <cmath>

namespace swf {

namespace {

// Both hold the same outline, point for point (QPainterPath's own
// comparison allows a small difference).
bool samePath(const QPainterPath& a, const QPainterPath& b)
{
    const int count = a.elementCount();
    if (count != b.elementCount() || a.fillRule() != b.fillRule())
        return false;
    for (int i = 0; i < count; ++i) {
        const QPainterPath::Element ea = a.elementAt(i), eb = b.elementAt(i);
        if (ea.type != eb.type || ea.x != eb.x || ea.y != eb.y)
            return false;
    }
    return true;
}

std::size_t mix(std::size_t seed, std::uint64_t value)
{
    value *= 0x9e3779b97f4a7c15ull;
    return (seed ^ (value >> 29) ^ value) * 0xbf58476d1ce4e5b9ull;
}

// Beyond this many pixels from the origin a transform is not split: the
// whole-pixel part must fit an int with room to spare.
constexpr double MaxShift = 1 << 24;

} // namespace

std::size_t CoverageCache::KeyHash::operator()(const Key& k) const
{
    std::size_t h = std::hash<const void*>()(k.path);
    for (double v : { k.m11, k.m12, k.m21, k.m22, k.fx, k.fy })
        h = mix(h, std::bit_cast<std::uint64_t>(v));
    return h;
}

CoverageCache& CoverageCache::local()
{
    thread_local CoverageCache cache;
    return cache;
}

void CoverageCache::clear()
{
    m_entries.clear();
    m_pixels = 0;
}

CoverageMask* CoverageCache::coverage(const QPainterPath& path, const QTransform& toDevice, const QRect& clip, QPoint& offset)
{
    const int count = path.elementCount();
    if (count == 0 || count > MaxPathElements || toDevice.type() == QTransform::TxProject)
        return nullptr;
    const double dx = toDevice.dx(), dy = toDevice.dy();
    if (!(std::abs(dx) < MaxShift) || !(std::abs(dy) < MaxShift))
        return nullptr;
    const double ix = std::floor(dx), iy = std::floor(dy);
    const double fx = dx - ix, fy = dy - iy; // exact: the fraction of a double below 2^24
    const QTransform rest(toDevice.m11(), toDevice.m12(), toDevice.m21(), toDevice.m22(), fx, fy);
    const QRectF reach = rest.mapRect(path.controlPointRect());
    if (!std::isfinite(reach.width()) || !std::isfinite(reach.height()) || !(std::abs(reach.left()) < MaxShift)
        || !(std::abs(reach.top()) < MaxShift) || (reach.width() + 2) * (reach.height() + 2) > double(MaxMaskPixels))
        return nullptr;
    offset = QPoint(int(ix), int(iy));
    const QRect localClip = clip.translated(-offset);
    // The pixels the rasteriser can touch, with one to spare: inside the
    // clip, the mask is the path's whole coverage and can be kept.
    const bool whole = localClip.contains(reach.toAlignedRect().adjusted(-1, -1, 1, 1));
    const Key key { &path, toDevice.m11(), toDevice.m12(), toDevice.m21(), toDevice.m22(), fx, fy };
    auto found = whole ? m_entries.find(key) : m_entries.end();
    if (found != m_entries.end() && samePath(found->second.path, path))
        return &found->second.mask;

    // Rasterised where it shows, through the whole transform, as an unkept
    // fill is: an edge lying on a row of sample points lands the same way.
    m_raster.clear();
    m_raster.addPath(path, toDevice);
    const auto rule = path.fillRule() == Qt::WindingFill ? CoverageRasterizer::Rule::NonZero : CoverageRasterizer::Rule::EvenOdd;
    if (!whole) {
        m_raster.rasterize(rule, clip, m_scratch);
        m_scratch.translate(-offset.x(), -offset.y());
        return &m_scratch;
    }
    if (found != m_entries.end()) { // another path now lives where the kept one did
        m_pixels -= std::int64_t(found->second.mask.cover.size());
        m_entries.erase(found);
    }
    const std::int64_t pixels = std::int64_t(reach.width() + 2) * std::int64_t(reach.height() + 2);
    if (m_pixels + pixels > MaxTotalPixels || m_entries.size() >= MaxEntries)
        clear();
    Entry& entry = m_entries[key];
    entry.path = path;
    m_raster.rasterize(rule, clip, entry.mask);
    entry.mask.translate(-offset.x(), -offset.y());
    m_pixels += std::int64_t(entry.mask.cover.size());
    return &entry.mask;
}

} // namespace swf
