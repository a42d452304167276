// The instruction families, each row a script whose trace was worked out by hand.

#include "Avm2TestSupport.h"

#include <gtest/gtest.h>

using namespace swf::avm2;
using namespace avm2test;

namespace {

// A script body: `body` pushes what to trace between the tracer's two halves.
QStringList traceOf(const std::function<void(AbcWriter&, Code&)>& body, std::uint32_t maxStack = 8)
{
    AbcWriter w;
    Tracer t(w);
    Code c;
    c.op(Op::GetLocal0).op(Op::PushScope);
    t.begin(c);
    body(w, c);
    t.end(c);
    c.op(Op::ReturnVoid);
    ScriptRun run = runScript(w, c, maxStack);
    if (!run.loadError.isEmpty())
        return { QStringLiteral("load error: ") + run.loadError };
    return run.trace;
}

} // namespace

TEST(Interpreter, ArithmeticAndConversions)
{
    struct Row {
        const char* name;
        std::function<void(AbcWriter&, Code&)> body;
        const char* expected;
    };
    const Row rows[] = {
        { "int add", [](AbcWriter&, Code& c) { c.op(Op::PushByte, 2).op(Op::PushByte, 3).op(Op::Add); }, "5" },
        { "string concat", [](AbcWriter& w, Code& c) { c.op(Op::PushString, w.string("a")).op(Op::PushByte, 1).op(Op::Add); }, "a1" },
        { "true + true", [](AbcWriter&, Code& c) { c.op(Op::PushTrue).op(Op::PushTrue).op(Op::Add); }, "2" },
        { "undefined + 1", [](AbcWriter&, Code& c) { c.op(Op::PushUndefined).op(Op::PushByte, 1).op(Op::Add); }, "NaN" },
        { "null + 1", [](AbcWriter&, Code& c) { c.op(Op::PushNull).op(Op::PushByte, 1).op(Op::Add); }, "1" },
        { "divide", [](AbcWriter&, Code& c) { c.op(Op::PushByte, 1).op(Op::PushByte, 4).op(Op::Divide); }, "0.25" },
        { "divide by zero", [](AbcWriter&, Code& c) { c.op(Op::PushByte, std::uint8_t(-1)).op(Op::PushByte, 0).op(Op::Divide); }, "-Infinity" },
        { "modulo", [](AbcWriter&, Code& c) { c.op(Op::PushByte, std::uint8_t(-7)).op(Op::PushByte, 3).op(Op::Modulo); }, "-1" },
        { "0.1 + 0.2", [](AbcWriter& w, Code& c) { c.op(Op::PushDouble, w.number(0.1)).op(Op::PushDouble, w.number(0.2)).op(Op::Add); }, "0.30000000000000004" },
        { "1e21", [](AbcWriter& w, Code& c) { c.op(Op::PushDouble, w.number(1e21)); }, "1e+21" },
        { "1e-7", [](AbcWriter& w, Code& c) { c.op(Op::PushDouble, w.number(1e-7)); }, "1e-7" },
        { "123456789012", [](AbcWriter& w, Code& c) { c.op(Op::PushDouble, w.number(123456789012.0)); }, "123456789012" },
        { "convert_i of 2^31 + 1.5", [](AbcWriter& w, Code& c) { c.op(Op::PushDouble, w.number(2147483649.5)).op(Op::ConvertI); }, "-2147483647" },
        { "convert_u of -1", [](AbcWriter&, Code& c) { c.op(Op::PushByte, 255).op(Op::ConvertU); }, "4294967295" },
        { "add_i wraps", [](AbcWriter& w, Code& c) { c.op(Op::PushInt, w.integer(2147483647)).op(Op::PushByte, 1).op(Op::AddI); }, "-2147483648" },
        { "multiply_i wraps", [](AbcWriter& w, Code& c) { c.op(Op::PushInt, w.integer(65536)).op(Op::Dup).op(Op::MultiplyI); }, "0" },
        { "urshift", [](AbcWriter&, Code& c) { c.op(Op::PushByte, 255).op(Op::PushByte, 28).op(Op::URShift); }, "15" },
        { "rshift keeps the sign", [](AbcWriter&, Code& c) { c.op(Op::PushByte, std::uint8_t(-16)).op(Op::PushByte, 2).op(Op::RShift); }, "-4" },
        { "bitnot", [](AbcWriter&, Code& c) { c.op(Op::PushByte, 0).op(Op::BitNot); }, "-1" },
        { "sxi8", [](AbcWriter&, Code& c) { c.op(Op::PushShort, 255).op(Op::Sxi8); }, "-1" },
        { "string to number", [](AbcWriter& w, Code& c) { c.op(Op::PushString, w.string(" 0x1F ")).op(Op::ConvertD); }, "31" },
        { "typeof null", [](AbcWriter&, Code& c) { c.op(Op::PushNull).op(Op::TypeOf); }, "object" },
        { "strict vs loose", [](AbcWriter& w, Code& c) {
              c.op(Op::PushString, w.string("1")).op(Op::PushByte, 1).op(Op::Equals);
              c.op(Op::PushString, w.string("1")).op(Op::PushByte, 1).op(Op::StrictEquals).op(Op::Add); }, "1" },
        { "NaN compares false", [](AbcWriter&, Code& c) { c.op(Op::PushNaN).op(Op::PushByte, 1).op(Op::LessEquals); }, "false" },
        { "string order", [](AbcWriter& w, Code& c) { c.op(Op::PushString, w.string("10")).op(Op::PushString, w.string("9")).op(Op::LessThan); }, "true" },
    };
    for (const Row& row : rows)
        EXPECT_EQ(traceOf(row.body), QStringList { QLatin1String(row.expected) }) << row.name;
}

TEST(Interpreter, BranchesLoopsAndSwitch)
{
    AbcWriter w;
    Tracer t(w);
    Code c;
    c.op(Op::GetLocal0).op(Op::PushScope);
    // s = 0; for (i = 0; i < 5; i++) s += i; trace(s)
    c.op(Op::PushByte, 0).op(Op::SetLocal2).op(Op::PushByte, 0).op(Op::SetLocal1);
    c.label(QStringLiteral("top")).op(Op::GetLocal1).op(Op::PushByte, 5).branch(Op::IfNlt, QStringLiteral("done"));
    c.op(Op::GetLocal2).op(Op::GetLocal1).op(Op::Add).op(Op::SetLocal2).op(Op::IncLocalI, 1).branch(Op::Jump, QStringLiteral("top"));
    c.label(QStringLiteral("done"));
    t.begin(c);
    c.op(Op::GetLocal2);
    t.end(c);
    // switch (2) { case 0: "zero"; case 2: "two"; default: "other" }
    c.op(Op::PushByte, 2);
    const int at = c.offset();
    c.op(Op::LookupSwitch);
    // The offsets are filled in below, from the switch's own start.
    const int defaultAt = c.offset();
    c.raw(QByteArray(3, '\0'));
    c.raw(QByteArray(1, char(2))); // three cases
    c.raw(QByteArray(9, '\0'));
    auto place = [&](const char* text) {
        int here = c.offset();
        t.begin(c);
        c.op(Op::PushString, w.string(QLatin1String(text)));
        t.end(c);
        c.op(Op::ReturnVoid);
        return here;
    };
    int zero = place("zero");
    int two = place("two");
    int other = place("other");
    QByteArray bytes = c.bytes();
    auto put = [&](int where, int target) {
        int delta = target - at;
        for (int i = 0; i < 3; ++i)
            bytes[where + i] = char((delta >> (8 * i)) & 0xff);
    };
    put(defaultAt, other);
    put(defaultAt + 4, zero);
    put(defaultAt + 7, other);
    put(defaultAt + 10, two);
    Code patched;
    patched.raw(bytes);
    ScriptRun run = runScript(w, patched, 4, 3);
    EXPECT_EQ(run.loadError, QString());
    EXPECT_EQ(run.trace, (QStringList { QStringLiteral("10"), QStringLiteral("two") }));
}

TEST(Interpreter, ExceptionsReachTheirHandler)
{
    AbcWriter w;
    Tracer t(w);
    std::uint32_t error = w.publicName(QStringLiteral("Error"));
    std::uint32_t message = w.publicName(QStringLiteral("message"));
    Code c;
    c.op(Op::GetLocal0).op(Op::PushScope);
    const int from = c.offset();
    // throw new Error("boom")
    c.op(Op::FindPropStrict, error).op(Op::PushString, w.string("boom")).op(Op::ConstructProp, error, 1).op(Op::Throw);
    const int to = c.offset();
    c.op(Op::ReturnVoid);
    const int target = c.offset();
    // catch (e) { trace(e.message) }: the handler starts with the error on the stack, no scopes.
    c.op(Op::SetLocal1).op(Op::GetLocal0).op(Op::PushScope);
    t.begin(c);
    c.op(Op::GetLocal1).op(Op::GetProperty, message);
    t.end(c);
    // null.x raises the player's error 1009 inside a second guarded range.
    const int from2 = c.offset();
    c.op(Op::PushNull).op(Op::GetProperty, message).op(Op::Pop);
    const int to2 = c.offset();
    c.op(Op::ReturnVoid);
    const int target2 = c.offset();
    c.op(Op::SetLocal1).op(Op::GetLocal0).op(Op::PushScope);
    t.begin(c);
    c.op(Op::GetLocal1);
    t.end(c);
    c.op(Op::ReturnVoid);
    ScriptRun run = runScript(w, c, 4, 2, {},
        { abcw::Exception { std::uint32_t(from), std::uint32_t(to), std::uint32_t(target), 0, 0 },
            abcw::Exception { std::uint32_t(from2), std::uint32_t(to2), std::uint32_t(target2), error, 0 } });
    EXPECT_EQ(run.loadError, QString());
    EXPECT_EQ(run.trace, (QStringList { QStringLiteral("boom"),
                             QStringLiteral("TypeError: Error #1009: Cannot access a property or method of a null object reference.") }));
}

TEST(Interpreter, UncaughtErrorsAreTracedAndEndTheScript)
{
    AbcWriter w;
    Tracer t(w);
    Code c;
    c.op(Op::GetLocal0).op(Op::PushScope);
    c.op(Op::GetLex, w.publicName(QStringLiteral("nowhere")));
    t.begin(c);
    c.op(Op::PushString, w.string("not reached"));
    t.end(c);
    c.op(Op::ReturnVoid);
    ScriptRun run = runScript(w, c, 4, 1);
    EXPECT_EQ(run.trace, QStringList { QStringLiteral("ReferenceError: Error #1065: Variable nowhere is not defined.\n\tat global$init()") });
}

TEST(Interpreter, EndlessLoopsAndDeepRecursionAreStopped)
{
    {
        AbcWriter w;
        Code c;
        c.label(QStringLiteral("top")).branch(Op::Jump, QStringLiteral("top"));
        MachineLimits limits;
        limits.instructionsPerRun = 10000;
        ScriptRun run = runScript(w, c, 1, 1, {}, {}, limits);
        ASSERT_EQ(run.trace.size(), 1);
        EXPECT_TRUE(run.trace[0].contains(QLatin1String("#1502")));
    }
    {
        // function f() { f() } f()  — through a closure held in a script slot.
        AbcWriter w;
        std::uint32_t f = w.publicName(QStringLiteral("f"));
        std::uint32_t fm = w.method();
        Code fc;
        fc.op(Op::FindPropStrict, f).op(Op::CallPropVoid, f, 0).op(Op::ReturnVoid);
        w.body(fm, fc, 2, 1);
        Code c;
        c.op(Op::GetLocal0).op(Op::PushScope).op(Op::FindPropStrict, f).op(Op::CallPropVoid, f, 0).op(Op::ReturnVoid);
        ScriptRun run = runScript(w, c, 2, 1, { abcw::Trait { f, 5, 1, 0, fm, 0 } });
        // The report lists every frame: f's own, innermost first, then the script's.
        ASSERT_EQ(run.trace.size(), 1);
        const QStringList lines = run.trace[0].split(QLatin1Char('\n'));
        EXPECT_EQ(lines.front(), QStringLiteral("Error: Error #1023: Stack overflow occurred."));
        EXPECT_EQ(lines[1], QStringLiteral("\tat global/f()"));
        EXPECT_EQ(lines.back(), QStringLiteral("\tat global$init()"));
    }
}

TEST(Interpreter, ReturnsTakeTheDeclaredReturnType)
{
    // function f():T { return; } called for T = int, Boolean, String, void: 0, false, null, undefined.
    AbcWriter w;
    Tracer t(w);
    Code c;
    c.op(Op::GetLocal0).op(Op::PushScope);
    for (const char* type : { "int", "Boolean", "String", "void" }) {
        std::uint32_t fn = w.method(0, 0, {}, 0, w.publicName(QLatin1String(type)));
        Code body;
        body.op(Op::ReturnVoid);
        w.body(fn, body, 1, 1);
        t.begin(c);
        c.op(Op::NewFunction, fn).op(Op::PushNull).op(Op::Call, 0);
        t.end(c);
    }
    c.op(Op::ReturnVoid);
    ScriptRun run = runScript(w, c, 6);
    EXPECT_TRUE(run.loadError.isEmpty()) << run.loadError.toStdString();
    EXPECT_EQ(run.trace, (QStringList { "0", "false", "null", "undefined" }));
}
