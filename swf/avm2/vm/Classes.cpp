// Loading bytecode files: their names and namespaces, the traits of scripts,
// classes and activations, the classes newclass makes, and the scripts that
// run the first time one of their names is looked up.

#include "swf/avm2/vm/Machine.h"

#include <cmath>

namespace swf::avm2 {

namespace {

Namespace::Family familyOf(NamespaceKind kind)
{
    switch (kind) {
    case NamespaceKind::PackageInternal: return Namespace::Family::Internal;
    case NamespaceKind::Protected: return Namespace::Family::Protected;
    case NamespaceKind::StaticProtected: return Namespace::Family::StaticProtected;
    case NamespaceKind::Private: return Namespace::Family::Private;
    default: return Namespace::Family::Public;
    }
}

} // namespace

Result<void> Machine::loadAbc(const QByteArray& bytes, bool lazy)
{
    auto parsed = AbcFile::parse(bytes);
    if (!parsed.ok())
        return parsed.error();
    auto unit = std::make_unique<Unit>();
    unit->file = parsed.release();
    const AbcFile& file = unit->file;
    unit->decoded.resize(file.bodies.size());
    unit->namespaces.resize(file.namespaces.size());
    for (std::size_t i = 1; i < file.namespaces.size(); ++i) {
        Namespace& ns = unit->namespaces[i];
        ns.family = familyOf(file.namespaces[i].kind);
        ns.uri = file.string(file.namespaces[i].name);
        ns.unique = &file.namespaces[i];
    }
    unit->names.resize(file.multinames.size());
    for (std::size_t i = 1; i < file.multinames.size(); ++i) {
        const AbcMultiname* m = &file.multinames[i];
        Name& name = unit->names[i];
        // A parameterised type is looked up by its generic's name.
        if (m->kind == MultinameKind::TypeName) {
            name.typeParams = m->params;
            m = &file.multinames[m->base];
        }
        name.attribute = m->attribute();
        if (!m->runtimeName()) {
            name.local = file.string(m->name);
            name.anyName = m->name == 0 && m->kind != MultinameKind::TypeName;
        }
        switch (m->kind) {
        case MultinameKind::QName:
        case MultinameKind::QNameA:
            if (m->ns == 0)
                name.anyNamespace = true;
            else
                name.namespaces.push_back(unit->namespaces[m->ns]);
            break;
        case MultinameKind::Multiname:
        case MultinameKind::MultinameA:
        case MultinameKind::MultinameL:
        case MultinameKind::MultinameLA:
            for (std::uint32_t ns : file.nsSets[m->nsSet])
                name.namespaces.push_back(unit->namespaces[ns]);
            break;
        default:
            break; // the namespace comes at run time
        }
    }
    unit->classes.assign(file.classes.size(), nullptr);
    unit->scripts.resize(file.scripts.size());
    Unit& u = *unit;
    m_units.push_back(std::move(unit));
    for (std::size_t i = 0; i < file.scripts.size(); ++i) {
        if (!m_globalClass) {
            // Script globals print as [object global]; the class has no name a script can reach.
            m_globalClass = allocate<ClassObject>(m_builtins.cls, m_builtins.cls->instancePrototype, std::make_shared<Traits>());
            m_globalClass->name = QStringLiteral("global");
            m_globalClass->base = m_builtins.object;
            m_globalClass->instanceTraits = std::make_shared<Traits>();
            m_globalClass->instancePrototype = m_builtins.object->instancePrototype;
        }
        Object* global = allocate<Object>(Object::Type::Scope, m_globalClass, m_builtins.object->instancePrototype, nullptr);
        u.scripts[i].global = global;
        auto scope = std::make_shared<std::vector<ScopeEntry>>(1, ScopeEntry { Value::object(global), false });
        buildTraits(u, const_cast<Traits&>(global->traits()), file.scripts[i].traits, scope, nullptr, global);
        global->slotValues() = global->traits().slotDefaults;
        for (const AbcTrait& trait : file.scripts[i].traits) {
            const Name& name = u.names[trait.name];
            m_globals[name.local].push_back(GlobalName { name.namespaces.empty() ? Namespace {} : name.namespaces[0], &u, i });
        }
    }
    if (!lazy && !u.scripts.empty()) {
        std::size_t entry = u.scripts.size() - 1;
        guard([&] { runScript(u, entry); });
    }
    return {};
}

void Machine::runScript(Unit& unit, std::size_t index)
{
    ScriptState& state = unit.scripts[index];
    if (state.started)
        return;
    state.started = true;
    Method* init = newMethod();
    init->unit = &unit;
    init->index = unit.file.scripts[index].init;
    init->traceName = QStringLiteral("global$init");
    init->scope = std::make_shared<std::vector<ScopeEntry>>();
    callMethod(init, Value::object(state.global), {});
}

Value Machine::constantValue(Unit& unit, const AbcConstant& constant)
{
    const AbcFile& file = unit.file;
    switch (constant.kind) {
    case ConstantKind::Undefined: return Value::undefined();
    case ConstantKind::Utf8: return Value::string(file.string(constant.index));
    case ConstantKind::Int: return Value::number(file.ints[constant.index]);
    case ConstantKind::Uint: return Value::number(file.uints[constant.index]);
    case ConstantKind::Double: return Value::number(file.doubles[constant.index]);
    case ConstantKind::False: return Value::boolean(false);
    case ConstantKind::True: return Value::boolean(true);
    case ConstantKind::Null: return Value::null();
    default: {
        Object* ns = allocate<Object>(Object::Type::Namespace, m_builtins.namespaceClass,
            m_builtins.namespaceClass ? m_builtins.namespaceClass->instancePrototype : nullptr, nullptr);
        ns->primitive = Value::string(unit.namespaces[constant.index].uri);
        return Value::object(ns);
    }
    }
}

ClassObject* Machine::classByName(Unit& unit, std::uint32_t multiname)
{
    if (multiname == 0)
        return nullptr;
    const Name& name = unit.names[multiname];
    if (name.anyName)
        return nullptr;
    bool found = false;
    Value holder = globalLookup(name, found);
    if (!found)
        return nullptr;
    Value v = getProperty(holder, name);
    auto* cls = v.isObject() && v.o->type() == Object::Type::Class ? static_cast<ClassObject*>(v.o) : nullptr;
    if (cls && cls->isVectorGeneric && name.typeParams.size() == 1)
        return applyVectorType(cls, name.typeParams[0] ? classByName(unit, name.typeParams[0]) : nullptr);
    return cls;
}

void Machine::buildTraits(Unit& unit, Traits& traits, const std::vector<AbcTrait>& list, const ScopeChain& scope,
    ClassObject* owner, Object* holder)
{
    const AbcFile& file = unit.file;
    auto makeMethod = [&](std::uint32_t index, const QString& name, const QString& prefix = QString()) {
        Method* method = newMethod();
        if (owner) {
            const QString cls = owner->packageName.isEmpty() ? owner->name : owner->packageName + QStringLiteral("::") + owner->name;
            method->traceName = cls + (holder == owner ? QStringLiteral("$/") : QStringLiteral("/")) + prefix + name;
        } else {
            method->traceName = QStringLiteral("global/") + prefix + name;
        }
        method->unit = &unit;
        method->index = index;
        method->scope = scope;
        method->owner = owner;
        method->name = name;
        method->paramCount = int(file.methods[index].paramTypes.size());
        return method;
    };
    for (const AbcTrait& trait : list) {
        const Name& name = unit.names[trait.name];
        Namespace ns = name.namespaces.empty() ? Namespace {} : name.namespaces[0];
        switch (trait.kind) {
        case TraitKind::Slot:
        case TraitKind::Const: {
            SlotType type = SlotType::Any;
            Value initial;
            const QString typeName = trait.typeName ? unit.names[trait.typeName].local : QString();
            bool builtinType = trait.typeName && !unit.names[trait.typeName].namespaces.empty()
                && unit.names[trait.typeName].namespaces[0].isPublic();
            if (builtinType && typeName == QLatin1String("int")) {
                type = SlotType::Int;
                initial = Value::number(0);
            } else if (builtinType && typeName == QLatin1String("uint")) {
                type = SlotType::Uint;
                initial = Value::number(0);
            } else if (builtinType && typeName == QLatin1String("Number")) {
                type = SlotType::Number;
                initial = Value::number(std::numeric_limits<double>::quiet_NaN());
            } else if (builtinType && typeName == QLatin1String("Boolean")) {
                type = SlotType::Boolean;
                initial = Value::boolean(false);
            } else if (builtinType && typeName == QLatin1String("String")) {
                type = SlotType::String;
                initial = Value::null();
            } else if (trait.typeName && !unit.names[trait.typeName].anyName) {
                type = SlotType::Object;
                initial = Value::null();
            }
            if (trait.value.kind != ConstantKind::Undefined || trait.value.index != 0)
                initial = coerceSlot(constantValue(unit, trait.value), type, nullptr);
            traits.addSlot(ns, name.local, trait.kind == TraitKind::Const, initial, type, trait.slotId);
            break;
        }
        case TraitKind::Class:
            traits.addSlot(ns, name.local, true, Value::null(), SlotType::Any, trait.slotId);
            break;
        case TraitKind::Function: {
            int slot = traits.addSlot(ns, name.local, false, Value::undefined(), SlotType::Any, trait.slotId);
            traits.slotDefaults[std::size_t(slot)] = Value::object(newFunction(makeMethod(trait.index, name.local)));
            break;
        }
        case TraitKind::Method:
        case TraitKind::Getter:
        case TraitKind::Setter: {
            Binding binding;
            binding.ns = ns;
            binding.local = name.local;
            // A method in a namespace of the script's own shows with its URI: "Test/uri::f".
            const QString qualifier = ns.family == Namespace::Family::Public && !ns.uri.isEmpty() ? ns.uri + QStringLiteral("::") : QString();
            Method* method = makeMethod(trait.index, name.local,
                (trait.kind == TraitKind::Getter ? QStringLiteral("get ") : trait.kind == TraitKind::Setter ? QStringLiteral("set ") : QString()) + qualifier);
            if (trait.kind == TraitKind::Method) {
                binding.kind = Binding::Kind::Method;
                binding.method = method;
                if (trait.slotId > 0 && trait.slotId < 65536) {
                    if (traits.dispatch.size() <= trait.slotId)
                        traits.dispatch.resize(trait.slotId + 1, nullptr);
                    traits.dispatch[trait.slotId] = method;
                }
            } else {
                binding.kind = Binding::Kind::Accessor;
                (trait.kind == TraitKind::Getter ? binding.getter : binding.setter) = method;
                // An override of one half keeps the inherited other half.
            }
            traits.addBinding(std::move(binding));
            break;
        }
        }
    }
    Q_UNUSED(holder);
}

ClassObject* Machine::newClass(Unit& unit, std::uint32_t index, ClassObject* base, const ScopeChain& scope)
{
    const AbcFile& file = unit.file;
    const AbcInstance& instance = file.instances[index];
    const AbcClass& classInfo = file.classes[index];
    const Name& name = unit.names[instance.name];
    auto cls = allocate<ClassObject>(m_builtins.cls, m_builtins.cls->instancePrototype, std::make_shared<Traits>());
    cls->name = name.local;
    cls->packageName = name.namespaces.empty() ? QString() : name.namespaces[0].uri;
    cls->base = base;
    cls->unit = &unit;
    cls->classIndex = index;
    cls->instanceKind = base ? base->instanceKind : InstanceKind::Plain;
    cls->sealed = (instance.flags & AbcInstance::Sealed) != 0;
    cls->isInterface = (instance.flags & AbcInstance::Interface) != 0;
    // An interface defined later in the file is looked up when a type test needs it.
    for (std::uint32_t i : instance.interfaces) {
        if (ClassObject* iface = classByName(unit, i))
            cls->interfaces.push_back(iface);
        else
            cls->pendingInterfaces.push_back(i);
    }
    cls->instanceTraits = base ? std::make_shared<Traits>(*base->instanceTraits) : std::make_shared<Traits>();
    cls->instancePrototype = allocate<Object>(Object::Type::Plain, m_builtins.object,
        base ? base->instancePrototype : m_builtins.object->instancePrototype, nullptr);
    cls->instancePrototype->dynamicSet(QStringLiteral("constructor"), Value::object(cls));
    cls->instancePrototype->dontEnum().insert(QStringLiteral("constructor"), true);
    cls->dynamicSet(QStringLiteral("prototype"), Value::object(cls->instancePrototype));
    cls->dontEnum().insert(QStringLiteral("prototype"), true);
    cls->setDynamic(false);
    auto classScope = std::make_shared<std::vector<ScopeEntry>>(*scope);
    classScope->push_back(ScopeEntry { Value::object(cls), false });
    buildTraits(unit, *cls->instanceTraits, instance.traits, classScope, cls, nullptr);
    buildTraits(unit, const_cast<Traits&>(cls->traits()), classInfo.traits, classScope, cls, cls);
    cls->slotValues() = cls->traits().slotDefaults;
    cls->constructor = newMethod();
    cls->constructor->unit = &unit;
    cls->constructor->index = instance.init;
    cls->constructor->scope = classScope;
    cls->constructor->owner = cls;
    cls->constructor->name = name.local;
    cls->constructor->traceName = cls->qualifiedName();
    unit.classes[index] = cls;
    Method* init = newMethod();
    init->traceName = cls->qualifiedName() + QStringLiteral("$cinit");
    init->unit = &unit;
    init->index = classInfo.init;
    init->scope = classScope;
    init->owner = cls;
    callMethod(init, Value::object(cls), {});
    return cls;
}

ClassObject* Machine::defineInterface(const QString& package, const QString& name,
    std::initializer_list<ClassObject*> implementors)
{
    ClassObject* iface = defineClass(package, name, nullptr, InstanceKind::Plain, {});
    iface->isInterface = true;
    for (ClassObject* cls : implementors) {
        if (cls)
            cls->interfaces.push_back(iface);
    }
    return iface;
}

namespace {

// The namespace an interface's members are declared in: "pkg:IName", or "IName" at top level.
QString interfaceNamespace(const ClassObject* iface)
{
    return iface->packageName.isEmpty() ? iface->name : iface->packageName + QLatin1Char(':') + iface->name;
}

bool implementsNamespace(const ClassObject* cls, const QString& uri, int depth)
{
    if (depth > 64)
        return false;
    for (const ClassObject* c = cls; c; c = c->base) {
        for (const ClassObject* iface : c->interfaces) {
            if (interfaceNamespace(iface) == uri || implementsNamespace(iface, uri, depth + 1))
                return true;
        }
    }
    return false;
}

} // namespace

const Binding* Machine::findTrait(const Traits& traits, ClassObject* cls, const Name& name)
{
    if (const Binding* binding = traits.find(name))
        return binding;
    if (!cls || name.anyNamespace)
        return nullptr;
    for (const Namespace& ns : name.namespaces) {
        if (ns.family != Namespace::Family::Public || ns.uri.isEmpty())
            continue;
        resolveInterfaces(cls);
        if (implementsNamespace(cls, ns.uri, 0))
            return traits.find(Name::publicName(name.local));
    }
    return nullptr;
}

const DecodedBody& Machine::bodyOf(Unit& unit, std::uint32_t methodIndex)
{
    const AbcMethod& method = unit.file.methods[methodIndex];
    if (method.body < 0)
        throwError(ErrorClass::VerifyError, 1079, QStringLiteral("Native methods are not allowed in loaded code."));
    auto& slot = unit.decoded[std::size_t(method.body)];
    if (!slot) {
        int errorId = 0;
        auto decoded = verifyBody(unit.file, unit.file.bodies[std::size_t(method.body)], &errorId);
        if (!decoded.ok())
            throwError(ErrorClass::VerifyError, errorId, decoded.error().detail);
        slot = decoded.release();
    }
    return *slot;
}

} // namespace swf::avm2
