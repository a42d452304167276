// BitmapData.draw as scripts use it: clips drawn through the stage's drawing
// port in their own space, bitmaps drawn into bitmaps, with the matrix,
// colour transform and clipping rectangle a script passes.

#include "support/DrawingSupport.h"
#include "support/TestSupport.h"

#include "swf/runtime/DisplayRasterizer.h"
#include "swf/runtime/SpriteInstance.h"

using namespace drawing_test;
using swf::avm1::test::Asm;
using testing_support::Blue;
using testing_support::Red;
using testing_support::rectShape;

namespace {

constexpr double White = 0xffffff;

// `bd = new flash.<package>.<className>(args...)`, the arguments given last first.
Asm& construct(Asm& a, const char* variable, const char* package, const char* className,
    std::initializer_list<Asm::Item> reversedArgs, int count)
{
    a.push({ variable });
    if (reversedArgs.size())
        a.push(reversedArgs);
    a.push({ count, "flash" }).getVariable().push({ package }).getMember().push({ className }).op(0x53).setVariable();
    return a;
}

// A movie of 100 x 100 pixels with a clip named "clip": a red square 20
// pixels wide at its origin and a blue one right of it, the clip itself
// placed at (50, 50). Its first frame runs `script`.
QByteArray clipMovie(const Asm& script)
{
    swfw::Movie m(8, 100, 100, 12);
    m.setBackgroundColor({ 255, 255, 255, 255 });
    m.defineShape(1, rectShape(Red, 0, 0, 400, 400), 3);
    m.defineShape(2, rectShape(Blue, 400, 0, 400, 400), 3);
    swfw::Sprite sprite;
    sprite.placeObject2(swfw::Placement::place(1, 1));
    sprite.placeObject2(swfw::Placement::place(2, 2));
    sprite.showFrame();
    m.defineSprite(3, sprite);
    auto place = swfw::Placement::place(1, 3, swfw::Matrix::translate(1000, 1000));
    place.name = QByteArray("clip");
    m.placeObject2(place);
    Asm body = script;
    body.end();
    m.doAction(body.bytes());
    m.showFrame();
    return m.bytes();
}

// Script calls on a played clip movie, made from C++.
struct DrawWorld {
    DrawWorld()
        : run(clipMovie(Asm()))
    {
        if (!run.scripts)
            return;
        vm = &run.scripts->interpreter();
        swf::DisplayObject& instance = *run.playback->stage().root().displayList().begin()->second;
        clip = run.scripts->objectFor(instance);
    }
    Object* make(const char* package, const char* className, std::vector<Value> args)
    {
        Value pkg(swf::avm1::flashPackage(*vm, QString::fromLatin1(package)));
        return vm->construct(vm->getMember(pkg, QString::fromLatin1(className)), std::move(args)).asObject();
    }
    Object* bitmap(int width, int height, bool transparent, double fill)
    {
        return make("display", "BitmapData", { double(width), double(height), transparent, fill });
    }
    void draw(Object* target, Value source, std::vector<Value> rest = {})
    {
        rest.insert(rest.begin(), source);
        vm->callMethodSafely(target, QStringLiteral("draw"), std::move(rest));
    }
    uint32_t pixel32(Object* bd, int x, int y)
    {
        return uint32_t(int64_t(vm->toNumber(vm->callMethodSafely(bd, QStringLiteral("getPixel32"), { double(x), double(y) }))));
    }
    Object* translate(double tx, double ty) { return make("geom", "Matrix", { 1.0, 0.0, 0.0, 1.0, tx, ty }); }

    ScriptedPlayback run;
    Interpreter* vm = nullptr;
    Object* clip = nullptr;
};

} // namespace

TEST(BitmapDraw, ScriptDrawsAClipThroughATranslateInItsOwnSpace)
{
    Asm a;
    construct(a, "bd", "display", "BitmapData", { White, false, 40, 40 }, 4);
    construct(a, "m", "geom", "Matrix", { 10, 10, 1, 0, 0, 1 }, 6);
    a.push({ "m" }).getVariable().push({ "clip" }).getVariable().push({ 2, "bd" }).getVariable().push({ "draw" }).callMethod().pop();
    for (auto [x, y] : { std::pair { 15, 15 }, { 35, 15 }, { 5, 5 }, { 15, 35 } })
        a.push({ y, x, 2, "bd" }).getVariable().push({ "getPixel" }).callMethod().trace();
    ScriptedPlayback run(clipMovie(a));
    ASSERT_TRUE(run.scripts);
    // The clip stands at (50, 50) on the stage, but draws from its own origin
    // moved by (10, 10): red from 10 to 30, blue from 30 to 50, white elsewhere.
    EXPECT_EQ(run.traces, QStringList({ "16711680", "255", "16777215", "16777215" }));
}

TEST(BitmapDraw, ColorTransformAndClipRectShapeWhatLands)
{
    DrawWorld w;
    ASSERT_TRUE(w.clip);

    Object* halved = w.bitmap(40, 20, false, White);
    Object* ct = w.make("geom", "ColorTransform", { 0.5, 1.0, 1.0, 1.0, 0.0, 0.0, 0.0, 0.0 });
    w.draw(halved, Value(w.clip), { Value(w.translate(0, 0)), Value(ct) });
    const swf::Rgba half = swf::ColorTransform { 0.5, 1, 1, 1, 0, 0, 0, 0 }.apply(swf::Rgba { 255, 0, 0, 255 });
    EXPECT_EQ(w.pixel32(halved, 10, 10), 0xff000000u | uint32_t(half.r) << 16) << "red halved";
    EXPECT_EQ(w.pixel32(halved, 30, 10), 0xff0000ffu) << "blue untouched";

    Object* cut = w.bitmap(40, 20, true, 0);
    Object* clip = w.make("geom", "Rectangle", { 0.0, 0.0, 25.0, 10.0 });
    w.draw(cut, Value(w.clip), { Value(), Value(), Value(), Value(clip) });
    EXPECT_EQ(w.pixel32(cut, 10, 5), 0xffff0000u) << "inside the rectangle";
    EXPECT_EQ(w.pixel32(cut, 10, 15), 0u) << "below the rectangle: still clear";
    EXPECT_EQ(w.pixel32(cut, 30, 5), 0u) << "right of the rectangle: the blue square cut away";
}

TEST(BitmapDraw, BitmapsDrawIntoBitmapsAndKeepTheirAlphaRules)
{
    DrawWorld w;
    ASSERT_TRUE(w.vm);
    Object* source = w.bitmap(4, 4, true, double(0x80ff0000u)); // half-transparent red
    Object* opaque = w.bitmap(10, 10, false, double(0x0000ff));
    w.draw(opaque, Value(source), { Value(w.translate(2, 2)) });
    const uint32_t over = w.pixel32(opaque, 3, 3);
    EXPECT_EQ(over >> 24, 0xffu) << "an opaque bitmap stays opaque";
    EXPECT_NEAR(int(over >> 16 & 0xff), 128, 2) << "red over blue, half and half";
    EXPECT_NEAR(int(over & 0xff), 127, 2);
    EXPECT_EQ(w.pixel32(opaque, 1, 1), 0xff0000ffu) << "outside the moved source";
    EXPECT_EQ(w.pixel32(opaque, 6, 6), 0xff0000ffu);

    Object* clear = w.bitmap(10, 10, true, 0);
    w.draw(clear, Value(source));
    EXPECT_NEAR(int(w.pixel32(clear, 0, 0) >> 24), 0x80, 1) << "a transparent bitmap takes the source's alpha";

}

TEST(BitmapDraw, NothingHappensWithoutAPortOrASource)
{
    DrawWorld w;
    ASSERT_TRUE(w.clip);
    Object* bd = w.bitmap(20, 20, true, 0);
    swf::Stage& stage = w.run.playback->stage();
    swf::DisplayRasterizer* port = stage.rasterizer();
    ASSERT_NE(port, nullptr) << "the playback installs the renderer's port";
    stage.setRasterizer(nullptr);
    w.draw(bd, Value(w.clip));
    stage.setRasterizer(port);
    EXPECT_EQ(w.pixel32(bd, 5, 5), 0u) << "no port: the clip is not drawn";
    w.draw(bd, Value(w.vm->newObject()));
    w.draw(bd, Value(42.0));
    EXPECT_EQ(w.pixel32(bd, 5, 5), 0u) << "not a display object nor a bitmap";
    w.draw(bd, Value(w.clip));
    EXPECT_EQ(w.pixel32(bd, 5, 5), 0xffff0000u) << "with the port back, the clip lands";
}
