// setTimeout, setInterval and clearInterval on the movie clock (10 frames a
// second here, so 100 ms a frame): ids count from 1, a timeout calls its
// closure once with the arguments given after the delay, and a cleared
// interval never fires.

#include "DocumentRows.h"

#include <gtest/gtest.h>

using namespace avm2test;

TEST(Intervals, TimeoutFiresOnceAndClearedIntervalNever)
{
    DocumentRows r;
    const std::uint32_t utils = r.w.ns(0x16, QStringLiteral("flash.utils"));
    const std::uint32_t setTimeout = r.w.qname(utils, QStringLiteral("setTimeout"));
    const std::uint32_t setInterval = r.w.qname(utils, QStringLiteral("setInterval"));
    const std::uint32_t clearInterval = r.w.qname(utils, QStringLiteral("clearInterval"));
    // function(what) { trace(what) }
    const std::uint32_t echo = r.w.method(1);
    Code body;
    r.t.begin(body);
    body.op(Op::GetLocal, 1);
    r.t.end(body);
    body.op(Op::ReturnVoid);
    r.w.body(echo, body, 3, 2, 0, 1);

    auto schedule = [&](std::uint32_t function, double delay, const char* what, std::uint32_t reg) {
        r.c.op(Op::FindPropStrict, function).op(Op::NewFunction, echo);
        r.nums({ delay });
        r.c.op(Op::PushString, r.w.string(QLatin1String(what))).op(Op::CallProperty, function, 3).op(Op::SetLocal, reg);
        r.t.begin(r.c);
        r.c.op(Op::GetLocal, reg);
        r.t.end(r.c);
    };
    schedule(setTimeout, 150, "late", 1);   // id 1
    schedule(setInterval, 100, "never", 2); // id 2
    r.c.op(Op::FindPropStrict, clearInterval).op(Op::GetLocal, 2).op(Op::CallPropVoid, clearInterval, 1);
    EXPECT_EQ(r.run(6), (QStringList { "1", "2", "late" }));
}
