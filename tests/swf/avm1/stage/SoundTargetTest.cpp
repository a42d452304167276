// What a Sound object speaks for: the whole movie, a clip found by its path
// on each use (so one made before its clip, or one whose clip was renamed,
// does nothing until a clip stands at that path), or a text field. Volume
// and pan belong to the target, shared by every Sound over it.

#include "support/BuiltinsRows.h"

using namespace swf::avm1;
using namespace swf::avm1::test;

namespace {

// trace(name.getVolume())
S volumeOf(const char* name)
{
    return std::move(S().method(name, "getVolume").trace());
}

} // namespace

TEST(SoundTarget, APathIsLookedUpOnEachUse)
{
    // s = new Sound("a"); s.setVolume(50); trace(s.getVolume());
    // createEmptyMovieClip("a", 1); trace(s.getVolume()); s.setVolume(30);
    // o = new Sound(a); trace(o.getVolume())
    S s;
    s.assign("s", S().construct("Sound", { "a" }));
    s.method("s", "setVolume", { 50 }).pop().then(volumeOf("s"));
    s.call("createEmptyMovieClip", { "a", 1 }).pop().then(volumeOf("s"));
    s.method("s", "setVolume", { 30 }).pop();
    s.assign("o", S().var("a").constructWith("Sound", 1)).then(volumeOf("o"));
    runRows({
        { "before and after the clip", 7, s, { "undefined", "100", "30" } },
        // A name no clip ever had.
        { "never there", 6, S().assign("s", S().construct("Sound", { "nothing" })).then(volumeOf("s")), { "undefined" } },
    });
}

TEST(SoundTarget, ARenamedClipIsLostToItsSounds)
{
    // createEmptyMovieClip("a", 1); s = new Sound(a); a._name = "b"; trace(s.getVolume());
    // trace(s.getTransform()); then a clip named a again
    S s;
    s.call("createEmptyMovieClip", { "a", 1 }).pop();
    s.assign("s", S().var("a").constructWith("Sound", 1));
    s.setMember("a", "_name", S().value("b"));
    s.then(volumeOf("s")).method("s", "getTransform").typeOf().trace();
    s.call("createEmptyMovieClip", { "a", 2 }).pop().then(volumeOf("s"));
    runRows({ { "renamed, then replaced", 7, s, { "undefined", "undefined", "100" } } });
}

TEST(SoundTarget, ATextFieldHasItsOwnVolume)
{
    // g = new Sound(); createTextField("t", 1, 0, 0, 50, 100); f = new Sound(t); f.setPan(50);
    // trace(g.getPan()); trace(new Sound(t).getPan())
    S s;
    s.assign("g", S().construct("Sound"));
    s.call("createTextField", { "t", 1, 0, 0, 50, 100 }).pop();
    s.assign("f", S().var("t").constructWith("Sound", 1));
    s.method("f", "setPan", { 50 }).pop();
    s.method("g", "getPan").trace();
    s.assign("h", S().var("t").constructWith("Sound", 1));
    s.method("h", "getPan").trace();
    runRows({ { "field and movie", 7, s, { "0", "50" } } });
}
