#pragma once

// The built-in objects of the script machine, one installer per family.

namespace swf::script {

class Interpreter;
class Object;

struct Builtins {
    static void installCore(Interpreter& vm);   // Object, Function, global functions, Error
    static void installNumeric(Interpreter& vm); // Boolean, Number, Math
    static void installArray(Interpreter& vm);
    static void installString(Interpreter& vm);
    static void installDate(Interpreter& vm);

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

} // namespace swf::script
