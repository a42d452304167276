// Prints the interpreter's speed on a tight loop of arithmetic and property
// access, in actions per second. A benchmark: it asserts nothing.
//
//   vantrel-bench-script [iterations]

#include "support/Assembler.h"

#include "support/ScriptSandbox.h"

#include <QElapsedTimer>

#include <cstdio>
#include <cstdlib>

using namespace swf::avm1;
using namespace swf::avm1::test;

namespace {

// while (cond) { body }  as  cond; If exit; body; Jump back.
Asm loop(const Asm& cond, const Asm& body)
{
    Asm a;
    a.raw(cond.bytes()).op(0x12).branchIf(int16_t(body.bytes().size() + 5)).raw(body.bytes());
    a.jump(int16_t(-(cond.bytes().size() + 1 + 5 + body.bytes().size() + 5)));
    return a;
}

void report(const char* name, const Asm& code, int iterations)
{
    SandboxOptions options;
    options.budget = uint64_t(1) << 40;
    QElapsedTimer timer;
    timer.start();
    SandboxRun run = runInSandbox(code.bytes(), options);
    double seconds = timer.nsecsElapsed() / 1e9;
    std::printf("%-34s %10d iterations %12llu actions %8.3f s %8.2f M actions/s  (result %s)\n", name, iterations,
        static_cast<unsigned long long>(run.actions), seconds, run.actions / seconds / 1e6,
        run.trace.isEmpty() ? "-" : qPrintable(run.trace.last()));
}

} // namespace

int main(int argc, char** argv)
{
    const int n = argc > 1 ? std::atoi(argv[1]) : 2000000;

    // Timeline variables: o = {x: 0}; i = 0; while (i < n) { o.x = o.x + i; i++; } trace(o.x)
    {
        Asm cond, body, code;
        cond.push({ "i" }).getVariable().push({ n }).op(0x48);
        body.push({ "o" }).getVariable().push({ "x", "o" }).getVariable().push({ "x" }).getMember()
            .push({ "i" }).getVariable().add2().setMember()
            .push({ "i", "i" }).getVariable().op(0x50).setVariable();
        code.push({ "o", "x", 0, 1 }).op(0x43).setVariable().push({ "i", 0 }).setVariable()
            .raw(loop(cond, body).bytes())
            .push({ "o" }).getVariable().push({ "x" }).getMember().trace().end();
        report("variables and members", code, n);
    }

    // Registers inside a function, as compilers for version 7 emit:
    // function f() { var o = {x: 0}; for (var i = 0; i < n; i++) o.x += i * 2 - 1; return o.x; }
    {
        Asm cond, body, fbody, code;
        cond.push({ Reg { 2 }, n }).op(0x48);
        body.push({ Reg { 1 }, "x", Reg { 1 }, "x" }).getMember().push({ Reg { 2 }, 2 }).op(0x0C).push({ 1 }).op(0x0B)
            .add2().setMember()
            .push({ Reg { 2 } }).op(0x50).storeRegister(2).pop();
        fbody.push({ "x", 0, 1 }).op(0x43).storeRegister(1).pop().push({ 0 }).storeRegister(2).pop()
            .raw(loop(cond, body).bytes())
            .push({ Reg { 1 }, "x" }).getMember().op(0x3E);
        code.function2("f", 3, 0x0002 | 0x0008 | 0x0020, {}, fbody).push({ 0, "f" }).callFunction().trace().end();
        report("registers and members", code, n);
    }
    return 0;
}
