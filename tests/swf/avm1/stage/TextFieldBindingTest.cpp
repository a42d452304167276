// A text field's text set by a script (an object's toString answer or its
// type name) and its bound variable: a clip's variable keeps the field up
// to date, a plain object's is read only when the variable is named.

#include "support/BuiltinsRows.h"

using namespace swf::avm1;
using namespace swf::avm1::test;

namespace {

// _root.createTextField("t", 1, 0, 0, 100, 100); t = _root.t
S field()
{
    S s;
    s.method("_root", "createTextField", { "t", 1, 0, 0, 100, 100 }).pop();
    s.assign("t", S().member("_root", { "t" }));
    return s;
}

} // namespace

TEST(TextFieldBinding, ObjectVariablesAreReadWhenNamed)
{
    S s = field();
    s.assign("o", S().object({ { "v", 4 } }));
    s.setMember("t", "variable", S().value("o.v")).member("t", { "text" }).trace();
    s.setMember("o", "v", S().value(5)).member("t", { "text" }).trace();
    // The field still writes its text into the object.
    s.setMember("t", "text", S().value("6")).member("o", { "v" }).trace();
    s.setMember("o", "v", S().value(7)).setMember("t", "variable", S().value("o.v")).member("t", { "text" }).trace();
    runRows({ { "o.v", 7, s, { "4", "4", "6", "7" } } });
}

TEST(TextFieldBinding, ClipVariablesKeepTheFieldUpToDate)
{
    S s = field();
    s.method("_root", "createEmptyMovieClip", { "m", 2 }).pop();
    s.assign("m", S().member("_root", { "m" }));
    s.setMember("m", "v", S().value(1)).setMember("t", "variable", S().value("m.v")).member("t", { "text" }).trace();
    s.setMember("m", "v", S().value(2)).member("t", { "text" }).trace();
    runRows({ { "m.v", 7, s, { "1", "2" } } });
}

TEST(TextFieldBinding, TextOfAnObjectIsItsToStringOrItsType)
{
    // function ts() { return 5; }: an answer that is no text.
    S s = field();
    s.function("ts", {}, S().value(5).ret());
    s.assign("o", S().object({}));
    s.setMember("o", "toString", S().var("ts"));
    s.setMember("t", "text", S().var("o")).member("t", { "text" }).trace().member("t", { "length" }).trace();
    runRows({ { "toString gives 5", 7, s, { "[type Object]", "13" } } });
}
