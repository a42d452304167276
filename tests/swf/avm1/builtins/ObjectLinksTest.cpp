// The members every object carries for its links: __proto__ (the prototype
// link as a hidden, permanent own member the link follows), constructor and
// __constructor__ by version, an array's own length, and the flags built-in
// members start with. Each expected trace is worked out by hand.

#include "support/BuiltinsRows.h"

using namespace swf::avm1;
using namespace swf::avm1::test;

namespace {

// ASSetPropFlags(<variable>, name, set, clear)
S setFlags(const char* variable, S::Item name, int set, int clear)
{
    return std::move(S().value(clear).value(set).value(name).var(variable).callWith("ASSetPropFlags", 4).pop());
}

// o = new Object()
S newObject()
{
    return std::move(S().assign("o", S().construct("Object")));
}

// f = function () {}
S newFunction()
{
    return std::move(S().assign("f", S().function("", {}, S())));
}

} // namespace

TEST(ObjectLinks, ProtoIsAHiddenPermanentOwnMember)
{
    S hasOwn = std::move(S(newObject()).method("o", "hasOwnProperty", { "__proto__" }).trace());
    // delete o.__proto__; trace(typeof o.toString)
    S deleteThenAsk = std::move(S().remove("o", "__proto__").trace().member("o", { "toString" }).typeOf().trace());
    // for..in over {} once __proto__ is unhidden: the name, then the end marker.
    S listUnhidden = std::move(S().assign("o", S().object({})).then(setFlags("o", "__proto__", 0, 1))
                                   .var("o").op(0x55).trace().trace());
    runRows({
        { "a new object owns its link", 6, hasOwn, { "true" } },
        { "the link survives delete", 6, S(newObject()).then(deleteThenAsk), { "false", "function" } },
        { "made deletable, deleting it cuts the chain before version 7", 6,
          S(newObject()).then(setFlags("o", "__proto__", 0, 2)).then(deleteThenAsk), { "true", "undefined" } },
        { "from version 7 the chain stays", 7,
          S(newObject()).then(setFlags("o", "__proto__", 0, 2)).then(deleteThenAsk), { "true", "function" } },
        { "once deleted, the member reads as undefined", 6,
          S(newObject()).then(setFlags("o", "__proto__", 0, 2)).remove("o", "__proto__").pop().member("o", { "__proto__" }).trace(),
          { "undefined" } },
        { "for..in lists it once unhidden", 6, listUnhidden, { "__proto__", "undefined" } },
        // o.__proto__ = null leaves nothing to ask for text: the type name.
        { "an object cut off reads as its type", 6,
          S(newObject()).setMember("o", "__proto__", S().value(Null {})).var("o").trace(), { "[type Object]" } },
    });
}

TEST(ObjectLinks, ProtoWritesGoThroughWatchersAndAccessors)
{
    // o.watch("__proto__", w) with w tracing its new value and passing it on;
    // then o.__proto__ = p where p = { x: 1 }.
    S watched = std::move(S(newObject()).assign("p", S().object({ { "x", 1 } }))
                              .then(S().function("w", { "n", "old", "nu" }, S().value("watched").trace().var("nu").ret()))
                              .then(S().var("w").value("__proto__").value(2).var("o").value("watch").op(0x52).pop())
                              .setMember("o", "__proto__", S().var("p")).member("o", { "x" }).trace());
    // o.addProperty("__proto__", g, s) with s tracing "set"; o.__proto__ =
    // p calls the setter and leaves the link: o.x stays undefined.
    S accessor = std::move(S(newObject()).assign("p", S().object({ { "x", 1 } }))
                               .then(S().function("g", {}, S().value(0).ret()))
                               .then(S().function("s", {}, S().value("set").trace()))
                               .then(S().var("s").var("g").value("__proto__").value(3).var("o").value("addProperty").op(0x52).pop())
                               .setMember("o", "__proto__", S().var("p")).member("o", { "x" }).trace());
    runRows({
        { "a watcher sees the write", 6, std::move(watched), { "watched", "1" } },
        { "an accessor takes it in the link's place", 6, std::move(accessor), { "set", "undefined" } },
    });
}

TEST(ObjectLinks, FunctionsByVersion)
{
    S protoType = std::move(S(newFunction()).member("f", { "__proto__" }).typeOf().trace());
    // Clearing only the hidden bit keeps the version the player gave the member.
    S unhiddenProtoType = std::move(S(newFunction()).then(setFlags("f", "__proto__", 0, 1))
                                        .member("f", { "__proto__" }).typeOf().trace());
    // Clearing every bit shows it to version 5 as well.
    S clearedProtoType = std::move(S(newFunction()).then(setFlags("f", "__proto__", 0, 0x7FFF))
                                       .member("f", { "__proto__" }).typeOf().trace());
    S constructorIsFunction = std::move(S(newFunction()).member("f", { "constructor" }).var("Function").op(0x49).trace());
    runRows({
        // Function.prototype has a link of its own, but a link is never inherited.
        { "version 5 does not see a function's link", 5, protoType, { "undefined" } },
        { "version 6 does", 6, protoType, { "object" } },
        { "unhiding keeps it from version 5", 5, unhiddenProtoType, { "undefined" } },
        { "clearing the version bit shows it", 5, clearedProtoType, { "object" } },
        { "a function names Function as its constructor", 6, constructorIsFunction, { "true" } },
        { "a built-in method too", 7,
          S().member("Math", { "abs", "constructor" }).var("Function").op(0x49).trace(), { "true" } },
    });
}

TEST(ObjectLinks, ConstructedObjectsByVersion)
{
    S constructorOwn = std::move(S(newObject()).method("o", "hasOwnProperty", { "constructor" }).trace());
    S marker = std::move(S(newObject()).member("o", { "__constructor__" }).var("Object").op(0x49).trace());
    runRows({
        { "version 6 writes constructor on the object", 6, constructorOwn, { "true" } },
        { "version 7 leaves it to the prototype", 7, constructorOwn, { "false" } },
        // (typeof: a function equals undefined in version 5.)
        { "version 5 does not see __constructor__", 5,
          S(newObject()).member("o", { "__constructor__" }).typeOf().trace(), { "undefined" } },
        { "version 6 does", 6, marker, { "true" } },
        { "an array literal has no __constructor__", 7,
          S().assign("a", S().array({ 1 })).member("a", { "__constructor__" }).typeOf().trace(), { "undefined" } },
    });
}

TEST(ObjectLinks, BuiltInMembers)
{
    // a = [1, 2]; then `more`
    auto twoElements = [](const S& more) { return std::move(S().assign("a", S().array({ 1, 2 })).then(more)); };
    runRows({
        { "an array owns its length", 6, twoElements(S().method("a", "hasOwnProperty", { "length" }).trace()), { "true" } },
        { "which is hidden", 6, twoElements(S().method("a", "isPropertyEnumerable", { "length" }).trace()), { "false" } },
        { "and permanent", 6, twoElements(S().remove("a", "length").trace().member("a", { "length" }).trace()), { "false", "2" } },
        { "a class object names Object as its constructor", 6,
          S().method("Math", "hasOwnProperty", { "constructor" }).trace(), { "true" } },
        { "a prototype method cannot be deleted", 6,
          S().member("Boolean", { "prototype" }).value("toString").op(0x3A).trace()
              .member("Boolean", { "prototype", "toString" }).typeOf().trace(),
          { "false", "function" } },
        { "a prototype's constructor cannot be deleted", 6,
          S().member("Boolean", { "prototype" }).value("constructor").op(0x3A).trace(), { "false" } },
        { "a broadcaster's list names Array", 7,
          S().assign("o", S().object({})).var("o").methodWith("AsBroadcaster", "initialize", 1).pop()
              .method("o", "hasOwnProperty", { "_listeners" }).trace()
              .member("o", { "_listeners", "constructor" }).var("Array").op(0x49).trace(),
          { "true", "true" } },
    });
}
