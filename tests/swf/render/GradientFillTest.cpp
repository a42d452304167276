// Gradient fills looked up per pixel: the position of each pixel's top-left
// corner across the gradient, times 255 and cut down, picks the table entry;
// past the ends the spread mode folds the position back.

#include "support/TestSupport.h"

#include "swf/render/GradientFill.h"
#include "swf/render/RenderCache.h"

#include <QPainter>
#include <QPainterPath>

using namespace testing_support;

namespace {

QColor at(const QImage& image, int x, int y)
{
    return QColor::fromRgba(image.pixel(x, y));
}

// A table whose entry i is the red level i, so that a pixel tells its index.
swf::GradientTable rampTable()
{
    swf::GradientTable table {};
    for (int i = 0; i < 256; ++i)
        table[std::size_t(i)] = qRgb(i, 0, 0);
    return table;
}

} // namespace

TEST(GradientFill, PositionsFoldByTheSpreadMode)
{
    // Pad holds the ends; 0.5 * 255 = 127.5 cuts down to 127.
    EXPECT_EQ(swf::gradientIndex(-0.5, 0), 0);
    EXPECT_EQ(swf::gradientIndex(0.5, 0), 127);
    EXPECT_EQ(swf::gradientIndex(0.999, 0), 254); // 254.7
    EXPECT_EQ(swf::gradientIndex(1.25, 0), 255);
    // Reflect: 1.25 comes back to 0.75 (191.25), -0.25 to 0.25 (63.75).
    EXPECT_EQ(swf::gradientIndex(1.25, 1), 191);
    EXPECT_EQ(swf::gradientIndex(-0.25, 1), 63);
    // Repeat: 1.25 starts again at 0.25; -0.25 is 0.75 of the way.
    EXPECT_EQ(swf::gradientIndex(1.25, 2), 63);
    EXPECT_EQ(swf::gradientIndex(-0.25, 2), 191);
}

TEST(GradientFill, FocalGradientsMeasureFromTheFocalPoint)
{
    // A circle of radius 50 px about (50, 50), its focal point half way to
    // the right rim, at (75, 50).
    swf::FillStyle fill;
    fill.type = swf::FillStyle::Type::Focal;
    fill.gradient.focalPoint = 0.5;
    const QTransform toDevice = QTransform::fromScale(50 / 16384.0, 50 / 16384.0) * QTransform::fromTranslate(50, 50);
    const QImage image = swf::gradientImage(fill, rampTable(), toDevice, QRect(0, 0, 100, 100));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(at(image, 75, 50).red(), 0);   // on the focal point
    EXPECT_EQ(at(image, 0, 50).red(), 255);  // on the left rim
    // The corner at 48 lies 27 px from the focal point on a 75 px ray to the left rim: 91.8.
    EXPECT_EQ(at(image, 48, 50).red(), 91);
    // The corner at 87 lies 12 of the 25 px from the focal point to the right rim: 122.4.
    EXPECT_EQ(at(image, 87, 50).red(), 122);
}

TEST(GradientFillRender, PixelCornersPickTheEntries)
{
    // A box 100 px wide: the corner of pixel x sits at x / 100 of the way,
    // entry x * 2.55. Red holds to ratio 128 and blue starts at 129; entry i
    // shows ratio i + 1, so entry 127 is the last red. Pixel 50 (127.5) is
    // red and 51 (130.05) blue; sampled at the pixel centres (entry 128)
    // pixel 50 would already be blue.
    swfw::Shape shape;
    int g = shape.addFillStyle(swfw::FillStyle::linear(swfw::FillStyle::gradientBox(0, 0, 2000, 2000),
        { { 0, Red }, { 128, Red }, { 129, Blue }, { 255, Blue } }));
    shape.fill1(g).rect(0, 0, 2000, 2000);
    swfw::Movie movie(8, 100, 100, 12);
    movie.setBackgroundColor(White);
    movie.defineShape(1, shape, 3);
    movie.placeObject2(swfw::Placement::place(1, 1));
    movie.showFrame();
    auto p = load(movie.bytes());
    ASSERT_TRUE(p);
    const QImage image = renderStage(*p);
    EXPECT_EQ(at(image, 50, 50), QColor(Qt::red));
    EXPECT_EQ(at(image, 51, 50), QColor(Qt::blue));
    // A stop out of order takes the next ratio: 254 red, then blue on 255,
    // then green pushed past the end and never seen. The box ends at 50.5 px:
    // pixel 50 (252.5) is still red, and only the padding past the box looks
    // entry 255 up.
    swfw::Shape ends;
    int e = ends.addFillStyle(swfw::FillStyle::linear(swfw::FillStyle::gradientBox(0, 0, 1010, 2000),
        { { 254, Red }, { 0, Blue }, { 0, Green } }));
    ends.fill1(e).rect(0, 0, 2000, 2000);
    swfw::Movie second(8, 100, 100, 12);
    second.setBackgroundColor(White);
    second.defineShape(1, ends, 3);
    second.placeObject2(swfw::Placement::place(1, 1));
    second.showFrame();
    auto q = load(second.bytes());
    ASSERT_TRUE(q);
    const QImage padded = renderStage(*q);
    EXPECT_EQ(at(padded, 50, 50), QColor(Qt::red));
    EXPECT_EQ(at(padded, 51, 50), QColor(Qt::blue));
    EXPECT_EQ(at(padded, 90, 50), QColor(Qt::blue));
}

namespace {

// A three-stop gradient over the whole -16384..16384 square.
swf::FillStyle threeStops(swf::FillStyle::Type type, int spread)
{
    swf::FillStyle fill;
    fill.type = type;
    fill.gradient.spread = spread;
    fill.gradient.focalPoint = type == swf::FillStyle::Type::Focal ? -0.6 : 0;
    fill.gradient.stops = { { 0, { 255, 0, 0, 255 } }, { 128, { 0, 128, 255, 200 } }, { 255, { 0, 0, 0, 255 } } };
    // The square shrunk to 40 px (800 twips) across, its centre at (400, 400) twips.
    fill.matrix = swf::Matrix {};
    fill.matrix.a = fill.matrix.d = 800 / 32768.0;
    fill.matrix.tx = 400;
    fill.matrix.ty = 400;
    return fill;
}

// A circle of 50 px across in twips, larger than the gradient so that
// spreading shows.
QPainterPath disc()
{
    QPainterPath path;
    path.addEllipse(QRectF(-100, -100, 1000, 1000));
    return path;
}

QImage drawn(const swf::FillStyle& fill, const swf::ColorTransform& cx, const QTransform& transform, swf::RenderCache* cache)
{
    QImage image(90, 90, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    swf::fillGradientPath(painter, disc(), fill, cx, transform, cache);
    return image;
}

} // namespace

TEST(GradientFill, KeptColoursAndPixelsDrawAsAFreshDraw)
{
    // One cache serves every draw in turn, as over the frames of a movie: a
    // table kept for one colour transform, or pixels kept for one sub-pixel
    // phase or scale, must never stand in for another.
    swf::RenderCache cache;
    swf::ColorTransform reddened;
    reddened.gMul = 0.5;
    reddened.rAdd = 40;
    const swf::ColorTransform transforms[] = { swf::ColorTransform {}, reddened };
    const QTransform base = QTransform::fromScale(1 / 20.0, 1 / 20.0);
    const QTransform placements[] = {
        base * QTransform::fromTranslate(10, 10),
        base * QTransform::fromTranslate(10.3, 10.6),   // another phase
        base * QTransform::fromTranslate(13, 14),       // the first phase moved by whole pixels
        base * QTransform::fromTranslate(13.3, 14.6),   // the second phase moved by whole pixels
        QTransform::fromScale(1 / 16.0, 1 / 18.0) * QTransform::fromTranslate(10.3, 10.6), // scaled
    };
    int compared = 0;
    for (const auto type : { swf::FillStyle::Type::Linear, swf::FillStyle::Type::Radial, swf::FillStyle::Type::Focal }) {
        for (int spread = 0; spread < 3; ++spread) {
            const swf::FillStyle fill = threeStops(type, spread);
            for (int round = 0; round < 2; ++round) { // the second round reads only kept entries
                for (const swf::ColorTransform& cx : transforms) {
                    for (const QTransform& placement : placements) {
                        const QImage fresh = drawn(fill, cx, placement, nullptr);
                        const QImage kept = drawn(fill, cx, placement, &cache);
                        ASSERT_EQ(kept, fresh) << "type " << int(type) << " spread " << spread << " round " << round
                                               << " at " << placement.dx() << "," << placement.dy();
                        ++compared;
                    }
                }
            }
        }
    }
    EXPECT_EQ(compared, 3 * 3 * 2 * 2 * 5);
}

TEST(GradientFill, AMovedGradientShowsItsColoursMoved)
{
    // Moving a shape by whole pixels moves its gradient's pixels with it, the
    // kept pixels included: the pixel under the gradient's centre stays the
    // centre's colour: entry 0, ratio 1 of the way from red to the second
    // stop, t = 256 / 128 = 2: (253, 1, 1) at alpha 254 over white, (253, 2, 2).
    swf::RenderCache cache;
    const swf::FillStyle fill = threeStops(swf::FillStyle::Type::Radial, 0);
    const QTransform base = QTransform::fromScale(1 / 20.0, 1 / 20.0);
    const QImage first = drawn(fill, {}, base * QTransform::fromTranslate(10, 10), &cache);
    const QImage moved = drawn(fill, {}, base * QTransform::fromTranslate(17, 12), &cache);
    // The centre is at (20 + 10, 20 + 10), then (20 + 17, 20 + 12).
    EXPECT_EQ(first.pixel(30, 30), qRgb(253, 2, 2));
    EXPECT_EQ(moved.pixel(37, 32), qRgb(253, 2, 2));
    EXPECT_EQ(moved.copy(7, 2, 80, 80), first.copy(0, 0, 80, 80));
}
