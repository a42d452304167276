#pragma once

// The script machine: runs decoded action blocks against the objects of a
// movie. Faults in a script (stack underflow, a bad constant index, a spent
// action budget, runaway recursion, an uncaught throw) abort the block being
// run and are reported through the host; the movie goes on.

#include "swf/avm1/vm/Action.h"
#include "swf/avm1/vm/ClipObject.h"
#include "swf/avm1/vm/Intervals.h"
#include "swf/avm1/vm/Object.h"
#include "swf/avm1/vm/Realm.h"
#include "swf/runtime/MemoryBudget.h"

#include <QString>

#include <functional>
#include <memory>
#include <random>
#include <span>
#include <vector>

namespace swf::avm1 {

// What the script machine needs from the player around it.
class ScriptHost {
public:
    virtual ~ScriptHost() = default;
    virtual void trace(const QString& line) = 0;
    // A block was aborted; `what` says why (for logs, not for the movie).
    virtual void scriptFault(const QString& what) { }
    // getURL / fscommand. Commands arrive without their "FSCommand:" prefix.
    virtual void fscommand(const QString& command, const QString& args) { }
    virtual void getURL(const QString& url, const QString& window, int method) { }
    // loadMovie into a clip (`target`) or, with a null target, into level
    // `level`; an empty address unloads. loadVariables the same way.
    virtual void loadMovie(Object* target, int level, const QString& url, int method) { }
    virtual void loadVariables(Object* target, int level, const QString& url, int method) { }
    // Milliseconds since the movie started (getTimer).
    virtual double timeMs() { return 0; }
    // _levelN, or nullptr.
    virtual ClipObject* level(int n) { return nullptr; }
    virtual void toggleQuality() { }
    virtual void stopSounds() { }
};

// Thrown inside the machine only; never leaves the Interpreter's public calls.
struct ScriptThrow {
    Value value;
};
struct ScriptTrap {
    QString message;
};

class Interpreter {
public:
    Interpreter(int version, ScriptHost* host);
    ~Interpreter();
    Interpreter(const Interpreter&) = delete;
    Interpreter& operator=(const Interpreter&) = delete;

    int version() const { return m_version; }
    bool caseSensitive() const { return m_version >= 7; }
    ScriptHost* host() const { return m_host; }

    // Limits. A run that spends its budget or nests deeper is aborted.
    void setActionBudget(uint64_t actions) { m_budget = actions; }
    // All runs of one frame together (frame actions, events, intervals) share a
    // larger budget, so many handlers that each stay under the run budget still
    // cannot hold a frame for long. The host starts each frame's count.
    void setFrameBudget(uint64_t actions) { m_frameBudget = actions; }
    void beginFrame() { m_frameStart = m_executed; }
    void setMaxCallDepth(int depth) { m_maxDepth = depth; }
    // What the scripts may hold (strings, objects, clips, pixels); a script
    // that asks for more is stopped like one that spends its action budget.
    // Counted in MemoryUse.cpp.
    void setMemoryLimit(uint64_t bytes) { m_memory.setLimit(bytes); }
    const MemoryBudget& memory() const { return m_memory; }
    // A script stopped at the memory budget stops the movie's scripts for
    // good, as a script stopped for running too long does in the reference
    // player: run again (a looping frame, an interval) it would only build
    // the same again, seconds each time. The timeline plays on; nothing
    // more of the scripts runs and no further note is made.
    bool scriptsHalted() const { return m_halted; }
    // `bytes` are about to be made for a script: traps when they do not fit.
    // Inside the machine only (ops and built-ins), like trap().
    void chargeMemory(size_t bytes);
    // What the memory count finds for an object whose record (its class's
    // size) is `record` bytes, with `properties` members, so that what is
    // charged when a thing is made matches what is counted for it later.
    static size_t objectRecordBytes(size_t record, size_t properties = 0);
    // Something was made outside a script's say (no trap here); the next
    // action of a script notices when the budget is spent.
    void noteMemory(size_t bytes) { m_memory.charge(bytes); }
    // Shorthands for the built-ins: `chars` characters of a new string,
    // `count` new array elements, about to be made.
    void chargeChars(qsizetype chars) { chargeMemory(size_t(chars > 0 ? chars : 0) * sizeof(QChar)); }
    void chargeValues(size_t count) { chargeMemory(count * sizeof(Value)); }
    // A string or list built piece by piece in the built-in's own hands, where
    // no count can see it: `more` bytes are about to join the `building`
    // bytes already made, and a count takes all of it as on the way.
    void chargeBuilding(size_t building, size_t more);
    // Like chargeMemory, but refuses instead of stopping the script: false
    // (with a note to the host) when `bytes` do not fit. For things a movie
    // is told it did not get, as a bitmap too big to make.
    bool tryChargeMemory(size_t bytes, const QString& what);
    // Bytes the scripts hold now, counted object by object.
    uint64_t memoryInUse() const;
    uint64_t actionsExecuted() const { return m_executed; }
    // Pops of an empty stack so far (each gave undefined).
    uint64_t stackUnderflows() const { return m_underflows; }

    // Runs a block on a timeline (`target`, may be null). Returns false when the
    // block was aborted; the reason went to the host and, if given, `fault`.
    bool run(const Block& block, Object* target, QString* fault = nullptr);
    // Calls a script value as a function from outside any block (clip events,
    // intervals, watchers set off by the stage). Faults are reported as for run().
    Value callSafely(const Value& function, const Value& thisValue, std::vector<Value> args, bool* ok = nullptr);
    Value callMethodSafely(Object* object, const QString& name, std::vector<Value> args, bool* ok = nullptr);
    // The same for a function called on no object at all (an interval's
    // function): inside it, `this` is undefined rather than the global object.
    Value callUnboundSafely(const Value& function, std::vector<Value> args);
    // The timeline the innermost running block or function acts on; null outside scripts.
    Object* currentTarget() const;

    // Objects.
    // The shared objects, read-only; see Realm.h.
    const Realm& realm() const { return m_realm; }
    Object* global() const { return m_realm.global; }
    Object* objectPrototype() const { return m_realm.objectPrototype; }
    Object* functionPrototype() const { return m_realm.functionPrototype; }
    Object* arrayPrototype() const { return m_realm.arrayPrototype; }
    Object* clipPrototype() const { return m_realm.clipPrototype; }
    Object* stringPrototype() const { return m_realm.stringPrototype; }
    Object* numberPrototype() const { return m_realm.numberPrototype; }
    Object* booleanPrototype() const { return m_realm.booleanPrototype; }
    // The one way to fill in the realm: each slot is set once, by the
    // installer of its class; a second setting of a slot is refused.
    bool setRealmSlot(Object* Realm::*slot, Object* object);
    // The constructor registered for a library symbol, or nullptr.
    Object* registeredClass(const QString& symbol);
    Object* newObject();
    Object* newObject(Object* proto);
    // An array with room for `members` members of its own (`length` is one).
    ArrayObject* newArray(size_t members = 1);
    // What an array made by a literal or by calling Array inherits from:
    // whatever _global.Array.prototype is now (null once that is gone).
    Object* currentArrayPrototype() const;
    FunctionObject* newNative(const QString& name, NativeFunction fn, Object* prototype = nullptr);
    // A constructor with its own prototype object (prototype.constructor set).
    FunctionObject* newConstructor(const QString& name, NativeFunction fn, Object* prototype);
    // Sets a new function's `constructor` member to the Function class.
    void giveConstructor(FunctionObject* f);
    // Marks an object made by `new` with the constructor that made it.
    void markConstructed(Object* obj, const Value& constructor);
    void defineMethod(Object* on, const QString& name, NativeFunction fn, uint8_t flags = DontEnum);
    // Defines every method of a table on `on`, in table order.
    void defineMethods(Object* on, std::span<const NativeMethod> methods);
    template<typename T, typename... A>
    T* make(A&&... args)
    {
        static_assert(sizeof(T) % 8 == 0 && sizeof(T) / 8 <= 255, "Object::recordBytes keeps the size in one byte of 8-byte units");
        T* o = new T(std::forward<A>(args)...);
        static_cast<Object*>(o)->m_recordWords = uint8_t(sizeof(T) / 8);
        adopt(o);
        return o;
    }

    // Conversions (may call valueOf/toString on objects).
    double toNumber(const Value& v);
    QString toString(const Value& v);
    bool toBoolean(const Value& v) const;
    // `unconverted`, when given, is set when both methods gave objects: the
    // type name returned then only counts where text is wanted.
    Value toPrimitive(const Value& v, bool preferString = false, bool* unconverted = nullptr);
    Object* toObject(const Value& v);
    QString typeOf(const Value& v) const;
    bool strictEquals(const Value& a, const Value& b) const;
    bool abstractEquals(const Value& a, const Value& b);
    // a < b: true, false, or undefined (NaN involved).
    Value abstractLess(const Value& a, const Value& b);

    // Member access, prototype chain, accessors and watchers included.
    Value getMember(const Value& object, const QString& name);
    void setMember(const Value& object, const QString& name, const Value& value);
    bool hasProperty(Object* o, const QString& name);
    bool deleteMember(Object* o, const QString& name);
    Property* findProperty(Object* o, const QString& name, Object** holder = nullptr);
    // Whether the nearest member `name` on o's prototypes is an accessor.
    bool inheritedAccessor(Object* o, const QString& name);
    // Property names as for..in sees them.
    QStringList enumerate(Object* o);
    bool isInstanceOf(Object* o, Object* constructor);

    // Calls; these may throw ScriptThrow/ScriptTrap and are for use inside the machine
    // (built-ins calling back into script).
    Value call(const Value& function, const Value& thisValue, std::vector<Value> args);
    Value construct(const Value& constructor, std::vector<Value> args);
    // Whether the innermost running script function was called by `new`.
    bool inConstructor() const;
    [[noreturn]] void trap(const QString& message);
    [[noreturn]] void throwValue(const Value& v) { throw ScriptThrow { v }; }

    // Reclaims objects not reachable from the globals, the stack, running
    // frames or `roots`. Call between frames.
    void collectGarbage(const std::vector<Object*>& roots = {});
    size_t heapSize() const { return m_heap.size(); }
    size_t allocationsSinceCollect() const { return m_allocsSinceGc; }

    // Resolves a target path ("/a/b", "_root.a", "..", "a") from a clip.
    Object* resolveTarget(Object* from, const QString& path);

    double random01();
    // setInterval bookkeeping; the stage calls tickIntervals with frame time.
    // addInterval gives 0 when IntervalTable::MaxLive are alive already.
    int addInterval(const Value& function, const Value& thisValue, const QString& method, double periodMs, std::vector<Value> args);
    void clearInterval(int id);
    void tickIntervals(double nowMs);

private:
    struct Frame;
    struct Exec;

    void adopt(Object* o);
    void installBuiltins();

    int execute(Frame& f, const Block& block, int from, int to);
    Value callScript(FunctionObject* fn, const Value& thisValue, std::vector<Value>& args, Object* callee, bool constructing);
    Value getVariable(Frame& f, const QString& name);
    // A name looked up as it is, never read as a path.
    Value getPlainVariable(Frame& f, const QString& name);
    // A variable name read as a path: a plain name, a target alone ("a/b"),
    // a member of a target ("a/b:c", "a.b"), or a target that is not there.
    struct VariablePath {
        enum Kind { Plain, Target, Member, Missing } kind = Plain;
        Object* object = nullptr;
        QString name;
    };
    VariablePath splitVariablePath(Frame& f, const QString& name);
    Object* lookupPath(Frame& f, const QString& path);
    Object* pathStep(Frame& f, Object* from, const QString& segment);
    void setVariable(Frame& f, const QString& name, const Value& value);
    // `holder`, when given, is set to the scope object the name was found on,
    // or to null when it was found on the timeline (the outermost link).
    bool lookupInScope(Frame& f, const QString& name, Value& out, Object** holder = nullptr);
    Object* timelineOf(Frame& f);
    Object* resolveTargetValue(Frame& f, const Value& v);
    void defineFunction(Frame& f, const Instruction& ins);
    void runTry(Frame& f, const Block& block, int index, int& pc);
    void setTarget(Frame& f, const Value& target);
    void enumerateOnto(Object* o);
    Value getClipProperty(Object* clip, int index);
    void setClipProperty(Object* clip, int index, const Value& v);
    void doGetURL(Frame& f, const QString& url, const QString& window, int method);
    void callWatcher(Object* o, const QString& name, Value& value, Property* existing);
    void reportFault(const QString& what, QString* out);
    void checkMemory(size_t pending);

    Value pop(Frame& f);
    Value& top(Frame& f);
    void push(Value v);
    void pushBool(bool b);
    size_t popCount(Frame& f);
    size_t stackDepth(Frame& f) const;
    void popArgs(Frame& f, std::vector<Value>& args);
    // The two operands of a binary action, converted in the order they are
    // popped (b, then a), returned as (a, b).
    std::pair<double, double> popNumbers(Frame& f);
    std::pair<bool, bool> popBooleans(Frame& f);
    std::pair<QString, QString> popStrings(Frame& f);
    // The operands of CallMethod and NewMethod: the method name (empty when
    // undefined: the object itself is called), the object and the arguments.
    struct MethodOperands {
        QString name;
        Value object;
        std::vector<Value> args;
    };
    MethodOperands popMethodOperands(Frame& f);
    // Runs a timeline command on the current target, if it is a clip.
    void onTargetClip(Frame& f, void (ClipObject::*command)());
    ClipObject* targetClip(Frame& f);

    // One handler per row of Opcodes.def, in the Execute*.cpp file of its family.
#define ACTION(code, name, pops, pushes, comment) void op##name(Exec& x, const Instruction& ins);
#include "swf/avm1/vm/Opcodes.def"

    int m_version;
    ScriptHost* m_host;
    std::vector<Object*> m_heap;
    size_t m_allocsSinceGc = 0;
    std::vector<Value> m_stack;
    std::vector<Frame*> m_frames;
    uint64_t m_budget = uint64_t(1) << 22;
    uint64_t m_executed = 0;
    uint64_t m_underflows = 0;
    uint64_t m_runStart = 0;
    uint64_t m_frameBudget = uint64_t(1) << 24;
    uint64_t m_frameStart = 0;
    int m_maxDepth = 256;
    MemoryBudget m_memory;
    bool m_halted = false;
    int m_depth = 0;
    // Set just before a script function is called on no object at all; the
    // call takes it.
    bool m_thisUnbound = false;
    int m_runNesting = 0;
    // Built-ins running, innermost last, each with the number of script
    // frames under way when it was called: a script function it calls sees
    // it as its caller.
    std::vector<std::pair<Object*, size_t>> m_nativeCalls;
    // Accessors running inside one another, per member (its holder and
    // case-folded name; the getter and setter of a member count together),
    // and watchers altogether.
    QHash<QPair<const Object*, QString>, int> m_accessorNesting;
    int m_watcherNesting = 0;
    friend class AccessorEntry;

    Realm m_realm;

    std::mt19937 m_random { 20061207u };

    IntervalTable m_intervals; // Intervals.cpp
};

} // namespace swf::avm1
