// Prints the ActionScript 3 interpreter's speed on a tight loop of arithmetic
// and property access, in instructions per second, the loop of the first
// machine's benchmark (vantrel-bench-script). A benchmark: it asserts nothing.
//
//   vantrel-bench-avm2 [iterations]

#include "support/AbcWriter.h"
#include "swf/avm2/vm/Machine.h"

#include <QElapsedTimer>

#include <cstdio>
#include <cstdlib>

using namespace abcw;
using swf::avm2::Op;

int main(int argc, char** argv)
{
    const int n = argc > 1 ? std::atoi(argv[1]) : 2000000;
    // var o = {x: 0}; for (var i = 0; i < n; i++) o.x = o.x + i; trace(o.x)   (o, i in locals)
    AbcWriter w;
    std::uint32_t x = w.publicName(QStringLiteral("x"));
    std::uint32_t trace = w.publicName(QStringLiteral("trace"));
    Code c;
    c.op(Op::GetLocal0).op(Op::PushScope);
    c.op(Op::PushString, w.string(QStringLiteral("x"))).op(Op::PushByte, 0).op(Op::NewObject, 1).op(Op::SetLocal1);
    c.op(Op::PushByte, 0).op(Op::SetLocal2).branch(Op::Jump, QStringLiteral("cond"));
    c.label(QStringLiteral("body"));
    c.op(Op::GetLocal1).op(Op::GetLocal1).op(Op::GetProperty, x).op(Op::GetLocal2).op(Op::Add).op(Op::SetProperty, x);
    c.op(Op::IncLocalI, 2);
    c.label(QStringLiteral("cond")).op(Op::GetLocal2).op(Op::PushInt, w.integer(n)).branch(Op::IfLt, QStringLiteral("body"));
    c.op(Op::FindPropStrict, trace).op(Op::GetLocal1).op(Op::GetProperty, x).op(Op::CallPropVoid, trace, 1).op(Op::ReturnVoid);
    std::uint32_t init = w.method();
    w.body(init, c, 4, 3, 0, 1);
    w.script(init);

    swf::avm2::Machine machine;
    swf::avm2::MachineLimits limits;
    limits.instructionsPerRun = std::uint64_t(1) << 40;
    limits.instructionsPerFrame = std::uint64_t(1) << 40;
    machine.setLimits(limits);
    QString result = QStringLiteral("-");
    machine.setTraceSink([&](const QString& line) { result = line; });
    QElapsedTimer timer;
    timer.start();
    auto loaded = machine.loadAbc(w.finish(), false);
    double seconds = timer.nsecsElapsed() / 1e9;
    if (!loaded.ok()) {
        std::printf("load failed: %s\n", qPrintable(loaded.error().detail));
        return 1;
    }
    const auto count = machine.instructionsRun();
    std::printf("%-34s %10d iterations %12llu instructions %8.3f s %8.2f M instructions/s  (result %s)\n",
        "locals and members", n, static_cast<unsigned long long>(count), seconds, count / seconds / 1e6, qPrintable(result));
    return 0;
}
