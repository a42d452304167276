// A button placed with a name is a script object its timeline finds by that
// name, from version 6 on; each expected trace is worked out by hand.

#include "support/EventMovies.h"

using namespace events_test;

namespace {

// Button 3 placed as "btn", then frame 1's script: trace(typeof btn);
// btn.note = "kept"; trace(btn.note).
QStringList namesIn(int version)
{
    swfw::Movie movie = baseMovie(version);
    movie.tag(34, defineButton2(3, 1, {}));
    placeNamed(movie, 1, 3, "btn", 20, 20);
    Asm a;
    a.push({ "btn" }).getVariable().op(0x44).trace();
    a.push({ "btn" }).getVariable().push({ "note", "kept" }).setMember();
    a.push({ "btn" }).getVariable().push({ "note" }).getMember().trace();
    a.op(0x07).end(); // stop
    movie.doAction(a.bytes());
    movie.showFrame();
    Player player(movie.bytes());
    if (!player.ok())
        return { "load failed" };
    return player.take();
}

} // namespace

TEST(ButtonNames, NamedButtonsAreObjectsFromVersionSix)
{
    // The same object each time: what a script puts on it stays.
    EXPECT_EQ(namesIn(6), QStringList({ "object", "kept" }));
    EXPECT_EQ(namesIn(8), QStringList({ "object", "kept" }));
    // Version 5 knows no button objects: the name reads as nothing.
    EXPECT_EQ(namesIn(5), QStringList({ "undefined", "undefined" }));
}
