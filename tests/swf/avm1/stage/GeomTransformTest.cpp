// flash.geom.ColorTransform's channels (numbers at once, version 8 only, rgb
// packed with its sign) and flash.geom.Transform over a clip (fixed-point
// storage, concatenation rounded down, the matrix in pixels).

#include "support/BuiltinsRows.h"

using namespace swf::avm1;
using namespace swf::avm1::test;

namespace {

// ASSetPropFlags(_global, "flash", 0, 4096): older movies then see the package.
S unhideFlash()
{
    return std::move(S().value(4096).value(0).value("flash").var("_global").value(4).value("ASSetPropFlags").op(0x3D).pop());
}

// CT = flash.geom.ColorTransform; c = new CT(channels...)
S makeColorTransform(std::initializer_list<Asm::Item> channels)
{
    S s;
    s.assign("CT", S().member("flash", { "geom", "ColorTransform" }));
    s.assign("c", S().construct("CT", channels));
    return s;
}

// object.member = <value>
S setPath(const char* object, std::initializer_list<const char*> path, const char* member, const S& value)
{
    return std::move(S().member(object, path).value(member).then(value).op(0x4F));
}

// trace(object.path...)
S tracePath(const char* object, std::initializer_list<const char*> path)
{
    return std::move(S().member(object, path).trace());
}

// _root.createEmptyMovieClip(name, depth) as a child of `parent`.
S emptyClip(const char* parent, const char* name, int depth)
{
    return std::move(S().method(parent, "createEmptyMovieClip", { name, depth }).pop());
}

} // namespace

TEST(ColorTransformChannels, SetValuesBecomeNumbersAtOnce)
{
    S s = makeColorTransform({});
    s.then(setPath("c", {}, "redMultiplier", S().value(true))).then(tracePath("c", { "redMultiplier" }));
    s.then(setPath("c", {}, "greenOffset", S().value("12"))).then(tracePath("c", { "greenOffset" }));
    s.then(setPath("c", {}, "blueOffset", S().value("blue"))).then(tracePath("c", { "blueOffset" }));
    s.then(setPath("c", {}, "alphaOffset", S().var("undefined"))).then(tracePath("c", { "alphaOffset" }));
    runRows({ { "true, a numeric string, other text, undefined", 8, s, { "1", "12", "NaN", "NaN" } } });
}

TEST(ColorTransformChannels, ObjectsAreAskedForValueOfAlone)
{
    // function ts() { trace("toString asked"); return "7"; }  o = {}; o.toString = ts
    S s = makeColorTransform({});
    s.function("ts", {}, S().value("toString asked").trace().value("7").ret());
    s.assign("o", S().object({}));
    s.then(setPath("o", {}, "toString", S().var("ts")));
    s.then(setPath("c", {}, "redOffset", S().var("o"))).then(tracePath("c", { "redOffset" }));
    // A Date answers its valueOf with its time.
    s.then(setPath("c", {}, "greenOffset", S().construct("Date", { 5 }))).then(tracePath("c", { "greenOffset" }));
    runRows({ { "toString is never asked", 8, s, { "NaN", "5" } } });
}

TEST(ColorTransformChannels, ConstructorTakesAllEightOrNone)
{
    runRows({
        { "one argument leaves the identity", 8, makeColorTransform({ 0.5 }).then(tracePath("c", { "redMultiplier" })), { "1" } },
        { "seven arguments too", 8,
            makeColorTransform({ 0.5, 0.5, 0.5, 0.5, 1, 2, 3 }).then(tracePath("c", { "blueOffset" })), { "0" } },
        { "eight are taken", 8,
            makeColorTransform({ 0.5, 0.5, 0.5, 0.5, 1, 2, 3, 4 }).then(tracePath("c", { "alphaOffset" })), { "4" } },
    });
}

TEST(ColorTransformChannels, OlderMoviesSeeNoAccessors)
{
    S s = unhideFlash().then(makeColorTransform({ 0.5, 0.5, 0.5, 0.5, 1, 2, 3, 4 }));
    s.then(tracePath("c", { "redMultiplier" })).then(tracePath("c", { "rgb" }));
    // What the movie sets stays a plain member, as it was given.
    s.then(setPath("c", {}, "blueOffset", S().value(true))).then(tracePath("c", { "blueOffset" }));
    runRows({ { "version 7", 7, s, { "undefined", "undefined", "true" } } });
}

TEST(ColorTransformChannels, RgbPacksTruncatedOffsetsWithTheirSign)
{
    // (-1 << 16) | (2 << 8) | 3 = 0xFFFF0000 | 0x0200 | 0x0003 = 0xFFFF0203 = -65021.
    S negative = makeColorTransform({ 1, 1, 1, 1, -1, 2, 3, 0 }).then(tracePath("c", { "rgb" }));
    // 4.5, 5.5, 6.5 truncate to 4, 5, 6: 0x040506 = 263430.
    S fractions = makeColorTransform({ 1, 1, 1, 1, 4.5, 5.5, 6.5, 0 }).then(tracePath("c", { "rgb" }));
    // Setting rgb zeroes the colour multipliers and leaves alpha alone.
    S set = makeColorTransform({ 2, 2, 2, 2, 0, 0, 0, 0 });
    set.then(setPath("c", {}, "rgb", S().value(0x123456)));
    set.then(tracePath("c", { "redMultiplier" })).then(tracePath("c", { "alphaMultiplier" })).then(tracePath("c", { "greenOffset" }));
    runRows({
        { "negative red", 8, negative, { "-65021" } },
        { "fractions", 8, fractions, { "263430" } },
        { "set", 8, set, { "0", "2", "52" } },
    });
}

TEST(ClipTransform, ColorTransformIsStoredInFixedPoint)
{
    S s = emptyClip("_root", "a", 1);
    // 0.35452 * 256 = 90.76: kept as 90/256; offsets 700.5 and -4.5 lose their fractions.
    s.then(makeColorTransform({ 0.35452, 1, 1, 1, 700.5, -4.5, 0, 0 }));
    s.then(setPath("a", { "transform" }, "colorTransform", S().var("c")));
    s.then(tracePath("a", { "transform", "colorTransform", "redMultiplier" }));
    s.then(tracePath("a", { "transform", "colorTransform", "redOffset" }));
    s.then(tracePath("a", { "transform", "colorTransform", "greenOffset" }));
    runRows({ { "stored", 8, s, { "0.3515625", "700", "-4" } } });
}

TEST(ClipTransform, ConcatenationRoundsDown)
{
    S s = emptyClip("_root", "a", 1).then(emptyClip("a", "b", 1));
    s.then(makeColorTransform({ 1, -1.5, 1, 1, 0, -500, 0, 0 }));
    s.then(setPath("a", { "transform" }, "colorTransform", S().var("c")));
    s.then(makeColorTransform({ 1, 0.33984375, 1, 1, 0, -25, 0, 0 }));
    s.then(setPath("a", { "b", "transform" }, "colorTransform", S().var("c")));
    // -1.5 * 0.33984375 = -0.509765625 = -130.5/256, down to -131/256;
    // -1.5 * -25 - 500 = -462.5, down to -463.
    s.then(tracePath("a", { "b", "transform", "concatenatedColorTransform", "greenMultiplier" }));
    s.then(tracePath("a", { "b", "transform", "concatenatedColorTransform", "greenOffset" }));
    runRows({ { "b inside a", 8, s, { "-0.51171875", "-463" } } });
}

TEST(ClipTransform, MatrixReadsAndWritesInPixels)
{
    S s = emptyClip("_root", "a", 1);
    s.then(setPath("_root", { "a" }, "_x", S().value(10)));
    s.then(tracePath("a", { "transform", "matrix", "tx" }));
    s.assign("M", S().member("flash", { "geom", "Matrix" }));
    s.then(setPath("a", { "transform" }, "matrix", S().construct("M", { 2, 0, 0, 2, 5, 6 })));
    s.then(tracePath("a", { "_xscale" })).then(tracePath("a", { "_y" }));
    runRows({ { "set and read back", 8, s, { "10", "200", "6" } } });
}

TEST(ClipTransform, OlderMoviesReadNothing)
{
    S s = unhideFlash();
    s.assign("T", S().member("flash", { "geom", "Transform" }));
    s.assign("t", S().var("_root").constructWith("T", 1));
    s.then(tracePath("t", { "colorTransform" })).then(tracePath("t", { "matrix" }));
    runRows({ { "version 7", 7, s, { "undefined", "undefined" } } });
}

TEST(ClipTransform, PointsMapOnlyAsTwoNumbersInWholeTwips)
{
    // a at x 50 with half the width: a point maps to 50 + x / 2.
    S s = emptyClip("_root", "a", 1);
    s.then(setPath("_root", { "a" }, "_x", S().value(50))).then(setPath("_root", { "a" }, "_xscale", S().value(50)));
    // localToGlobal(p) with p a variable's value, then trace(p.x).
    auto mapVar = [](S::Item x) {
        S m;
        m.assign("p", S().object({ { "x", x }, { "y", 0 } }));
        m.var("p").value(1).var("a").value("localToGlobal").op(0x52).pop();
        m.member("p", { "x" }).trace();
        return std::move(m);
    };
    s.then(mapVar(4));          // 50 + 2
    s.then(mapVar("4"));        // a string: left as it is
    s.then(mapVar(true));       // a boolean too
    // 2147483647 px is 42949672940 twips, which wraps to -20: -1 px.
    s.then(mapVar(2147483647.0));
    // Members it only inherits do not count: q = {__proto__: {x: 4, y: 0}}.
    s.assign("q", S().object({ { "__proto__", 0 } }));
    s.setMember("q", "__proto__", S().object({ { "x", 4 }, { "y", 0 } }));
    s.var("q").value(1).var("a").value("localToGlobal").op(0x52).pop();
    s.member("q", { "x" }).trace();
    runRows({ { "numbers only", 8, s, { "52", "4", "true", "49.5", "4" } } });
}

TEST(ClipTransform, GeometryMethodsAreScriptFunctions)
{
    // P = flash.geom.Point; each method is enumerable and has a prototype.
    S s;
    s.assign("P", S().member("flash", { "geom", "Point" }));
    s.assign("pp", S().member("P", { "prototype" }));
    s.method("pp", "isPropertyEnumerable", { "add" }).trace();
    s.member("pp", { "add", "prototype" }).typeOf().trace();
    s.method("P", "isPropertyEnumerable", { "distance" }).trace();
    runRows({ { "Point", 8, s, { "true", "object", "true" } } });
}
