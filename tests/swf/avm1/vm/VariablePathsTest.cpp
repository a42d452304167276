// Variable names read as paths: where the variable starts, how segments
// split, what ".." and leading colons mean, and children before variables;
// each expected trace is worked out by hand.

#include "support/BuiltinsRows.h"

using namespace swf::avm1;
using namespace swf::avm1::test;

namespace {

// object.child.name = value, the child looked up as a plain member.
S setOnChild(const char* object, const char* child, const char* name, int value)
{
    return std::move(S().var(object).value(child).op(0x4E).value(name).value(value).op(0x4F));
}

// Clips a, a["b.c"] and a[".."]; d is 40 on the root, 41 on a, 42 on
// a["b.c"], 45 on a[".."].
S clips()
{
    return std::move(S().call("createEmptyMovieClip", { "a", 1 }).pop()
                         .method("a", "createEmptyMovieClip", { "b.c", 1 }).pop()
                         .method("a", "createEmptyMovieClip", { "..", 2 }).pop()
                         .assign("d", S().value(40))
                         .setMember("a", "d", S().value(41))
                         .then(setOnChild("a", "b.c", "d", 42))
                         .then(setOnChild("a", "..", "d", 45)));
}

S read(const char* path) { return std::move(clips().var(path).trace()); }

} // namespace

TEST(VariablePaths, SegmentsAndTheVariable)
{
    runRows({
        { "a dot inside a slash path is part of the name", 7, read("a/b.c:d"), { "42" } },
        { "the last dot names the variable", 7, read("a/b.c.d"), { "42" } },
        { "a dot path", 6, read("a.d"), { "41" } },
        { ".. is the parent, before a child of that name", 7, read("a/..:d"), { "40" } },
        { "a root slash", 7, read("/a:d"), { "41" } },
        { "colons leading a segment are skipped", 7, read(":::a:d"), { "41" } },
        { "an empty segment names nothing", 7, read("a/b.c:::d"), { "undefined" } },
        { "a name starting with its only delimiter names nothing", 7, read(".d"), { "undefined" } },
        { "nor with a colon", 6, read(":d"), { "undefined" } },
        { "a missing clip", 6, read("a/x:d"), { "undefined" } },
    });
}

TEST(VariablePaths, SlashPathsAloneByVersion)
{
    runRows({
        { "a slash path names a clip from version 6", 6, std::move(clips().var("/a").typeOf().trace()), { "movieclip" } },
        { "and is a plain name before", 5, std::move(clips().var("/a").typeOf().trace()), { "undefined" } },
        { "where it can be set and read back", 5, std::move(clips().assign("/a", S().value(7)).var("/a").trace()), { "7" } },
    });
}

TEST(VariablePaths, ChildrenComeBeforeVariables)
{
    // a = {d: 1} replaces the variable a, but the clip a stays on the stage.
    S shadowed = std::move(clips().assign("a", S().object({ { "d", 1 } })));
    // a.k is both a child clip and a variable holding 3.
    S withK = std::move(clips().method("a", "createEmptyMovieClip", { "k", 3 }).pop().setMember("a", "k", S().value(3)));
    runRows({
        { "a path finds the clip", 7, std::move(S(shadowed).var("a:d").trace()), { "41" } },
        { "the plain name finds the variable", 7, std::move(S(shadowed).var("a").typeOf().trace()), { "object" } },
        { "the last name of a path is a variable, before a child", 7, std::move(S(withK).var("a:k").trace()), { "3" } },
        { "but a slash path alone ends on the child", 7, std::move(S(withK).var("a/k").typeOf().trace()), { "movieclip" } },
    });
}

TEST(VariablePaths, SegmentsAreReadInPiecesOf127Characters)
{
    // A clip named by 127 characters holds c = {v: 7}; the path with the
    // name and a "c" glued on (128 characters) reads as name, then "c".
    const std::string name(127, 'n');
    const std::string glued = name + "c:v";
    const std::string longName = std::string(128, 'm');
    const std::string longPath = longName + ":v";
    S setup = std::move(S().call("createEmptyMovieClip", { name.c_str(), 1 }).pop()
                            .call("createEmptyMovieClip", { longName.c_str(), 2 }).pop()
                            .var(name.c_str()).value("c").then(S().object({ { "v", 7 } })).op(0x4F)
                            .var(longName.c_str()).value("v").value(8).op(0x4F));
    runRows({
        { "the 128th character starts a segment", 6, std::move(S(setup).var(glued.c_str()).trace()), { "7" } },
        // The clip of 128 characters is never reached by a path.
        { "a 128-character name is not found", 6, std::move(S(setup).var(longPath.c_str()).trace()), { "undefined" } },
    });
}
