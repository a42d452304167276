// Coverage kept between fills: a kept outline filled at any transform gives
// the pixels a fresh fill gives, the cache holds one mask per sub-pixel
// phase, and what is clipped or replaced is never taken for what was kept.

#include "swf/render/CoverageCache.h"
#include "swf/render/CoverageFill.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QTransform>

#include <gtest/gtest.h>

#include <cmath>

using swf::CoverageCache;

namespace {

QPainterPath outline()
{
    QPainterPath path;
    path.moveTo(3.3, 1.7);
    path.cubicTo(14.2, -2.1, 19.6, 9.4, 11.05, 13.35);
    path.lineTo(2.15, 10.6);
    path.closeSubpath();
    path.addEllipse(QRectF(6.1, 4.2, 4.4, 3.3)); // a hole under the odd-even rule
    path.setFillRule(Qt::OddEvenFill);
    return path;
}

// The path filled through `transform` on a 64x48 image, the fill kept or not.
QImage filled(const QPainterPath& path, const QTransform& transform, bool kept, QColor color = QColor(20, 90, 200))
{
    QImage image(64, 48, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(250, 240, 10));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    EXPECT_TRUE(swf::fillCoveredAt(painter, path, color, transform, kept));
    return image;
}

} // namespace

TEST(CoverageCache, KeptFillsGiveTheFreshFillsPixelsAtEveryTransform)
{
    CoverageCache::local().clear();
    const QPainterPath path = outline();
    const QTransform transforms[] = {
        QTransform::fromTranslate(5.35, 7.8),
        QTransform::fromTranslate(25.375, 19.75), // twice the same phase, whole pixels apart
        QTransform::fromTranslate(5.375, 7.75),
        QTransform::fromTranslate(5.6, 7.05),    // another phase
        QTransform(1.7, 0, 0, 1.3, 9.45, 2.2),   // scaled
        QTransform(0.9, 0.5, -0.5, 0.9, 30.7, 4.1), // turned
        QTransform::fromTranslate(55.35, 40.8),  // cut by the image's edge
        QTransform::fromTranslate(-7.65, -3.2),  // and by its top left corner
    };
    for (const QTransform& t : transforms) {
        // Twice: the second fill of each finds the first one's mask.
        for (int pass = 0; pass < 2; ++pass)
            EXPECT_EQ(filled(path, t, true), filled(path, t, false)) << t.dx() << "," << t.dy() << " pass " << pass;
    }
}

TEST(CoverageCache, OneMaskPerPhaseAndNoneForWhatTheClipCuts)
{
    CoverageCache& cache = CoverageCache::local();
    cache.clear();
    const QPainterPath path = outline();
    filled(path, QTransform::fromTranslate(5.375, 7.75), true);
    filled(path, QTransform::fromTranslate(30.375, 20.75), true);
    EXPECT_EQ(cache.size(), 1u); // moved by whole pixels: the same mask
    filled(path, QTransform::fromTranslate(5.4375, 7.75), true);
    EXPECT_EQ(cache.size(), 2u);
    filled(path, QTransform::fromTranslate(58.375, 7.75), true); // partly outside the image
    EXPECT_EQ(cache.size(), 2u);
    filled(path, QTransform::fromTranslate(5.375, 7.75), false); // not a kept path
    EXPECT_EQ(cache.size(), 2u);
}

TEST(CoverageCache, APathChangedInPlaceIsRasterisedAgain)
{
    CoverageCache::local().clear();
    QPainterPath path = outline();
    const QTransform at = QTransform::fromTranslate(8.25, 6.6);
    filled(path, at, true);
    // Another outline at the same address, as a rebuilt shape may land.
    path = QPainterPath();
    path.addRect(QRectF(0.4, 0.4, 20.3, 9.1));
    EXPECT_EQ(filled(path, at, true), filled(path, at, false));
}

TEST(CoverageCache, HugeOrFarPathsAreLeftToTheCaller)
{
    CoverageCache& cache = CoverageCache::local();
    cache.clear();
    QPainterPath big;
    big.addRect(QRectF(0, 0, 1000, 1000));
    QPoint offset;
    EXPECT_EQ(cache.coverage(big, QTransform(), QRect(0, 0, 2000, 2000), offset), nullptr);
    const QPainterPath path = outline();
    EXPECT_EQ(cache.coverage(path, QTransform::fromTranslate(1e12, 0), QRect(0, 0, 100, 100), offset), nullptr);
    EXPECT_EQ(cache.coverage(path, QTransform::fromTranslate(std::nan(""), 0), QRect(0, 0, 100, 100), offset), nullptr);
    swf::CoverageMask* mask = cache.coverage(path, QTransform::fromTranslate(-3.5, 40.25), QRect(0, 0, 100, 100), offset);
    ASSERT_NE(mask, nullptr);
    EXPECT_EQ(offset, QPoint(-4, 40));
    EXPECT_FALSE(mask->isEmpty());
}
