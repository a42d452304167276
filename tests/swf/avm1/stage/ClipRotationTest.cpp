// _rotation reads back as the script set it, brought into -180..180; NaN is
// ignored and an infinite angle reads back as NaN until the next setting.

#include "support/BuiltinsRows.h"

using namespace swf::avm1;
using namespace swf::avm1::test;

namespace {

// createEmptyMovieClip("c", 1); then for each angle: c._rotation = angle; trace(c._rotation)
S rotations(std::initializer_list<S> angles)
{
    S s;
    s.call("createEmptyMovieClip", { "c", 1 }).pop();
    for (const S& angle : angles)
        s.setMember("c", "_rotation", angle).member("c", { "_rotation" }).trace();
    return s;
}

S num(double v)
{
    return std::move(S().value(v));
}

} // namespace

TEST(ClipRotation, ReadsBackAsSetWithinHalfATurn)
{
    runRows({
        { "whole degrees", 7, rotations({ num(127), num(2147483647), num(-360), num(360) }), { "127", "127", "0", "0" } },
        { "past half a turn", 7, rotations({ num(181), num(-181), num(180), num(-180) }), { "-179", "179", "180", "-180" } },
        { "pi", 7, rotations({ S().member("Math", { "PI" }) }), { "3.14159265358979" } },
    });
}

TEST(ClipRotation, NaNIsIgnoredAndInfinityReadsNaN)
{
    runRows({
        { "NaN first", 7, rotations({ S().var("NaN") }), { "0" } },
        { "NaN after 30", 7, rotations({ num(30), S().var("NaN") }), { "30", "30" } },
        { "infinity, then a number", 7, rotations({ S().var("Infinity"), num(45) }), { "NaN", "45" } },
    });
}
