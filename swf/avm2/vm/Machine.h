#pragma once

// The ActionScript 3 machine: loaded bytecode files, the global names they
// define, the built-in classes, and the operations the interpreter and the
// built-ins share (property access, calls, construction, conversions).
// Script errors travel inside the machine as C++ exceptions (Thrown); the
// public entry points catch them, so none leaves the machine.

#include "swf/Result.h"
#include "swf/avm2/abc/AbcFile.h"
#include "swf/avm2/abc/Verifier.h"
#include "swf/avm2/vm/Object.h"
#include "swf/runtime/MemoryBudget.h"

#include <QHash>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace swf::avm2 {

// A script error on its way to a handler.
struct Thrown {
    Value value;
};
// The instruction budget ran out: unwinds every running method, no handler catches it.
struct BudgetSpent {
};
// The memory budget ran out: unwinds every running method like BudgetSpent.
struct MemorySpent {
    std::uint64_t asked = 0; // bytes held or asked for when it was refused
};

struct ScriptState {
    Object* global = nullptr;
    bool started = false;
};

// One loaded bytecode file with what the machine built from it.
struct Unit {
    AbcFile file;
    std::vector<std::optional<DecodedBody>> decoded; // by body index, verified on first call
    std::vector<Name> names;                         // multinames as far as known before run time
    std::vector<Namespace> namespaces;
    std::vector<ClassObject*> classes; // by class index, once made
    std::vector<ScriptState> scripts;
    std::vector<std::shared_ptr<Traits>> activations; // by body index, made on first use
};

struct MachineLimits {
    std::uint64_t instructionsPerRun = std::uint64_t(1) << 22;   // one entry from the stage
    std::uint64_t instructionsPerFrame = std::uint64_t(1) << 24; // all a frame runs
    int maxCallDepth = 256;
};

enum class ErrorClass { Error, TypeError, ReferenceError, ArgumentError, RangeError, VerifyError, EvalError, URIError, SecurityError, SyntaxError };

class Machine {
public:
    Machine();
    ~Machine();
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    void setTraceSink(std::function<void(const QString&)> sink) { m_trace = std::move(sink); }
    void trace(const QString& line)
    {
        if (m_trace)
            m_trace(line);
    }
    // Errors no script caught: what they said, for the caller's fault report.
    void setFaultSink(std::function<void(const QString&)> sink) { m_fault = std::move(sink); }
    // Something the host should hear of that no script sees (a damaged save set aside).
    void reportFault(const QString& what)
    {
        if (m_fault)
            m_fault(what);
    }
    void setLimits(const MachineLimits& limits) { m_limits = limits; }
    const MachineLimits& limits() const { return m_limits; }
    // A new frame: its instruction budget starts afresh.
    void startFrame() { m_frameInstructions = 0; }

    // Loads a bytecode file; unless `lazy`, its last script (the entry) runs now.
    Result<void> loadAbc(const QByteArray& bytes, bool lazy);
    // The class a movie binds to a symbol, by its qualified name ("pkg.Name"); null when none.
    ClassObject* findClass(const QString& qualifiedName);

    // Runs `work` as an entry from the outside: an uncaught error is reported
    // (traced as the player prints it) and false comes back.
    bool guard(const std::function<void()>& work);

    // --- The operations scripts are made of. Each may throw Thrown.
    Value getProperty(const Value& object, const Name& name);
    void setProperty(const Value& object, const Name& name, const Value& value, bool init = false);
    bool hasProperty(const Value& object, const Name& name);
    bool deleteProperty(const Value& object, const Name& name);
    Value callProperty(const Value& object, const Name& name, Args args);
    Value call(const Value& function, const Value& thisValue, Args args);
    Value callMethod(Method* method, const Value& thisValue, Args args);
    Value construct(const Value& constructor, Args args);
    Value constructClass(ClassObject* cls, Args args);
    // Finds the object a name is defined on, through the given scopes then the globals.
    Value findProperty(const std::vector<ScopeEntry>& outer, const std::vector<ScopeEntry>& inner, const Name& name,
        bool strict);
    Value globalLookup(const Name& name, bool& found);

    QString toString(const Value& v);
    double toNumber(const Value& v);
    bool toBoolean(const Value& v) { return primitiveToBoolean(v); }
    Value toPrimitive(const Value& v, bool preferString);
    Object* toObject(const Value& v); // throws on null and undefined
    QString typeName(const Value& v); // the class name errors show
    ClassObject* classOf(const Value& v);
    bool isType(const Value& v, ClassObject* type);
    // Looks up the interfaces `cls` and its bases name that were not made yet when they were.
    void resolveInterfaces(ClassObject* cls);
    Value coerce(const Value& v, ClassObject* type);
    Value coerceSlot(const Value& v, SlotType type, ClassObject* cls);
    bool strictEquals(const Value& a, const Value& b);
    bool looseEquals(const Value& a, const Value& b);
    // a < b: true, false, or undefined (NaN involved) as nullopt.
    std::optional<bool> lessThan(const Value& a, const Value& b);
    Value add(const Value& a, const Value& b);

    [[noreturn]] void throwError(ErrorClass kind, int id, const QString& message);
    // Throws as a built-in method named `frame` would ("Error$/throwError"):
    // the error's stack trace shows that frame on top.
    [[noreturn]] void throwErrorThrough(const QString& frame, ErrorClass kind, int id, const QString& message);
    Value makeError(ErrorClass kind, int id, const QString& message);

    // --- Making objects.
    template<typename T, typename... A>
    T* allocate(A&&... args)
    {
        chargeMemory(ObjectRecordBytes);
        auto object = std::make_unique<T>(std::forward<A>(args)...);
        T* raw = object.get();
        m_heap.push_back(std::move(object));
        return raw;
    }
    Object* newObject();
    Object* newArray(std::vector<Value> elements = {});
    Object* newFunction(Method* method, bool isBound = false, const Value& boundThis = {});
    Object* newNative(const QString& name, NativeFn fn, int length = 0);
    Method* newMethod();
    Object* instantiate(ClassObject* cls); // an instance with its slots, before any constructor
    // Vector.<element>, made on first use (element null: Vector.<*>).
    ClassObject* applyVectorType(ClassObject* generic, ClassObject* element);
    Object* newVector(ClassObject* specialisation, std::vector<Value> elements);
    // Indexed access to a vector's elements; false when the name is no index.
    bool vectorGet(Object* vector, const QString& name, Value& out);
    bool vectorSet(Object* vector, const QString& name, const Value& value);
    // A dictionary's entries keyed by objects (other keys are its dynamic properties).
    Value dictionaryGet(Object* dictionary, Object* key);
    void dictionarySet(Object* dictionary, Object* key, const Value& value);
    bool dictionaryDelete(Object* dictionary, Object* key);

    // Built-in classes, made when the machine is.
    struct Builtins {
        ClassObject* object = nullptr;
        ClassObject* cls = nullptr;
        ClassObject* function = nullptr;
        ClassObject* array = nullptr;
        ClassObject* string = nullptr;
        ClassObject* number = nullptr;
        ClassObject* intClass = nullptr;
        ClassObject* uintClass = nullptr;
        ClassObject* boolean = nullptr;
        ClassObject* namespaceClass = nullptr;
        ClassObject* error[10] = {};
        ClassObject* displayObject = nullptr;
        ClassObject* sprite = nullptr;
        ClassObject* movieClip = nullptr;
        ClassObject* vector = nullptr; // the generic Vector
        ClassObject* dictionary = nullptr;
        ClassObject* regexp = nullptr;
        ClassObject* event = nullptr;
        ClassObject* eventDispatcher = nullptr;
        ClassObject* xml = nullptr;
        ClassObject* xmlList = nullptr;
        ClassObject* qname = nullptr;
        ClassObject* byteArray = nullptr;
        ClassObject* date = nullptr;
        ClassObject* xmlNode = nullptr; // flash.xml.XMLNode
    };
    Builtins& builtins() { return m_builtins; }
    Object* builtinGlobal() { return m_builtinGlobal; }
    // Defines a built-in class (instance and static members added by the caller).
    ClassObject* defineClass(const QString& package, const QString& name, ClassObject* base, InstanceKind kind, NativeFn constructor);
    // Adds a constant to the built-in globals.
    void defineGlobal(const QString& package, const QString& name, const Value& value);
    void addMethod(ClassObject* cls, const QString& name, NativeFn fn, int length = 0);    // on instances
    void addStatic(ClassObject* cls, const QString& name, NativeFn fn, int length = 0);    // on the class
    void addGetter(ClassObject* cls, const QString& name, NativeFn getter, NativeFn setter = {});
    void addStaticConst(ClassObject* cls, const QString& name, const Value& value);
    void addPrototypeMethod(ClassObject* cls, const QString& name, NativeFn fn, int length = 0);
    // A built-in interface, listed among the interfaces of each of `implementors`.
    ClassObject* defineInterface(const QString& package, const QString& name, std::initializer_list<ClassObject*> implementors);
    // The binding `name` reaches in `traits` (those of a `cls` instance). A
    // name in the namespace of an interface the class implements reaches the
    // class's public member of that local name, as a call typed by the interface does.
    const Binding* findTrait(const Traits& traits, ClassObject* cls, const Name& name);

    // --- The memory budget (swf/runtime/MemoryBudget.h). What scripts make
    // is charged as it is made; when the charges pass the limit, what the
    // heap really holds is counted, and if that is still too much the
    // running script stops (MemorySpent) and the movie goes on.
    static constexpr std::size_t ObjectRecordBytes = 160; // an object before its contents
    void setMemoryLimit(std::uint64_t bytes) { m_memory.setLimit(bytes); }
    const MemoryBudget& memory() const { return m_memory; }
    void chargeMemory(std::size_t bytes)
    {
        m_memory.charge(bytes);
        if (m_memory.needsRecount())
            checkMemory(bytes);
    }
    // What the heap holds now: objects, their slots, elements, properties,
    // the strings they keep and the bytes and pixels held beside them.
    std::uint64_t memoryInUse() const;

    // Used by the interpreter.
    Value runBytecode(Method* method, const Value& thisValue, Args args);
    std::shared_ptr<Traits> activationTraits(Unit& unit, std::uint32_t bodyIndex);
    // The next property index of a for-in walk after `index` (0: the walk is over).
    std::uint32_t nextIndex(const Value& object, std::uint32_t index);
    Value nameAt(const Value& object, std::uint32_t index);
    Value valueAt(const Value& object, std::uint32_t index);
    const DecodedBody& bodyOf(Unit& unit, std::uint32_t methodIndex);
    ClassObject* newClass(Unit& unit, std::uint32_t index, ClassObject* base, const ScopeChain& scope);
    Name resolveName(Unit& unit, std::uint32_t multiname) { return unit.names[multiname]; }
    Value constantValue(Unit& unit, const AbcConstant& constant);
    ClassObject* classByName(Unit& unit, std::uint32_t multiname); // null for "any" or unknown
    std::uint64_t instructionsRun() const { return m_totalInstructions; }
    void countInstruction()
    {
        ++m_totalInstructions;
        if (++m_runInstructions > m_limits.instructionsPerRun || ++m_frameInstructions > m_limits.instructionsPerFrame)
            throw BudgetSpent {};
    }
    int& callDepth() { return m_callDepth; }
    // The bytecode methods running now, innermost last, as a stack trace prints them.
    QString stackTrace() const;
    // The display parent of a script object, for the capture and bubble
    // phases of events; the stage's binding sets it.
    std::function<Object*(Object*)> displayParent;
    // Told of each listener added (the stage's binding keeps the order of frame-event listeners).
    std::function<void(Object*, const QString& type)> listenerAdded;
    // Sends `event` (an Event) from `target` through its listeners; false when a listener prevented the default.
    bool dispatchEvent(const Value& target, const Value& event);
    bool hasListeners(Object* target, const QString& type);
    // Traces an error no script caught, as the player prints it.
    void reportUncaught(const Value& error) { report(error); }
    QString defaultXmlNamespace;
    // Classes by the alias flash.net.registerClassAlias gave them (typed objects in AMF).
    QHash<QString, ClassObject*> classAliases;

private:
    void buildTraits(Unit& unit, Traits& traits, const std::vector<AbcTrait>& list, const ScopeChain& scope,
        ClassObject* owner, Object* holder);
    void runScript(Unit& unit, std::size_t index);
    void report(const Value& error);
    void checkMemory(std::size_t pending);

    MemoryBudget m_memory;
    std::vector<std::unique_ptr<Object>> m_heap;
    std::vector<std::unique_ptr<Method>> m_methods;
    std::vector<std::unique_ptr<Unit>> m_units;
    struct GlobalName {
        Namespace ns;
        Unit* unit = nullptr;
        std::size_t script = 0;
    };
    QHash<QString, std::vector<GlobalName>> m_globals;
    Object* m_builtinGlobal = nullptr;
    ClassObject* m_globalClass = nullptr;
    Builtins m_builtins;
    MachineLimits m_limits;
    std::uint64_t m_runInstructions = 0;
    std::uint64_t m_frameInstructions = 0;
    std::uint64_t m_totalInstructions = 0;
    int m_callDepth = 0;
    Object* m_callee = nullptr; // the function object call() is about to run, for arguments.callee
    int m_guardDepth = 0;
    std::vector<const Method*> m_running;
    std::function<void(const QString&)> m_trace;
    std::function<void(const QString&)> m_fault;
};

// The built-in classes, one file per family (swf/avm2/builtins).
void installObjectClasses(Machine& machine);   // Object, Class, Function, Namespace
void installPrimitiveClasses(Machine& machine); // String, Number, int, uint, Boolean, Math
void installArrayClass(Machine& machine);
void installErrorClasses(Machine& machine);
// Throws one of the flash.errors classes (IOError, EOFError, ...) by name.
[[noreturn]] void throwPackageError(Machine& machine, const QString& name, int id, const QString& message);
void installGlobalFunctions(Machine& machine);  // trace, isNaN, parseInt, ...
void installVectorClass(Machine& machine);
void installDictionaryClass(Machine& machine);
void installJson(Machine& machine);
void installRegExpClass(Machine& machine);
void installXmlClasses(Machine& machine);
void installByteArrayClass(Machine& machine);
void installDateClass(Machine& machine);
void installXmlDocumentClasses(Machine& machine); // flash.xml.XMLNode, XMLDocument
// XML, XMLList, QName, Namespace's constructor
Value constructXmlValue(Machine& machine, ClassObject* cls, Args args); // new XML(v), new XMLList(v)
void installProxyClass(Machine& machine); // flash.utils.Proxy
void installAmf(Machine& machine);        // ByteArray.writeObject/readObject, ObjectEncoding, class aliases
void installSharedObjectClass(Machine& machine); // flash.net.SharedObject
// Where SharedObject saves live (empty: the user's data folder) and the
// movie's file name, which names the folder of a save the movie gives no path.
void setSaveFolder(Machine& machine, const QString& folder, const QString& movieName);
// Writes every save the movie opened (the movie is ending); no error escapes.
void flushSharedObjects(Machine& machine);
void installEventClasses(Machine& machine); // Event and its kinds, EventDispatcher // RegExp, and String's match, replace, search and split

} // namespace swf::avm2
