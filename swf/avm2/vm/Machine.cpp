#include "swf/avm2/vm/Machine.h"

#include "swf/avm2/builtins/XmlClasses.h"

#include <cmath>

namespace swf::avm2 {

namespace {


// An array index: digits only, no leading zero, below 2^32 - 1.
bool arrayIndex(const QString& name, std::uint32_t& index)
{
    if (name.isEmpty() || name.size() > 10 || (name.size() > 1 && name[0] == QLatin1Char('0')))
        return false;
    std::uint64_t v = 0;
    for (QChar c : name) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        v = v * 10 + std::uint64_t(c.unicode() - '0');
    }
    if (v >= 0xffffffffull)
        return false;
    index = std::uint32_t(v);
    return true;
}

// Elements past this index are kept as dynamic properties, so a stray
// a[4000000000] = x cannot size a vector.
constexpr std::uint32_t MaxDenseIndex = 1u << 24;

} // namespace

Machine::Machine()
{
    installObjectClasses(*this);
    installPrimitiveClasses(*this);
    installArrayClass(*this);
    installErrorClasses(*this);
    installGlobalFunctions(*this);
    installVectorClass(*this);
    installDictionaryClass(*this);
    installJson(*this);
    installRegExpClass(*this);
    installXmlClasses(*this);
    installXmlDocumentClasses(*this);
    installByteArrayClass(*this);
    installDateClass(*this);
    installProxyClass(*this);
    installAmf(*this);
    installEventClasses(*this);
    installSharedObjectClass(*this);
}

Machine::~Machine() = default;

Method* Machine::newMethod()
{
    m_methods.push_back(std::make_unique<Method>());
    return m_methods.back().get();
}

Object* Machine::newObject()
{
    return allocate<Object>(Object::Type::Plain, m_builtins.object, m_builtins.object->instancePrototype, nullptr);
}

Object* Machine::newArray(std::vector<Value> elements)
{
    chargeMemory(elements.size() * sizeof(Value));
    auto array = allocate<Object>(Object::Type::Array, m_builtins.array, m_builtins.array->instancePrototype,
        m_builtins.array->instanceTraits);
    array->elements = std::move(elements);
    return array;
}

Object* Machine::newFunction(Method* method, bool isBound, const Value& boundThis)
{
    auto fn = allocate<Object>(Object::Type::Function, m_builtins.function, m_builtins.function->instancePrototype,
        m_builtins.function->instanceTraits);
    fn->method = method;
    fn->isBound = isBound;
    fn->boundThis = boundThis;
    // A function made by a closure has a prototype object of its own for `new`.
    if (!isBound && !method->native) {
        Object* prototype = newObject();
        fn->dynamicSet(QStringLiteral("prototype"), Value::object(prototype));
        fn->dontEnum().insert(QStringLiteral("prototype"), true);
    }
    return fn;
}

Object* Machine::newNative(const QString& name, NativeFn fn, int length)
{
    Method* method = newMethod();
    method->native = std::move(fn);
    method->name = name;
    method->paramCount = length;
    // Not bound: a built-in method sees the receiver it is called on.
    return newFunction(method, false, Value::undefined());
}

Object* Machine::instantiate(ClassObject* cls)
{
    Object::Type type = Object::Type::Plain;
    switch (cls->instanceKind) {
    case InstanceKind::Array: type = Object::Type::Array; break;
    case InstanceKind::Error: type = Object::Type::Error; break;
    case InstanceKind::Display: type = Object::Type::Display; break;
    case InstanceKind::Function: type = Object::Type::Function; break;
    case InstanceKind::Vector: type = Object::Type::Vector; break;
    case InstanceKind::Dictionary: type = Object::Type::Dictionary; break;
    default: break;
    }
    auto object = allocate<Object>(type, cls, cls->instancePrototype, cls->instanceTraits);
    object->setDynamic(!cls->sealed);
    for (ClassObject* c = cls; c && !object->hooks; c = c->base)
        object->hooks = c->instanceHooks;
    return object;
}

ClassObject* Machine::defineClass(const QString& package, const QString& name, ClassObject* base, InstanceKind kind,
    NativeFn constructor)
{
    auto cls = allocate<ClassObject>(m_builtins.cls, m_builtins.cls ? m_builtins.cls->instancePrototype : nullptr,
        std::make_shared<Traits>());
    cls->name = name;
    cls->packageName = package;
    cls->base = base;
    cls->instanceKind = kind;
    cls->instanceTraits = base ? std::make_shared<Traits>(*base->instanceTraits) : std::make_shared<Traits>();
    cls->instancePrototype = allocate<Object>(Object::Type::Plain, m_builtins.object,
        base ? base->instancePrototype : nullptr, nullptr);
    cls->instancePrototype->dynamicSet(QStringLiteral("constructor"), Value::object(cls));
    cls->instancePrototype->dontEnum().insert(QStringLiteral("constructor"), true);
    cls->dynamicSet(QStringLiteral("prototype"), Value::object(cls->instancePrototype));
    cls->dontEnum().insert(QStringLiteral("prototype"), true);
    cls->setDynamic(false);
    if (constructor) {
        cls->constructor = newMethod();
        cls->constructor->native = std::move(constructor);
        cls->constructor->name = name;
        cls->constructor->owner = cls;
    }
    defineGlobal(package, name, Value::object(cls));
    return cls;
}

void Machine::defineGlobal(const QString& package, const QString& name, const Value& value)
{
    if (!m_builtinGlobal) {
        m_builtinGlobal = allocate<Object>(Object::Type::Scope, nullptr, nullptr, nullptr);
    }
    Namespace ns;
    ns.uri = package;
    auto traits = m_builtinGlobal->traitsPointer();
    int slot = traits->addSlot(ns, name, true, value, SlotType::Any, 0);
    m_builtinGlobal->slotValues().resize(traits->slotDefaults.size());
    m_builtinGlobal->slotValues()[std::size_t(slot)] = value;
}

void Machine::addMethod(ClassObject* cls, const QString& name, NativeFn fn, int length)
{
    Method* method = newMethod();
    method->native = std::move(fn);
    method->name = name;
    method->owner = cls;
    method->paramCount = length;
    Binding binding;
    binding.kind = Binding::Kind::Method;
    binding.local = name;
    binding.method = method;
    cls->instanceTraits->addBinding(std::move(binding));
}

void Machine::addStatic(ClassObject* cls, const QString& name, NativeFn fn, int length)
{
    Method* method = newMethod();
    method->native = std::move(fn);
    method->name = name;
    method->owner = cls;
    method->paramCount = length;
    Binding binding;
    binding.kind = Binding::Kind::Method;
    binding.local = name;
    binding.method = method;
    const_cast<Traits&>(cls->traits()).addBinding(std::move(binding));
}

void Machine::addGetter(ClassObject* cls, const QString& name, NativeFn getter, NativeFn setter)
{
    Binding binding;
    binding.kind = Binding::Kind::Accessor;
    binding.local = name;
    binding.getter = newMethod();
    binding.getter->native = std::move(getter);
    binding.getter->name = name;
    if (setter) {
        binding.setter = newMethod();
        binding.setter->native = std::move(setter);
        binding.setter->name = name;
    }
    cls->instanceTraits->addBinding(std::move(binding));
}

void Machine::addStaticConst(ClassObject* cls, const QString& name, const Value& value)
{
    auto& traits = const_cast<Traits&>(cls->traits());
    int slot = traits.addSlot(Namespace {}, name, true, value, SlotType::Any, 0);
    cls->slotValues().resize(traits.slotDefaults.size());
    cls->slotValues()[std::size_t(slot)] = value;
}

void Machine::addPrototypeMethod(ClassObject* cls, const QString& name, NativeFn fn, int length)
{
    cls->instancePrototype->dynamicSet(name, Value::object(newNative(name, std::move(fn), length)));
    cls->instancePrototype->dontEnum().insert(name, true);
}

ClassObject* Machine::classOf(const Value& v)
{
    switch (v.kind) {
    case Value::Kind::Boolean: return m_builtins.boolean;
    case Value::Kind::Number:
        if (isInteger(v.d) && !(v.d == 0 && std::signbit(v.d)))
            return m_builtins.intClass;
        return m_builtins.number;
    case Value::Kind::String: return m_builtins.string;
    case Value::Kind::Object: return v.o->classObject();
    default: return nullptr;
    }
}

QString Machine::typeName(const Value& v)
{
    if (v.isObject() && v.o->type() == Object::Type::Class) {
        auto cls = static_cast<ClassObject*>(v.o);
        return cls->packageName.isEmpty() ? cls->name + QStringLiteral("$") : cls->packageName + QLatin1Char('.') + cls->name + QStringLiteral("$");
    }
    if (v.isNumber())
        return QStringLiteral("Number");
    ClassObject* cls = classOf(v);
    if (!cls)
        return QStringLiteral("Object");
    return cls->packageName.isEmpty() ? cls->name : cls->packageName + QLatin1Char('.') + cls->name;
}

Value Machine::makeError(ErrorClass kind, int id, const QString& message)
{
    ClassObject* cls = m_builtins.error[int(kind)];
    Value text = Value::string(QStringLiteral("Error #%1: %2").arg(id).arg(message));
    Value args[] = { text, Value::number(id) };
    return constructClass(cls, args);
}

void Machine::throwError(ErrorClass kind, int id, const QString& message)
{
    throw Thrown { makeError(kind, id, message) };
}

void Machine::throwErrorThrough(const QString& frame, ErrorClass kind, int id, const QString& message)
{
    Method named;
    named.traceName = frame;
    m_running.push_back(&named);
    Value error = makeError(kind, id, message);
    m_running.pop_back();
    throw Thrown { error };
}

Value Machine::getProperty(const Value& object, const Name& name)
{
    if (object.isNullish()) {
        if (object.isNull())
            throwError(ErrorClass::TypeError, 1009, QStringLiteral("Cannot access a property or method of a null object reference."));
        throwError(ErrorClass::TypeError, 1010, QStringLiteral("A term is undefined and has no properties."));
    }
    Object* o = object.object();
    ClassObject* cls = o ? nullptr : classOf(object);
    const Traits& traits = o ? o->traits() : *cls->instanceTraits;
    if (const Binding* binding = findTrait(traits, o ? o->classObject() : cls, name)) {
        switch (binding->kind) {
        case Binding::Kind::Slot:
        case Binding::Kind::Const:
            return o ? o->slotValues()[std::size_t(binding->slot)] : Value::undefined();
        case Binding::Kind::Method:
            return Value::object(newFunction(binding->method, true, object));
        case Binding::Kind::Accessor:
            if (!binding->getter)
                throwError(ErrorClass::ReferenceError, 1077,
                    QStringLiteral("Illegal read of write-only property %1 on %2.").arg(name.local, typeName(object)));
            return callMethod(binding->getter, object, {});
        }
    }
    if (o && o->hooks) {
        Value out;
        if (o->hooks->get(*this, o, name, out))
            return out;
    }
    // Object keys live in the public namespace only, like every dynamic property.
    if (o && o->type() == Object::Type::Dictionary && name.keyObject && name.includesPublic())
        return dictionaryGet(o, name.keyObject);
    if (name.includesPublic()) {
        std::uint32_t index = 0;
        if (o && o->type() == Object::Type::Vector) {
            Value element;
            if (vectorGet(o, name.local, element))
                return element;
        }
        if (o && o->type() == Object::Type::Array && arrayIndex(name.local, index)) {
            if (index < o->elements.size() && !o->elements[index].isHole())
                return o->elements[index];
        }
        if (o) {
            if (const Value* v = o->dynamicGet(name.local))
                return *v;
        }
        for (Object* p = o ? o->prototype() : cls->instancePrototype; p; p = p->prototype()) {
            if (const Value* v = p->dynamicGet(name.local))
                return *v;
        }
    }
    if (!o || !o->isDynamic())
        throwError(ErrorClass::ReferenceError, 1069,
            QStringLiteral("Property %1 not found on %2 and there is no default value.").arg(name.local, typeName(object)));
    return Value::undefined();
}

void Machine::setProperty(const Value& object, const Name& name, const Value& value, bool init)
{
    if (object.isNullish()) {
        if (object.isNull())
            throwError(ErrorClass::TypeError, 1009, QStringLiteral("Cannot access a property or method of a null object reference."));
        throwError(ErrorClass::TypeError, 1010, QStringLiteral("A term is undefined and has no properties."));
    }
    Object* o = object.object();
    ClassObject* cls = o ? o->classObject() : classOf(object);
    const Traits& traits = o ? o->traits() : *cls->instanceTraits;
    if (const Binding* binding = findTrait(traits, cls, name)) {
        switch (binding->kind) {
        case Binding::Kind::Const:
            if (!init)
                throwError(ErrorClass::ReferenceError, 1074,
                    QStringLiteral("Illegal write to read-only property %1 on %2.").arg(name.local, typeName(object)));
            [[fallthrough]];
        case Binding::Kind::Slot:
            if (o) {
                const std::size_t slot = std::size_t(binding->slot);
                o->slotValues()[slot] = coerceSlot(value, traits.slotTypes[slot], traits.slotClasses[slot]);
            }
            return;
        case Binding::Kind::Method:
            throwError(ErrorClass::ReferenceError, 1037,
                QStringLiteral("Cannot assign to a method %1 on %2.").arg(name.local, typeName(object)));
        case Binding::Kind::Accessor:
            if (!binding->setter)
                throwError(ErrorClass::ReferenceError, 1074,
                    QStringLiteral("Illegal write to read-only property %1 on %2.").arg(name.local, typeName(object)));
            {
                Value args[] = { value };
                callMethod(binding->setter, object, args);
            }
            return;
        }
    }
    if (o && o->hooks && o->hooks->set(*this, o, name, value))
        return;
    if (o && o->type() == Object::Type::Vector && name.includesPublic() && vectorSet(o, name.local, value))
        return;
    if (o && o->type() == Object::Type::Dictionary && name.keyObject && name.includesPublic()) {
        dictionarySet(o, name.keyObject, value);
        return;
    }
    if (o && o->isDynamic() && name.includesPublic()) {
        std::uint32_t index = 0;
        if (o->type() == Object::Type::Array && arrayIndex(name.local, index) && index < MaxDenseIndex) {
            if (index >= o->elements.size()) {
                chargeMemory((std::size_t(index) + 1 - o->elements.size()) * sizeof(Value));
                o->elements.resize(std::size_t(index) + 1, Value::hole());
            }
            o->elements[index] = value;
            return;
        }
        if (!o->dynamicHas(name.local))
            chargeMemory(64 + std::size_t(name.local.size()) * sizeof(QChar));
        o->dynamicSet(name.local, value);
        return;
    }
    throwError(ErrorClass::ReferenceError, 1056, QStringLiteral("Cannot create property %1 on %2.").arg(name.local, typeName(object)));
}

bool Machine::hasProperty(const Value& object, const Name& name)
{
    if (object.isNullish())
        return false;
    Object* o = object.object();
    ClassObject* cls = o ? nullptr : classOf(object);
    const Traits& traits = o ? o->traits() : *cls->instanceTraits;
    if (findTrait(traits, o ? o->classObject() : cls, name))
        return true;
    if (o && o->hooks) {
        if (auto has = o->hooks->has(*this, o, name))
            return *has;
    }
    if (!name.includesPublic())
        return false;
    std::uint32_t index = 0;
    if (o && o->type() == Object::Type::Array && arrayIndex(name.local, index) && index < o->elements.size() && !o->elements[index].isHole())
        return true;
    if (o && o->type() == Object::Type::Vector && arrayIndex(name.local, index))
        return index < o->elements.size();
    if (o && o->type() == Object::Type::Dictionary && name.keyObject)
        return o->keyed.contains(name.keyObject);
    if (o && o->dynamicHas(name.local))
        return true;
    for (Object* p = o ? o->prototype() : cls->instancePrototype; p; p = p->prototype()) {
        if (p->dynamicHas(name.local))
            return true;
    }
    return false;
}

bool Machine::deleteProperty(const Value& object, const Name& name)
{
    if (object.isNullish()) {
        if (object.isNull())
            throwError(ErrorClass::TypeError, 1009, QStringLiteral("Cannot access a property or method of a null object reference."));
        throwError(ErrorClass::TypeError, 1010, QStringLiteral("A term is undefined and has no properties."));
    }
    Object* o = object.object();
    if (!o || o->traits().find(name))
        return false;
    if (o->hooks) {
        if (auto removed = o->hooks->remove(*this, o, name))
            return *removed;
    }
    std::uint32_t index = 0;
    if (o->type() == Object::Type::Dictionary && name.keyObject)
        return dictionaryDelete(o, name.keyObject);
    if (o->type() == Object::Type::Array && arrayIndex(name.local, index)) {
        if (index < o->elements.size())
            o->elements[index] = Value::hole();
        return true;
    }
    o->dynamicDelete(name.local);
    return true;
}

Value Machine::callProperty(const Value& object, const Name& name, Args args)
{
    if (object.isNullish())
        getProperty(object, name); // throws the null or undefined error
    Object* o = object.object();
    ClassObject* cls = o ? o->classObject() : classOf(object);
    const Traits& traits = o ? o->traits() : *cls->instanceTraits;
    // A method is called on its receiver without making a closure first.
    if (const Binding* binding = findTrait(traits, cls, name); binding && binding->kind == Binding::Kind::Method)
        return callMethod(binding->method, object, args);
    if (o && o->hooks) {
        Value out;
        if (o->hooks->call(*this, o, name, args, out))
            return out;
    }
    Value fn = getProperty(object, name);
    if (!fn.isObject() || (fn.o->type() != Object::Type::Function && fn.o->type() != Object::Type::Class))
        throwError(ErrorClass::TypeError, 1006, QStringLiteral("%1 is not a function.").arg(name.local));
    return call(fn, object, args);
}

Value Machine::call(const Value& function, const Value& thisValue, Args args)
{
    Object* fn = function.object();
    if (fn && fn->type() == Object::Type::Class) {
        auto cls = static_cast<ClassObject*>(fn);
        if (cls->callAsFunction)
            return cls->callAsFunction(*this, thisValue, args);
        // Calling a class converts its one argument to the class's type.
        if (args.size() != 1)
            throwError(ErrorClass::ArgumentError, 1112,
                QStringLiteral("Argument count mismatch on class coercion.  Expected 1, got %1.").arg(args.size()));
        return coerce(args[0], cls);
    }
    // Function.prototype is itself a function that does nothing.
    if (fn && fn == m_builtins.function->instancePrototype)
        return Value::undefined();
    if (!fn || fn->type() != Object::Type::Function)
        throwError(ErrorClass::TypeError, 1006, QStringLiteral("value is not a function."));
    // A function with no code (new Function(), Function.prototype) does nothing.
    if (!fn->method)
        return Value::undefined();
    m_callee = fn;
    return callMethod(fn->method, fn->isBound ? fn->boundThis : thisValue, args);
}

Value Machine::callMethod(Method* method, const Value& thisValue, Args args)
{
    // Only bytecode counts: the error made here runs a native constructor itself.
    if (!method->native && m_callDepth >= m_limits.maxCallDepth)
        throwError(ErrorClass::Error, 1023, QStringLiteral("Stack overflow occurred."));
    struct Depth {
        int& depth;
        explicit Depth(int& d) : depth(d) { ++depth; }
        ~Depth() { --depth; }
    } depth(m_callDepth);
    struct Running {
        std::vector<const Method*>* stack;
        Running(std::vector<const Method*>* s, const Method* m) : stack(s) { if (stack) stack->push_back(m); }
        ~Running() { if (stack) stack->pop_back(); }
    };
    // Built-in methods show in stack traces only where they have a name to show.
    if (method->native) {
        Running running(method->traceName.isEmpty() ? nullptr : &m_running, method);
        return method->native(*this, thisValue, args);
    }
    Running running(&m_running, method);
    return runBytecode(method, thisValue, args);
}

Value Machine::construct(const Value& constructor, Args args)
{
    Object* c = constructor.object();
    if (c && c->type() == Object::Type::Class)
        return constructClass(static_cast<ClassObject*>(c), args);
    if (c && c->type() == Object::Type::Function && c->method && !c->isBound) {
        // A plain function as a constructor: a new object on its prototype.
        Object* object = newObject();
        Value prototype = getProperty(constructor, Name::publicName(QStringLiteral("prototype")));
        if (prototype.isObject())
            object->setPrototype(prototype.o);
        Value result = callMethod(c->method, Value::object(object), args);
        return result.isObject() ? result : Value::object(object);
    }
    throwError(ErrorClass::TypeError, 1007, QStringLiteral("Instantiation attempted on a non-constructor."));
}

Value Machine::constructClass(ClassObject* cls, Args args)
{
    if (cls->isInterface)
        throwError(ErrorClass::TypeError, 1007, QStringLiteral("Instantiation attempted on a non-constructor."));
    // Built-in value classes construct primitives: new String("a") is "a".
    if (cls->instanceKind == InstanceKind::Boxed && cls->callAsFunction)
        return cls->callAsFunction(*this, Value::undefined(), args);
    if (cls == m_builtins.xml || cls == m_builtins.xmlList)
        return constructXmlValue(*this, cls, args);
    // QName and Namespace objects are made whole by their conversion.
    if ((cls == m_builtins.qname || cls == m_builtins.namespaceClass) && cls->callAsFunction)
        return cls->callAsFunction(*this, Value::undefined(), args);
    Object* object = instantiate(cls);
    Value self = Value::object(object);
    if (cls->constructor)
        callMethod(cls->constructor, self, args);
    return self;
}

Value Machine::globalLookup(const Name& name, bool& found)
{
    found = false;
    if (m_builtinGlobal->traits().find(name)) {
        found = true;
        return Value::object(m_builtinGlobal);
    }
    auto it = m_globals.constFind(name.local);
    if (it == m_globals.constEnd())
        return Value::undefined();
    for (const GlobalName& global : *it) {
        if (!name.matches(global.ns))
            continue;
        ScriptState& state = global.unit->scripts[global.script];
        if (!state.started)
            runScript(*global.unit, global.script);
        found = true;
        return Value::object(state.global);
    }
    return Value::undefined();
}

Value Machine::findProperty(const std::vector<ScopeEntry>& outer, const std::vector<ScopeEntry>& inner, const Name& name,
    bool strict)
{
    auto search = [&](const std::vector<ScopeEntry>& scopes, Value& out) {
        for (auto it = scopes.rbegin(); it != scopes.rend(); ++it) {
            const Value& v = it->object;
            // Scopes pushed by `with` answer for dynamic properties too; the
            // others for their fixed properties and what their prototypes hold.
            if (it->with ? hasProperty(v, name) : (v.isObject() && (v.o->traits().find(name) || (v.o->type() == Object::Type::Scope && name.includesPublic() && v.o->dynamicHas(name.local))))) {
                out = v;
                return true;
            }
        }
        return false;
    };
    Value out;
    if (search(inner, out) || search(outer, out))
        return out;
    bool found = false;
    Value global = globalLookup(name, found);
    if (found)
        return global;
    if (strict)
        throwError(ErrorClass::ReferenceError, 1065, QStringLiteral("Variable %1 is not defined.").arg(name.local));
    if (!outer.empty())
        return outer.front().object;
    if (!inner.empty())
        return inner.front().object;
    return Value::object(m_builtinGlobal);
}

ClassObject* Machine::findClass(const QString& qualifiedName)
{
    int dot = qualifiedName.lastIndexOf(QLatin1Char('.'));
    Name name;
    name.local = dot < 0 ? qualifiedName : qualifiedName.mid(dot + 1);
    Namespace ns;
    ns.uri = dot < 0 ? QString() : qualifiedName.left(dot);
    name.namespaces.push_back(ns);
    ClassObject* result = nullptr;
    guard([&] {
        bool found = false;
        Value holder = globalLookup(name, found);
        if (!found)
            return;
        Value v = getProperty(holder, name);
        if (v.isObject() && v.o->type() == Object::Type::Class)
            result = static_cast<ClassObject*>(v.o);
    });
    return result;
}

bool Machine::guard(const std::function<void()>& work)
{
    if (m_guardDepth == 0)
        m_runInstructions = 0;
    ++m_guardDepth;
    bool ok = true;
    try {
        work();
    } catch (const Thrown& thrown) {
        report(thrown.value);
        ok = false;
    } catch (const BudgetSpent&) {
        QString what = QStringLiteral("Error: Error #1502: A script has executed for longer than the default timeout period of 15 seconds.");
        trace(what);
        if (m_fault)
            m_fault(what);
        ok = false;
    } catch (const MemorySpent& spent) {
        // Only the outermost entry notes it: the stop unwinds every method at once.
        if (m_guardDepth == 1) {
            const QString what = QStringLiteral("Error: Error #1000: The system is out of memory. (memory budget spent: %1 MB held or asked for, %2 MB allowed)")
                                     .arg(spent.asked >> 20)
                                     .arg(m_memory.limit() >> 20);
            trace(what);
            if (m_fault)
                m_fault(what);
        } else {
            --m_guardDepth;
            throw;
        }
        ok = false;
    }
    --m_guardDepth;
    return ok;
}

QString Machine::stackTrace() const
{
    QString s;
    for (auto it = m_running.rbegin(); it != m_running.rend(); ++it) {
        const Method* m = *it;
        const QString name = !m->traceName.isEmpty() ? m->traceName : QStringLiteral("MethodInfo-%1").arg(m->index);
        s += QStringLiteral("\n\tat ") + name + QStringLiteral("()");
    }
    return s;
}

void Machine::report(const Value& error)
{
    QString text;
    try {
        text = toString(error);
        // An error object shows where it was made, as the player's own report does.
        if (error.isObject() && error.o->type() == Object::Type::Error && error.o->host)
            text += *static_cast<const QString*>(error.o->host.get());
    } catch (...) {
        text = QStringLiteral("Error");
    }
    // An error no script caught shows as the player shows it, and the movie goes on.
    trace(text);
    if (m_fault)
        m_fault(text);
}

} // namespace swf::avm2
