// What movies of each version see of the loading classes: LoadVars is there
// for version 5 with nothing of its own on its prototype, and the marks `new`
// leaves on an XML node keep the versions that see them.

#include "support/BuiltinsRows.h"

using namespace swf::avm1;
using namespace swf::avm1::test;

TEST(ClassVersions, LoadVarsInVersionFive)
{
    auto probe = [] {
        S s;
        s.var("LoadVars").typeOf().trace();
        s.assign("v", S().construct("LoadVars"));
        s.member("v", { "load" }).typeOf().trace();
        s.member("v", { "contentType" }).trace();
        // The prototype's own toString is not seen: Object.prototype's is.
        s.member("LoadVars", { "prototype", "toString" }).member("Object", { "prototype", "toString" }).op(0x49).trace();
        s.member("LoadVars", { "prototype", "constructor" }).var("LoadVars").op(0x49).trace();
        return s;
    };
    runRows({
        { "version 5", 5, probe(), { "function", "undefined", "undefined", "true", "false" } },
        { "version 6", 6, probe(), { "function", "function", "application/x-www-form-urlencoded", "false", "true" } },
    });
}

TEST(ClassVersions, NodesKeepTheMarksOfNew)
{
    auto probe = [](const char* ctor, std::initializer_list<Asm::Item> args) {
        S s;
        s.assign("n", S().construct(ctor, args));
        s.member("n", { "__constructor__" }).typeOf().trace();
        s.member("n", { "constructor" }).var(ctor).op(0x49).trace();
        return s;
    };
    runRows({
        { "XMLNode in version 5", 5, probe("XMLNode", { 1, "a" }), { "undefined", "true" } },
        { "XMLNode in version 6", 6, probe("XMLNode", { 1, "a" }), { "function", "true" } },
        { "XML in version 5", 5, probe("XML", { "<a/>" }), { "undefined", "true" } },
        // Version 7 writes no constructor on the object, and XML.prototype
        // has none of its own: the one read is XMLNode.prototype's.
        { "XML in version 7", 7, probe("XML", { "<a/>" }), { "function", "false" } },
    });
}

// ASnative(301, 0) is the load XML and LoadVars share: on any object it
// refuses without an address, and with one marks the object as loading.
TEST(ClassVersions, NumberedLoadOnAPlainObject)
{
    S s;
    s.assign("o", S().object({}));
    s.setMember("o", "load", S().call("ASnative", { 301, 0 }));
    s.method("o", "load").trace();
    s.member("o", { "_bytesLoaded" }).trace();
    s.method("o", "load", { "missing.txt" }).trace();
    s.member("o", { "_bytesLoaded" }).trace().member("o", { "loaded" }).trace();
    runRows({
        { "version 5", 5, s, { "false", "undefined", "true", "0", "false" } },
        { "version 7", 7, s, { "false", "undefined", "true", "0", "false" } },
    });
}

// addRequestHeader keeps its pairs in a list made as `new Array()` makes
// one, which version 5 movies never see (and so never fill).
TEST(ClassVersions, RequestHeadersListedForVersionSixOn)
{
    S s;
    s.assign("x", S().construct("XML"));
    s.method("x", "addRequestHeader", { "a", "b" }).pop();
    s.member("x", { "_customHeaders" }).typeOf().trace();
    s.member("x", { "_customHeaders", "length" }).trace();
    // Compared by type in version 5, where any function equals undefined.
    s.member("x", { "_customHeaders", "__constructor__" }).typeOf().trace();
    s.member("x", { "_customHeaders", "__constructor__" }).var("Array").op(0x49).trace();
    runRows({
        { "version 5", 5, s, { "undefined", "undefined", "undefined", "true" } },
        { "version 7", 7, s, { "object", "2", "function", "true" } },
    });
}
