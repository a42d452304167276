// Scripts draw into the root clip; the rendered stage shows it.

#include "support/DrawingSupport.h"

using namespace drawing_test;
using swf::avm1::test::Asm;

namespace {

constexpr uint8_t NewMethod = 0x53;
constexpr uint8_t InitArray = 0x42;
constexpr uint8_t InitObject = 0x43;

// target.method(args), arguments given in call order.
Asm& callOn(Asm& a, const char* target, const char* method, std::initializer_list<Asm::Item> args)
{
    std::vector<Asm::Item> reversed(args.begin(), args.end());
    std::reverse(reversed.begin(), reversed.end());
    for (const Asm::Item& item : reversed)
        a.push({ item });
    return a.push({ int(args.size()), target }).getVariable().push({ method }).callMethod().pop();
}

Asm& root(Asm& a, const char* method, std::initializer_list<Asm::Item> args)
{
    return callOn(a, "_root", method, args);
}

Asm& rect(Asm& a, int x, int y, int w, int h, const char* target = "_root")
{
    callOn(a, target, "moveTo", { x, y });
    callOn(a, target, "lineTo", { x + w, y });
    callOn(a, target, "lineTo", { x + w, y + h });
    callOn(a, target, "lineTo", { x, y + h });
    return callOn(a, target, "lineTo", { x, y });
}

// new flash.<package>.<className>(args) left on the stack; args pushed in call order reversed.
Asm& construct(Asm& a, const char* package, const char* className, std::initializer_list<Asm::Item> args)
{
    std::vector<Asm::Item> reversed(args.begin(), args.end());
    std::reverse(reversed.begin(), reversed.end());
    for (const Asm::Item& item : reversed)
        a.push({ item });
    return a.push({ int(args.size()), "flash" }).getVariable().push({ package }).getMember().push({ className }).op(NewMethod);
}

QRgb at(const QImage& image, int x, int y)
{
    return image.pixel(x, y) & 0xffffff;
}

} // namespace

TEST(DrawingRender, SolidFillAndStrokedClosingSide)
{
    Asm a;
    root(a, "beginFill", { 0xff0000 });
    rect(a, 10, 10, 30, 30);
    root(a, "endFill", {});
    // A triangle whose open side endFill closes and strokes.
    root(a, "lineStyle", { 4, 0x0000ff });
    root(a, "moveTo", { 50, 50 });
    root(a, "beginFill", { 0x00ff00, 100 });
    root(a, "lineTo", { 90, 50 });
    root(a, "lineTo", { 90, 90 });
    root(a, "endFill", {});
    ScriptedPlayback p(scriptedMovie(a));
    ASSERT_TRUE(p.playback);
    QImage image = p.render();

    EXPECT_EQ(at(image, 25, 25), 0xff0000u) << "inside the square";
    EXPECT_EQ(at(image, 5, 5), 0xffffffu) << "background outside it";
    EXPECT_EQ(at(image, 70, 70), 0x0000ffu) << "on the closing diagonal from (90,90) back to (50,50)";
    EXPECT_EQ(at(image, 80, 60), 0x00ff00u) << "inside the triangle";
    EXPECT_EQ(at(image, 60, 80), 0xffffffu) << "the other side of the diagonal";
    EXPECT_EQ(at(image, 90, 70), 0x0000ffu) << "its right side is stroked";
}

TEST(DrawingRender, DrawingSitsBelowTheClipsChildren)
{
    swfw::Movie m(8, 100, 100, 12);
    m.setBackgroundColor({ 255, 255, 255, 255 });
    swfw::Shape shape;
    shape.fill1(shape.addFillStyle(swfw::FillStyle::solid({ 255, 0, 0, 255 }))).rect(0, 0, 1000, 1000); // 50 x 50 px
    m.defineShape(1, shape, 1);
    m.placeObject(1, 1, swfw::Matrix {});
    Asm a;
    root(a, "beginFill", { 0x0000ff });
    rect(a, 0, 0, 100, 100);
    root(a, "endFill", {});
    a.end();
    m.doAction(a.bytes());
    m.showFrame();
    ScriptedPlayback p(m.bytes());
    ASSERT_TRUE(p.playback);
    QImage image = p.render();
    EXPECT_EQ(at(image, 25, 25), 0xff0000u) << "the placed shape covers the drawing";
    EXPECT_EQ(at(image, 75, 75), 0x0000ffu) << "the drawing shows elsewhere";
}

TEST(DrawingRender, BitmapFillsClampOrRepeatAndFollowThePixels)
{
    Asm a;
    // bd = new BitmapData(2, 2, false, 0xff0000); bd.setPixel(1, 1, 0x0000ff)
    a.push({ "bd" });
    construct(a, "display", "BitmapData", { 2, 2, false, 0xff0000 });
    a.setVariable();
    a.push({ 0x0000ff, 1, 1, 3, "bd" }).getVariable().push({ "setPixel" }).callMethod().pop();
    // Scaled 10 times, not repeated: edge pixels stretch outwards.
    a.push({ "m" });
    construct(a, "geom", "Matrix", { 10, 0, 0, 10, 0, 0 });
    a.setVariable();
    a.push({ false, false }).push({ "m" }).getVariable().push({ "bd" }).getVariable();
    a.push({ 4, "_root" }).getVariable().push({ "beginBitmapFill" }).callMethod().pop();
    rect(a, 0, 0, 50, 50);
    root(a, "endFill", {});
    // Unscaled and repeated over the right half.
    a.push({ "bd" }).getVariable().push({ 1, "_root" }).getVariable().push({ "beginBitmapFill" }).callMethod().pop();
    rect(a, 50, 50, 50, 50);
    root(a, "endFill", {});
    // Changed after the fills were made: they show the new pixel.
    a.push({ 0x00ff00, 0, 0, 3, "bd" }).getVariable().push({ "setPixel" }).callMethod().pop();
    ScriptedPlayback p(scriptedMovie(a));
    ASSERT_TRUE(p.playback);
    QImage image = p.render();

    EXPECT_EQ(at(image, 5, 5), 0x00ff00u) << "bitmap pixel (0,0), set after beginBitmapFill";
    EXPECT_EQ(at(image, 15, 5), 0xff0000u) << "bitmap pixel (1,0)";
    EXPECT_EQ(at(image, 15, 15), 0x0000ffu) << "bitmap pixel (1,1)";
    EXPECT_EQ(at(image, 45, 45), 0x0000ffu) << "beyond the bitmap: its corner pixel stretched";
    EXPECT_EQ(at(image, 45, 5), 0xff0000u) << "beyond its right edge: the edge column";
    EXPECT_EQ(at(image, 52, 52), 0x00ff00u) << "repeated: (52,52) is pixel (0,0) again";
    EXPECT_EQ(at(image, 53, 52), 0xff0000u);
    EXPECT_EQ(at(image, 53, 53), 0x0000ffu);
}

TEST(DrawingRender, LinearGradientAcrossABox)
{
    Asm a;
    // {matrixType: "box", x: 0, y: 0, w: 100, h: 100, r: 0}
    a.push({ "matrixType", "box", "x", 0, "y", 0, "w", 100, "h", 100, "r", 0, 6 }).op(InitObject);
    a.push({ 255, 0, 2 }).op(InitArray);      // ratios [0, 255]
    a.push({ 100, 100, 2 }).op(InitArray);    // alphas
    a.push({ 0x0000ff, 0xff0000, 2 }).op(InitArray); // colours [red, blue]
    a.push({ "linear", 5, "_root" }).getVariable().push({ "beginGradientFill" }).callMethod().pop();
    rect(a, 0, 0, 100, 100);
    root(a, "endFill", {});
    ScriptedPlayback p(scriptedMovie(a));
    ASSERT_TRUE(p.playback);
    QImage image = p.render();

    QColor left = image.pixelColor(1, 50), middle = image.pixelColor(50, 50), right = image.pixelColor(98, 50);
    EXPECT_GT(left.red(), 245);
    EXPECT_LT(left.blue(), 10);
    EXPECT_GT(right.blue(), 245);
    EXPECT_LT(right.red(), 10);
    EXPECT_NEAR(middle.red(), 128, 8) << "half way across the box";
    EXPECT_NEAR(middle.blue(), 128, 8);
    EXPECT_EQ(image.pixelColor(50, 10), middle) << "a horizontal gradient does not change downwards";
}

TEST(DrawingRender, FiltersPropertyBlursTheClip)
{
    // An empty sprite placed as "clip"; the script draws into it and blurs it.
    swfw::Movie m(8, 100, 100, 12);
    m.setBackgroundColor({ 255, 255, 255, 255 });
    swfw::Sprite empty;
    empty.showFrame();
    m.defineSprite(1, empty);
    swfw::Placement place = swfw::Placement::place(1, 1);
    place.name = QByteArray("clip");
    m.placeObject2(place);
    Asm a;
    callOn(a, "clip", "beginFill", { 0x000000 });
    rect(a, 30, 30, 40, 40, "clip");
    callOn(a, "clip", "endFill", {});
    // clip.filters = [new flash.filters.BlurFilter(10, 10, 1)]
    a.push({ "clip" }).getVariable().push({ "filters" });
    construct(a, "filters", "BlurFilter", { 10, 10, 1 });
    a.push({ 1 }).op(InitArray).setMember();
    // trace(clip.filters.length); trace(clip.filters[0].blurX)
    a.push({ "clip" }).getVariable().push({ "filters" }).getMember().push({ "length" }).getMember().trace();
    a.push({ "clip" }).getVariable().push({ "filters" }).getMember().push({ 0 }).getMember().push({ "blurX" }).getMember().trace();
    a.end();
    m.doAction(a.bytes());
    m.showFrame();
    ScriptedPlayback p(m.bytes());
    ASSERT_TRUE(p.playback);
    EXPECT_EQ(p.traces, (QStringList { "1", "10" }));
    QImage image = p.render();

    EXPECT_EQ(at(image, 50, 50), 0x000000u) << "the middle stays black";
    const int edge = qGray(image.pixel(30, 50));
    EXPECT_GT(edge, 60) << "the edge is softened";
    EXPECT_LT(edge, 200);
    EXPECT_LT(qGray(image.pixel(27, 50)), 250) << "the blur spreads outside the square";
    EXPECT_EQ(qGray(image.pixel(10, 50)), 255) << "but not far";
}

TEST(DrawingRender, AttachedBitmapShowsItsPixelsLiveAtAScriptDepth)
{
    Asm a;
    // bd = new BitmapData(4, 2, false, 0xff0000); bd.setPixel(3, 1, 0x0000ff)
    a.push({ "bd" });
    construct(a, "display", "BitmapData", { 4, 2, false, 0xff0000 });
    a.setVariable();
    a.push({ 0x0000ff, 1, 3, 3, "bd" }).getVariable().push({ "setPixel" }).callMethod().pop();
    // _root.createEmptyMovieClip("c", 1); c._x = 10; c._y = 20; c._xscale = c._yscale = 500
    root(a, "createEmptyMovieClip", { "c", 1 });
    a.push({ "c" }).getVariable().push({ "_x", 10 }).setMember();
    a.push({ "c" }).getVariable().push({ "_y", 20 }).setMember();
    a.push({ "c" }).getVariable().push({ "_xscale", 500 }).setMember();
    a.push({ "c" }).getVariable().push({ "_yscale", 500 }).setMember();
    // c.attachBitmap(bd, 2); then a change to the pixels after attaching.
    a.push({ 2, "bd" }).getVariable().push({ 2, "c" }).getVariable().push({ "attachBitmap" }).callMethod().pop();
    a.push({ 0x00ff00, 0, 0, 3, "bd" }).getVariable().push({ "setPixel" }).callMethod().pop();
    // A second bitmap at the same depth of another clip, then disposed: nothing shows.
    root(a, "createEmptyMovieClip", { "d", 2 });
    a.push({ "gone" });
    construct(a, "display", "BitmapData", { 10, 10, false, 0x000000 });
    a.setVariable();
    a.push({ 2, "gone" }).getVariable().push({ 2, "d" }).getVariable().push({ "attachBitmap" }).callMethod().pop();
    a.push({ 0, "gone" }).getVariable().push({ "dispose" }).callMethod().pop();
    ScriptedPlayback p(scriptedMovie(a));
    ASSERT_TRUE(p.playback);
    QImage image = p.render();

    // Each bitmap pixel is 5x5 stage pixels from (10, 20), nearest pixel.
    EXPECT_EQ(at(image, 12, 22), 0x00ff00u) << "pixel (0,0), set after attaching";
    EXPECT_EQ(at(image, 17, 22), 0xff0000u) << "pixel (1,0)";
    EXPECT_EQ(at(image, 27, 27), 0x0000ffu) << "pixel (3,1)";
    EXPECT_EQ(at(image, 29, 29), 0x0000ffu) << "the last row and column, unsmoothed";
    EXPECT_EQ(at(image, 31, 25), 0xffffffu) << "right of the bitmap";
    EXPECT_EQ(at(image, 15, 31), 0xffffffu) << "below the bitmap";
    EXPECT_EQ(at(image, 5, 5), 0xffffffu) << "the disposed bitmap shows nothing";
}
