// Global functions, Object and Number details, AsBroadcaster, System and the
// classes that refuse network and device requests.

#include "support/BuiltinsRows.h"

using namespace swf::avm1;
using namespace swf::avm1::test;

TEST(Globals, NumberTestsWithoutAnArgument)
{
    runRows({
        // Version 6 turns undefined into 0, but a call with no argument has no number at all.
        { "isNaN()", 6, std::move(S().call("isNaN").trace().call("isNaN", { Undef {} }).trace()), { "true", "false" } },
        { "isFinite()", 6, std::move(S().call("isFinite").trace().call("isFinite", { Undef {} }).trace()), { "false", "true" } },
        { "with arguments", 7, std::move(S().call("isNaN", { "x" }).trace().call("isFinite", { 1e308 }).trace()), { "true", "true" } },
    });
}

TEST(Globals, RegisterClassAnswers)
{
    S script;
    // Object.registerClass(...) for each set of arguments.
    const std::vector<std::vector<Asm::Item>> cases = {
        {}, { "foo", Null {} }, { "foo", 12 }, { "foo", "bar" }, { Null {}, Null {} },
    };
    for (const auto& c : cases) {
        for (auto it = c.rbegin(); it != c.rend(); ++it)
            script.value(*it);
        script.methodWith("Object", "registerClass", int(c.size())).trace();
    }
    // A function registers.
    script.function("Ctor", {}, S()).value(0).call("Ctor").pop();
    script.var("Ctor").value("foo").methodWith("Object", "registerClass", 2).trace();
    runRows({ { "registerClass", 7, script, { "false", "true", "false", "false", "true", "true" } } });
}

TEST(Globals, OwnPropertiesOfPlainObjects)
{
    S script;
    script.assign("o", S().object({ { "name", 1 } }))
        .method("o", "hasOwnProperty", { "name" }).trace()
        .method("o", "hasOwnProperty", { "__proto__" }).trace()
        .method("o", "hasOwnProperty", { "" }).trace()
        .method("o", "hasOwnProperty", { "toString" }).trace();
    runRows({ { "hasOwnProperty", 7, script, { "true", "true", "false", "false" } } });
}

TEST(Globals, BoxedPrototypesAndLengths)
{
    runRows({
        { "Number.prototype is no number", 7,
            std::move(S().member("Number", { "prototype" }).trace()
                .value(4).member("Number", { "prototype" }).add().trace()
                .value(5).constructWith("Number", 1).trace()),
            { "[type Object]", "NaN", "5" } },
        { "a String object's length stays", 7,
            std::move(S().assign("s", S().value("abc").constructWith("String", 1)).remove("s", "length").trace()
                .member("s", { "length" }).trace()),
            { "false", "3" } },
    });
}

TEST(Globals, AsBroadcasterTellsEachListenerOnce)
{
    S s;
    s.assign("o", S().object({}));
    s.var("o").methodWith("AsBroadcaster", "initialize", 1).pop();
    s.assign("l", S().object({}));
    // l.hi = function (x) { trace("hi " + x) }
    S body;
    body.value("hi ").var("x").add().trace();
    S fn;
    fn.function("", { "x" }, body);
    s.setMember("l", "hi", fn);
    s.var("l").methodWith("o", "addListener", 1).trace();
    s.var("l").methodWith("o", "addListener", 1).pop();
    s.value(3).value("hi").methodWith("o", "broadcastMessage", 2).pop();
    s.var("l").methodWith("o", "removeListener", 1).trace();
    s.var("l").methodWith("o", "removeListener", 1).trace();
    s.value(4).value("hi").methodWith("o", "broadcastMessage", 2).trace();
    s.member("o", { "_listeners", "length" }).trace();
    // With no one left to tell, broadcastMessage answers undefined.
    runRows({ { "broadcast", 7, s, { "true", "hi 3", "true", "false", "undefined", "0" } } });
}

TEST(Globals, SystemAndVersion)
{
    runRows({
        { "getVersion", 7, std::move(S().call("getVersion").trace()), { "LNX 8,0,0,0" } },
        { "capabilities", 7,
            std::move(S().member("System", { "capabilities", "os" }).trace()
                .member("System", { "capabilities", "version" }).trace()
                .member("System", { "capabilities", "hasAudio" }).trace()),
            { "Linux", "LNX 8,0,0,0", "true" } },
        { "capabilities are read-only", 7,
            std::move(S().assign("c", S().member("System", { "capabilities" })).setMember("c", "os", S().value("x"))
                .member("c", { "os" }).trace()),
            { "Linux" } },
        // LoadVars is there for version 5 (its prototype's members are not).
        { "version 6 classes hidden from version 5", 5,
            std::move(S().var("LoadVars").typeOf().trace().var("System").typeOf().trace().var("XML").typeOf().trace()),
            { "function", "undefined", "function" } },
        { "and shown to version 6", 6,
            std::move(S().var("LoadVars").typeOf().trace().var("System").typeOf().trace()), { "function", "object" } },
    });
}

TEST(Globals, NetworkClassesRefuse)
{
    S script;
    script.assign("lv", S().constructWith("LoadVars", 0))
        .method("lv", "load", { "http://example.invalid/a.txt" }).trace()
        .assign("x", S().constructWith("XMLSocket", 0))
        .method("x", "connect", { "example.invalid", 80 }).trace()
        .assign("mcl", S().constructWith("MovieClipLoader", 0))
        .method("mcl", "loadClip", { "a.swf", 1 }).trace();
    // LoadVars.load and MovieClipLoader.loadClip take the request (true) and
    // fail it later, as an unreachable server or a missing file does.
    runRows({ { "requests refused", 7, script, { "true", "false", "true" } } });
}

TEST(Globals, SharedObjectsLastTheSession)
{
    S s;
    s.assign("a", S().value("save").methodWith("SharedObject", "getLocal", 1));
    s.assign("d", S().member("a", { "data" }));
    s.setMember("d", "score", S().value(42));
    s.method("a", "flush").trace();
    s.assign("b", S().value("save").methodWith("SharedObject", "getLocal", 1));
    s.member("b", { "data", "score" }).trace();
    s.value("").methodWith("SharedObject", "getLocal", 1).trace();
    runRows({ { "same object for the same name", 7, s, { "true", "42", "null" } } });
}

TEST(Globals, ApplyTakesArrayLikeObjects)
{
    S s;
    s.function("f", { "a", "b" }, S().var("a").var("b").add().ret());
    // f.apply(null, { length: 2, 0: 3, 1: 4 })
    s.object({ { "length", 2 }, { "0", 3 }, { "1", 4 } }).value(Null {}).methodWith("f", "apply", 2).trace();
    s.array({ 5, 6 }).value(Null {}).methodWith("f", "apply", 2).trace();
    s.value(Null {}).methodWith("f", "apply", 1).trace();
    runRows({ { "apply", 7, s, { "7", "11", "NaN" } } });
}

TEST(ArraySort, ComparisonThatEmptiesTheArrayIsSafe)
{
    // a = [3, 1, 2]; a.sort(function (x, y) { a.length = 0; return x - y; }); trace(a)
    S body;
    body.setMember("a", "length", S().value(0)).var("x").var("y").subtract().ret();
    S s;
    s.assign("a", S().array({ 3, 1, 2 }))
        .function("", { "x", "y" }, body)
        .methodWith("a", "sort", 1).pop()
        .var("a").trace();
    runRows({ { "sort keeps the elements it started with", 7, s, { "1,2,3" } } });
}
