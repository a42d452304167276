#pragma once

// The built-in objects of the script machine, one installer per family.

#include <QString>

#include <cstdint>

namespace swf::avm1 {

class Interpreter;
class Object;
class StageScripts;
class FunctionObject;

struct Builtins {
    static void installCore(Interpreter& vm);   // Object, Function, global functions, Error
    static void installNumeric(Interpreter& vm); // Boolean, Number, Math
    static void installArray(Interpreter& vm);
    static void installString(Interpreter& vm);
    static void installDate(Interpreter& vm);
    static void installNative(Interpreter& vm); // ASnative and its tables
    static void installSystem(Interpreter& vm); // getVersion, System, AsBroadcaster, device and network classes
    // The version string getVersion and System.capabilities report.
    static QString playerVersion();
    // Native `index` of `family`, as ASnative hands it out.
    static FunctionObject* nativeFunction(Interpreter& vm, int family, int index);
    // Color needs the stage to find the clips it colours.
    static void installColor(Interpreter& vm, StageScripts& scripts);

    // Colour transform fixed point: a percentage as the player's 8.8 multiplier,
    // an offset as its 16-bit value, and the offsets packed as getRGB gives them.
    static int16_t colorFixed(double percent);
    static int16_t colorOffset(double offset);
    static int32_t colorRgb(double rAdd, double gAdd, double bAdd);

    // Access to the machine's private prototype slots for the installers.
    static Object*& objectProto(Interpreter& vm);
    static Object*& functionProto(Interpreter& vm);
    static Object*& arrayProto(Interpreter& vm);
    static Object*& stringProto(Interpreter& vm);
    static Object*& numberProto(Interpreter& vm);
    static Object*& booleanProto(Interpreter& vm);
    static Object*& dateProto(Interpreter& vm);
    static Object*& errorProto(Interpreter& vm);
    static Object*& classRegistry(Interpreter& vm);
    static Object*& global(Interpreter& vm);
};

} // namespace swf::avm1
