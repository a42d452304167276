// The flash packages in movies older than version 8: hidden until the movie
// clears their version bit, then whole (geom, display and filters alike).
// And Point.distance, which squares and roots as the player does.

#include "support/BuiltinsRows.h"

#include <limits>

using namespace swf::avm1;
using namespace swf::avm1::test;

namespace {

constexpr double Inf = std::numeric_limits<double>::infinity();

// ASSetPropFlags(_global, "flash", 0, 4096)
S unhideFlash()
{
    return std::move(S().value(4096).value(0).value("flash").var("_global").value(4).value("ASSetPropFlags").op(0x3D).pop());
}

// trace(typeof flash.<package>.<className>)
S typeOfClass(const char* package, const char* className)
{
    return std::move(S().member("flash", { package, className }).typeOf().trace());
}

// trace(flash.geom.Point.distance(new Point(x1, y1), new Point(x2, y2)))
S distance(Asm::Item x1, Asm::Item y1, Asm::Item x2, Asm::Item y2)
{
    S s;
    s.assign("P", S().member("flash", { "geom", "Point" }));
    s.then(S().construct("P", { x2, y2 })).then(S().construct("P", { x1, y1 })).value(2);
    s.var("P").value("distance").op(0x52).trace();
    return s;
}

} // namespace

TEST(FlashPackages, OlderMoviesSeeThemOnceTheVersionBitIsCleared)
{
    S all = S().then(unhideFlash()).then(typeOfClass("geom", "Point")).then(typeOfClass("display", "BitmapData"));
    all.then(typeOfClass("filters", "BlurFilter"));
    runRows({
        { "hidden in 7", 7, S().var("flash").typeOf().trace(), { "undefined" } },
        { "every package in 7", 7, all, { "function", "function", "function" } },
        { "every package in 6", 6, all, { "function", "function", "function" } },
    });
}

TEST(FlashPackages, PointDistanceSquaresAndRoots)
{
    runRows({
        { "three four five", 8, distance(0, 0, 3, 4), { "5" } },
        // Infinity - Infinity is NaN, and NaN spreads through the sum.
        { "both infinite", 8, distance(Inf, 0, Inf, 0), { "NaN" } },
    });
}
