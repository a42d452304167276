// How watchers and addProperty accessors nest and what they leave behind;
// each expected trace is worked out by hand.

#include "support/BuiltinsRows.h"

using namespace swf::avm1;
using namespace swf::avm1::test;

namespace {

constexpr uint8_t CallMethod = 0x52;

// o.watch(name, <function variable>)
S watch(const char* name, const char* function)
{
    return std::move(S().var(function).value(name).value(2).var("o").value("watch").op(CallMethod).pop());
}

// o.addProperty(name, getter, setter), all three variables but the name.
S addProperty(const char* name, const char* getter, const char* setter)
{
    return std::move(S().var(setter).var(getter).value(name).value(3).var("o").value("addProperty").op(CallMethod));
}

QStringList alternating(const char* a, const char* b, int count)
{
    QStringList out;
    for (int i = 0; i < count; ++i)
        out.push_back(QLatin1String(i % 2 ? b : a));
    return out;
}

} // namespace

TEST(WatchersAndAccessors, WatchersByVersion)
{
    // w traces "w", sets o.p = "c" itself and passes its new value on;
    // o.p = "b"; trace(o.p). Version 6 does not call w for its own write.
    auto selfSetting = [] {
        S s;
        s.assign("o", S().object({}));
        s.function("w", { "n", "old", "v" }, S().value("w").trace().setMember("o", "p", S().value("c")).var("v").ret());
        s.then(watch("p", "w")).setMember("o", "p", S().value("b")).member("o", { "p" }).trace();
        return s;
    };
    QStringList nested = alternating("w", "w", 65);
    nested.push_back(QStringLiteral("b"));
    // d deletes o.p and passes the value on: the write is dropped.
    S deleting;
    deleting.assign("o", S().object({ { "p", 0 } }));
    deleting.function("d", { "n", "old", "v" }, S().remove("o", "p").pop().var("v").ret());
    deleting.then(watch("p", "d")).setMember("o", "p", S().value(1)).method("o", "hasOwnProperty", { "p" }).trace();
    runRows({
        { "version 6 does not re-enter a watcher", 6, selfSetting(), { "w", "b" } },
        { "version 7 nests it to the bound", 7, selfSetting(), nested },
        { "a watcher that deletes the member drops the write", 7, std::move(deleting), { "false" } },
    });
}

TEST(WatchersAndAccessors, AWatchedMemberMadeAnAccessor)
{
    // o.p = 1; o.watch("p", w) with w tracing the old value; then
    // o.addProperty("p", g, s): the plain value stays as the old value, and
    // unwatch fails while p is an accessor (the watcher stays).
    S s;
    s.assign("o", S().object({ { "p", 1 } }));
    s.function("w", { "n", "old", "v" }, S().var("old").trace().var("v").ret());
    s.function("g", {}, S().value(0).ret());
    s.function("set", {}, S());
    s.then(watch("p", "w")).then(addProperty("p", "g", "set")).pop();
    s.setMember("o", "p", S().value(2));
    s.method("o", "unwatch", { "p" }).trace();
    s.setMember("o", "p", S().value(3));
    runRows({ { "old values and a failing unwatch", 7, std::move(s), { "1", "false", "2" } } });
}

TEST(WatchersAndAccessors, AccessorsNestPerMember)
{
    // sa traces "a" and sets o.b; sb traces "b" and sets o.a: o.a = 0 runs
    // each member's setter to the bound, 65 each.
    S crossing;
    crossing.assign("o", S().object({}));
    crossing.function("g", {}, S().value(0).ret());
    crossing.function("sa", {}, S().value("a").trace().setMember("o", "b", S().value(1)));
    crossing.function("sb", {}, S().value("b").trace().setMember("o", "a", S().value(1)));
    crossing.then(addProperty("a", "g", "sa")).pop().then(addProperty("b", "g", "sb")).pop();
    crossing.setMember("o", "a", S().value(0));
    // s traces "s" and reads o.p; g traces "g" and writes o.p: the getter and
    // setter of one member share the bound, 65 calls in all.
    S shared;
    shared.assign("o", S().object({}));
    shared.function("g", {}, S().value("g").trace().setMember("o", "p", S().value(1)).value(0).ret());
    shared.function("s", {}, S().value("s").trace().member("o", { "p" }).pop());
    shared.then(addProperty("p", "g", "s")).pop();
    shared.setMember("o", "p", S().value(0));
    runRows({
        { "two members' setters", 7, std::move(crossing), alternating("a", "b", 130) },
        { "one member's getter and setter", 7, std::move(shared), alternating("s", "g", 65) },
    });
}

TEST(WatchersAndAccessors, PrimitivesHaveTheirClassesAsPrototypes)
{
    auto isProto = [](const char* cls, S::Item v) {
        return std::move(S().value(v).value(1).member(cls, { "prototype" }).value("isPrototypeOf").op(CallMethod).trace());
    };
    runRows({
        { "a boolean", 6, isProto("Object", true), { "true" } },
        { "a string", 6, isProto("String", "x"), { "true" } },
        { "not another class", 6, isProto("Number", "x"), { "false" } },
        { "undefined has none", 6, isProto("Object", Undef {}), { "false" } },
    });
}
