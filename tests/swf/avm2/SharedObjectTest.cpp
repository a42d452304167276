// flash.net.SharedObject reached from scripts: one object per name and
// path, data kept between getLocal calls, clear and size, and names no save
// may have.

#include "Avm2TestSupport.h"

#include <gtest/gtest.h>

using namespace avm2test;

namespace {

struct Script : ScriptBuilder<Script> {
    std::uint32_t cls = w.qname(w.ns(0x16, QStringLiteral("flash.net")), QStringLiteral("SharedObject"));
    // Pushes SharedObject.getLocal(name[, path]).
    Script& local(const char* save, const char* path = nullptr)
    {
        c.op(Op::GetLex, cls);
        str(save);
        if (path)
            str(path);
        c.op(Op::CallProperty, name("getLocal"), path ? 2 : 1);
        return *this;
    }
    Script& trace(const std::function<void()>& value)
    {
        t.begin(c);
        value();
        t.end(c);
        return *this;
    }
    QStringList run() { return traces(8, 4); }
};

} // namespace

TEST(SharedObject, OneObjectPerNameAndPathKeepsItsData)
{
    Script s;
    s.local("game").c.op(Op::SetLocal1);
    s.trace([&] { s.c.op(Op::GetLocal1).op(Op::GetProperty, s.name("size")); }); // nothing saved yet
    s.c.op(Op::GetLocal1).op(Op::GetProperty, s.name("data")).op(Op::PushByte, 3).op(Op::SetProperty, s.name("level"));
    s.trace([&] { s.local("game").c.op(Op::GetProperty, s.name("data")).op(Op::GetProperty, s.name("level")); });
    s.trace([&] { s.local("game").c.op(Op::GetLocal1).op(Op::StrictEquals); });
    s.trace([&] { s.local("game", "/elsewhere").c.op(Op::GetLocal1).op(Op::StrictEquals); });
    s.trace([&] { s.c.op(Op::GetLocal1).op(Op::GetProperty, s.name("size")).op(Op::PushByte, 0).op(Op::GreaterThan); });
    s.c.op(Op::GetLocal1).op(Op::CallPropVoid, s.name("clear"), 0);
    s.trace([&] { s.c.op(Op::GetLocal1).op(Op::GetProperty, s.name("data")).op(Op::GetProperty, s.name("level")); });
    s.trace([&] { s.c.op(Op::GetLocal1).op(Op::GetProperty, s.name("size")); });
    s.trace([&] { s.c.op(Op::GetLocal1).op(Op::CallProperty, s.name("flush"), 0); });
    EXPECT_EQ(s.run(), QStringList({ "0", "3", "true", "false", "true", "undefined", "0", "flushed" }));
}

TEST(SharedObject, NameWithAForbiddenCharacterIsRefused)
{
    Script s;
    s.local("high score"); // a space
    s.trace([&] { s.str("not reached"); });
    EXPECT_EQ(s.run(), QStringList({ "Error: Error #2134: Cannot create SharedObject.\n\tat flash.net::SharedObject$/getLocal()\n\tat global$init()" }));
}
