// TextFormat members convert what a script writes to them; each expected
// trace is worked out by hand.

#include "support/BuiltinsRows.h"

using namespace swf::avm1;
using namespace swf::avm1::test;

namespace {

// f = new TextFormat(); n = 0;
// t = {valueOf: function() { n = n + 1; trace("v" + n); return n; },
//      toString: function() { trace("s"); return text; }};
// f[name] = t; trace(f[name])
S writeTester(const char* name, const char* text)
{
    S s;
    s.assign("f", S().construct("TextFormat"));
    s.assign("n", S().value(0));
    s.assign("t", S().object({}));
    s.setMember("t", "valueOf",
                S().function("", {}, S().assign("n", S().var("n").value(1).add()).value("v").var("n").add().trace().var("n").ret()));
    s.setMember("t", "toString", S().function("", {}, S().value("s").trace().value(text).ret()));
    s.setMember("f", name, S().var("t"));
    s.member("f", { name }).trace();
    return s;
}

} // namespace

TEST(TextFormatMembers, WritesAskNumberTwiceThenText)
{
    runRows({
        { "a whole number from the first reading", 6, writeTester("size", "x"), { "v1", "v2", "s", "1" } },
        { "from the second in version 8", 8, writeTester("leftMargin", "x"), { "v1", "v2", "s", "2" } },
        { "the colour reads the first in version 8 too", 8, writeTester("color", "x"), { "v1", "v2", "s", "1" } },
        { "text members take the text", 7, writeTester("font", "Arial"), { "v1", "v2", "s", "Arial" } },
        { "an alignment from the fixed set", 7, writeTester("align", "RIGHT"), { "v1", "v2", "s", "right" } },
        { "any other alignment leaves the member", 7, writeTester("align", "middle"), { "v1", "v2", "s", "null" } },
        { "flags are the value's truth", 6, writeTester("bold", "x"), { "v1", "v2", "s", "true" } },
        { "display asks its text once more", 8, writeTester("display", "inline"), { "v1", "v2", "s", "s", "inline" } },
        { "kerning is plain data before version 8", 7,
          std::move(S().assign("f", S().construct("TextFormat")).setMember("f", "kerning", S().value("k")).member("f", { "kerning" }).trace()),
          { "k" } },
        { "constructor arguments are written the same way", 7,
          std::move(S().assign("f", S().construct("TextFormat", { "Arial", "12.5" })).member("f", { "size" }).trace()), { "12" } },
    });
}
