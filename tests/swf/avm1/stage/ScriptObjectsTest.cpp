// flash.geom, flash.display.BitmapData and flash.filters as scripts use them,
// and the conversions from script objects to fills and filters.

#include "support/DrawingSupport.h"

#include "swf/runtime/Drawing.h"

#include <cmath>

using namespace drawing_test;
using swf::avm1::ArrayObject;
using swf::avm1::CallArgs;

namespace {

ArrayObject* array(Interpreter& vm, std::initializer_list<Value> values)
{
    ArrayObject* a = vm.newArray();
    a->elements.assign(values);
    return a;
}

Object* object(Interpreter& vm, std::initializer_list<std::pair<const char*, Value>> members)
{
    Object* o = vm.newObject();
    for (const auto& [name, value] : members)
        o->put(QString::fromLatin1(name), value);
    return o;
}

CallArgs gradientArgs(Interpreter& vm, const char* type, std::initializer_list<Value> colors, std::initializer_list<Value> alphas,
    std::initializer_list<Value> ratios, Value matrix = Value())
{
    CallArgs a;
    a.args = { Value(type), Value(array(vm, colors)), Value(array(vm, alphas)), Value(array(vm, ratios)), matrix };
    return a;
}

} // namespace

TEST(FlashGeom, MatrixMethodsCompose)
{
    ScriptWorld w;
    Object* m = w.make("geom", "Matrix", {});
    EXPECT_EQ(w.number(m, "a"), 1);
    EXPECT_EQ(w.number(m, "tx"), 0);
    // Each operation applies after what the matrix already does.
    w.call(m, "translate", { 10.0, 0.0 });
    w.call(m, "scale", { 2.0, 3.0 });
    EXPECT_EQ(w.number(m, "tx"), 20);
    EXPECT_EQ(w.number(m, "d"), 3);
    w.call(m, "rotate", { M_PI / 2 });
    Object* p = w.call(m, "transformPoint", { Value(w.make("geom", "Point", { 1.0, 0.0 })) }).asObject();
    ASSERT_NE(p, nullptr);
    EXPECT_NEAR(w.number(p, "x"), 0, 1e-9);
    EXPECT_NEAR(w.number(p, "y"), 22, 1e-9) << "(1,0) scaled to (2,0), moved to (22,0), turned onto the y axis";

    Object* inverse = w.call(m, "clone").asObject();
    w.call(inverse, "invert");
    w.call(inverse, "concat", { Value(m) }); // inverse first, then m: the identity
    EXPECT_NEAR(w.number(inverse, "a"), 1, 1e-9);
    EXPECT_NEAR(w.number(inverse, "b"), 0, 1e-9);
    EXPECT_NEAR(w.number(inverse, "tx"), 0, 1e-9);
    EXPECT_EQ(w.vm.toString(Value(w.make("geom", "Matrix", {}))), QStringLiteral("(a=1, b=0, c=0, d=1, tx=0, ty=0)"));
}

TEST(FlashGeom, MethodsOutliveTheirDeletedPackage)
{
    // A script may delete flash.geom; the methods already on its objects go on
    // building Points from the classes they were installed with, even after the
    // collector has run.
    ScriptWorld w;
    Object* p = w.make("geom", "Point", { 1.0, 2.0 });
    Object* flash = w.vm.getMember(Value(w.vm.realm().global), QStringLiteral("flash")).asObject();
    ASSERT_NE(flash, nullptr);
    ASSERT_TRUE(flash->removeOwn(QStringLiteral("geom")));
    w.vm.collectGarbage({ p });
    for (int i = 0; i < 3; ++i)
        w.make("display", "BitmapData", { 4.0, 4.0 }); // reuse what was freed, if anything was
    Object* copy = w.call(p, "clone").asObject();
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(w.vm.toString(Value(copy)), QStringLiteral("(x=1, y=2)"));
    Object* sum = w.call(p, "add", { Value(copy) }).asObject();
    ASSERT_NE(sum, nullptr);
    EXPECT_EQ(w.number(sum, "y"), 4);
}

TEST(FlashGeom, GradientBoxAndRectangles)
{
    ScriptWorld w;
    Object* m = w.make("geom", "Matrix", {});
    w.call(m, "createGradientBox", { 100.0, 50.0, 0.0, 10.0, 20.0 });
    EXPECT_DOUBLE_EQ(w.number(m, "a"), 100 / 1638.4);
    EXPECT_DOUBLE_EQ(w.number(m, "d"), 50 / 1638.4);
    EXPECT_EQ(w.number(m, "tx"), 60);
    EXPECT_EQ(w.number(m, "ty"), 45);

    Object* r = w.make("geom", "Rectangle", { 0.0, 0.0, 10.0, 10.0 });
    Object* s = w.make("geom", "Rectangle", { 5.0, 5.0, 10.0, 10.0 });
    Object* i = w.call(r, "intersection", { Value(s) }).asObject();
    Object* u = w.call(r, "union", { Value(s) }).asObject();
    EXPECT_EQ(w.vm.toString(Value(i)), QStringLiteral("(x=5, y=5, w=5, h=5)"));
    EXPECT_EQ(w.number(u, "width"), 15);
    EXPECT_TRUE(w.vm.toBoolean(w.call(r, "contains", { 9.5, 0.0 })));
    EXPECT_FALSE(w.vm.toBoolean(w.call(r, "contains", { 10.0, 0.0 }))) << "right edge is outside";

    Object* cx = w.make("geom", "ColorTransform", { 1.0, 1.0, 1.0, 1.0, 10.0, 0.0, 0.0, 0.0 });
    w.vm.setMember(Value(cx), QStringLiteral("rgb"), Value(double(0x123456)));
    EXPECT_EQ(w.number(cx, "redMultiplier"), 0);
    EXPECT_EQ(w.number(cx, "greenOffset"), 0x34);
    EXPECT_EQ(w.number(cx, "rgb"), 0x123456);
}

TEST(GradientArguments, MatrixFormsPlaceTheGradientSquare)
{
    ScriptWorld w;
    // Where the gradient square's right edge (u = +16384) lands, in twips.
    auto edge = [](const swf::Matrix& m) { return m.toQTransform().map(QPointF(16384, 0)); };

    Object* box = object(w.vm, { { "matrixType", "box" }, { "x", 10.0 }, { "y", 0.0 }, { "w", 100.0 }, { "h", 40.0 }, { "r", 0.0 } });
    QPointF p = edge(swf::avm1::gradientMatrixFromObject(w.vm, box));
    EXPECT_NEAR(p.x(), (10 + 100) * 20, 1e-6) << "the box's right side";
    EXPECT_NEAR(p.y(), 20 * 20, 1e-6);

    // The nine-member form spans a unit square: a = 0, b = -80 turns the axis upwards over 80 pixels.
    Object* old = object(w.vm, { { "a", 0.0 }, { "b", -80.0 }, { "d", 80.0 }, { "e", 0.0 }, { "g", 50.0 }, { "h", 50.0 } });
    p = edge(swf::avm1::gradientMatrixFromObject(w.vm, old));
    EXPECT_NEAR(p.x(), 50 * 20, 1e-6);
    EXPECT_NEAR(p.y(), 10 * 20, 1e-6) << "80 pixels tall, centred on 50: the top edge is at 10";

    Object* matrix = w.make("geom", "Matrix", {});
    w.call(matrix, "createGradientBox", { 200.0, 200.0 });
    p = edge(swf::avm1::gradientMatrixFromObject(w.vm, matrix));
    EXPECT_NEAR(p.x(), 200 * 20, 1e-6);
    EXPECT_NEAR(p.y(), 100 * 20, 1e-6);
}

TEST(GradientArguments, StopsFromColorsAlphasAndRatios)
{
    ScriptWorld w;
    auto fill = swf::avm1::gradientFromArguments(w.vm,
        gradientArgs(w.vm, "linear", { double(0xff0000), Value("255") }, { 100.0, Value() }, { 0.0, 255.8 }));
    ASSERT_TRUE(fill);
    EXPECT_EQ(fill->type, swf::FillStyle::Type::Linear);
    ASSERT_EQ(fill->gradient.stops.size(), 2u);
    EXPECT_EQ(fill->gradient.stops[0].color, (swf::Rgba { 255, 0, 0, 255 }));
    EXPECT_EQ(fill->gradient.stops[1].color, (swf::Rgba { 0, 0, 255, 0 })) << "a string colour converts, a missing alpha is 0";
    EXPECT_EQ(fill->gradient.stops[1].ratio, 255);

    // The fewest entries of the three arrays decide how many stops there are.
    fill = swf::avm1::gradientFromArguments(w.vm,
        gradientArgs(w.vm, "radial", { 0.0, 0.0, 0.0 }, { 250.0, 50.0 }, { 0.0, 10.0, 20.0 }));
    ASSERT_TRUE(fill);
    EXPECT_EQ(fill->type, swf::FillStyle::Type::Radial);
    ASSERT_EQ(fill->gradient.stops.size(), 2u);
    EXPECT_EQ(fill->gradient.stops[0].color.a, 255) << "alphas are percentages, clamped";
    EXPECT_EQ(fill->gradient.stops[1].color.a, 128);

    EXPECT_FALSE(swf::avm1::gradientFromArguments(w.vm, gradientArgs(w.vm, "Radial", { 0.0 }, { 100.0 }, { 0.0 })))
        << "fill type names are case-sensitive";
    EXPECT_FALSE(swf::avm1::gradientFromArguments(w.vm, gradientArgs(w.vm, "linear", { 0.0 }, { 100.0 }, { 256.0 })));
    EXPECT_FALSE(swf::avm1::gradientFromArguments(w.vm, gradientArgs(w.vm, "linear", { 0.0 }, { 100.0 }, { -1.0 })));
    auto empty = swf::avm1::gradientFromArguments(w.vm, gradientArgs(w.vm, "linear", {}, {}, {}));
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->type, swf::FillStyle::Type::Solid) << "no colours fill black";
    EXPECT_EQ(empty->color, (swf::Rgba { 0, 0, 0, 255 }));
}

TEST(BitmapData, PixelsKeepTheirAlphaRules)
{
    ScriptWorld w;
    Object* bd = w.make("display", "BitmapData", { 4.0, 3.0, true, double(0x80ff0000u) });
    EXPECT_EQ(w.number(bd, "width"), 4);
    EXPECT_EQ(w.number(bd, "height"), 3);
    EXPECT_EQ(w.vm.toNumber(w.call(bd, "getPixel32", { 0.0, 0.0 })), double(int32_t(0x80ff0000u)));
    EXPECT_EQ(w.vm.toNumber(w.call(bd, "getPixel", { 3.0, 2.0 })), double(0xff0000));
    EXPECT_EQ(w.vm.toNumber(w.call(bd, "getPixel", { 4.0, 0.0 })), 0) << "outside the bitmap";

    w.call(bd, "setPixel", { 1.0, 1.0, double(0x00ff00) });
    EXPECT_EQ(uint32_t(int32_t(w.vm.toNumber(w.call(bd, "getPixel32", { 1.0, 1.0 })))), 0x8000ff00u) << "setPixel keeps alpha";

    Object* opaque = w.make("display", "BitmapData", { 2.0, 2.0, false, 0.0 });
    w.call(opaque, "setPixel32", { 0.0, 0.0, double(0x200000ffu) });
    EXPECT_EQ(uint32_t(int32_t(w.vm.toNumber(w.call(opaque, "getPixel32", { 0.0, 0.0 })))), 0xff0000ffu)
        << "an opaque bitmap ignores alpha";

    Object* rect = w.make("geom", "Rectangle", { 2.0, 1.0, 10.0, 10.0 });
    w.call(bd, "fillRect", { Value(rect), double(0xff0000ffu) });
    EXPECT_EQ(w.vm.toNumber(w.call(bd, "getPixel", { 3.0, 2.0 })), 0xff);
    EXPECT_EQ(w.vm.toNumber(w.call(bd, "getPixel", { 1.0, 2.0 })), double(0xff0000)) << "left of the rectangle";
}

TEST(BitmapData, CloneDisposeAndBadSizes)
{
    ScriptWorld w;
    Object* bd = w.make("display", "BitmapData", { 2.0, 2.0 });
    EXPECT_EQ(uint32_t(int32_t(w.vm.toNumber(w.call(bd, "getPixel32", { 0.0, 0.0 })))), 0xffffffffu) << "white by default";
    Object* copy = w.call(bd, "clone").asObject();
    w.call(copy, "setPixel", { 0.0, 0.0, 0.0 });
    EXPECT_EQ(w.vm.toNumber(w.call(bd, "getPixel", { 0.0, 0.0 })), double(0xffffff)) << "a clone has pixels of its own";

    std::shared_ptr<swf::BitmapPixels> shared = swf::avm1::bitmapPixelsOf(Value(bd));
    ASSERT_TRUE(shared);
    w.call(bd, "dispose");
    EXPECT_TRUE(shared->disposed) << "fills holding the pixels see the dispose";
    EXPECT_FALSE(swf::avm1::bitmapPixelsOf(Value(bd)));
    EXPECT_EQ(w.number(bd, "width"), -1);

    EXPECT_EQ(w.number(w.make("display", "BitmapData", { 0.0, 10.0 }), "width"), -1);
    EXPECT_EQ(w.number(w.make("display", "BitmapData", { 2881.0, 10.0 }), "width"), -1);
    EXPECT_EQ(w.number(w.make("display", "BitmapData", { 2880.0, 1.0 }), "width"), 2880);
}

TEST(BitmapData, LoadBitmapByLinkageName)
{
    swfw::Movie m(8, 100, 100, 12);
    QImage tile(3, 2, QImage::Format_ARGB32);
    tile.fill(qRgba(0, 0, 255, 255));
    tile.setPixel(2, 1, qRgba(255, 0, 0, 255));
    m.defineBitsLossless(7, tile, true);
    QByteArray exports;
    exports.append(char(1)).append(char(0)); // one name
    exports.append(char(7)).append(char(0)); // character 7
    exports.append("tile").append(char(0));
    m.tag(uint16_t(56), exports); // ExportAssets
    m.showFrame();
    ScriptWorld w(swf::Movie::load(m.bytes()).release());

    Value ctor = w.vm.getMember(Value(swf::avm1::flashPackage(w.vm, QStringLiteral("display"))), QStringLiteral("BitmapData"));
    Object* loaded = w.call(ctor.asObject(), "loadBitmap", { "tile" }).asObject();
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(w.number(loaded, "width"), 3);
    EXPECT_EQ(w.vm.toNumber(w.call(loaded, "getPixel", { 2.0, 1.0 })), double(0xff0000));
    EXPECT_EQ(w.vm.toNumber(w.call(loaded, "getPixel", { 0.0, 0.0 })), double(0x0000ff));
    EXPECT_TRUE(w.call(ctor.asObject(), "loadBitmap", { "missing" }).isUndefined());
}

TEST(FlashFilters, ObjectsBecomeRuntimeFiltersAndBack)
{
    ScriptWorld w;
    Object* blur = w.make("filters", "BlurFilter", { 2.0, 3.0, 2.0 });
    auto f = swf::avm1::filterFromObject(w.vm, blur);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->type, 1);
    EXPECT_EQ(f->blurX, 2);
    EXPECT_EQ(f->blurY, 3);
    EXPECT_EQ(f->passes, 2);

    // Quality 0 runs no blur pass: the object stays sharp.
    f = swf::avm1::filterFromObject(w.vm, w.make("filters", "BlurFilter", { 8.0, 8.0, 0.0 }));
    ASSERT_TRUE(f);
    EXPECT_EQ(f->blurX, 0);

    Object* shadow = w.make("filters", "DropShadowFilter", { 5.0, 90.0, double(0x336699), 0.5 });
    f = swf::avm1::filterFromObject(w.vm, shadow);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->type, 0);
    EXPECT_NEAR(f->angle, M_PI / 2, 1e-9);
    EXPECT_EQ(f->color, (swf::Rgba { 0x33, 0x66, 0x99, 128 }));
    EXPECT_EQ(f->blurX, 4) << "defaults fill the arguments not given";

    Object* back = swf::avm1::objectFromFilter(w.vm, *f);
    ASSERT_NE(back, nullptr);
    EXPECT_NEAR(w.number(back, "angle"), 90, 1e-9);
    EXPECT_EQ(w.number(back, "color"), 0x336699);
    EXPECT_EQ(w.number(back, "distance"), 5);
    EXPECT_TRUE(w.vm.isInstanceOf(back, w.vm.getMember(Value(swf::avm1::flashPackage(w.vm, QStringLiteral("filters"))),
                                            QStringLiteral("DropShadowFilter")).asObject()));

    Object* copy = w.call(blur, "clone").asObject();
    ASSERT_NE(copy, nullptr);
    w.vm.setMember(Value(copy), QStringLiteral("blurX"), Value(9.0));
    EXPECT_EQ(w.number(blur, "blurX"), 2) << "a clone is a separate object";
    EXPECT_EQ(swf::avm1::filterFromObject(w.vm, copy)->blurX, 9);

    EXPECT_FALSE(swf::avm1::filterFromObject(w.vm, object(w.vm, { { "blurX", 4.0 } }))) << "look-alikes are not filters";

    Object* matrix = w.make("filters", "ColorMatrixFilter", { Value(array(w.vm, { 0.0, 1.0 })) });
    f = swf::avm1::filterFromObject(w.vm, matrix);
    ASSERT_TRUE(f);
    ASSERT_EQ(f->colorMatrix.size(), 20u);
    EXPECT_EQ(f->colorMatrix[1], 1);
    EXPECT_EQ(f->colorMatrix[6], 0) << "missing entries are 0";
}
