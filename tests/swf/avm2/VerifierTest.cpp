// The verifier refuses a body before any of it runs.

#include "Avm2TestSupport.h"
#include "swf/avm2/abc/Verifier.h"

#include <gtest/gtest.h>

using namespace swf::avm2;
using namespace avm2test;

namespace {

// Verifies `code` as the one body of a file; "#id: message" as a VerifyError
// would carry it, empty when accepted.
QString verify(AbcWriter& w, const Code& code, std::uint32_t maxStack, std::uint32_t locals, std::uint32_t maxScope = 2,
    const std::vector<abcw::Exception>& handlers = {})
{
    std::uint32_t m = w.method();
    w.body(m, code, maxStack, locals, 0, maxScope, handlers);
    w.script(m);
    auto parsed = AbcFile::parse(w.finish());
    if (!parsed.ok())
        return QStringLiteral("parse: ") + parsed.error().detail;
    int id = -1;
    auto decoded = verifyBody(parsed.value(), parsed.value().bodies[0], &id);
    return decoded.ok() ? QString() : QStringLiteral("#%1: %2").arg(id).arg(decoded.error().detail);
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
        { "jump past the end", [](Code& c) { c.branchBy(Op::Jump, 40).op(Op::ReturnVoid); }, 1, 1, "#1021: At least one branch target was not on a valid instruction" },
        { "jump before the start", [](Code& c) { c.branchBy(Op::Jump, -10).op(Op::ReturnVoid); }, 1, 1, "#1021:" },
        { "jump into an instruction", [](Code& c) { c.branchBy(Op::Jump, 1).op(Op::PushShort, 300).op(Op::Pop).op(Op::ReturnVoid); }, 1, 1, "#1021:" },
        { "underflow", [](Code& c) { c.op(Op::Pop).op(Op::ReturnVoid); }, 1, 1, "#1024: Stack underflow occurred." },
        { "overflow", [](Code& c) { c.op(Op::PushTrue).op(Op::PushTrue).op(Op::ReturnVoid); }, 1, 1, "#1023: Stack overflow occurred." },
        { "local out of range", [](Code& c) { c.op(Op::GetLocal, 5).op(Op::ReturnValue); }, 1, 2, "#1025: An invalid register 5 was accessed." },
        { "setlocal3 of two locals", [](Code& c) { c.op(Op::PushNull).op(Op::SetLocal3).op(Op::ReturnVoid); }, 1, 2, "#1025: An invalid register 3" },
        { "scope underflow", [](Code& c) { c.op(Op::PopScope).op(Op::ReturnVoid); }, 1, 1, "#1018: Scope stack underflow occurred." },
        { "scope overflow", [](Code& c) { c.op(Op::GetLocal0).op(Op::PushScope).op(Op::GetLocal0).op(Op::PushScope).op(Op::GetLocal0).op(Op::PushScope).op(Op::ReturnVoid); }, 1, 1, "#1017: Scope stack overflow occurred." },
        { "scope index", [](Code& c) { c.op(Op::GetScopeObject, 0).op(Op::ReturnValue); }, 1, 1, "#1019: Getscopeobject 0 is out of bounds." },
        { "unknown opcode", [](Code& c) { c.raw(QByteArray(1, char(0xFF))); }, 1, 1, "#1011: Method contained illegal opcode 255 at offset 0." },
        { "falls off the end", [](Code& c) { c.op(Op::PushTrue).op(Op::Pop); }, 1, 1, "#1020: Code cannot fall off the end of a method." },
        // iftrue reaches "a" first with nothing on the stack; the fall-through path arrives with one value
        // and the message names the arriving depth first.
        { "paths disagree", [](Code& c) { c.op(Op::PushTrue).branch(Op::IfTrue, QStringLiteral("a")).op(Op::PushNull).label(QStringLiteral("a")).op(Op::ReturnVoid); }, 2, 1, "#1030: Stack depth is unbalanced. 1 != 0." },
        { "scopes disagree", [](Code& c) { c.op(Op::PushTrue).branch(Op::IfTrue, QStringLiteral("a")).op(Op::GetLocal0).op(Op::PushScope).label(QStringLiteral("a")).op(Op::ReturnVoid); }, 2, 1, "#1031: Scope depth is unbalanced. 1 != 0." },
        { "string index", [](Code& c) { c.op(Op::PushString, 77).op(Op::ReturnValue); }, 1, 1, "#1032: Cpool index 77 is out of range" },
        // Entry 0 of a constant pool is "no value": pushing it is refused like any index outside.
        { "string entry 0", [](Code& c) { c.op(Op::PushString, 0).op(Op::ReturnValue); }, 1, 1, "#1032: Cpool index 0 is out of range" },
        { "int entry 0", [](Code& c) { c.op(Op::PushInt, 0).op(Op::ReturnValue); }, 1, 1, "#1032: Cpool index 0" },
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
    EXPECT_TRUE(verify(w, c, 1, 1).contains(QLatin1String("#1024:")));
}

TEST(Verifier, ChecksHandlersOnlyWhenTheirGuardedCodeCanRun)
{
    // returnvoid; [pushtrue] -- the guarded pushtrue is unreachable, and so is
    // its handler, whose body would fall off the end.
    auto build = [](Code& c) { c.op(Op::ReturnVoid).label(QStringLiteral("from")).op(Op::PushTrue).label(QStringLiteral("to")).op(Op::Pop).label(QStringLiteral("h")).op(Op::Pop); };
    {
        AbcWriter w;
        Code c;
        build(c);
        const auto from = std::uint32_t(c.labelOffset(QStringLiteral("from"))), to = std::uint32_t(c.labelOffset(QStringLiteral("to")));
        const auto h = std::uint32_t(c.labelOffset(QStringLiteral("h")));
        EXPECT_EQ(verify(w, c, 2, 1, 2, { { from, to, h, 0, 0 } }), QString());
    }
    {
        // The same handler guarding the reachable returnvoid is checked, and refused.
        AbcWriter w;
        Code c;
        build(c);
        const auto to = std::uint32_t(c.labelOffset(QStringLiteral("from")));
        const auto h = std::uint32_t(c.labelOffset(QStringLiteral("h")));
        EXPECT_EQ(verify(w, c, 2, 1, 2, { { 0, to, h, 0, 0 } }), QStringLiteral("#1020: Code cannot fall off the end of a method."));
    }
}
