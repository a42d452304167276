#pragma once

// Coverage kept between fills. A shape moved by whole device pixels covers
// its pixels exactly as before, shifted (see CoverageRaster.h): a clip that
// moves, or a thousand copies of one shape placed at a few sub-pixel phases,
// need the rasteriser only once per phase. A kept mask is found by the
// outline, the transform's linear part and the fraction of its translation,
// bit for bit; its box is kept relative to the whole pixels of the
// translation it was made at.

#include "swf/render/CoverageRaster.h"

#include <QPainterPath>
#include <QPoint>

#include <cstdint>
#include <unordered_map>

class QTransform;

namespace swf {

class CoverageCache {
public:
    // Masks larger than this many pixels are not kept (their blending costs
    // far more than rasterising them again), nor paths of more elements.
    static constexpr std::int64_t MaxMaskPixels = 64 * 1024;
    static constexpr int MaxPathElements = 2000;
    // What all kept masks may hold together, and how many there may be:
    // past either the cache starts over.
    static constexpr std::int64_t MaxTotalPixels = 8 * 1024 * 1024;
    static constexpr std::size_t MaxEntries = 8192;

    // The coverage of `path` (which must outlive its use here unchanged, as
    // a shape's outline does) through `toDevice`, limited to `clip`, with its
    // box placed `offset` device pixels from where it shows; null when the
    // path is not one this cache handles (too large, or a projective
    // transform): the caller rasterises it itself. The mask stays valid
    // until the next call.
    CoverageMask* coverage(const QPainterPath& path, const QTransform& toDevice, const QRect& clip, QPoint& offset);

    std::size_t size() const { return m_entries.size(); }
    void clear();

    // The cache of the calling thread (drawing may run on a pool thread).
    static CoverageCache& local();

private:
    struct Key {
        const void* path;
        double m11, m12, m21, m22, fx, fy;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        std::size_t operator()(const Key& k) const;
    };
    struct Entry {
        QPainterPath path; // a copy, to tell a path now at the same address from the one kept
        CoverageMask mask; // bounds relative to the whole-pixel part of the transform
    };

    std::unordered_map<Key, Entry, KeyHash> m_entries;
    std::int64_t m_pixels = 0;
    CoverageRasterizer m_raster;
    CoverageMask m_scratch;
};

} // namespace swf
