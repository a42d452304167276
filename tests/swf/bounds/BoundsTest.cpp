// Movies built to take the player down: each is stopped by the engine's own
// limits, with a note saying which, and the movie (or at least the program)
// goes on.

#include "support/HostileMovies.h"
#include "support/TestSupport.h"

#include "swf/Playback.h"
#include "swf/avm1/stage/StageScripts.h"
#include "swf/avm1/vm/Interpreter.h"
#include "swf/avm1/vm/Intervals.h"
#include "swf/render/PathBudget.h"
#include "swf/runtime/MemoryBudget.h"
#include "swf/runtime/EditTextInstance.h"
#include "swf/runtime/ScriptRunner.h"
#include "swf/runtime/SpriteInstance.h"
#include "swf/runtime/Stage.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <new>

namespace {

using swf::avm1::test::Asm;
using testing_support::load;
using testing_support::renderStage;

struct MoviePlay {
    std::unique_ptr<swf::Playback> playback;
    QStringList traces;
    QStringList faults;

    explicit MoviePlay(const QByteArray& bytes, std::uint64_t memoryBytes = swf::ScriptLimits {}.memoryBytes)
    {
        swf::PlaybackOptions options;
        options.trace = [this](const QString& line) { traces << line; };
        options.fault = [this](const QString& what) { faults << what; };
        options.limits.memoryBytes = memoryBytes;
        auto opened = swf::Playback::fromBytes(bytes, options);
        EXPECT_TRUE(opened.ok()) << (opened.ok() ? "" : opened.error().detail.toStdString());
        if (opened.ok())
            playback = opened.release();
    }
    void frames(int n)
    {
        for (int i = 0; i < n; ++i)
            playback->nextFrame();
    }
    int faultsContaining(const char* what) const { return int(faults.filter(QString::fromLatin1(what)).size()); }
};

constexpr std::uint64_t MB = 1024 * 1024;

// ---------------------------------------------------------------- memory

TEST(MemoryBudget, DoublingStringStopsTheScriptAtTheBudget)
{
    MoviePlay run(hostile::doublingLoop(), 8 * MB);
    ASSERT_TRUE(run.playback);
    // The loop never ends by itself; the budget stops it before "after".
    EXPECT_EQ(run.faultsContaining("memory budget spent"), 1) << run.faults.join('\n').toStdString();
    EXPECT_FALSE(run.traces.contains(QStringLiteral("after")));
    run.frames(3);
    EXPECT_FALSE(run.playback->failure());
}

TEST(MemoryBudget, AStopAtTheBudgetStopsTheMoviesScriptsForGood)
{
    // Frame 1 doubles a string until the budget stops it; the movie loops
    // over its two frames, so without a stop for good each pass of frame 1
    // would build the string up to the budget again.
    MoviePlay run(hostile::doublingLoop(), 8 * MB);
    ASSERT_TRUE(run.playback);
    const swf::avm1::Interpreter& vm = run.playback->scripts()->interpreter();
    EXPECT_TRUE(vm.scriptsHalted());
    const std::uint64_t steps = vm.actionsExecuted();
    // "x" doubled to 2^21 characters holds 4 MB and asks for 8 more: about
    // 21 passes of the loop's dozen actions, far below the action budget.
    EXPECT_GT(steps, 20u * 10);
    EXPECT_LT(steps, 100u * 12);
    QList<int> shown;
    for (int i = 0; i < 6; ++i) {
        run.playback->nextFrame();
        shown << run.playback->currentFrame();
    }
    EXPECT_EQ(shown, (QList<int> { 2, 1, 2, 1, 2, 1 })); // the timeline plays on
    EXPECT_EQ(vm.actionsExecuted(), steps); // and not one action more ran
    EXPECT_EQ(run.faults.size(), 1) << run.faults.join('\n').toStdString();
    EXPECT_TRUE(run.faults[0].startsWith(QLatin1String("memory budget spent")));
    EXPECT_FALSE(run.playback->failure());
}

TEST(MemoryBudget, DoublingEachFrameStopsBelowTheBudgetAndTheMovieGoesOn)
{
    MoviePlay run(hostile::doublingPerFrame(), 8 * MB);
    ASSERT_TRUE(run.playback);
    run.frames(60);
    // Lengths 2, 4, 8, ... Doubling L characters holds 2L bytes and asks for
    // 4L more: it fits while 6L bytes (plus the few the realm holds) stay
    // within 8 MB, so L = 2^20 still doubles (to 2^21 shown) and 2^21 does not.
    ASSERT_FALSE(run.traces.isEmpty());
    for (int i = 0; i < run.traces.size(); ++i)
        EXPECT_EQ(run.traces[i], QString::number(2 << i));
    EXPECT_LE(run.traces.last().toInt(), 1 << 21);
    EXPECT_GE(run.traces.last().toInt(), 1 << 20); // the budget, not something else, stopped it
    EXPECT_GE(run.faultsContaining("memory budget spent"), 1);
    EXPECT_FALSE(run.playback->failure());
    EXPECT_EQ(run.playback->currentFrame(), 1); // 61 frames shown on a two-frame loop
}

TEST(MemoryBudget, RecursionThatDoublesIsStoppedByOneOfTheLimits)
{
    MoviePlay run(hostile::doublingRecursion(), 16 * MB);
    ASSERT_TRUE(run.playback);
    EXPECT_EQ(run.faultsContaining("memory budget spent"), 1) << run.faults.join('\n').toStdString();
    EXPECT_FALSE(run.traces.contains(QStringLiteral("done")));
}

TEST(MemoryBudget, StringsMadeAndDroppedInALoopAreNotStopped)
{
    // s = 1000 characters; i = 0; while (i < 20000) { t = s + i; i++ } trace(i)
    // Charges add up to 20000 × 2 kB = 40 MB, far past the 8 MB budget, but
    // only one t is ever held: the count finds little in use and lets it run.
    Asm a;
    a.push({ "s", QString(1000, u'x') }).setVariable().push({ "i", 0 }).setVariable();
    Asm body;
    body.push({ "t", "s" }).getVariable().push({ "i" }).getVariable().add2().setVariable();
    body.raw(hostile::increment("i").bytes());
    a.raw(hostile::whileLoop(hostile::below("i", 20000), body).bytes());
    a.push({ "i" }).getVariable().trace();
    MoviePlay run(hostile::scriptMovie(a).bytes(), 8 * MB);
    ASSERT_TRUE(run.playback);
    EXPECT_EQ(run.traces, QStringList { QStringLiteral("20000") });
    EXPECT_TRUE(run.faults.isEmpty()) << run.faults.join('\n').toStdString();
}

TEST(MemoryBudget, CountingSeesRecountsOnlyPastTheLimit)
{
    swf::MemoryBudget budget(1000);
    budget.charge(600);
    EXPECT_FALSE(budget.needsRecount());
    budget.charge(600);
    EXPECT_TRUE(budget.needsRecount());
    EXPECT_TRUE(budget.recount(300, 100)); // 300 held and 100 on the way fit in 1000
    EXPECT_EQ(budget.estimate(), 400u);
    EXPECT_FALSE(budget.recount(950, 100));
    EXPECT_TRUE(budget.overAtLastCount());
}

// A script machine that fails to get memory in the middle of a frame.
class StarvedRunner final : public swf::ScriptRunner {
public:
    void runFrameActions(swf::SpriteInstance&, const QByteArray&) override { throw std::bad_alloc(); }
    void runInitActions(swf::SpriteInstance&, std::uint16_t, const QByteArray&) override { }
};

TEST(MemoryBudget, ARefusedAllocationStopsTheMovieNotTheProgram)
{
    Asm a;
    a.push({ "x" }).trace();
    swfw::Movie movie = hostile::scriptMovie(a, 3);
    auto playback = load(movie.bytes());
    ASSERT_TRUE(playback);
    StarvedRunner runner;
    playback->setScriptRunner(&runner);
    playback->nextFrame();
    playback->nextFrame();
    playback->nextFrame(); // back to frame 1, whose actions run and fail
    ASSERT_TRUE(playback->failure());
    EXPECT_TRUE(playback->failure()->detail.contains(QLatin1String("memory")));
    const int frame = playback->currentFrame();
    playback->nextFrame(); // stopped for good
    EXPECT_EQ(playback->currentFrame(), frame);
    playback->setScriptRunner(nullptr);
}

// ---------------------------------------------------------------- intervals

TEST(Intervals, DueOnesComeInTheOrderTheyFellDue)
{
    swf::avm1::IntervalTable table;
    const int a = table.add({ 0, {}, {}, {}, 30, -1, {} });
    const int b = table.add({ 0, {}, {}, {}, 10, -1, {} });
    const int c = table.add({ 0, {}, {}, {}, 0, -1, {} }); // 0 runs as 1 ms
    // Their clocks start at the first tick: due at 130, 110 and 101.
    EXPECT_TRUE(table.takeDue(100).empty());
    EXPECT_EQ(table.takeDue(105), (std::vector<int> { c }));
    // c came up again at 105, before b at 110.
    EXPECT_EQ(table.takeDue(115), (std::vector<int> { c, b }));
    // At 140 all three are due (c at 115, b at 120, a at 130); each once,
    // however far behind.
    EXPECT_EQ(table.takeDue(140), (std::vector<int> { c, b, a }));
    EXPECT_TRUE(table.remove(b));
    EXPECT_EQ(table.takeDue(141), (std::vector<int> { c }));
    EXPECT_FALSE(table.remove(b));
}

TEST(Intervals, LiveOnesAreCapped)
{
    // Frame 1 sets 20000 intervals of 1 ms; their clocks start with that
    // frame (time 0), they run at the ticks to frame 2 (33 ms) and frame 3
    // (67 ms), and frame 4 traces the count before its own tick runs them
    // again: two calls per interval kept.
    MoviePlay run(hostile::manyIntervals(20000));
    ASSERT_TRUE(run.playback);
    run.frames(3);
    EXPECT_EQ(run.traces, QStringList { QString::number(2 * swf::avm1::IntervalTable::MaxLive) });
}

TEST(Intervals, IntervalsThatBreedStayWithinTheCapAndTheFrameBudget)
{
    MoviePlay run(hostile::breedingIntervals());
    ASSERT_TRUE(run.playback);
    run.frames(30); // doubling every tick: 2^30 without the cap
    EXPECT_FALSE(run.playback->failure());
}

// ---------------------------------------------------------------- clips by name

TEST(ClipNames, ManyClipsAreMadeAndFoundByName)
{
    MoviePlay run(hostile::manyClips(5000));
    ASSERT_TRUE(run.playback);
    EXPECT_EQ(run.traces, (QStringList { QStringLiteral("5000"), QStringLiteral("c7") }));
    EXPECT_EQ(run.playback->stage().root().displayList().size(), 5000u);
}

TEST(ClipNames, OneHandlerAmongManyClipsRunsOncePerFrame)
{
    // Frame 1 makes 20000 clips and gives c7 an onEnterFrame counting in
    // _root.n; frame 2 traces n; frame 3 goes back to 2 and plays. Frame 1
    // never runs again, so each tick counts once, ahead of frame 2's trace.
    Asm a;
    a.raw(hostile::manyClipsLoop(20000).bytes());
    a.push({ "n", 0 }).setVariable();
    Asm count;
    count.push({ "_root" }).getVariable().push({ "n", "_root" }).getVariable().push({ "n" }).getMember().push({ 1 }).add2().setMember().end();
    a.push({ "_root" }).getVariable().push({ "c7" }).getMember().push({ "onEnterFrame" }).function("", {}, count).setMember();
    swfw::Movie movie = hostile::scriptMovie(a, 1);
    movie.doAction(Asm().push({ "n" }).getVariable().trace().end().bytes());
    movie.showFrame();
    movie.doAction(Asm().record(0x81, QByteArray("\x01\x00", 2)).op(0x06).end().bytes()); // gotoAndPlay(2)
    movie.showFrame();
    MoviePlay run(movie.bytes());
    ASSERT_TRUE(run.playback);
    run.frames(6);
    EXPECT_EQ(run.traces, (QStringList { "1", "2", "3", "4", "5", "6" }));
    EXPECT_EQ(run.playback->stage().root().displayList().size(), 20000u);
}

TEST(ClipNames, ALoopRemakingManyClipsKeepsPlaying)
{
    // Frame 1 of a two-frame loop makes 20000 clips at the same depths each
    // time round: each pass replaces the last one's clips.
    MoviePlay run(hostile::manyClips(20000));
    ASSERT_TRUE(run.playback);
    run.frames(10);
    QStringList expected;
    for (int pass = 0; pass < 6; ++pass)
        expected << QStringLiteral("20000") << QStringLiteral("c7");
    EXPECT_EQ(run.traces, expected);
    EXPECT_EQ(run.playback->stage().root().displayList().size(), 20000u);
    EXPECT_TRUE(run.faults.isEmpty());
}

TEST(ClipNames, AClipMadeAgainAtAPlaceIsANewObject)
{
    // _root.createEmptyMovieClip("c", 1); c.x = 5; c.onEnterFrame = trace "old";
    // c.removeMovieClip(); _root.createEmptyMovieClip("c", 1); trace(c.x):
    // the new instance (which may take the old one's memory) has an object
    // of its own, and the old handler never runs for it.
    Asm a;
    a.push({ 1, "c", 2, "_root" }).getVariable().push({ "createEmptyMovieClip" }).callMethod().pop();
    a.push({ "c" }).getVariable().push({ "x", 5 }).setMember();
    Asm old;
    old.push({ "old" }).trace().end();
    a.push({ "c" }).getVariable().push({ "onEnterFrame" }).function("", {}, old).setMember();
    a.push({ 0, "c" }).getVariable().push({ "removeMovieClip" }).callMethod().pop();
    a.push({ 1, "c", 2, "_root" }).getVariable().push({ "createEmptyMovieClip" }).callMethod().pop();
    a.push({ "c" }).getVariable().push({ "x" }).getMember().op(0x44).trace();
    a.op(0x07); // stop
    MoviePlay run(hostile::scriptMovie(a).bytes());
    ASSERT_TRUE(run.playback);
    run.frames(3);
    EXPECT_EQ(run.traces, (QStringList { "undefined" }));
}

// _root.x.getDepth(), traced.
Asm& traceDepth(Asm& a, const char* name)
{
    return a.push({ 0, "_root" }).getVariable().push({ name }).getMember().push({ "getDepth" }).callMethod().trace();
}

TEST(ClipNames, TheIndexFollowsRenamesMovesAndRemovals)
{
    Asm a;
    a.push({ 5, "a", 2, "_root" }).getVariable().push({ "createEmptyMovieClip" }).callMethod().pop();
    a.push({ 2, "A", 2, "_root" }).getVariable().push({ "createEmptyMovieClip" }).callMethod().pop();
    traceDepth(a, "a");                       // names ignore case here: the lower depth, 2
    a.push({ "_root" }).getVariable().push({ "a" }).getMember().push({ "_name", "b" }).setMember();
    traceDepth(a, "a");                       // the one at 2 is b now: 5
    traceDepth(a, "b");                       // 2
    a.push({ 9, 1, "_root" }).getVariable().push({ "b" }).getMember().push({ "swapDepths" }).callMethod().pop();
    traceDepth(a, "b");                       // 9
    a.push({ 0, "_root" }).getVariable().push({ "b" }).getMember().push({ "removeMovieClip" }).callMethod().pop();
    a.push({ "_root" }).getVariable().push({ "b" }).getMember().op(0x44).trace(); // typeof: gone
    MoviePlay run(hostile::scriptMovie(a).bytes());
    ASSERT_TRUE(run.playback);
    EXPECT_EQ(run.traces, (QStringList { "2", "5", "2", "9", "undefined" }));
}

// ---------------------------------------------------------------- text

const swf::EditTextInstance* fieldOf(swf::Playback& playback)
{
    return dynamic_cast<const swf::EditTextInstance*>(playback.stage().root().childAt(1));
}

TEST(TextCap, AHugeFieldKeepsTheCapAndOutlinesOnlyWhatShows)
{
    auto playback = load(hostile::bigText(1'000'000, false));
    ASSERT_TRUE(playback);
    const swf::EditTextInstance* field = fieldOf(*playback);
    ASSERT_TRUE(field);
    EXPECT_EQ(field->text().size(), swf::MaxEditTextChars);
    const swf::EditTextLayout& layout = field->layout();
    // 12-character lines ("aaaa aaa aa\r"): 2^18 / 12 lines, all measured.
    EXPECT_EQ(layout.lineCount, int(swf::MaxEditTextChars / 12) + 1);
    // The box is 6000 twips tall: outlines end within a line of its bottom.
    QRectF drawn;
    for (const swf::TextPiece& piece : layout.pieces)
        drawn |= piece.path.boundingRect();
    EXPECT_FALSE(drawn.isEmpty());
    EXPECT_LT(drawn.bottom(), 6000 + 400);
    QImage image = renderStage(*playback);
    EXPECT_FALSE(image.isNull());
}

TEST(TextCap, HtmlWithBrokenEntitiesIsCappedToo)
{
    auto playback = load(hostile::bigText(2'000'000, true));
    ASSERT_TRUE(playback);
    const swf::EditTextInstance* field = fieldOf(*playback);
    ASSERT_TRUE(field);
    EXPECT_LE(field->plainText().size(), swf::MaxEditTextChars);
    EXPECT_GT(field->plainText().size(), 1000);
    renderStage(*playback);
}

// ---------------------------------------------------------------- paths

QPainterPath zigzag(int points, bool curves)
{
    QPainterPath path;
    path.moveTo(0, 0);
    for (int i = 1; i <= points; ++i) {
        if (curves)
            path.quadTo(i * 10 - 5, (i % 2) ? 100 : -100, i * 10, 0);
        else
            path.lineTo(i * 10, (i % 2) ? 50 : 0);
    }
    return path;
}

TEST(PathBudget, CurvesCountAsSeveralSegments)
{
    EXPECT_EQ(swf::PathBudget::cost(zigzag(3, false)), 3);
    EXPECT_EQ(swf::PathBudget::cost(zigzag(2, true)), 2 * swf::PathBudget::CurveSegments);
}

TEST(PathBudget, PathsPastTheFramesBudgetAreSimplified)
{
    swf::PathBudget budget(100);
    QPainterPath scratch;
    const QPainterPath small = zigzag(50, false);
    EXPECT_EQ(&budget.admit(small, scratch), &small); // 50 of 100
    const QPainterPath big = zigzag(100000, true);
    const QPainterPath& shown = budget.admit(big, scratch);
    EXPECT_EQ(&shown, &scratch);
    // At most MaxSimplifiedPoints lines, spanning the same extent.
    EXPECT_LE(shown.elementCount(), swf::PathBudget::MaxSimplifiedPoints + 1);
    EXPECT_NEAR(shown.boundingRect().right(), big.boundingRect().right(), 100);
    EXPECT_NE(&budget.admit(small, scratch), &small); // the frame's budget is spent
}

TEST(PathBudget, AMillionCurveShapeIsDrawn)
{
    // 600000 curves count 4.8 million segments, past the frame's 4 million.
    auto playback = load(hostile::monsterShape(600000, false));
    ASSERT_TRUE(playback);
    QImage image = renderStage(*playback, true); // slivers thinner than a pixel need smoothing
    // The shape's red fill (200, 40, 40) shows, at least half covering
    // some pixels of the white stage (red well above green there): its
    // simplified outline still crosses the stage from side to side.
    int reddish = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            reddish += qRed(image.pixel(x, y)) - qGreen(image.pixel(x, y)) > 60;
    EXPECT_GT(reddish, image.width() * image.height() / 100);
}

} // namespace
