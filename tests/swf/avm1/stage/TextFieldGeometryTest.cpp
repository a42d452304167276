// A text field's position and box are kept in whole twips of 32 bits: what
// a script sets wraps as a 32-bit number would, infinities land on 0, and
// NaN, undefined, null and (for the box) negative sizes are ignored.

#include "support/BuiltinsRows.h"

#include <cmath>

using namespace swf::avm1;
using namespace swf::avm1::test;

namespace {

// _root.createTextField("t", 1, 7, 0, 100, 100); t[prop] = v; trace(t[prop])
S setAndRead(const char* prop, Asm::Item v)
{
    S s;
    s.method("_root", "createTextField", { "t", 1, 7, 0, 100, 100 }).pop();
    s.assign("t", S().member("_root", { "t" }));
    s.setMember("t", prop, S().value(v)).member("t", { prop }).trace();
    return s;
}

} // namespace

TEST(TextFieldGeometry, PositionsAreWholeTwipsOf32Bits)
{
    runRows({
        { "x -0.5", 7, setAndRead("_x", -0.5), { "-0.5" } },
        { "x Infinity", 7, setAndRead("_x", INFINITY), { "0" } },
        { "x -Infinity", 7, setAndRead("_x", -INFINITY), { "0" } },
        // 103584024400.25 px = 2071680488005 twips; less 482 * 2^32 that is
        // 1506251333 twips = 75312566.65 px.
        { "x wraps", 7, setAndRead("_x", 103584024400.25), { "75312566.65" } },
        { "x NaN", 7, setAndRead("_x", std::nan("")), { "7" } },
        { "x null in 6", 6, setAndRead("_x", Null {}), { "7" } },
    });
}

TEST(TextFieldGeometry, BoxSizesWrapAndRefuseNegatives)
{
    runRows({
        { "width 50", 7, setAndRead("_width", 50), { "50" } },
        { "width Infinity", 7, setAndRead("_width", INFINITY), { "0" } },
        { "width -1", 7, setAndRead("_width", -1), { "100" } },
        { "width -Infinity", 7, setAndRead("_width", -INFINITY), { "100" } },
        { "width wraps", 7, setAndRead("_width", 103584024400.25), { "75312566.65" } },
        { "width undefined in 6", 6, setAndRead("_width", Undef {}), { "100" } },
    });
}

namespace {

// _root.createTextField("t", 1, x, y, w, h); trace(t[prop])
S createAndRead(double x, double y, double w, double h, const char* prop)
{
    S s;
    s.method("_root", "createTextField", { "t", 1, x, y, w, h }).pop();
    s.member("_root", { "t", prop }).trace();
    return s;
}

} // namespace

TEST(TextFieldGeometry, CreateTextFieldTakesWholePixels)
{
    // Place and size given to createTextField lose their fractions toward
    // zero: a field asked for at 100.5 sits at 100, one at -3.7 at -3.
    runRows({
        { "x 100.5", 7, createAndRead(100.5, 0, 50, 20, "_x"), { "100" } },
        { "y -3.7", 7, createAndRead(0, -3.7, 50, 20, "_y"), { "-3" } },
        { "width 50.9", 7, createAndRead(0, 0, 50.9, 20, "_width"), { "50" } },
        { "height 20.5", 7, createAndRead(0, 0, 50, 20.5, "_height"), { "20" } },
    });
}
