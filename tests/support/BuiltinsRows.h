#pragma once

// Rows of {script, expected trace} for the built-ins, and a few words on top
// of the assembler so that a row reads like the script it runs:
//   S().assign("o", S().object({})).call("ASSetNative", ...)

#include "support/Assembler.h"

#include "support/ScriptSandbox.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace swf::avm1::test {

// A script builder: each call leaves the stack as a statement would.
class S {
public:
    using Item = Asm::Item;

    // Pushes `items` (as a list of arguments: last first) and their count.
    S& args(std::initializer_list<Item> items)
    {
        std::vector<Item> v(items);
        for (auto it = v.rbegin(); it != v.rend(); ++it)
            m_asm.push({ *it });
        m_asm.push({ int(v.size()) });
        return *this;
    }
    // Pushes the value of a variable.
    S& var(const char* name) { m_asm.push({ name }).getVariable(); return *this; }
    S& value(Item v) { m_asm.push({ v }); return *this; }
    // name(args...), result left on the stack.
    S& call(const char* fn, std::initializer_list<Item> a = {}) { args(a); m_asm.push({ fn }).callFunction(); return *this; }
    // object.method(args...), object being a variable.
    S& method(const char* object, const char* name, std::initializer_list<Item> a = {})
    {
        args(a);
        var(object);
        m_asm.push({ name }).callMethod();
        return *this;
    }
    // object.member, object being a variable; dotted members are followed.
    S& member(const char* object, std::initializer_list<const char*> path)
    {
        var(object);
        for (const char* p : path)
            m_asm.push({ p }).getMember();
        return *this;
    }
    // new Name(args...)
    S& construct(const char* ctor, std::initializer_list<Item> a = {}) { args(a); m_asm.push({ ctor }).op(0x40); return *this; }
    // The same with `argc` arguments already pushed, last first.
    S& callWith(const char* fn, int argc) { m_asm.push({ argc, fn }).callFunction(); return *this; }
    S& methodWith(const char* object, const char* name, int argc)
    {
        m_asm.push({ argc });
        var(object);
        m_asm.push({ name }).callMethod();
        return *this;
    }
    S& constructWith(const char* ctor, int argc) { m_asm.push({ argc, ctor }).op(0x40); return *this; }
    // { name: value, ... } from literal values.
    S& object(std::initializer_list<std::pair<const char*, Item>> fields)
    {
        for (const auto& [k, v] : fields)
            m_asm.push({ k, v });
        m_asm.push({ int(fields.size()) }).op(0x43);
        return *this;
    }
    // var = <what `value` pushes>
    S& assign(const char* name, const S& value) { m_asm.push({ name }).raw(value.bytes()).setVariable(); return *this; }
    // object.member = <what `value` pushes>
    S& setMember(const char* object, const char* name, const S& value)
    {
        var(object);
        m_asm.push({ name }).raw(value.bytes()).setMember();
        return *this;
    }
    S& then(const S& more) { m_asm.raw(more.bytes()); return *this; }
    // delete object.name
    S& remove(const char* object, const char* name) { var(object); m_asm.push({ name }).op(0x3A); return *this; }
    S& typeOf() { m_asm.op(0x44); return *this; }
    // [items...]
    S& array(std::initializer_list<Item> items) { args(items); m_asm.op(0x42); return *this; }
    S& subtract() { m_asm.op(0x0B); return *this; }
    S& ret() { m_asm.op(0x3E); return *this; }
    S& add() { m_asm.add2(); return *this; }
    S& trace() { m_asm.trace(); return *this; }
    // Any action without operands.
    S& op(uint8_t code) { m_asm.op(code); return *this; }
    S& pop() { m_asm.pop(); return *this; }
    // function name(params) { body }
    S& function(const char* name, std::initializer_list<const char*> params, const S& body)
    {
        Asm b;
        b.raw(body.bytes());
        m_asm.function(name, params, b);
        return *this;
    }

    const QByteArray& bytes() const { return m_asm.bytes(); }
    QByteArray program() const { Asm a; a.raw(m_asm.bytes()).end(); return a.bytes(); }

private:
    Asm m_asm;
};

struct Row {
    const char* name;
    int version;
    S script;
    QStringList trace;
};

inline void runRows(const std::vector<Row>& rows)
{
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SandboxOptions options;
        options.version = row.version;
        SandboxRun run = runInSandbox(row.script.program(), options);
        ASSERT_TRUE(run.loaded);
        EXPECT_EQ(run.trace.join(QLatin1String(" | ")).toStdString(), row.trace.join(QLatin1String(" | ")).toStdString());
        EXPECT_TRUE(run.faults.isEmpty()) << qPrintable(run.faults.join(QLatin1String(" | ")));
    }
}

} // namespace swf::avm1::test
