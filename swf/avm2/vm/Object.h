#pragma once

// Objects of the machine: plain and dynamic objects, arrays, functions,
// classes and the scope objects of scripts, activations and catch blocks.
// Every object lives in the machine's heap until the machine goes.

#include "swf/avm2/vm/Value.h"

#include <QHash>

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace swf {
class DisplayObject;
}

namespace swf::avm2 {

class Machine;
class Object;
class ClassObject;
struct Unit;

// A namespace as the machine compares it: private namespaces are each their
// own; the others are equal when their kind family and URI are.
struct Namespace {
    enum class Family : std::uint8_t { Public, Internal, Protected, StaticProtected, Private };
    Family family = Family::Public;
    QString uri;
    const void* unique = nullptr; // private namespaces: identity

    bool operator==(const Namespace& other) const
    {
        if (family != other.family)
            return false;
        if (family == Family::Private)
            return unique == other.unique;
        // Protected names are inherited down a class chain under each class's
        // own protected namespace: any two of them match.
        if (family == Family::Protected || family == Family::StaticProtected)
            return true;
        return uri == other.uri;
    }
    bool isPublic() const { return family == Family::Public && uri.isEmpty(); }
    static Namespace publicNs() { return Namespace {}; }
};

// A name as an instruction asks for it: one local name in any of several namespaces.
struct Name {
    QString local;
    std::vector<Namespace> namespaces; // empty with `anyNamespace`
    bool anyNamespace = false;
    bool anyName = false;
    bool attribute = false;
    std::vector<std::uint32_t> typeParams; // Vector.<T>: the parameters' multinames
    Object* keyObject = nullptr; // a name given at run time as an object (dictionary keys)

    bool matches(const Namespace& ns) const
    {
        if (anyNamespace)
            return true;
        for (const Namespace& candidate : namespaces) {
            if (candidate == ns)
                return true;
        }
        return ns.isPublic() && includesPublic();
    }
    // Public, or the namespace the built-in classes' own methods are compiled
    // against, which reaches the same prototype methods.
    bool includesPublic() const
    {
        if (anyNamespace)
            return true;
        for (const Namespace& ns : namespaces) {
            if (ns.isPublic() || (ns.family == Namespace::Family::Public && ns.uri == QLatin1String("http://adobe.com/AS3/2006/builtin")))
                return true;
        }
        return false;
    }
    static Name publicName(QString local)
    {
        Name name;
        name.local = std::move(local);
        name.namespaces.push_back(Namespace::publicNs());
        return name;
    }
};

using Args = std::span<const Value>;
using NativeFn = std::function<Value(Machine&, const Value& thisValue, Args args)>;

// A method ready to run: bytecode with the scope chain it closes over, or native code.
struct ScopeEntry {
    Value object;
    bool with = false;
};
using ScopeChain = std::shared_ptr<const std::vector<ScopeEntry>>;

struct Method {
    Unit* unit = nullptr;
    std::uint32_t index = 0; // into the unit's methods
    NativeFn native;
    ScopeChain scope;
    ClassObject* owner = nullptr; // the class whose traits hold it, for super
    QString name;
    int paramCount = 0; // the declared parameters, for length
    bool closure = false; // made by newfunction: extra arguments are dropped, not refused
    QString traceName;    // how a stack trace names it: "Test/run", "Test$cinit", "global$init"
};

// Objects that answer property access in their own way (XML, XMLList,
// Proxy). Each hook returns false or nullopt when it leaves the name to the
// ordinary rules; the traits of the object's class are asked first.
class PropertyHooks {
public:
    virtual ~PropertyHooks() = default;
    virtual bool get(Machine&, Object*, const Name&, Value&) { return false; }
    virtual bool set(Machine&, Object*, const Name&, const Value&) { return false; }
    virtual std::optional<bool> has(Machine&, Object*, const Name&) { return std::nullopt; }
    virtual std::optional<bool> remove(Machine&, Object*, const Name&) { return std::nullopt; }
    virtual bool call(Machine&, Object*, const Name&, Args, Value&) { return false; }
    virtual bool descendants(Machine&, Object*, const Name&, Value&) { return false; }
    // A for-in walk of the object's own making.
    virtual std::optional<std::uint32_t> nextIndex(Machine&, Object*, std::uint32_t) { return std::nullopt; }
    virtual std::optional<Value> nameAt(Machine&, Object*, std::uint32_t) { return std::nullopt; }
    virtual std::optional<Value> valueAt(Machine&, Object*, std::uint32_t) { return std::nullopt; }
};

// How a slot coerces what is stored in it.
enum class SlotType : std::uint8_t { Any, Int, Uint, Number, Boolean, String, Object };

struct Binding {
    enum class Kind : std::uint8_t { Slot, Const, Method, Accessor };
    Kind kind = Kind::Slot;
    Namespace ns;
    QString local;
    int slot = -1;
    Method* method = nullptr; // Method
    Method* getter = nullptr; // Accessor
    Method* setter = nullptr; // Accessor
};

// The fixed properties of a kind of object: its slots and methods by name.
struct Traits {
    std::vector<Binding> bindings;
    QHash<QString, std::vector<int>> byLocal; // local name -> bindings
    std::vector<Value> slotDefaults;
    std::vector<SlotType> slotTypes;
    std::vector<ClassObject*> slotClasses; // the class a typed slot holds, null for built-in types
    QHash<std::uint32_t, int> slotIds;    // the file's slot ids -> slot index
    std::vector<Method*> dispatch;        // dispatch ids of methods (callmethod)

    const Binding* find(const Name& name) const;
    Binding* findExact(const Namespace& ns, const QString& local);
    int addSlot(const Namespace& ns, const QString& local, bool isConst, Value initial, SlotType type, std::uint32_t slotId);
    void addBinding(Binding binding);
};

class Object {
public:
    enum class Type : std::uint8_t { Plain, Array, Function, Class, Scope, Namespace, Display, Error, Vector, Dictionary, Xml, XmlList };

    Object(Type type, ClassObject* cls, Object* prototype, std::shared_ptr<Traits> traits);
    virtual ~Object() = default;

    Type type() const { return m_type; }
    ClassObject* classObject() const { return m_class; }
    void setClassObject(ClassObject* cls) { m_class = cls; }
    Object* prototype() const { return m_prototype; }
    void setPrototype(Object* prototype) { m_prototype = prototype; }
    const Traits& traits() const { return *m_traits; }
    std::shared_ptr<Traits> traitsPointer() const { return m_traits; }
    bool isDynamic() const { return m_dynamic; }
    void setDynamic(bool dynamic) { m_dynamic = dynamic; }

    std::vector<Value>& slotValues() { return m_slots; }

    // Dynamic properties in the order they were made.
    const Value* dynamicGet(const QString& name) const;
    void dynamicSet(const QString& name, const Value& value);
    bool dynamicDelete(const QString& name);
    bool dynamicHas(const QString& name) const { return m_dynamicIndex.contains(name); }
    const std::vector<std::pair<QString, Value>>& dynamicProperties() const { return m_dynamicValues; }
    // Hidden from for-in (setPropertyIsEnumerable).
    QHash<QString, bool>& dontEnum() { return m_dontEnum; }

    // Arrays and vectors keep their elements here.
    std::vector<Value> elements;
    bool fixed = false; // a vector whose length may not change
    // A dictionary's object keys, in the order they were made.
    QHash<Object*, std::size_t> keyed;
    std::vector<std::pair<Object*, Value>> keyedValues;
    // Functions.
    Method* method = nullptr;
    Value boundThis;       // a method closure's receiver
    bool isBound = false;
    // A display object bound to the stage.
    swf::DisplayObject* display = nullptr;
    // The primitive a Boolean, Number or String object wraps.
    Value primitive;
    // What a native class keeps beside the script's view (a compiled pattern, a date, bytes).
    std::shared_ptr<void> host;
    // What that host holds in bytes (a byte array's data, a bitmap's pixels), for the memory budget.
    std::size_t hostBytes = 0;
    // An event dispatcher's listeners (swf/avm2/builtins/EventClasses.cpp).
    std::shared_ptr<void> listeners;
    // Property access of its own (XML, XMLList, Proxy); null for the ordinary rules.
    PropertyHooks* hooks = nullptr;

private:
    Type m_type;
    bool m_dynamic = true;
    ClassObject* m_class;
    Object* m_prototype;
    std::shared_ptr<Traits> m_traits;
    std::vector<Value> m_slots;
    std::vector<std::pair<QString, Value>> m_dynamicValues;
    QHash<QString, int> m_dynamicIndex;
    QHash<QString, bool> m_dontEnum;
};

// What kind of object a class's constructor makes.
enum class InstanceKind : std::uint8_t { Plain, Array, Error, Display, Function, Boxed, Vector, Dictionary, Xml, XmlList };

class ClassObject : public Object {
public:
    ClassObject(ClassObject* classClass, Object* prototypeOfClasses, std::shared_ptr<Traits> staticTraits)
        : Object(Type::Class, classClass, prototypeOfClasses, std::move(staticTraits))
    {
    }

    QString name;          // local name
    QString packageName;   // "flash.display", "" for top level
    ClassObject* base = nullptr;
    std::shared_ptr<Traits> instanceTraits;
    Object* instancePrototype = nullptr;
    Method* constructor = nullptr;   // the instance initializer (bytecode or native)
    NativeFn callAsFunction;         // String(x), int(x), ...: a conversion, not construction
    InstanceKind instanceKind = InstanceKind::Plain;
    bool sealed = false;
    bool isInterface = false;
    std::vector<ClassObject*> interfaces;
    std::vector<std::uint32_t> pendingInterfaces; // multinames of interfaces not made when this class was
    Unit* unit = nullptr;
    std::uint32_t classIndex = 0;
    // Vector.<T>: the generic holds its specialisations; each one its element type (null for *).
    bool isVectorGeneric = false;
    bool isVector = false;
    ClassObject* elementType = nullptr;
    QHash<const ClassObject*, ClassObject*> specialisations;
    PropertyHooks* instanceHooks = nullptr; // given to instances of this class and its subclasses

    QString qualifiedName() const { return packageName.isEmpty() ? name : packageName + QStringLiteral("::") + name; }
    bool isSubclassOf(const ClassObject* other) const;
};

} // namespace swf::avm2
