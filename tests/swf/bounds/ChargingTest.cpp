// What scripts make is charged to the memory budget as it is made: a loop
// that keeps arrays, strings, clips, drawings or bitmaps is stopped near the
// budget (one note), not after it has taken far more; the movie's scripts
// stop there for good and its timeline plays on.

#include "support/HostileMovies.h"
#include "support/TestSupport.h"

#include "swf/Playback.h"
#include "swf/avm1/vm/Object.h"
#include "swf/avm1/vm/Value.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace {

using swf::avm1::test::Asm;

constexpr std::uint64_t MB = 1024 * 1024;
constexpr std::uint64_t Budget = 8 * MB;

// Frame 1 runs `setup`, then, with i = 0, 1, 2, ... up to a million times,
// traces i and runs `body`, then traces "after"; frame 2 traces "frame 2".
// The last i traced is the step that was stopped: how many steps were made.
QByteArray keepMaking(const Asm& setup, const Asm& body)
{
    swfw::Movie movie(8, 400, 300, 30);
    Asm first = setup;
    first.push({ "i", 0 }).setVariable();
    Asm step;
    step.push({ "i" }).getVariable().trace();
    step.raw(body.bytes());
    step.raw(hostile::increment("i").bytes());
    first.raw(hostile::whileLoop(hostile::below("i", 1000000), step).bytes());
    first.push({ "after" }).trace().end();
    movie.doAction(first.bytes());
    movie.showFrame();
    Asm second;
    second.push({ "frame 2" }).trace().end();
    movie.doAction(second.bytes());
    movie.showFrame();
    return movie.bytes();
}

struct Played {
    QStringList traces;
    QStringList faults;
    bool failed = true;
};

Played play(const QByteArray& bytes, int frames = 2)
{
    Played run;
    swf::PlaybackOptions options;
    options.trace = [&run](const QString& line) { run.traces << line; };
    options.fault = [&run](const QString& what) { run.faults << what; };
    options.limits.memoryBytes = Budget;
    auto opened = swf::Playback::fromBytes(bytes, options);
    if (!opened.ok())
        return run;
    auto playback = opened.release();
    for (int i = 1; i < frames; ++i)
        playback->nextFrame();
    run.failed = bool(playback->failure());
    return run;
}

// name = value with a computed name: set("k" + i, <value>).
Asm keep(const Asm& value)
{
    Asm a;
    a.push({ "k", "i" }).getVariable().add2().raw(value.bytes()).setVariable();
    return a;
}

// obj.method(args...) with the arguments already pushed (last first), its result left.
Asm& call(Asm& a, const char* object, const char* method, int args)
{
    return a.push({ args, object }).getVariable().push({ method }).callMethod();
}

Asm pushed(std::initializer_list<Asm::Item> items)
{
    Asm a;
    a.push(items);
    return a;
}

Asm iTimes(int n)
{
    Asm a;
    for (int k = 0; k < n; ++k)
        a.push({ "i" }).getVariable();
    return a;
}

struct Row {
    const char* what;
    Asm setup;
    Asm body;
    // Bytes each step makes at the least, worked out from what it builds.
    double bytesPerStep;
};

std::vector<Row> rows()
{
    const double value = double(sizeof(swf::avm1::Value));
    const QString tenThousand(10000, u'x');
    std::vector<Row> out;
    {
        // a.push(i, i, i, i, i, i, i, i): eight elements a step.
        Asm body = iTimes(8);
        call(body, "a", "push", 8).pop();
        out.push_back({ "push", pushed({ "a", 0, "Array" }).op(0x40).setVariable(), body, 8 * value });
    }
    {
        // set("k" + i, new Array(10000))
        Asm make;
        make.push({ 10000, 1, "Array" }).op(0x40);
        out.push_back({ "Array(n)", Asm(), keep(make), 10000 * value });
    }
    {
        // a.length = a.length + 10000
        Asm body;
        body.push({ "a" }).getVariable().push({ "length", "a" }).getVariable().push({ "length" }).getMember();
        body.push({ 10000 }).add2().setMember();
        out.push_back({ "length set", pushed({ "a", 0, "Array" }).op(0x40).setVariable(), body, 10000 * value });
    }
    {
        // a[a.length + 9999] = i
        Asm body;
        body.push({ "a" }).getVariable().push({ "a" }).getVariable().push({ "length" }).getMember();
        body.push({ 9999 }).add2().push({ "i" }).getVariable().setMember();
        out.push_back({ "index past the end", pushed({ "a", 0, "Array" }).op(0x40).setVariable(), body, 10000 * value });
    }
    Asm tenThousandArray;
    tenThousandArray.push({ "b", 10000, 1, "Array" }).op(0x40).setVariable();
    {
        // set("k" + i, b.concat())
        Asm make;
        call(make, "b", "concat", 0);
        out.push_back({ "concat", tenThousandArray, keep(make), 10000 * value });
    }
    {
        // set("k" + i, b.slice(0))
        Asm make;
        make.push({ 0 });
        call(make, "b", "slice", 1);
        out.push_back({ "slice", tenThousandArray, keep(make), 10000 * value });
    }
    {
        // set("k" + i, b.join("xx")): ten thousand "undefined" and 9999
        // separators of two characters.
        Asm make;
        make.push({ "xx" });
        call(make, "b", "join", 1);
        out.push_back({ "join", tenThousandArray, keep(make), (10000 * 9 + 9999 * 2) * 2 });
    }
    Asm tenThousandChars;
    tenThousandChars.push({ "s", tenThousand }).setVariable();
    {
        // set("k" + i, s.concat(s))
        Asm make;
        make.push({ "s" }).getVariable();
        call(make, "s", "concat", 1);
        out.push_back({ "String.concat", tenThousandChars, keep(make), 20000 * 2 });
    }
    {
        // set("k" + i, s.substr(1))
        Asm make;
        make.push({ 1 });
        call(make, "s", "substr", 1);
        out.push_back({ "substr", tenThousandChars, keep(make), 9999 * 2 });
    }
    {
        // set("k" + i, s.split("")): ten thousand one-character elements.
        Asm make;
        make.push({ "" });
        call(make, "s", "split", 1);
        out.push_back({ "split", tenThousandChars, keep(make), 10000 * value });
    }
    {
        // set("k" + i, s.toUpperCase())
        Asm make;
        call(make, "s", "toUpperCase", 0);
        out.push_back({ "toUpperCase", tenThousandChars, keep(make), 10000 * 2 });
    }
    return out;
}

TEST(Charging, WhatLoopsKeepIsStoppedAtTheBudget)
{
    for (const Row& row : rows()) {
        SCOPED_TRACE(row.what);
        const Played run = play(keepMaking(row.setup, row.body));
        EXPECT_FALSE(run.failed);
        ASSERT_EQ(run.faults.size(), 1) << run.faults.join('\n').toStdString();
        EXPECT_TRUE(run.faults[0].startsWith(QLatin1String("memory budget spent"))) << run.faults[0].toStdString();
        // The movie's scripts stopped for good: neither the rest of frame 1
        // nor frame 2 ran.
        ASSERT_FALSE(run.traces.isEmpty());
        EXPECT_FALSE(run.traces.contains(QStringLiteral("after")));
        EXPECT_FALSE(run.traces.contains(QStringLiteral("frame 2")));
        // No more steps than the budget holds, and not so few that
        // something else spent it.
        const double steps = run.traces.last().toDouble();
        EXPECT_LE(steps, double(Budget) / row.bytesPerStep + 1);
        EXPECT_GE(steps, double(Budget) / row.bytesPerStep / 4);
    }
}

TEST(Charging, ObjectsCountAtTheSizeOfTheirRecords)
{
    // a.push(new Object()) until stopped: each step holds at least one
    // object record and one array element. The count stops within the
    // budget's worth of those (not past it, as when a record was counted
    // smaller than it is), and not far short of it either.
    Asm body;
    body.push({ 0, "Object" }).op(0x40); // new Object()
    call(body, "a", "push", 1).pop();
    const Played run = play(keepMaking(pushed({ "a", 0, "Array" }).op(0x40).setVariable(), body));
    EXPECT_FALSE(run.failed);
    ASSERT_EQ(run.faults.size(), 1) << run.faults.join('\n').toStdString();
    EXPECT_TRUE(run.faults[0].startsWith(QLatin1String("memory budget spent"))) << run.faults[0].toStdString();
    ASSERT_FALSE(run.traces.isEmpty());
    const double steps = run.traces.last().toDouble();
    const double fits = double(Budget) / double(sizeof(swf::avm1::Object) + sizeof(swf::avm1::Value));
    EXPECT_LE(steps, fits + 1);
    EXPECT_GE(steps, fits * 0.6);
}

TEST(Charging, OneHugeGrowthIsStoppedBeforeItIsMade)
{
    // a.length = 4000000 asks for four million elements at once, far past
    // 8 MB: stopped before the elements exist; the same for one index set.
    for (const char* name : { "length", "3999999" }) {
        SCOPED_TRACE(name);
        Asm a;
        a.push({ "a", 0, "Array" }).op(0x40).setVariable();
        a.push({ "a" }).getVariable().push({ name, 4000000 }).setMember();
        a.push({ "after" }).trace();
        const Played run = play(hostile::scriptMovie(a).bytes());
        EXPECT_FALSE(run.failed);
        EXPECT_TRUE(run.traces.isEmpty());
        ASSERT_EQ(run.faults.size(), 1);
        EXPECT_TRUE(run.faults[0].startsWith(QLatin1String("memory budget spent")));
    }
}

TEST(Charging, ClipsAndDrawingsCountAsTheyAreMade)
{
    // A clip counts 2 kB (its instance on the stage), each path element a
    // drawing command adds 64 bytes (a line at least one, a curve two).
    Asm makeParent;
    makeParent.push({ 1, "m", 2, "_root" }).getVariable().push({ "createEmptyMovieClip" }).callMethod().pop();
    makeParent.push({ 1, 1, "m" }).getVariable().push({ "lineStyle" }).callMethod().pop();
    struct ClipRow {
        const char* what;
        Asm body;
        double bytesPerStep;
    };
    std::vector<ClipRow> clipRows;
    {
        // _root.createEmptyMovieClip("c" + i, i + 10)
        Asm body;
        body.push({ "i" }).getVariable().push({ 10 }).add2();
        body.push({ "c", "i" }).getVariable().add2();
        call(body, "_root", "createEmptyMovieClip", 2).pop();
        clipRows.push_back({ "createEmptyMovieClip", body, 2048 });
    }
    {
        // m.duplicateMovieClip("d" + i, i + 10)
        Asm body;
        body.push({ "i" }).getVariable().push({ 10 }).add2();
        body.push({ "d", "i" }).getVariable().add2();
        call(body, "m", "duplicateMovieClip", 2).pop();
        clipRows.push_back({ "duplicateMovieClip", body, 2048 });
    }
    {
        // m.lineTo(i, i)
        Asm body = iTimes(2);
        call(body, "m", "lineTo", 2).pop();
        clipRows.push_back({ "lineTo", body, 64 });
    }
    {
        // m.curveTo(i, i, i, i)
        Asm body = iTimes(4);
        call(body, "m", "curveTo", 4).pop();
        clipRows.push_back({ "curveTo", body, 128 });
    }
    for (const ClipRow& row : clipRows) {
        SCOPED_TRACE(row.what);
        const Played run = play(keepMaking(makeParent, row.body));
        EXPECT_FALSE(run.failed);
        ASSERT_EQ(run.faults.size(), 1) << run.faults.join('\n').toStdString();
        EXPECT_TRUE(run.faults[0].startsWith(QLatin1String("memory budget spent"))) << run.faults[0].toStdString();
        ASSERT_FALSE(run.traces.isEmpty());
        EXPECT_FALSE(run.traces.contains(QStringLiteral("frame 2")));
        const double steps = run.traces.last().toDouble();
        EXPECT_LE(steps, double(Budget) / row.bytesPerStep + 1);
        EXPECT_GE(steps, double(Budget) / row.bytesPerStep / 4);
    }
}

TEST(Charging, ABitmapPastTheBudgetIsMadeWithoutPixels)
{
    // Four 1200 x 1200 bitmaps of 5,760,000 bytes each, kept: the first
    // fits in 8 MB (8,388,608 bytes), a second would pass it, and so would
    // each later one. A refused bitmap reads as one of a size out of range
    // does, -1, and the script goes on to trace "after".
    Asm a;
    a.push({ "i", 0 }).setVariable();
    Asm body;
    Asm make;
    make.push({ 1200, 1200, 2, "flash" }).getVariable().push({ "display" }).getMember();
    make.push({ "BitmapData" }).op(0x53); // NewMethod
    body.raw(keep(make).bytes());
    body.push({ "k", "i" }).getVariable().add2().getVariable().push({ "width" }).getMember().trace();
    body.raw(hostile::increment("i").bytes());
    a.raw(hostile::whileLoop(hostile::below("i", 4), body).bytes());
    a.push({ "after" }).trace().end();
    swfw::Movie movie(8, 400, 300, 30); // BitmapData comes with version 8
    movie.doAction(a.bytes());
    movie.showFrame();
    const Played run = play(movie.bytes(), 1);
    EXPECT_FALSE(run.failed);
    EXPECT_EQ(run.traces, (QStringList { "1200", "-1", "-1", "-1", "after" }));
    ASSERT_FALSE(run.faults.isEmpty());
    EXPECT_TRUE(run.faults[0].startsWith(QLatin1String("memory budget spent")));
    EXPECT_TRUE(run.faults[0].contains(QLatin1String("1200x1200 bitmap")));
}

} // namespace
