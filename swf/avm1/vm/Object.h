#pragma once

// Script objects: a property table with flags and a prototype link.
// Functions, arrays, boxed primitives and dates are objects of their own kind.
// Every object lives on the Interpreter's heap and is reclaimed by its
// mark-and-sweep collector, so objects refer to each other by plain pointers.

#include "swf/avm1/vm/Value.h"
#include "swf/runtime/NameKey.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

namespace swf::avm1 {

class Interpreter;
struct FunctionCode;
struct Scope;

enum PropertyFlag : uint8_t {
    DontEnum = 1,
    DontDelete = 2,
    ReadOnly = 4,
};

struct Property {
    QString name;               // as first written
    Value value;
    Object* getter = nullptr;   // addProperty accessors
    Object* setter = nullptr;
    uint32_t hash = 0;          // foldedNameHash of the name
    uint8_t flags = 0;
    bool alive = true;
    // ASSetPropFlags bits above the first three: hide the property from
    // movies older than a version.
    uint16_t versionBits = 0;
    uint8_t minVersion = 0;

    // Bit 0x100 hides a property from movies of version 6 alone.
    static constexpr uint16_t HiddenIn6 = 0x100;
    bool visibleIn(int version) const
    {
        return minVersion <= version && !(version == 6 && (versionBits & HiddenIn6));
    }
};

class Object {
public:
    enum class Kind : uint8_t { Plain, Function, Array, Boolean, Number, String, Date, Super, Clip, Arguments };

    Object(Kind kind, Object* proto, bool caseSensitive);
    virtual ~Object();
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    Kind kind() const { return m_kind; }
    Object* proto() const { return m_proto; }
    // Every object carries its prototype link as its own `__proto__` member
    // too (hidden and permanent), which scripts can read, unhide, overwrite
    // or delete; writing the member relinks the object. Deleting it cuts the
    // link in movies before version 7 (the interpreter does that) and leaves
    // it from version 7 on. The member made with the object is kept in a
    // slot of its own rather than in the property list, so an object holding
    // nothing else costs no list and no index.
    void setProto(Object* p);
    // Whether `name` denotes the `__proto__` member in this object's case rule.
    bool isProtoKey(const QString& name) const;
    bool caseSensitive() const { return m_caseSensitive; }

    // Own properties, looked up by name (case-folded for old movies).
    Property* findOwn(const QString& name) { return findOwn(name, foldedNameHash(name)); }
    const Property* findOwn(const QString& name) const { return const_cast<Object*>(this)->findOwn(name); }
    // The same with the name's foldedNameHash already made, for walks that
    // look one name up along a chain of objects.
    Property* findOwn(const QString& name, uint32_t hash);
    // Creates or overwrites a plain data property, keeping existing flags.
    void put(const QString& name, const Value& value, uint8_t flags = 0);
    // Adds or replaces, resetting the flags (used to build the built-ins).
    void define(const QString& name, const Value& value, uint8_t flags);
    bool removeOwn(const QString& name);
    // Room for `count` members made soon, so the list grows once.
    void reserveMembers(size_t count) { m_props.reserve(count); }
    // Names of live own properties in enumeration order (newest first).
    QStringList ownNames(bool includeHidden) const;
    int propertyCount() const { return int(m_props.size()) - m_dead + (m_link.alive ? 1 : 0); }
    // False while no member whose name begins with "on" (in any case) was
    // ever made here: then no event handler can be found on this object, and
    // the stage's per-clip, per-frame handler search skips it without hashing
    // the name. Set when such a member is made and never cleared, so writes
    // to it through a Property pointer, deletion and re-creation are covered.
    bool mayHoldHandler() const { return m_mayHoldHandler; }
    // The size of this object's own record (of its class, set when the
    // Interpreter makes it), for the memory budget.
    size_t recordBytes() const { return size_t(m_recordWords) * 8; }

    // Hooks for objects whose properties come from elsewhere (arrays, clips).
    virtual bool getVirtual(Interpreter&, const QString& name, Value& out) { return false; }
    virtual bool setVirtual(Interpreter&, const QString& name, const Value& value) { return false; }
    virtual bool hasVirtual(Interpreter&, const QString& name) { return false; }
    virtual void virtualNames(Interpreter&, QStringList& out) { }
    virtual bool deleteVirtual(Interpreter&, const QString& name) { return false; }
    virtual void markChildren(std::vector<Object*>& stack);
    // Bytes this object holds beyond its own record, and each value it holds
    // handed to `value` (strings are counted by the caller, once each).
    // For the memory budget; defined in MemoryUse.cpp.
    virtual size_t heldBytes(const std::function<void(const Value&)>& value) const;

    // Boxed value of Boolean/Number/String objects, time value of dates.
    Value primitive;
    // Interfaces declared with `implements` (on a constructor's prototype).
    std::vector<Object*> interfaces;
    // Watchers installed with Object.watch: name -> (callback, user data).
    struct Watch {
        Object* callback;
        Value userData;
        // Calls of this watcher under way, one inside the other.
        int depth = 0;
    };
    QHash<QString, Watch>* watches() { return m_watches.get(); }
    QHash<QString, Watch>& ensureWatches();

    bool marked = false;

private:
    friend class Interpreter;
    bool sameName(const Property& p, const QString& name, uint32_t hash) const;
    int indexOf(const QString& name, uint32_t hash) const;
    void index(int i);
    void reindex();
    void compact();

    // These four fill the bytes between `marked` and m_dead, so that the
    // record size costs no room of its own.
    Kind m_kind;
    bool m_caseSensitive : 1;
    bool m_mayHoldHandler : 1 = false;
    // recordBytes() in units of 8 bytes (Interpreter::make checks the fit).
    uint8_t m_recordWords = sizeof(Object) / 8;
    int m_dead = 0;
    Object* m_proto;
    // The `__proto__` member made with the object (alive while it stands);
    // one made later, when other members exist, joins the list like any.
    Property m_link;
    // Members in the order they were made; deleted ones stay, dead, until
    // compact() drops them.
    std::vector<Property> m_props;
    // Open-addressed index into m_props by name hash (-1: free), made only
    // once the list is too long to scan.
    std::vector<int32_t> m_slots;
    std::unique_ptr<QHash<QString, Watch>> m_watches;
};

struct CallArgs {
    Value thisValue;
    std::vector<Value> args;
    bool constructing = false;
    Object* callee = nullptr;

    Value arg(size_t i) const { return i < args.size() ? args[i] : Value(); }
    Object* thisObject() const { return thisValue.asObject(); }
};

using NativeFunction = std::function<Value(Interpreter&, CallArgs&)>;

// A built-in method as the installers bind it: the name scripts see, a named
// function, and the attribute flags of the property that holds it. Each class
// lists its methods in one table, in the order they are defined (which is the
// order for..in shows them once they are made enumerable).
using NativeMethodFunction = Value (*)(Interpreter&, CallArgs&);
struct NativeMethod {
    const char* name;
    NativeMethodFunction function;
    uint8_t flags = DontEnum;
    // Movies older than this version do not see the method.
    uint8_t minVersion = 0;
};

class FunctionObject : public Object {
public:
    FunctionObject(Object* proto, bool caseSensitive);

    bool isNative() const { return bool(native); }
    void markChildren(std::vector<Object*>& stack) override;

    NativeFunction native;
    // Script functions.
    std::shared_ptr<const FunctionCode> code;
    std::shared_ptr<Scope> scope;
    std::shared_ptr<const std::vector<QString>> constantPool;
    Object* definingTarget = nullptr; // the timeline the function was defined on
};

class ArrayObject : public Object {
public:
    ArrayObject(Object* proto, bool caseSensitive) : Object(Kind::Array, proto, caseSensitive) { }

    static constexpr size_t MaxLength = 1u << 22;

    bool getVirtual(Interpreter&, const QString& name, Value& out) override;
    bool setVirtual(Interpreter&, const QString& name, const Value& value) override;
    bool hasVirtual(Interpreter&, const QString& name) override;
    void virtualNames(Interpreter&, QStringList& out) override;
    bool deleteVirtual(Interpreter&, const QString& name) override;
    void markChildren(std::vector<Object*>& stack) override;
    size_t heldBytes(const std::function<void(const Value&)>& value) const override;

    void setLength(double length);
    // The element index a property name denotes, or -1.
    static int64_t indexOf(const QString& name);
    // The negative whole number a property name denotes ("-2"), or 0.
    static int64_t negativeIndexOf(const QString& name);
    // The length a script set below zero (its whole part), or 0.
    double negativeLength() const;

    std::vector<Value> elements;
    // Per-element attribute bits (DontEnum, DontDelete, ReadOnly, Hole),
    // parallel to `elements` for as far as any element has one; an element
    // past its end has none. A hole is an element `delete` removed: it
    // reads as undefined but is not there for for..in or hasOwnProperty.
    static constexpr uint8_t Hole = 0x80;
    std::vector<uint8_t> elementBits;
    uint8_t bitsAt(size_t i) const { return i < elementBits.size() ? elementBits[i] : 0; }
    bool isHole(size_t i) const { return bitsAt(i) & Hole; }
    void setBitsAt(size_t i, uint8_t bits);
    // Holes become undefined elements and attributes are dropped: for the
    // methods that move elements about.
    void clearElementBits() { elementBits.clear(); }
    // What a script last wrote to `length` when that was not a number: it
    // reads back as written for as long as the elements stay as many.
    Value writtenLength;
    size_t writtenLengthAt = 0;
    bool hasWrittenLength = false;
};

// `super` inside a method: looks members up from a prototype, calls them on `this`.
class SuperObject : public Object {
public:
    SuperObject(Object* thisObject, Object* start, bool caseSensitive)
        : Object(Kind::Super, start, caseSensitive), thisObject(thisObject) { }
    void markChildren(std::vector<Object*>& stack) override;
    Object* thisObject;
};

// A link of the scope chain: variables are looked up from the innermost link out.
struct Scope {
    Object* object;
    std::shared_ptr<Scope> parent;
};

} // namespace swf::avm1
