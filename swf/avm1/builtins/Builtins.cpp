// Interpreter::installBuiltins: the classes every movie starts with, in the
// order the player defines them on the global object (for..in shows them in
// that order once a movie makes them enumerable).
//
// Files in builtins/ and stage/ that bind script classes are named after what
// they bind: XxxClass.cpp for a class (its constructor, prototype methods and
// statics, each method a named function listed in one NativeMethod table),
// XxxFunctions.cpp for global functions.

#include "swf/avm1/builtins/Builtins.h"
#include "swf/avm1/builtins/LoadRequests.h"
#include "swf/avm1/vm/Interpreter.h"

namespace swf::avm1 {

void Interpreter::installBuiltins()
{
    const bool cs = caseSensitive();
    setRealmSlot(&Realm::objectPrototype, make<Object>(Object::Kind::Plain, nullptr, cs));
    setRealmSlot(&Realm::functionPrototype, make<Object>(Object::Kind::Plain, objectPrototype(), cs));
    setRealmSlot(&Realm::global, newObject());
    setRealmSlot(&Realm::classRegistry, newObject(nullptr));
    Builtins::installObject(*this);
    Builtins::installFunction(*this);
    // The functions made before the Function class get their constructor now.
    for (Object* o : m_heap)
        if (o->kind() == Object::Kind::Function)
            giveConstructor(static_cast<FunctionObject*>(o));
    Builtins::installGlobalFunctions(*this);
    Builtins::installError(*this);
    Builtins::installBoolean(*this);
    Builtins::installNumber(*this);
    Builtins::installMath(*this);
    Builtins::installArray(*this);
    Builtins::installString(*this);
    Builtins::installDate(*this);
    Builtins::installNative(*this);
    Builtins::installPlayerFunctions(*this);
    Builtins::installBroadcaster(*this);
    Builtins::installSystem(*this);
    Builtins::installPlaceholderClasses(*this);
    installXml(*this);
    installLoadVars(*this);
    installSharedObject(*this);
    Builtins::hideVersion6Classes(*this);
}

} // namespace swf::avm1
