// EventDispatcher and Event in the second machine: listener order, removal,
// cancelling, the target an event carries. Traces worked out by hand.

#include "Avm2TestSupport.h"

#include <gtest/gtest.h>

using namespace swf::avm2;
using namespace avm2test;

namespace {

struct EventScript {
    AbcWriter w;
    Code c;
    Tracer t { w };
    std::uint32_t events = w.ns(0x16, QStringLiteral("flash.events"));

    EventScript() { c.op(Op::GetLocal0).op(Op::PushScope); }
    std::uint32_t name(const char* local) { return w.publicName(QLatin1String(local)); }
    std::uint32_t eventsName(const char* local) { return w.qname(events, QLatin1String(local)); }

    // A listener that traces `text`, then (when `prevent`) calls preventDefault on its event.
    std::uint32_t listener(const char* text, bool prevent = false)
    {
        std::uint32_t fn = w.method(1);
        Code body;
        t.begin(body);
        body.op(Op::PushString, w.string(QLatin1String(text)));
        t.end(body);
        if (prevent)
            body.op(Op::GetLocal1).op(Op::CallPropVoid, name("preventDefault"), 0);
        body.op(Op::ReturnVoid);
        w.body(fn, body, 4, 2);
        return fn;
    }
    // local1.addEventListener("ping", <function>, false, priority)
    void add(std::uint32_t fn, int priority)
    {
        c.op(Op::GetLocal1).op(Op::PushString, w.string(QStringLiteral("ping"))).op(Op::GetLocal, 2 + fn % 8);
        c.op(Op::PushFalse).op(Op::PushByte, std::uint8_t(priority)).op(Op::CallPropVoid, name("addEventListener"), 4);
    }
    void storeFunction(std::uint32_t fn) { c.op(Op::NewFunction, fn).op(Op::SetLocal, 2 + fn % 8); }
    // trace(local1.dispatchEvent(new Event("ping", false, cancelable)))
    void dispatch(bool cancelable)
    {
        t.begin(c);
        c.op(Op::GetLocal1).op(Op::FindPropStrict, eventsName("Event")).op(Op::PushString, w.string(QStringLiteral("ping")));
        c.op(Op::PushFalse).op(cancelable ? Op::PushTrue : Op::PushFalse).op(Op::ConstructProp, eventsName("Event"), 3);
        c.op(Op::CallProperty, name("dispatchEvent"), 1);
        t.end(c);
    }
    QStringList run()
    {
        c.op(Op::ReturnVoid);
        ScriptRun result = runScript(w, c, 10, 12);
        if (!result.loadError.isEmpty())
            return { QStringLiteral("load error: ") + result.loadError };
        return result.trace;
    }
};

} // namespace

TEST(Events, ListenersRunByPriorityThenByRegistration)
{
    EventScript s;
    const std::uint32_t one = s.listener("one"), two = s.listener("two"), three = s.listener("three");
    s.c.op(Op::FindPropStrict, s.eventsName("EventDispatcher")).op(Op::ConstructProp, s.eventsName("EventDispatcher"), 0).op(Op::SetLocal1);
    for (std::uint32_t fn : { one, two, three })
        s.storeFunction(fn);
    s.add(one, 0);
    s.add(two, 5);
    s.add(three, 0);
    s.add(one, 9); // already there: the new priority is ignored
    s.dispatch(false);
    // Without `two`, the others keep their order.
    s.c.op(Op::GetLocal1).op(Op::PushString, s.w.string(QStringLiteral("ping"))).op(Op::GetLocal, 2 + two % 8);
    s.c.op(Op::CallPropVoid, s.name("removeEventListener"), 2);
    s.dispatch(false);
    EXPECT_EQ(s.run(), (QStringList { "two", "one", "three", "true", "one", "three", "true" }));
}

TEST(Events, PreventDefaultOnlyCancelsCancelableEvents)
{
    EventScript s;
    const std::uint32_t stopper = s.listener("heard", true);
    s.c.op(Op::FindPropStrict, s.eventsName("EventDispatcher")).op(Op::ConstructProp, s.eventsName("EventDispatcher"), 0).op(Op::SetLocal1);
    s.storeFunction(stopper);
    s.add(stopper, 0);
    s.dispatch(false);
    s.dispatch(true);
    // hasEventListener answers by type.
    s.t.begin(s.c);
    s.c.op(Op::GetLocal1).op(Op::PushString, s.w.string(QStringLiteral("pong"))).op(Op::CallProperty, s.name("hasEventListener"), 1);
    s.t.end(s.c);
    EXPECT_EQ(s.run(), (QStringList { "heard", "true", "heard", "false", "false" }));
}

TEST(Events, EventPrintsItsFieldsAndKeepsItsTarget)
{
    EventScript s;
    // e = new Event("ping", true); trace(e); a dispatcher no one listens to leaves its target null.
    s.c.op(Op::FindPropStrict, s.eventsName("Event")).op(Op::PushString, s.w.string(QStringLiteral("ping"))).op(Op::PushTrue);
    s.c.op(Op::ConstructProp, s.eventsName("Event"), 2).op(Op::SetLocal2);
    s.t.begin(s.c);
    s.c.op(Op::GetLocal2);
    s.t.end(s.c);
    s.c.op(Op::FindPropStrict, s.eventsName("EventDispatcher")).op(Op::ConstructProp, s.eventsName("EventDispatcher"), 0).op(Op::SetLocal1);
    s.c.op(Op::GetLocal1).op(Op::GetLocal2).op(Op::CallPropVoid, s.name("dispatchEvent"), 1);
    s.t.begin(s.c);
    s.c.op(Op::GetLocal2).op(Op::GetProperty, s.name("target"));
    s.t.end(s.c);
    EXPECT_EQ(s.run(), (QStringList { "[Event type=\"ping\" bubbles=true cancelable=false eventPhase=2]", "null" }));
}

// A call typed by an interface names the member in the interface's own
// namespace ("flash.events:IEventDispatcher"); it reaches the dispatcher's
// public method. A namespace of the script's own making does not.
TEST(Events, InterfaceTypedCallsReachPublicMembers)
{
    EventScript s;
    const std::uint32_t heard = s.listener("heard");
    const std::uint32_t viaInterface = s.w.qname(s.w.ns(0x08, QStringLiteral("flash.events:IEventDispatcher")), QStringLiteral("dispatchEvent"));
    const std::uint32_t elsewhere = s.w.qname(s.w.ns(0x08, QStringLiteral("urn:elsewhere")), QStringLiteral("dispatchEvent"));
    s.c.op(Op::FindPropStrict, s.eventsName("EventDispatcher")).op(Op::ConstructProp, s.eventsName("EventDispatcher"), 0).op(Op::SetLocal1);
    s.storeFunction(heard);
    s.add(heard, 0);
    s.t.begin(s.c);
    s.c.op(Op::GetLocal1).op(Op::GetLex, s.eventsName("IEventDispatcher")).op(Op::IsTypeLate);
    s.t.end(s.c);
    s.t.begin(s.c);
    s.c.op(Op::GetLocal1).op(Op::FindPropStrict, s.eventsName("Event")).op(Op::PushString, s.w.string(QStringLiteral("ping")));
    s.c.op(Op::ConstructProp, s.eventsName("Event"), 1).op(Op::CallProperty, viaInterface, 1);
    s.t.end(s.c);
    s.c.op(Op::GetLocal1).op(Op::GetProperty, elsewhere).op(Op::Pop);
    EXPECT_EQ(s.run(), (QStringList { "true", "heard", "true",
                           "ReferenceError: Error #1069: Property dispatchEvent not found on flash.events.EventDispatcher and there is no "
                           "default value.\n\tat global$init()" }));
}
