// The verifier refuses a body before any of it runs.

#include "Avm2TestSupport.h"
#include "swf/avm2/abc/Verifier.h"

#include <gtest/gtest.h>

using namespace swf::avm2;
using namespace avm2test;

namespace {

// Verifies `code` as the one body of a file; the error text, empty when accepted.
QString verify(AbcWriter& w, const Code& code, std::uint32_t maxStack, std::uint32_t locals, std::uint32_t maxScope = 2)
{
    std::uint32_t m = w.method();
    w.body(m, code, maxStack, locals, 0, maxScope);
    w.script(m);
    auto parsed = AbcFile::parse(w.finish());
    if (!parsed.ok())
        return QStringLiteral("parse: ") + parsed.error().detail;
    auto decoded = verifyBody(parsed.value(), parsed.value().bodies[0]);
    return decoded.ok() ? QString() : decoded.error().detail;
}

} // namespace

TEST(Verifier, AcceptsBalancedLoopsAndResolvesBranches)
{
    AbcWriter w;
    Code c;
    // for (i = 0; i < 3; i++) {}  with a backward branch
    c.op(Op::PushByte, 0).op(Op::SetLocal1).label(QStringLiteral("top"));
    c.op(Op::GetLocal1).op(Op::PushByte, 3).branch(Op::IfNlt, QStringLiteral("out"));
    c.op(Op::IncLocalI, 1).branch(Op::Jump, QStringLiteral("top"));
    c.label(QStringLiteral("out")).op(Op::ReturnVoid);
    EXPECT_EQ(verify(w, c, 2, 2), QString());
}

TEST(Verifier, RefusesFaultyBodies)
{
    struct Row {
        const char* name;
        std::function<void(Code&)> build;
        std::uint32_t maxStack;
        std::uint32_t locals;
        const char* expected; // part of the message
    };
    const Row rows[] = {
        { "jump past the end", [](Code& c) { c.branchBy(Op::Jump, 40).op(Op::ReturnVoid); }, 1, 1, "outside" },
        { "jump before the start", [](Code& c) { c.branchBy(Op::Jump, -10).op(Op::ReturnVoid); }, 1, 1, "outside" },
        { "jump into an instruction", [](Code& c) { c.branchBy(Op::Jump, 1).op(Op::PushShort, 300).op(Op::Pop).op(Op::ReturnVoid); }, 1, 1, "middle" },
        { "underflow", [](Code& c) { c.op(Op::Pop).op(Op::ReturnVoid); }, 1, 1, "underflow" },
        { "overflow", [](Code& c) { c.op(Op::PushTrue).op(Op::PushTrue).op(Op::ReturnVoid); }, 1, 1, "overflow" },
        { "local out of range", [](Code& c) { c.op(Op::GetLocal, 5).op(Op::ReturnValue); }, 1, 2, "local 5" },
        { "setlocal3 of two locals", [](Code& c) { c.op(Op::PushNull).op(Op::SetLocal3).op(Op::ReturnVoid); }, 1, 2, "local 3" },
        { "scope underflow", [](Code& c) { c.op(Op::PopScope).op(Op::ReturnVoid); }, 1, 1, "scope stack underflow" },
        { "scope overflow", [](Code& c) { c.op(Op::GetLocal0).op(Op::PushScope).op(Op::GetLocal0).op(Op::PushScope).op(Op::GetLocal0).op(Op::PushScope).op(Op::ReturnVoid); }, 1, 1, "scope stack overflow" },
        { "scope index", [](Code& c) { c.op(Op::GetScopeObject, 0).op(Op::ReturnValue); }, 1, 1, "scope 0" },
        { "unknown opcode", [](Code& c) { c.raw(QByteArray(1, char(0xFF))); }, 1, 1, "unknown opcode" },
        { "falls off the end", [](Code& c) { c.op(Op::PushTrue).op(Op::Pop); }, 1, 1, "off the end" },
        { "paths disagree", [](Code& c) { c.op(Op::PushTrue).branch(Op::IfTrue, QStringLiteral("a")).op(Op::PushNull).label(QStringLiteral("a")).op(Op::ReturnVoid); }, 2, 1, "different" },
        { "string index", [](Code& c) { c.op(Op::PushString, 77).op(Op::ReturnValue); }, 1, 1, "string index" },
    };
    for (const Row& row : rows) {
        AbcWriter w;
        Code c;
        row.build(c);
        QString error = verify(w, c, row.maxStack, row.locals);
        if (std::string(row.expected).empty()) {
            EXPECT_EQ(error, QString()) << row.name;
            continue;
        }
        EXPECT_TRUE(error.contains(QLatin1String(row.expected))) << row.name << ": " << error.toStdString();
    }
}

TEST(Verifier, CountsRunTimeNamePartsInTheStackEffect)
{
    AbcWriter w;
    std::uint32_t set = w.nsSet({ w.publicNs() });
    std::uint32_t late = w.multinameL(set);
    Code c;
    // getproperty with a late name pops the object and the name: two values for one.
    c.op(Op::GetLocal0).op(Op::GetProperty, late).op(Op::ReturnValue);
    EXPECT_TRUE(verify(w, c, 1, 1).contains(QLatin1String("underflow")));
}
