#pragma once

// Runs hand-assembled bytecode in a fresh machine and collects its trace.

#include "support/AbcWriter.h"
#include "swf/avm2/vm/Machine.h"

#include <QStringList>

#include <functional>

namespace avm2test {

using abcw::AbcWriter;
using abcw::Code;
using swf::avm2::Op;

struct ScriptRun {
    QStringList trace;
    QString loadError; // empty when the file loaded
};

// Loads `writer`'s file with `code` as its one script and runs it.
inline ScriptRun runScript(AbcWriter& writer, const Code& code, std::uint32_t maxStack = 8, std::uint32_t locals = 4,
    const std::vector<abcw::Trait>& scriptTraits = {}, const std::vector<abcw::Exception>& exceptions = {},
    swf::avm2::MachineLimits limits = {})
{
    std::uint32_t init = writer.method();
    writer.body(init, code, maxStack, locals, 0, 4, exceptions);
    writer.script(init, scriptTraits);
    swf::avm2::Machine machine;
    machine.setLimits(limits);
    ScriptRun run;
    machine.setTraceSink([&](const QString& line) { run.trace << line; });
    auto loaded = machine.loadAbc(writer.finish(), false);
    if (!loaded.ok())
        run.loadError = loaded.error().detail;
    return run;
}

// trace(<what the caller pushed>): the call around a value.
class Tracer {
public:
    explicit Tracer(AbcWriter& w) : m_trace(w.publicName(QStringLiteral("trace"))) { }
    void begin(Code& c) const { c.op(Op::FindPropStrict, m_trace); }
    void end(Code& c) const { c.op(Op::CallPropVoid, m_trace, 1); }

private:
    std::uint32_t m_trace;
};

// The shape every row script shares: a writer, the script's code opened on
// its global scope, and trace(). `Self` is the test's own script type, so
// the helpers chain into its own.
template <class Self>
struct ScriptBuilder {
    AbcWriter w;
    Code c;
    Tracer t { w };

    ScriptBuilder() { c.op(Op::GetLocal0).op(Op::PushScope); }
    std::uint32_t name(const char* local) { return w.publicName(QLatin1String(local)); }
    Self& str(const char* s) { c.op(Op::PushString, w.string(QString::fromUtf8(s))); return self(); }
    Self& num(double d) { c.op(Op::PushDouble, w.number(d)); return self(); }
    Self& get(const char* property) { c.op(Op::GetProperty, name(property)); return self(); }
    // Calls method on the receiver already pushed, after pushing its
    // arguments with `args`, leaving the result on the stack.
    Self& call(const char* method, int argc = 0, const std::function<void()>& args = {})
    {
        if (args)
            args();
        c.op(Op::CallProperty, name(method), std::uint32_t(argc));
        return self();
    }
    // Traces the value that `value` pushes.
    Self& trace(const std::function<void()>& value)
    {
        t.begin(c);
        value();
        t.end(c);
        return self();
    }
    // Ends the script, runs it and gives its trace (or why it did not load).
    QStringList traces(std::uint32_t maxStack, std::uint32_t locals)
    {
        c.op(Op::ReturnVoid);
        ScriptRun result = runScript(w, c, maxStack, locals);
        if (!result.loadError.isEmpty())
            return { QStringLiteral("load error: ") + result.loadError };
        return result.trace;
    }

private:
    Self& self() { return static_cast<Self&>(*this); }
};

} // namespace avm2test
