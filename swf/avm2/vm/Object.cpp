#include "swf/avm2/vm/Object.h"

namespace swf::avm2 {

const Binding* Traits::find(const Name& name) const
{
    auto it = byLocal.constFind(name.local);
    if (it == byLocal.constEnd())
        return nullptr;
    // The last binding made wins: an override replaces what it overrides.
    for (auto i = it->rbegin(); i != it->rend(); ++i) {
        const Binding& binding = bindings[std::size_t(*i)];
        if (name.matches(binding.ns))
            return &binding;
    }
    return nullptr;
}

Binding* Traits::findExact(const Namespace& ns, const QString& local)
{
    auto it = byLocal.find(local);
    if (it == byLocal.end())
        return nullptr;
    for (int i : *it) {
        if (bindings[std::size_t(i)].ns == ns)
            return &bindings[std::size_t(i)];
    }
    return nullptr;
}

void Traits::addBinding(Binding binding)
{
    if (Binding* existing = findExact(binding.ns, binding.local)) {
        // A getter and a setter of one name share a binding; an override replaces.
        if (binding.kind == Binding::Kind::Accessor && existing->kind == Binding::Kind::Accessor) {
            if (binding.getter)
                existing->getter = binding.getter;
            if (binding.setter)
                existing->setter = binding.setter;
            return;
        }
        *existing = std::move(binding);
        return;
    }
    byLocal[binding.local].push_back(int(bindings.size()));
    bindings.push_back(std::move(binding));
}

int Traits::addSlot(const Namespace& ns, const QString& local, bool isConst, Value initial, SlotType type, std::uint32_t slotId)
{
    int slot = int(slotDefaults.size());
    slotDefaults.push_back(std::move(initial));
    slotTypes.push_back(type);
    slotClasses.push_back(nullptr);
    if (slotId == 0) {
        // An automatic id follows the largest one given so far.
        std::uint32_t largest = 0;
        for (auto it = slotIds.constBegin(); it != slotIds.constEnd(); ++it)
            largest = std::max(largest, it.key());
        slotId = largest + 1;
    }
    slotIds[slotId] = slot;
    Binding binding;
    binding.kind = isConst ? Binding::Kind::Const : Binding::Kind::Slot;
    binding.ns = ns;
    binding.local = local;
    binding.slot = slot;
    addBinding(std::move(binding));
    return slot;
}

Object::Object(Type type, ClassObject* cls, Object* prototype, std::shared_ptr<Traits> traits)
    : m_type(type)
    , m_class(cls)
    , m_prototype(prototype)
    , m_traits(traits ? std::move(traits) : std::make_shared<Traits>())
    , m_slots(m_traits->slotDefaults)
{
}

const Value* Object::dynamicGet(const QString& name) const
{
    auto it = m_dynamicIndex.constFind(name);
    return it == m_dynamicIndex.constEnd() ? nullptr : &m_dynamicValues[std::size_t(*it)].second;
}

void Object::dynamicSet(const QString& name, const Value& value)
{
    auto it = m_dynamicIndex.constFind(name);
    if (it != m_dynamicIndex.constEnd()) {
        m_dynamicValues[std::size_t(*it)].second = value;
        return;
    }
    m_dynamicIndex.insert(name, int(m_dynamicValues.size()));
    m_dynamicValues.emplace_back(name, value);
}

bool Object::dynamicDelete(const QString& name)
{
    auto it = m_dynamicIndex.find(name);
    if (it == m_dynamicIndex.end())
        return false;
    m_dynamicValues.erase(m_dynamicValues.begin() + *it);
    m_dynamicIndex.clear();
    for (std::size_t i = 0; i < m_dynamicValues.size(); ++i)
        m_dynamicIndex.insert(m_dynamicValues[i].first, int(i));
    return true;
}

bool ClassObject::isSubclassOf(const ClassObject* other) const
{
    for (const ClassObject* c = this; c; c = c->base) {
        if (c == other)
            return true;
        for (const ClassObject* i : c->interfaces) {
            if (i == other || (i && i->isSubclassOf(other)))
                return true;
        }
    }
    return false;
}

} // namespace swf::avm2
