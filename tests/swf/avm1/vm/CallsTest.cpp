// Rows about calls: what `this` is, which scope a function sees, the rules a
// function body runs by, and how counts taken from the stack are bounded.

#include "support/Assembler.h"

#include "support/ScriptSandbox.h"

#include <gtest/gtest.h>

using namespace swf::avm1;
using namespace swf::avm1::test;

namespace {

QString show(const QStringList& l) { return l.join(QLatin1String(" | ")); }

SandboxRun run(const Asm& code, int version)
{
    SandboxOptions options;
    options.version = version;
    Asm block = code;
    return runInSandbox(block.end().bytes(), options);
}

void expectTrace(const Asm& code, int version, const QStringList& trace)
{
    SandboxRun r = run(code, version);
    ASSERT_TRUE(r.loaded);
    EXPECT_EQ(show(r.trace), show(trace));
    EXPECT_TRUE(r.faults.isEmpty()) << qPrintable(show(r.faults));
}

// trace(this) inside a function.
Asm traceThis() { return std::move(Asm().push({ "this" }).getVariable().trace()); }

} // namespace

TEST(Calls, PlainCallRunsOnTheCallingTimeline)
{
    Asm code;
    code.function("f", {}, traceThis()).push({ 0, "f" }).callFunction().pop();
    expectTrace(code, 6, { "_level0" });
    expectTrace(code, 8, { "_level0" });
}

TEST(Calls, MethodCallOnAPlainObjectSeesThatObject)
{
    // o = {}; o.f = f; o.f() traces the object, not the timeline.
    Asm code;
    code.function("f", {}, traceThis())
        .push({ "o", 0 }).op(0x43).setVariable()
        .push({ "o" }).getVariable().push({ "f", "f" }).getVariable().setMember()
        .push({ 0, "o" }).getVariable().push({ "f" }).callMethod().pop();
    expectTrace(code, 6, { "[object Object]" });
}

TEST(Calls, SuppressedThisIsNotPreloaded)
{
    // DefineFunction2 with PreloadThis | SuppressThis: register 1 stays empty,
    // while the name `this` still answers.
    Asm body;
    body.push({ Reg { 1 } }).trace().push({ "this" }).getVariable().trace();
    Asm code;
    code.function2("g", 2, 0x0003, {}, body).push({ 0, "g" }).callFunction().pop();
    expectTrace(code, 7, { "undefined", "_level0" });

    Asm preloaded;
    preloaded.function2("g", 2, 0x0001, {}, Asm().push({ Reg { 1 } }).trace()).push({ 0, "g" }).callFunction().pop();
    expectTrace(preloaded, 7, { "_level0" });
}

TEST(Calls, FunctionBodiesOfOldMoviesRunByVersion5Rules)
{
    // Equals2 and Divide by zero, at frame level and inside a function of a version 4 movie.
    auto probe = [] { return std::move(Asm().push({ 1, 1 }).op(0x49).trace().push({ 4, 0 }).op(0x0D).trace()); };
    Asm code = probe();
    code.function("f", {}, probe()).push({ 0, "f" }).callFunction().pop();
    code.push({ 4, 0 }).op(0x0D).trace(); // back at frame level, version 4 again
    expectTrace(code, 4, { "1", "#ERROR#", "true", "Infinity", "#ERROR#" });
}

TEST(Calls, ClosuresStartWithVersion6)
{
    // foo = "root"; function f() { var foo = "local"; return function () { trace(foo); }; } f()();
    Asm inner;
    inner.push({ "foo" }).getVariable().trace();
    Asm outer;
    outer.push({ "foo", "local" }).op(0x3C).function("", {}, inner).op(0x3E);
    Asm code;
    code.push({ "foo", "root" }).setVariable().function("f", {}, outer)
        .push({ 0, 0, "f" }).callFunction().push({ Undef {} }).callMethod().pop();
    expectTrace(code, 5, { "root" });
    expectTrace(code, 6, { "local" });
}

TEST(Calls, ThisInAnotherCaseIsThePathToTheTimeline)
{
    // In a constructor, `this` is the new object; "tHiS" is a path where names
    // ignore case, and an unknown variable where they do not.
    Asm body;
    body.push({ "this" }).getVariable().op(0x44).trace().push({ "tHiS" }).getVariable().op(0x44).trace();
    Asm code;
    code.function("F", {}, body).push({ 0, "F" }).op(0x40).pop();
    expectTrace(code, 6, { "object", "movieclip" });
    expectTrace(code, 7, { "object", "undefined" });
}

TEST(Calls, GlobalObjectIsBare)
{
    Asm code;
    code.push({ "_global" }).getVariable().push({ "toString" }).getMember().op(0x44).trace()
        .push({ "_global" }).getVariable().push({ Null {} }).op(0x49).trace()
        .push({ "o", 0 }).op(0x43).setVariable()
        .push({ "o" }).getVariable().push({ Null {} }).op(0x49).trace()
        .push({ "this" }).getVariable().push({ "_global" }).getMember().push({ "_global" }).getVariable().op(0x66).trace();
    expectTrace(code, 6, { "undefined", "true", "false", "true" });
}

TEST(Calls, CountsFromTheStackAreBounded)
{
    // InitArray of five with three on the stack: the missing two are undefined.
    Asm shortArray;
    shortArray.push({ 3, 2, 1, 5 }).op(0x42).push({ "length" }).getMember().trace();
    expectTrace(shortArray, 8, { "5" });

    // A count no stack could hold gives undefined and leaves the stack alone.
    Asm hugeArray;
    hugeArray.push({ "a", "b", 4294967297.0 }).op(0x42).trace().trace().trace();
    expectTrace(hugeArray, 8, { "undefined", "b", "a" });
    Asm hugeObject;
    hugeObject.push({ "k", "v", 1e12 }).op(0x43).trace().trace();
    expectTrace(hugeObject, 8, { "undefined", "v" });

    // Calls take what the stack has; the rest of a wild count is dropped.
    Asm hugeCall;
    hugeCall.function("f", { "a" }, Asm().push({ "a" }).getVariable().trace())
        .push({ "x", 6442450944.0, "f" }).callFunction().pop().push({ "after" }).trace();
    expectTrace(hugeCall, 8, { "x", "after" });
    Asm negativeCall;
    negativeCall.function("f", {}, Asm().push({ "arguments" }).getVariable().push({ "length" }).getMember().trace())
        .push({ "x", -3, "f" }).callFunction().pop().trace();
    expectTrace(negativeCall, 8, { "0", "x" });
}

TEST(Calls, ParametersMayTakeTheNamesOfKeywords)
{
    // function foo(this, arguments) { trace(this); trace(arguments); } foo(42, 84)
    Asm body;
    body.push({ "this" }).getVariable().trace().push({ "arguments" }).getVariable().trace();
    Asm code;
    code.function2("foo", 0, 0, { { 0, "this" }, { 0, "arguments" } }, body).push({ 84, 42, 2, "foo" }).callFunction().pop();
    expectTrace(code, 7, { "42", "84" });
}

TEST(Calls, PrototypeOfAFunctionCannotBeDeleted)
{
    // function F() {} delete F.prototype; trace(typeof F.prototype)
    Asm code;
    code.function("F", {}, Asm())
        .push({ "F" }).getVariable().push({ "prototype" }).op(0x3A).trace()
        .push({ "F" }).getVariable().push({ "prototype" }).getMember().op(0x44).trace();
    expectTrace(code, 6, { "false", "object" });
}

TEST(Calls, ClipsConvertToTheirPath)
{
    // "x" + this at frame level, in version 5 and in version 8.
    Asm code;
    code.push({ "x", "this" }).getVariable().add2().trace();
    expectTrace(code, 5, { "x_level0" });
    expectTrace(code, 8, { "x_level0" });
}

TEST(Calls, FunctionsWithoutDeclaredRegistersGetFour)
{
    // DefineFunction2 declaring 0 registers: r0..r3 hold a value, r4 does not exist.
    Asm body;
    body.push({ "hi" }).storeRegister(3).storeRegister(4).pop()
        .push({ Reg { 3 } }).trace().push({ Reg { 4 } }).trace();
    Asm code;
    code.function2("f", 0, 0, {}, body).push({ 0, "f" }).callFunction().pop();
    expectTrace(code, 7, { "hi", "undefined" });
}

TEST(Calls, EnumerationListsPrototypesFirstAndLiteralsAsWritten)
{
    // a = {a: 1, b: 2, c: 3}; b = {__proto__: a}; b.c = 4; b.e = 5; for (k in b) trace(k)
    Asm loop;
    loop.op(0x55).storeRegister(0).push({ Null {} }).op(0x49).branchIf(11)
        .push({ Reg { 0 } }).trace().jump(-25);
    Asm code;
    code.push({ "a", "a", 1, "b", 2, "c", 3, 3 }).op(0x43).setVariable()
        .push({ "b", "__proto__", "a" }).getVariable().push({ 1 }).op(0x43).setVariable()
        .push({ "b" }).getVariable().push({ "c", 4 }).setMember()
        .push({ "b" }).getVariable().push({ "e", 5 }).setMember()
        .push({ "b" }).getVariable().raw(loop.bytes());
    expectTrace(code, 7, { "a", "b", "e", "c" });
}

TEST(Calls, ALoopingPrototypeChainStopsTheBlock)
{
    // p = {}; p.__proto__ = p; trace("before"); p.missing; trace("not reached")
    Asm code;
    code.push({ "p", 0 }).op(0x43).setVariable()
        .push({ "p" }).getVariable().push({ "__proto__", "p" }).getVariable().setMember()
        .push({ "before" }).trace()
        .push({ "p" }).getVariable().push({ "missing" }).getMember().pop()
        .push({ "not reached" }).trace();
    SandboxRun r = run(code, 7);
    EXPECT_EQ(show(r.trace), QStringLiteral("before"));
    ASSERT_EQ(r.faults.size(), 1);
    EXPECT_TRUE(r.faults[0].contains(QLatin1String("prototype chain")));
}

TEST(Calls, AWatcherThatSetsItsOwnPropertyNestsToABound)
{
    // o = {}; o.watch("p", function (n, old, v) { trace("w"); o.p = "c"; return v; }); o.p = "b"; trace(o.p)
    Asm watcher;
    watcher.push({ "w" }).trace()
        .push({ "o" }).getVariable().push({ "p", "c" }).setMember()
        .push({ "v" }).getVariable().op(0x3E);
    Asm code;
    code.push({ "o", 0 }).op(0x43).setVariable()
        .function("", { "n", "old", "v" }, watcher).storeRegister(1).pop()
        .push({ Reg { 1 }, "p", 2, "o" }).getVariable().push({ "watch" }).callMethod().pop()
        .push({ "o" }).getVariable().push({ "p", "b" }).setMember()
        .push({ "o" }).getVariable().push({ "p" }).getMember().trace();
    SandboxRun r = run(code, 7);
    EXPECT_TRUE(r.faults.isEmpty()) << qPrintable(show(r.faults));
    ASSERT_EQ(r.trace.size(), 66);
    EXPECT_EQ(r.trace.count(QStringLiteral("w")), 65);
    EXPECT_EQ(r.trace.last(), QStringLiteral("b"));
}
