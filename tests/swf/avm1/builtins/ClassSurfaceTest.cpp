// The surface of the table-bound classes: which names a movie sees on each
// built-in object once ASSetPropFlags(o, null, 0, 1) has made them all
// enumerable (the __proto__ link, made with the object, comes first), in for..in order (newest first, so the reverse of the order the
// installer defines them), and what each method's `length` reads. A table
// edit that drops, renames or reorders a method fails here.

#include "swf/avm1/vm/Interpreter.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <algorithm>

using namespace swf::avm1;

namespace {

struct Surface {
    const char* path;      // dotted path from the globals
    QStringList definedOrder; // own names in the order the installer defines them
};

Object* objectAt(Interpreter& vm, const QString& path)
{
    Value v(vm.global());
    for (const QString& part : path.split(QLatin1Char('.')))
        v = vm.getMember(v, part);
    return v.asObject();
}

// for..in over `o` alone: its prototype chain is cut for the listing, so
// only its own names show.
QStringList ownNamesAfterUnhiding(Interpreter& vm, Object* o)
{
    Value setFlags = vm.getMember(Value(vm.global()), QStringLiteral("ASSetPropFlags"));
    vm.call(setFlags, Value(), { Value(o), Value::null(), Value(0.0), Value(1.0) });
    Object* proto = o->proto();
    o->setProto(nullptr);
    QStringList names = vm.enumerate(o);
    o->setProto(proto);
    return names;
}

QStringList reversed(QStringList list)
{
    std::reverse(list.begin(), list.end());
    return list;
}

const Surface Surfaces[] = {
    { "Object.prototype",
        { "constructor", "toString", "toLocaleString", "valueOf", "hasOwnProperty", "isPropertyEnumerable",
            "isPrototypeOf", "addProperty", "watch", "unwatch" } },
    // Object is made before Function, so it gets its constructor last.
    { "Object", { "__proto__", "prototype", "registerClass", "constructor" } },
    { "Function.prototype", { "__proto__", "constructor", "call", "apply" } },
    { "Array.prototype",
        { "__proto__", "constructor", "push", "pop", "shift", "unshift", "slice", "splice", "concat", "join", "toString", "reverse",
            "sort", "sortOn" } },
    { "String.prototype",
        { "__proto__", "constructor", "toString", "valueOf", "charAt", "charCodeAt", "concat", "indexOf", "lastIndexOf", "slice",
            "substring", "substr", "split", "toLowerCase", "toUpperCase" } },
    { "String", { "__proto__", "constructor", "prototype", "fromCharCode" } },
    { "Boolean.prototype", { "__proto__", "constructor", "toString", "valueOf" } },
    { "Number.prototype", { "__proto__", "constructor", "toString", "valueOf" } },
    { "Math",
        { "__proto__", "constructor", "E", "LN10", "LN2", "LOG10E", "LOG2E", "PI", "SQRT1_2", "SQRT2", "abs", "acos", "asin", "atan", "ceil", "cos",
            "exp", "floor", "log", "round", "sin", "sqrt", "tan", "atan2", "pow", "max", "min", "random" } },
    { "Date.prototype",
        { "__proto__", "constructor", "getFullYear", "getYear", "getMonth", "getDate", "getDay", "getHours", "getMinutes",
            "getSeconds", "getMilliseconds", "getUTCFullYear", "getUTCMonth", "getUTCDate", "getUTCDay", "getUTCHours",
            "getUTCMinutes", "getUTCSeconds", "getUTCMilliseconds", "getUTCYear", "getTime", "valueOf", "getTimezoneOffset", "setTime",
            "setFullYear", "setMonth", "setDate", "setHours", "setMinutes", "setSeconds", "setMilliseconds",
            "setUTCFullYear", "setUTCMonth", "setUTCDate", "setUTCHours", "setUTCMinutes", "setUTCSeconds",
            "setUTCMilliseconds", "setYear", "toString" } },
    { "Error.prototype", { "__proto__", "constructor", "name", "message", "toString" } },
    { "AsBroadcaster", { "__proto__", "constructor", "prototype", "addListener", "removeListener", "broadcastMessage", "initialize" } },
    { "System.IME",
        { "__proto__", "ALPHANUMERIC_FULL", "ALPHANUMERIC_HALF", "CHINESE", "JAPANESE_HIRAGANA", "JAPANESE_KATAKANA_FULL",
            "JAPANESE_KATAKANA_HALF", "KOREAN", "UNKNOWN", "getEnabled", "setEnabled", "getConversionMode",
            "setConversionMode", "setCompositionString", "doConversion", "addListener", "removeListener" } },
    { "Selection",
        { "__proto__", "constructor", "getBeginIndex", "getEndIndex", "getCaretIndex", "getFocus", "setFocus", "setSelection", "addListener",
            "removeListener" } },
};

} // namespace

TEST(ClassSurface, NamesInDefinitionOrder)
{
    for (const Surface& s : Surfaces) {
        SCOPED_TRACE(s.path);
        Interpreter vm(8, nullptr);
        Object* o = objectAt(vm, QString::fromLatin1(s.path));
        ASSERT_NE(o, nullptr);
        EXPECT_EQ(ownNamesAfterUnhiding(vm, o), reversed(s.definedOrder));
    }
}

TEST(ClassSurface, GlobalFunctionsInDefinitionOrder)
{
    // The globals' own names include every class; the functions keep their
    // places among them.
    Interpreter vm(8, nullptr);
    const QStringList names = reversed(ownNamesAfterUnhiding(vm, vm.global()));
    const QStringList functions = { "isNaN", "isFinite", "parseInt", "parseFloat", "escape", "unescape", "NaN",
        "Infinity", "ASSetPropFlags", "setInterval", "clearInterval" };
    const qsizetype first = names.indexOf(QStringLiteral("isNaN"));
    ASSERT_GE(first, 0);
    EXPECT_EQ(names.mid(first, functions.size()), functions);
    // Object, Function, the global functions, Error, Boolean, Number, Math,
    // Array, String, Date, the native tables, the player's own globals.
    const QStringList classes = { "Object", "Function", "isNaN", "Error", "Boolean", "Number", "Math", "Array", "String",
        "Date", "ASnative", "ASSetNative", "ASSetNativeAccessor", "getVersion", "updateAfterEvent", "AsBroadcaster",
        "System", "Camera" };
    qsizetype previous = -1;
    for (const QString& name : classes) {
        const qsizetype at = names.indexOf(name);
        EXPECT_GT(at, previous) << qPrintable(name);
        previous = at;
    }
}

TEST(ClassSurface, NativeMethodsHaveNoLength)
{
    // Built-in methods carry no length member of their own: a movie reading
    // one gets undefined, as from the player.
    Interpreter vm(8, nullptr);
    for (const char* path : { "Array.prototype.push", "Math.max", "String.fromCharCode", "Date.prototype.setHours",
             "Object.prototype.addProperty", "AsBroadcaster.initialize", "ASSetPropFlags" }) {
        SCOPED_TRACE(path);
        const QString p = QString::fromLatin1(path);
        const qsizetype dot = p.lastIndexOf(QLatin1Char('.'));
        Object* owner = dot < 0 ? vm.global() : objectAt(vm, p.left(dot));
        ASSERT_NE(owner, nullptr);
        Value method = vm.getMember(Value(owner), p.mid(dot + 1));
        ASSERT_EQ(vm.typeOf(method), QStringLiteral("function"));
        EXPECT_TRUE(vm.getMember(method, QStringLiteral("length")).isUndefined());
    }
}

TEST(ClassSurface, VersionFiveDoesNotSeeVersionSixClasses)
{
    Interpreter old(5, nullptr);
    Interpreter current(6, nullptr);
    for (const char* name : { "AsBroadcaster", "System", "SharedObject", "Camera" }) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(old.getMember(Value(old.global()), QString::fromLatin1(name)).isUndefined());
        EXPECT_TRUE(current.getMember(Value(current.global()), QString::fromLatin1(name)).isObject());
    }
}
