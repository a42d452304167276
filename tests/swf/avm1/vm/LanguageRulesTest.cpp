// Rules of the language that movies of every version rely on, one group per
// rule: rows of {action bytes, expected trace}, worked out by hand.

#include "support/Assembler.h"

#include "support/ScriptSandbox.h"

#include <gtest/gtest.h>

#include <functional>

using namespace swf::avm1;
using namespace swf::avm1::test;

namespace {

struct Row {
    const char* name;
    int version;
    std::function<Asm()> code;
    QStringList trace;
};

QString show(const QStringList& l) { return l.join(QLatin1String(" | ")); }

void runRows(const std::vector<Row>& rows)
{
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SandboxOptions options;
        options.version = row.version;
        SandboxRun run = runInSandbox(row.code().end().bytes(), options);
        ASSERT_TRUE(run.loaded);
        EXPECT_EQ(show(run.trace), show(row.trace));
    }
}

Asm traced(const char* text) { return std::move(Asm().push({ text }).trace()); }

} // namespace

TEST(LanguageRules, TryBlocksFollowTheirFlags)
{
    // Catch and finally code of the same length, so that either can stand
    // where the other is laid out.
    const Asm catchCode = traced("c1");
    const Asm finallyCode = traced("f1");
    runRows({
        { "finally code without its flag runs as plain code after the try", 7, [=] {
              Asm body = std::move(Asm().push({ "t" }).op(0x2A));
              Asm handler = std::move(Asm().push({ "e" }).getVariable().trace());
              Asm cleanup = traced("after");
              return std::move(Asm().tryRecord(1, body, "e", handler, cleanup));
          }, { "t", "after" } },
        { "without the catch flag the finally block starts where catch code would", 7, [=] {
              return std::move(Asm().tryRecord(2, traced("t"), "e", catchCode, finallyCode));
          }, { "t", "c1", "f1" } },
        { "with neither flag a throw leaves at once", 7, [=] {
              Asm body = std::move(Asm().push({ "t" }).op(0x2A));
              Asm outerHandler = std::move(Asm().push({ "e" }).getVariable().trace());
              Asm inner = std::move(Asm().tryRecord(0, body, "e", catchCode, finallyCode));
              return std::move(Asm().tryBlock(inner, "e", &outerHandler, nullptr));
          }, { "t" } },
    });
}

TEST(LanguageRules, WithOnNothingSkipsItsBody)
{
    runRows({
        { "undefined", 6, [] { return std::move(Asm().push({ Undef {} }).with(traced("inside")).push({ "after" }).trace()); }, { "after" } },
        { "null", 8, [] { return std::move(Asm().push({ Null {} }).with(traced("inside")).push({ "after" }).trace()); }, { "after" } },
        { "a string is boxed", 5, [] {
              // with ("hi") trace(length)
              Asm body = std::move(Asm().push({ "length" }).getVariable().trace());
              return std::move(Asm().push({ "hi" }).with(body));
          }, { "2" } },
    });
}

TEST(LanguageRules, PlainCallsRunOnTheScopeObjectHoldingTheFunction)
{
    // function outer() { var v = "local"; var inner = function () { trace(this.v); }; inner(); }
    auto localCall = [] {
        Asm inner = std::move(Asm().push({ "this" }).getVariable().push({ "v" }).getMember().trace());
        Asm outer = std::move(Asm().push({ "v", "local" }).op(0x3C).push({ "inner" }).function("", {}, inner).op(0x3C)
                                  .push({ 0, "inner" }).callFunction().pop());
        return std::move(Asm().push({ "v", "timeline" }).setVariable().function("outer", {}, outer)
                             .push({ 0, "outer" }).callFunction().pop());
    };
    runRows({
        { "a local function in version 5", 5, localCall, { "local" } },
        { "a local function in version 8", 8, localCall, { "local" } },
        { "a timeline function runs on the timeline", 8, [] {
              Asm body = std::move(Asm().push({ "this" }).getVariable().push({ "v" }).getMember().trace());
              return std::move(Asm().push({ "v", "timeline" }).setVariable().function("f", {}, body)
                                   .push({ 0, "f" }).callFunction().pop());
          }, { "timeline" } },
        { "a method of a with object runs on that object", 6, [] {
              // o = {v: "o", m: function () { trace(this.v); }}; with (o) m();
              Asm method = std::move(Asm().push({ "this" }).getVariable().push({ "v" }).getMember().trace());
              Asm body = std::move(Asm().push({ 0, "m" }).callFunction().pop());
              return std::move(Asm().push({ "o", "v", "o", "m" }).function("", {}, method).push({ 2 }).op(0x43).setVariable()
                                   .push({ "o" }).getVariable().with(body));
          }, { "o" } },
    });
}

TEST(LanguageRules, ALocalNamedProtoLinksTheActivation)
{
    // a = "timeline"; function f() { var __proto__ = {a: "proto"}; trace(a); } f();
    runRows({
        { "names are then found through that object", 6, [] {
              Asm body = std::move(Asm().push({ "__proto__", "a", "proto", 1 }).op(0x43).op(0x3C).push({ "a" }).getVariable().trace());
              return std::move(Asm().push({ "a", "timeline" }).setVariable().function("f", {}, body).push({ 0, "f" }).callFunction().pop());
          }, { "proto" } },
    });
}

namespace {

// function A() {} A.prototype.m = function () { trace("A"); };
// function B() {} B extends A; B.prototype.m = function () { trace("B"); super.m(); };
// function C() {} C extends B;  (C adds no m of its own)
// function D() {} D extends C; D.prototype.m = function () { trace("D"); super.m(); };
// new D().m();
Asm superChain()
{
    auto method = [](const char* label, bool callsSuper) {
        Asm body = std::move(Asm().push({ label }).trace());
        if (callsSuper)
            body.push({ 0, "super" }).getVariable().push({ "m" }).callMethod().pop();
        return body;
    };
    auto setMethod = [&](const char* cls, const char* label, bool callsSuper) {
        return std::move(Asm().push({ cls }).getVariable().push({ "prototype" }).getMember().push({ "m" })
                             .function("", {}, method(label, callsSuper)).setMember());
    };
    auto extends = [](const char* sub, const char* base) {
        return std::move(Asm().push({ sub }).getVariable().push({ base }).getVariable().op(0x69));
    };
    Asm a;
    for (const char* cls : { "A", "B", "C", "D" })
        a.function(cls, {}, Asm());
    a.raw(extends("B", "A").bytes()).raw(extends("C", "B").bytes()).raw(extends("D", "C").bytes());
    a.raw(setMethod("A", "A", false).bytes()).raw(setMethod("B", "B", true).bytes()).raw(setMethod("D", "D", true).bytes());
    a.push({ 0, "D" }).op(0x40).push({ "m" }).callMethod().pop();
    return a;
}

} // namespace

TEST(LanguageRules, SuperStartsAboveWhereItsLookupStarted)
{
    runRows({
        // D's super is C.prototype: m is found on B.prototype, and B's
        // super starts one link above where that lookup started, at
        // B.prototype, so B's m runs once more (once per class in between)
        // before its super reaches A.prototype.
        { "a super call's super starts above where its lookup started", 6, superChain, { "D", "B", "B", "A" } },
        { "no super before version 6", 5, superChain, { "D" } },
    });
}

TEST(LanguageRules, SuperCalledAsAFunctionRunsTheParentConstructor)
{
    // function A() { trace("A"); } function B() { super(); trace("B"); } B extends A;
    // function C() { super(); trace("C"); } C extends B; new C();
    auto program = [] {
        auto ctor = [](const char* label, bool callsSuper) {
            Asm body;
            if (callsSuper)
                body.push({ 0, "super" }).callFunction().pop();
            body.push({ label }).trace();
            return body;
        };
        return std::move(Asm().function("A", {}, ctor("A", false)).function("B", {}, ctor("B", true)).function("C", {}, ctor("C", true))
                             .push({ "B" }).getVariable().push({ "A" }).getVariable().op(0x69)
                             .push({ "C" }).getVariable().push({ "B" }).getVariable().op(0x69)
                             .push({ 0, "C" }).op(0x40).pop());
    };
    runRows({
        { "each level once, the deepest first", 6, program, { "A", "B", "C" } },
        { "nothing to call before version 6", 5, program, { "C" } },
    });
}

TEST(LanguageRules, ToIntegerWrapsTo32Bits)
{
    runRows({
        { "beyond the int range", 7, [] { return std::move(Asm().push({ 3e13 }).op(0x18).trace()); }, { "-346562560" } },
        { "truncates towards zero", 7, [] { return std::move(Asm().push({ -2.7 }).op(0x18).trace()); }, { "-2" } },
        { "NaN is zero", 7, [] { return std::move(Asm().push({ "x" }).op(0x18).trace()); }, { "0" } },
    });
}
