#pragma once

// The objects every script of one movie shares: the global object, the
// prototypes the machine gives to values it makes (strings, numbers, arrays,
// functions, clips ...) and the class registry. The Interpreter owns one and
// shows it read-only; the installers of the built-ins fill it in as they
// build each class, through Interpreter::setRealmSlot.

namespace swf::avm1 {

class Object;

struct Realm {
    Object* global = nullptr;
    Object* objectPrototype = nullptr;
    Object* objectConstructor = nullptr;
    Object* functionPrototype = nullptr;
    // Every function's `constructor` member names it, whatever scripts do to _global.Function.
    Object* functionConstructor = nullptr;
    Object* arrayPrototype = nullptr;
    Object* stringPrototype = nullptr;
    Object* numberPrototype = nullptr;
    Object* booleanPrototype = nullptr;
    Object* datePrototype = nullptr;
    Object* errorPrototype = nullptr;
    Object* clipPrototype = nullptr;
    // Object.registerClass: symbol name -> constructor.
    Object* classRegistry = nullptr;
    // flash.geom as first installed: the geometry methods build their results
    // (new Points, Rectangles, Matrices) from its classes, and it must live as
    // long as they do, even when a script deletes it from the global tree.
    Object* geomPackage = nullptr;

    // Every slot, for the collector's roots.
    template<typename F>
    void forEach(F&& f) const
    {
        for (Object* o : { global, objectPrototype, objectConstructor, functionPrototype, functionConstructor, arrayPrototype,
                 stringPrototype, numberPrototype, booleanPrototype, datePrototype, errorPrototype, clipPrototype,
                 classRegistry, geomPackage })
            f(o);
    }
};

} // namespace swf::avm1
