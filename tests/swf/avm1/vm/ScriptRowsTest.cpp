// Rows of {action bytes, expected trace or fault}, run in a one-frame movie.

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
    const char* fault = nullptr; // part of the expected fault text, if the block must abort
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
        if (row.fault) {
            ASSERT_EQ(run.faults.size(), 1) << qPrintable(show(run.faults));
            EXPECT_TRUE(run.faults[0].contains(QLatin1String(row.fault))) << qPrintable(run.faults[0]);
        } else {
            EXPECT_TRUE(run.faults.isEmpty()) << qPrintable(show(run.faults));
        }
    }
}

// trace(a + b) with Add2.
Asm sum(Asm::Item a, Asm::Item b) { return std::move(Asm().push({ a, b }).add2().trace()); }

} // namespace

TEST(ScriptRows, ArithmeticAndNumberFormatting)
{
    runRows({
        { "integers", 8, [] { return sum(2, 3); }, { "5" } },
        { "binary fractions print with 15 digits", 8, [] { return sum(0.1, 0.2); }, { "0.3" } },
        { "large numbers use exponent form", 8, [] { return sum(1e21, 0.0); }, { "1e+21" } },
        { "small numbers use exponent form", 8, [] { return sum(0.00001, 0.0); }, { "1e-5" } },
        { "just above the exponent threshold", 8, [] { return sum(0.0001, 0.0); }, { "0.0001" } },
        { "division by zero", 8, [] { return std::move(Asm().push({ 1, 0 }).op(0x0D).trace()); }, { "Infinity" } },
        { "division by zero in version 4", 4, [] { return std::move(Asm().push({ 1, 0 }).op(0x0D).trace()); }, { "#ERROR#" } },
        { "NaN", 8, [] { return std::move(Asm().push({ 0.0, 0.0 }).op(0x0D).trace()); }, { "NaN" } },
        { "modulo keeps the dividend's sign", 8, [] { return std::move(Asm().push({ -7, 3 }).op(0x3F).trace()); }, { "-1" } },
        { "unsigned shift comes back signed", 8, [] { return std::move(Asm().push({ -1, 0 }).op(0x65).trace()); }, { "-1" } },
        { "shift counts wrap at 32", 8, [] { return std::move(Asm().push({ 1, 33 }).op(0x63).trace()); }, { "2" } },
        { "ToInteger truncates towards zero", 8, [] { return std::move(Asm().push({ -2.7 }).op(0x18).trace()); }, { "-2" } },
    });
}

TEST(ScriptRows, ConversionsDependOnVersion)
{
    auto concatUndefined = [] { return std::move(Asm().push({ "x", Undef {} }).op(0x21).trace()); };
    auto numberOfUndefined = [] { return std::move(Asm().push({ Undef {}, 1 }).add2().trace()); };
    auto stringAsBoolean = [] {
        // if ("abc") trace("yes") else trace("no")
        return std::move(Asm().push({ "abc" }).branchIf(13).push({ "no" }).trace().jump(9).push({ "yes" }).trace());
    };
    runRows({
        { "undefined is empty before 7", 6, concatUndefined, { "x" } },
        { "undefined is 'undefined' from 7", 7, concatUndefined, { "xundefined" } },
        { "undefined is 0 before 7", 6, numberOfUndefined, { "1" } },
        { "undefined is NaN from 7", 7, numberOfUndefined, { "NaN" } },
        { "strings are false through numbers before 7", 6, stringAsBoolean, { "no" } },
        { "non-empty strings are true from 7", 7, stringAsBoolean, { "yes" } },
        { "booleans print as digits in version 4", 4, [] { return std::move(Asm().push({ 1, 1 }).op(0x0E).trace()); }, { "1" } },
        { "Add2 concatenates when one side is a string", 8, [] { return sum("a", 1); }, { "a1" } },
        { "ToNumber of a hex string", 8, [] { return std::move(Asm().push({ "0x1A" }).op(0x4A).trace()); }, { "26" } },
        { "ToNumber accepts leading spaces only", 8, [] { return std::move(Asm().push({ "  12.5 " }).op(0x4A).trace()); }, { "NaN" } },
        { "ToNumber of junk", 8, [] { return std::move(Asm().push({ "12abc" }).op(0x4A).trace()); }, { "NaN" } },
        { "TypeOf", 8, [] { return std::move(Asm().push({ Null {} }).op(0x44).trace().push({ 1 }).op(0x44).trace()); }, { "null", "number" } },
    });
}

TEST(ScriptRows, Comparisons)
{
    auto equals2 = [](Asm::Item a, Asm::Item b) { return [a, b] { return std::move(Asm().push({ a, b }).op(0x49).trace()); }; };
    runRows({
        { "string and number", 8, equals2("1", 1), { "true" } },
        { "null and undefined", 8, equals2(Null {}, Undef {}), { "true" } },
        { "null and zero", 8, equals2(Null {}, 0), { "false" } },
        { "boolean and number", 8, equals2(true, 1), { "true" } },
        { "strict equality of NaN", 8, [] { return std::move(Asm().push({ 0.0, 0.0 }).op(0x0D).op(0x4C).op(0x66).trace()); }, { "true" } },
        { "Less2 with NaN is undefined", 8, [] { return std::move(Asm().push({ "x", 1 }).op(0x48).trace()); }, { "undefined" } },
        { "Less2 compares strings by code unit", 8, [] { return std::move(Asm().push({ "B", "a" }).op(0x48).trace()); }, { "true" } },
        { "Greater", 8, [] { return std::move(Asm().push({ 3, 2 }).op(0x67).trace()); }, { "true" } },
    });
}

TEST(ScriptRows, VariablesAndCase)
{
    auto setThenGet = [] { return std::move(Asm().push({ "Foo", 1 }).setVariable().push({ "foo" }).getVariable().trace()); };
    runRows({
        { "names ignore case before 7", 6, setThenGet, { "1" } },
        { "names keep case from 7", 7, setThenGet, { "undefined" } },
        { "slash path variable", 6, [] { return std::move(Asm().push({ "/:v", 4 }).setVariable().push({ "v" }).getVariable().trace()); }, { "4" } },
        { "this on the timeline is the root", 6, [] { return std::move(Asm().push({ "this" }).getVariable().trace()); }, { "_level0" } },
        { "_global holds globals", 6, [] {
              return std::move(Asm().push({ "_global" }).getVariable().push({ "g", 7 }).setMember().push({ "g" }).getVariable().trace());
          }, { "7" } },
    });
}

TEST(ScriptRows, FunctionsAndScopes)
{
    runRows({
        { "function with a parameter", 8, [] {
              Asm body;
              body.push({ "x" }).getVariable().push({ 1 }).add2().op(0x3E);
              return std::move(Asm().function("inc", { "x" }, body).push({ 41, 1, "inc" }).callFunction().trace());
          }, { "42" } },
        { "DefineFunction2 keeps parameters in registers", 8, [] {
              Asm body;
              body.push({ Reg { 1 }, Reg { 2 } }).op(0x0B).op(0x3E);
              return std::move(Asm().function2("sub", 3, 0x0002 | 0x0008 | 0x0020, { { 1, "a" }, { 2, "b" } }, body)
                                   .push({ 2, 10, 2, "sub" }).callFunction().trace());
          }, { "8" } },
        { "closures see the scope they were made in", 8, [] {
              Asm inner;
              inner.push({ "n" }).getVariable().op(0x3E);
              Asm outer;
              outer.push({ "n", "kept" }).op(0x3C).function("", {}, inner).op(0x3E);
              return std::move(Asm().function("make", {}, outer).push({ 0, "make" }).callFunction()
                                   .push({ 0 }).op(0x4D).push({ Undef {} }).callMethod().trace());
          }, { "kept" } },
        { "missing arguments are undefined", 8, [] {
              Asm body;
              body.push({ "b" }).getVariable().op(0x44).op(0x3E);
              return std::move(Asm().function("f", { "a", "b" }, body).push({ 1, 1, "f" }).callFunction().trace());
          }, { "undefined" } },
        { "with puts an object on the scope chain", 8, [] {
              Asm body;
              body.push({ "k" }).getVariable().trace();
              return std::move(Asm().push({ "k", "inside", 1 }).op(0x43).with(body).push({ "k" }).getVariable().trace());
          }, { "inside", "undefined" } },
    });
}

TEST(ScriptRows, ExceptionsUnwindToTheirHandler)
{
    runRows({
        { "catch and finally", 8, [] {
              Asm body, handler, cleanup;
              body.push({ "boom" }).op(0x2A).push({ "not reached" }).trace();
              handler.push({ "e" }).getVariable().trace();
              cleanup.push({ "finally" }).trace();
              return std::move(Asm().tryBlock(body, "e", &handler, &cleanup).push({ "after" }).trace());
          }, { "boom", "finally", "after" } },
        { "a throw from a called function", 8, [] {
              Asm thrower, body, handler;
              thrower.push({ "deep" }).op(0x2A);
              body.push({ 0, "f" }).callFunction().pop();
              handler.push({ "e" }).getVariable().trace();
              return std::move(Asm().function("f", {}, thrower).tryBlock(body, "e", &handler, nullptr));
          }, { "deep" } },
        { "finally runs, then the throw goes on and aborts the block", 8, [] {
              Asm body, cleanup;
              body.push({ "up" }).op(0x2A);
              cleanup.push({ "cleanup" }).trace();
              return std::move(Asm().tryBlock(body, "e", nullptr, &cleanup).push({ "not reached" }).trace());
          }, { "cleanup" }, "uncaught" },
    });
}

TEST(ScriptRows, ObjectsAndPrototypes)
{
    runRows({
        { "for..in lists a literal's members as written", 8, [] {
              // o = {a:1, b:2}; for (k in o) trace(k): the literal sets b first,
              // and enumeration lists the newest property first.
              return std::move(Asm().push({ "a", 1, "b", 2, 2 }).op(0x43).op(0x55)
                                   .storeRegister(0).push({ Null {} }).op(0x49).branchIf(11)
                                   .push({ Reg { 0 } }).trace().jump(-25));
          }, { "a", "b" } },
        { "instanceof follows __proto__", 8, [] {
              return std::move(Asm().push({ 0, "Array" }).op(0x40).push({ "Object" }).getVariable().op(0x54).trace());
          }, { "true" } },
        { "hidden properties are skipped by for..in", 8, [] {
              // o = {a:1, b:2}; ASSetPropFlags(o, "a", 1); enumerate
              return std::move(Asm().push({ "o", "a", 1, "b", 2, 2 }).op(0x43).setVariable()
                                   .push({ 0, 1, "a", "o" }).getVariable().push({ 4, "ASSetPropFlags" }).callFunction().pop()
                                   .push({ "o" }).getVariable().op(0x55)
                                   .storeRegister(0).push({ Null {} }).op(0x49).branchIf(11)
                                   .push({ Reg { 0 } }).trace().jump(-25));
          }, { "b" } },
    });
}

TEST(ScriptRows, BuiltIns)
{
    auto callOn = [](Asm::Item object, const char* method, std::initializer_list<Asm::Item> args) {
        Asm a;
        std::vector<Asm::Item> reversed(args);
        for (auto it = reversed.rbegin(); it != reversed.rend(); ++it)
            a.push({ *it });
        a.push({ int(reversed.size()) }).push({ object }).push({ method }).callMethod().trace();
        return a;
    };
    runRows({
        { "substr with a negative start", 8, [=] { return callOn("hello world", "substr", { -5, 3 }); }, { "wor" } },
        { "substring swaps its ends", 8, [=] { return callOn("hello", "substring", { 4, 1 }); }, { "ell" } },
        { "split on a string", 8, [=] { return callOn("a,b,,c", "split", { "," }); }, { "a,b,,c" } },
        { "indexOf from a position", 8, [=] { return callOn("abcabc", "indexOf", { "b", 2 }); }, { "4" } },
        { "Math.max without arguments", 8, [] {
              return std::move(Asm().push({ 0, "Math" }).getVariable().push({ "max" }).callMethod().trace());
          }, { "-Infinity" } },
        { "parseInt reads octal only for a whole octal string", 8, [] {
              return std::move(Asm().push({ "077", 1, "parseInt" }).callFunction().trace()
                                   .push({ "077 ", 1, "parseInt" }).callFunction().trace());
          }, { "63", "77" } },
        { "numeric descending sort", 8, [] {
              // [10, 9, 100].sort(Array.NUMERIC | Array.DESCENDING)
              return std::move(Asm().push({ 18, 1, 100, 9, 10, 3 }).op(0x42).push({ "sort" }).callMethod().trace());
          }, { "100,10,9" } },
        { "default sort compares strings", 8, [] {
              return std::move(Asm().push({ 0, 100, 9, 10, 3 }).op(0x42).push({ "sort" }).callMethod().trace());
          }, { "10,100,9" } },
        { "Number.toString with a radix", 8, [] {
              return std::move(Asm().push({ 2, 1, 255, 1, "Number" }).op(0x40).push({ "toString" }).callMethod().trace());
          }, { "11111111" } },
    });
}
