// The second machine's memory budget: a script that keeps what it makes is
// stopped at the limit with one note, no script handler can catch the stop,
// and one that makes and drops strings is not stopped. The loops below are
// endless unless the budget stops them; ctest's timeout guards a hang.

#include "Avm2TestSupport.h"

#include <gtest/gtest.h>

using namespace swf::avm2;
using namespace avm2test;

namespace {

constexpr std::uint64_t Limit = std::uint64_t(4) << 20;

struct BudgetRun {
    QStringList trace;
    bool loaded = false;
    std::uint64_t estimate = 0;
};

// Runs `code` as the one script of `w` in a machine allowed `Limit` bytes and
// instructions without end, so that only the memory budget can stop it.
BudgetRun runWithBudget(AbcWriter& w, const Code& code, const std::vector<abcw::Exception>& handlers = {})
{
    std::uint32_t init = w.method();
    w.body(init, code, 8, 4, 0, 4, handlers);
    w.script(init);
    Machine machine;
    MachineLimits limits;
    limits.instructionsPerRun = std::uint64_t(1) << 40;
    limits.instructionsPerFrame = std::uint64_t(1) << 40;
    machine.setLimits(limits);
    machine.setMemoryLimit(Limit);
    BudgetRun run;
    machine.setTraceSink([&](const QString& line) { run.trace << line; });
    run.loaded = machine.loadAbc(w.finish(), false).ok();
    run.estimate = machine.memory().estimate();
    return run;
}

} // namespace

// a = []; for (;;) a.push({}) inside try { } catch (e) { trace("caught") }:
// the stop is no script error, so the handler never runs; the one note is
// the player's out-of-memory text, and what the budget holds stays near the
// limit (an array's spare capacity, up to a fifth of this heap, counts as held).
TEST(MemoryBudget, KeepingWithoutEndStopsWithOneNote)
{
    AbcWriter w;
    Tracer t(w);
    const std::uint32_t push = w.publicName(QStringLiteral("push"));
    Code c;
    c.op(Op::GetLocal0).op(Op::PushScope);
    c.op(Op::NewArray, 0).op(Op::SetLocal1);
    const int from = c.offset();
    c.label(QStringLiteral("top"));
    c.op(Op::GetLocal1).op(Op::NewObject, 0).op(Op::CallPropVoid, push, 1);
    c.branch(Op::Jump, QStringLiteral("top"));
    const int to = c.offset();
    c.op(Op::ReturnVoid);
    const int target = c.offset();
    c.op(Op::GetLocal0).op(Op::PushScope);
    t.begin(c);
    c.op(Op::PushString, w.string(QStringLiteral("caught")));
    t.end(c);
    c.op(Op::ReturnVoid);
    BudgetRun run = runWithBudget(w, c, { abcw::Exception { std::uint32_t(from), std::uint32_t(to), std::uint32_t(target), 0, 0 } });
    EXPECT_TRUE(run.loaded);
    ASSERT_EQ(run.trace.size(), 1);
    EXPECT_TRUE(run.trace[0].startsWith(QLatin1String("Error: Error #1000: The system is out of memory.")));
    EXPECT_LE(run.estimate, Limit + Limit / 4);
}

// s = "<100 characters>"; for (i = 0; i < 100000; i++) t = s + i; trace("done"):
// about 20 MB of strings made, each dropped at once, against a 4 MB budget.
// A count finds them gone, so the loop runs to its end.
TEST(MemoryBudget, DroppedStringsDoNotStopTheScript)
{
    AbcWriter w;
    Tracer t(w);
    Code c;
    c.op(Op::GetLocal0).op(Op::PushScope);
    c.op(Op::PushString, w.string(QString(100, QLatin1Char('x')))).op(Op::SetLocal1);
    c.op(Op::PushByte, 0).op(Op::SetLocal2);
    c.label(QStringLiteral("top")).op(Op::GetLocal2).op(Op::PushInt, w.integer(100000)).branch(Op::IfNlt, QStringLiteral("done"));
    c.op(Op::GetLocal1).op(Op::GetLocal2).op(Op::Add).op(Op::SetLocal3);
    c.op(Op::IncLocalI, 2).branch(Op::Jump, QStringLiteral("top"));
    c.label(QStringLiteral("done"));
    t.begin(c);
    c.op(Op::PushString, w.string(QStringLiteral("done")));
    t.end(c);
    c.op(Op::ReturnVoid);
    BudgetRun run = runWithBudget(w, c);
    EXPECT_TRUE(run.loaded);
    EXPECT_EQ(run.trace, QStringList { QStringLiteral("done") });
}

// A byte array grown past the budget in one step (length = 64 MB) is refused
// the same way: the pixels and bytes held beside objects count too.
TEST(MemoryBudget, ByteArrayGrowthIsCharged)
{
    AbcWriter w;
    Tracer t(w);
    const std::uint32_t byteArray = w.qname(w.ns(0x16, QStringLiteral("flash.utils")), QStringLiteral("ByteArray"));
    Code c;
    c.op(Op::GetLocal0).op(Op::PushScope);
    c.op(Op::FindPropStrict, byteArray).op(Op::ConstructProp, byteArray, 0).op(Op::SetLocal1);
    c.op(Op::GetLocal1).op(Op::PushInt, w.integer(64 << 20)).op(Op::SetProperty, w.publicName(QStringLiteral("length")));
    t.begin(c);
    c.op(Op::PushString, w.string(QStringLiteral("grown")));
    t.end(c);
    c.op(Op::ReturnVoid);
    BudgetRun run = runWithBudget(w, c);
    EXPECT_TRUE(run.loaded);
    ASSERT_EQ(run.trace.size(), 1);
    EXPECT_TRUE(run.trace[0].startsWith(QLatin1String("Error: Error #1000: The system is out of memory.")));
}
