// Colour transforms and gradient tables in the reference's whole-number
// arithmetic: the expected levels below are worked out by hand from
// ((channel * multiplier in 8.8) >> 8) + addition, clamped to 0..255.

#include "support/TestSupport.h"

#include "swf/render/ColorMath.h"

using namespace testing_support;

namespace {

QColor at(const QImage& image, int x, int y)
{
    return QColor::fromRgba(image.pixel(x, y));
}

swf::Gradient gradient(std::vector<std::pair<int, swf::Rgba>> stops, int interpolation = 0)
{
    swf::Gradient g;
    g.interpolation = interpolation;
    for (auto [ratio, color] : stops)
        g.stops.push_back({ std::uint8_t(ratio), color });
    return g;
}

constexpr swf::Rgba Black { 0, 0, 0, 255 };
constexpr swf::Rgba Light { 255, 255, 255, 255 };
constexpr swf::Rgba RedStop { 255, 0, 0, 255 };
constexpr swf::Rgba GreenStop { 0, 255, 0, 255 };
constexpr swf::Rgba BlueStop { 0, 0, 255, 255 };

} // namespace

TEST(ColorMath, MultipliersAreFixedPointAndSumsClamp)
{
    swf::ColorTransform cx;
    cx.rMul = 0.3;  // a script's 30 %: 76 in 8.8, so 255 * 76 >> 8 = 75 (not 76.5)
    cx.gMul = -1;   // -256: 100 becomes -100, then + 255 = 155
    cx.gAdd = 255;
    cx.bMul = 2;    // 512: 200 * 2 = 400, clamped to 255
    cx.aAdd = -300; // 255 - 300 clamps to 0
    const swf::Rgba out = swf::tint(cx, swf::Rgba { 255, 100, 200, 255 });
    EXPECT_EQ(out.r, 75);
    EXPECT_EQ(out.g, 155);
    EXPECT_EQ(out.b, 255);
    EXPECT_EQ(out.a, 0);
}

TEST(ColorMath, BitmapsTintLikeSolids)
{
    QImage image(2, 1, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgba(201, 10, 255, 255));
    image.setPixel(1, 0, qRgba(0, 0, 0, 0));
    swf::ColorTransform cx;
    cx.rMul = 0.75; // 192: 201 * 192 >> 8 = 150
    cx.gAdd = 20;
    cx.aAdd = 51; // a transparent pixel gains alpha 51 and keeps its black
    const QImage out = swf::tintImage(image, cx).convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(out.pixel(0, 0), qRgba(150, 30, 255, 255));
    EXPECT_EQ(qAlpha(out.pixel(1, 0)), 51);
    EXPECT_EQ(qRed(out.pixel(1, 0)), 0);
}

TEST(ColorMath, GradientTableInterpolatesInWholeSteps)
{
    const swf::GradientTable table = swf::gradientTable(gradient({ { 0, Black }, { 255, Light } }), {});
    EXPECT_EQ(table[0], qRgb(0, 0, 0));
    // Entry i shows ratio i + 1. Entry 128: t = 129 * 256 / 255 = 129, 255 * 129 >> 8 = 128.
    EXPECT_EQ(table[128], qRgb(128, 128, 128));
    EXPECT_EQ(table[255], qRgb(255, 255, 255));
    // Before the first stop and after the last, the end colours hold.
    const swf::GradientTable inset = swf::gradientTable(gradient({ { 64, RedStop }, { 192, BlueStop } }), {});
    EXPECT_EQ(inset[0], qRgb(255, 0, 0));
    EXPECT_EQ(inset[63], qRgb(255, 0, 0));
    // Entry 64 shows ratio 65: t = 1 * 256 / 128 = 2; 255 * 254 >> 8 = 253, 255 * 2 >> 8 = 1.
    EXPECT_EQ(inset[64], qRgb(253, 0, 1));
    EXPECT_EQ(inset[200], qRgb(0, 0, 255));
    // In linear light the middle is brighter: 0.5 back to sRGB is 0.7354, level 188.
    const swf::GradientTable linear = swf::gradientTable(gradient({ { 0, Black }, { 255, Light } }, 1), {});
    EXPECT_EQ(qRed(linear[128]), 188);
    EXPECT_EQ(linear[255], qRgb(255, 255, 255));
}

TEST(ColorMath, GradientStopsOutOfOrderTakeOverOneRatioLater)
{
    // 0 red, 100 blue, then 50 green: green starts at 101 and holds to the end.
    const swf::GradientTable back = swf::gradientTable(gradient({ { 0, RedStop }, { 100, BlueStop }, { 50, GreenStop } }), {});
    EXPECT_EQ(back[100], qRgb(0, 0, 255));
    EXPECT_EQ(back[101], qRgb(0, 255, 0));
    EXPECT_EQ(back[255], qRgb(0, 255, 0));
    // Several stops on one ratio follow one another a ratio apart: green
    // takes 129, blue 130.
    const swf::GradientTable same = swf::gradientTable(
        gradient({ { 0, RedStop }, { 128, RedStop }, { 128, GreenStop }, { 128, BlueStop } }), {});
    EXPECT_EQ(same[128], qRgb(255, 0, 0));
    EXPECT_EQ(same[129], qRgb(0, 255, 0));
    EXPECT_EQ(same[130], qRgb(0, 0, 255));
    // A stop pushed past 255 never shows: 254 red, blue on 255, green on 256.
    const swf::GradientTable end = swf::gradientTable(gradient({ { 254, RedStop }, { 0, BlueStop }, { 0, GreenStop } }), {});
    EXPECT_EQ(end[254], qRgb(255, 0, 0));
    EXPECT_EQ(end[255], qRgb(0, 0, 255));
    const swf::GradientTable past = swf::gradientTable(gradient({ { 0, RedStop }, { 255, RedStop }, { 10, BlueStop } }), {});
    EXPECT_EQ(past[255], qRgb(255, 0, 0));
}

TEST(ColorMath, GradientTablePassesOneStopPerEntry)
{
    // Four stops on ratio 6 then red on 150: entries 6, 7 and 8 show the
    // first three alone; the fourth (black) starts the blend to red, entry 9
    // showing ratio 10: t = 4 * 256 / 144 = 7, 255 * 7 >> 8 = 6.
    const swf::GradientTable same = swf::gradientTable(
        gradient({ { 6, RedStop }, { 6, GreenStop }, { 6, BlueStop }, { 6, Black }, { 150, RedStop } }), {});
    EXPECT_EQ(same[5], qRgb(255, 0, 0));
    EXPECT_EQ(same[6], qRgb(255, 0, 0));
    EXPECT_EQ(same[7], qRgb(0, 255, 0));
    EXPECT_EQ(same[8], qRgb(0, 0, 255));
    EXPECT_EQ(same[9], qRgb(6, 0, 0));
    // Red 0, blue 100, green 50, light 200: at entry 100 blue is passed and
    // the next stop lies behind it, so blue shows alone; from 101 green
    // blends to light from ratio 50: entry 150 shows 151, t = 101 * 256 / 150
    // = 172, 255 * 172 >> 8 = 171 on red and blue, 255 on green.
    const swf::GradientTable back = swf::gradientTable(
        gradient({ { 0, RedStop }, { 100, BlueStop }, { 50, GreenStop }, { 200, Light } }), {});
    EXPECT_EQ(back[100], qRgb(0, 0, 255));
    EXPECT_EQ(back[150], qRgb(171, 255, 171));
}

TEST(ColorMath, GradientEntriesTakeTheColourTransform)
{
    swf::ColorTransform cx;
    cx.aMul = 0.5; // 128: alpha 255 * 128 >> 8 = 127
    cx.bAdd = 10;
    const swf::GradientTable table = swf::gradientTable(gradient({ { 0, RedStop }, { 255, RedStop } }), cx);
    EXPECT_EQ(table[7], qRgba(255, 0, 10, 127));
}

TEST(ColorMathRender, NestedTransformsMultiplyInFixedPoint)
{
    // Two nested halvings by 77/256 each: 77 * 77 >> 8 = 23, then 255 * 23 >> 8 = 22.
    // Worked in floating point the red would be 23.
    swfw::Sprite inner;
    auto placeInner = swfw::Placement::place(1, 1);
    placeInner.cxform = swfw::CxForm { 77 / 256.0, 1, 1, 1, 0, 0, 0, 0 };
    inner.placeObject2(placeInner);
    inner.showFrame();
    swfw::Movie movie(8, 100, 100, 12);
    movie.setBackgroundColor(White);
    movie.defineShape(1, rectShape(Red, 0, 0, 2000, 2000), 3);
    movie.defineSprite(2, inner);
    auto outer = swfw::Placement::place(1, 2);
    outer.cxform = swfw::CxForm { 77 / 256.0, 1, 1, 1, 0, 0, 0, 0 };
    movie.placeObject2(outer);
    movie.showFrame();
    auto p = load(movie.bytes());
    ASSERT_TRUE(p);
    const QImage image = renderStage(*p);
    EXPECT_EQ(at(image, 50, 50), QColor(22, 0, 0));
}

TEST(ColorMathRender, GradientFillShowsTheTableEntries)
{
    // Red up to ratio 128; the second stop on 128 takes over at 129 and blue
    // holds to the end. The box spans 100 px, so ratio 128 falls near x = 50.
    swfw::Shape shape;
    int g = shape.addFillStyle(swfw::FillStyle::linear(swfw::FillStyle::gradientBox(0, 0, 2000, 2000),
        { { 0, Red }, { 128, Red }, { 128, Blue }, { 255, Blue } }));
    shape.fill1(g).rect(0, 0, 2000, 2000);
    swfw::Movie movie(8, 100, 100, 12);
    movie.setBackgroundColor(White);
    movie.defineShape(1, shape, 3);
    movie.placeObject2(swfw::Placement::place(1, 1));
    movie.showFrame();
    auto p = load(movie.bytes());
    ASSERT_TRUE(p);
    const QImage image = renderStage(*p);
    EXPECT_EQ(at(image, 20, 50), QColor(Qt::red));  // ratio about 52
    EXPECT_EQ(at(image, 45, 50), QColor(Qt::red));  // ratio about 116
    EXPECT_EQ(at(image, 56, 50), QColor(Qt::blue)); // ratio about 144
    EXPECT_EQ(at(image, 95, 50), QColor(Qt::blue));
}
