// How a name on a clip is found: its own members first, then a child of that
// name, then the clip's built-in properties, then its prototype; GetProperty
// by index always reads the built-in one. And getSWFVersion, which answers
// for clips and text fields alone.

#include "support/BuiltinsRows.h"

using namespace swf::avm1;
using namespace swf::avm1::test;

namespace {

// getter function returning `text`, as the third argument pushed for addProperty
S getterOf(const char* text)
{
    return std::move(S().function("", {}, S().value(text).ret()));
}

// this.addProperty(name, function () { return text; }, null)
S addPropertyOnThis(const char* name, const char* text)
{
    S s;
    s.value(Null {}).then(getterOf(text)).value(name).value(3).var("this");
    s.value("addProperty").op(0x52).pop(); // CallMethod
    return s;
}

// f = this.getSWFVersion; o = <made>; o.f = f; trace(o.f())
S versionOn(const S& made)
{
    S s;
    s.assign("f", S().member("this", { "getSWFVersion" }));
    s.assign("o", made);
    s.setMember("o", "f", S().var("f"));
    s.method("o", "f").trace();
    return s;
}

} // namespace

TEST(ClipLookup, AChildHidesABuiltInPropertyAndAMemberHidesBoth)
{
    // createEmptyMovieClip("_x", 0); trace(_x)
    S child = S().call("createEmptyMovieClip", { "_x", 0 }).pop().var("_x").trace();
    // this.addProperty("_x", getter); trace(_x)
    S member = S().then(addPropertyOnThis("_x", "got me")).var("_x").trace();
    // addProperty("_y", getter); createEmptyMovieClip("_y", 0); trace(_y)
    S memberThenChild = S().then(addPropertyOnThis("_y", "mine")).call("createEmptyMovieClip", { "_y", 0 }).pop().var("_y").trace();
    // getProperty("", _x) reads the position however the name is hidden.
    S byIndex = S().then(addPropertyOnThis("_x", "got me")).value("").value(0).op(0x22).trace();
    // A getter on the prototype does not hide the built-in _xscale.
    S onProto;
    onProto.value(Null {}).then(getterOf("proto")).value("_xscale").value(3);
    onProto.member("this", { "__proto__" }).value("addProperty").op(0x52).pop();
    onProto.var("_xscale").trace();
    runRows({
        { "child named _x", 7, child, { "_level0._x" } },
        { "member named _x", 7, member, { "got me" } },
        // Version 5 reads the built-in property whatever hides it.
        { "member named _x, version 5", 5, member, { "0" } },
        { "member before child", 7, memberThenChild, { "mine" } },
        { "by index", 7, byIndex, { "0" } },
        { "prototype getter", 7, onProto, { "100" } },
    });
}

TEST(ClipLookup, GetSWFVersionAnswersForClipsAndTextFieldsOnly)
{
    // this.createTextField("t", 1, 0, 0, 100, 100)
    S field = S().method("this", "createTextField", { "t", 1, 0, 0, 100, 100 }).pop();
    runRows({
        { "on the root", 6, S().method("this", "getSWFVersion").trace(), { "6" } },
        { "moved to a plain object", 7, versionOn(S().object({})), { "-1" } },
        { "moved to a number object", 5, versionOn(S().construct("Number", { 42 })), { "-1" } },
        { "moved to a text field", 8, S().then(field).then(versionOn(S().var("t"))), { "8" } },
    });
}

TEST(ClipLookup, SetMaskIsHiddenFromVersion5Movies)
{
    // trace(typeof this.setMask)
    S s = S().member("this", { "setMask" }).typeOf().trace();
    runRows({
        { "version 5", 5, s, { "undefined" } },
        { "version 6", 6, s, { "function" } },
    });
}

TEST(ClipLookup, AReferenceToARemovedClipReadsEmpty)
{
    // x = createEmptyMovieClip("b", 1); b.removeMovieClip(); trace(x); trace(typeof x)
    S s;
    s.assign("x", S().call("createEmptyMovieClip", { "b", 1 }));
    s.method("b", "removeMovieClip").pop();
    s.var("x").trace().var("x").typeOf().trace();
    // Once a clip of that name stands at the path again, the reference finds it.
    S again = S().then(s).call("createEmptyMovieClip", { "b", 2 }).pop().var("x").trace();
    runRows({
        { "gone", 7, s, { "", "movieclip" } },
        { "replaced", 7, again, { "", "movieclip", "_level0.b" } },
    });
}
