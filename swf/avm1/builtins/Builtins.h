#pragma once

// The built-in objects of the script machine, one installer per class (or
// family of small classes), each in its own file named as Builtins.cpp says.
// The installers need no stage; the classes bound to clips (Color, ...) are
// installed by the stage room.

#include "swf/avm1/vm/Object.h"

#include <QString>

#include <cstdint>

namespace swf::avm1 {

class Interpreter;
class Object;
class FunctionObject;

struct Builtins {
    static void installObject(Interpreter& vm);
    static void installFunction(Interpreter& vm);
    static void installGlobalFunctions(Interpreter& vm);
    static void installError(Interpreter& vm);
    static void installBoolean(Interpreter& vm);
    static void installNumber(Interpreter& vm);
    static void installMath(Interpreter& vm);
    static void installArray(Interpreter& vm);
    static void installString(Interpreter& vm);
    static void installDate(Interpreter& vm);
    static void installNative(Interpreter& vm); // ASnative and its tables
    static void installPlayerFunctions(Interpreter& vm); // getVersion, updateAfterEvent
    static void installBroadcaster(Interpreter& vm);
    static void installSystem(Interpreter& vm);
    // Network, device and printing classes, SharedObject, Selection.
    static void installPlaceholderClasses(Interpreter& vm);
    // Keeps the classes version 6 brought from older movies; runs last.
    static void hideVersion6Classes(Interpreter& vm);
    // Answers of the methods that only refuse (false) or do nothing (undefined).
    static Value refuse(Interpreter&, CallArgs&);
    static Value nothing(Interpreter&, CallArgs&);
    // The version string getVersion and System.capabilities report.
    static QString playerVersion();
    // Native `index` of `family`, as ASnative hands it out.
    static FunctionObject* nativeFunction(Interpreter& vm, int family, int index);
};

} // namespace swf::avm1
