// The mouse reaching movies loaded into levels above the first: their
// buttons and their clips' handlers, with higher levels on top.

#include "support/EventMovies.h"

#include "swf/format/Button.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace events_test;

namespace {

// `path`.`name` = function () { trace(text); }
Asm& setTracer(Asm& a, const char* path, const char* name, const char* text)
{
    Asm body;
    body.push({ text }).trace().end();
    a.push({ path }).getVariable().push({ name });
    a.function("", {}, body);
    return a.setMember();
}

// A button of the 40x40 square at (x, y) that traces `text` when pressed.
void placePressButton(swfw::Movie& movie, uint16_t id, uint16_t depth, const char* name, int x, int y, const char* text)
{
    movie.tag(34, defineButton2(id, 1, { { swf::CondOverUpToOverDown, traceBlock(text) } }));
    placeNamed(movie, depth, id, name, x, y);
}

// The child: a button at (20, 20) and a clip "c" at (100, 100) whose
// handlers trace; nothing else of it covers the stage.
QByteArray childMovie()
{
    swfw::Movie movie = baseMovie();
    placePressButton(movie, 3, 1, "btn", 20, 20, "child button");
    swfw::Sprite holder;
    holder.placeObject2(swfw::Placement::place(1, 1));
    holder.showFrame();
    movie.defineSprite(2, holder);
    placeNamed(movie, 2, 2, "c", 100, 100);
    Asm script;
    setTracer(script, "c", "onRollOver", "clip over");
    setTracer(script, "c", "onPress", "clip press");
    setTracer(script, "c", "onRelease", "clip release");
    setTracer(script, "c", "onRollOut", "clip out");
    script.op(0x07).end(); // stop
    movie.doAction(script.bytes());
    movie.showFrame();
    return movie.bytes();
}

// The parent: a button under the child's (at 20, 20) and one the child
// leaves uncovered (at 150, 150); it loads child.swf into level 1.
QByteArray parentMovie()
{
    swfw::Movie movie = baseMovie();
    placePressButton(movie, 3, 1, "under", 20, 20, "parent under");
    placePressButton(movie, 4, 2, "beside", 150, 150, "parent beside");
    Asm script;
    script.push({ "child.swf" }).push({ "_level1" }).op(0x9A).op(1).op(0).op(0); // loadMovieNum("child.swf", 1)
    script.op(0x07).end();
    movie.doAction(script.bytes());
    movie.showFrame();
    return movie.bytes();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

TEST(LevelInput, TheMouseReachesLoadedLevelsHighestFirst)
{
    QTemporaryDir dir;
    ASSERT_TRUE(writeFile(dir.filePath("child.swf"), childMovie()));
    ASSERT_TRUE(writeFile(dir.filePath("main.swf"), parentMovie()));
    QStringList lines;
    swf::PlaybackOptions options;
    options.trace = [&lines](const QString& line) { lines << line; };
    auto opened = swf::Playback::open(dir.filePath("main.swf"), options);
    ASSERT_TRUE(opened.ok());
    swf::Playback& playback = *opened.value();
    // Asked for on frame 1, the child is in level 1 from frame 3.
    for (int i = 0; i < 3; ++i)
        playback.nextFrame();
    ASSERT_NE(playback.stage().level(1), nullptr);
    lines.clear();

    const auto click = [&](double x, double y) {
        playback.mouseMove({ x, y });
        playback.mouseDown({ x, y });
        playback.mouseUp({ x, y });
    };
    // Both movies have a button here: level 1 lies on top and takes the press.
    click(30, 30);
    EXPECT_EQ(lines, QStringList({ "child button" }));
    lines.clear();
    // The child's clip hears the pointer come, press, release and leave.
    click(110, 110);
    playback.mouseMove({ 190, 10 });
    EXPECT_EQ(lines, QStringList({ "clip over", "clip press", "clip release", "clip out" }));
    lines.clear();
    // Where level 1 has nothing, the pointer reaches the movie below.
    click(160, 160);
    EXPECT_EQ(lines, QStringList({ "parent beside" }));
    EXPECT_TRUE(playback.cursorIsHand());

    // A hidden level lets the pointer through.
    playback.stage().level(1)->setVisible(false);
    lines.clear();
    click(30, 30);
    EXPECT_EQ(lines, QStringList({ "parent under" }));
}
