// The activation traits of method bodies and the for-in walk over an object's properties.

#include "swf/avm2/vm/Machine.h"

#include "swf/avm2/builtins/XmlClasses.h"

namespace swf::avm2 {

std::shared_ptr<Traits> Machine::activationTraits(Unit& unit, std::uint32_t bodyIndex)
{
    if (unit.activations.size() < unit.file.bodies.size())
        unit.activations.resize(unit.file.bodies.size());
    auto& traits = unit.activations[bodyIndex];
    if (!traits) {
        traits = std::make_shared<Traits>();
        buildTraits(unit, *traits, unit.file.bodies[bodyIndex].traits, std::make_shared<std::vector<ScopeEntry>>(), nullptr, nullptr);
    }
    return traits;
}

// A for-in walk visits the elements, then the dynamic properties, then a
// dictionary's object keys; index i (from 1) names the i-th of them.
std::uint32_t Machine::nextIndex(const Value& object, std::uint32_t index)
{
    Object* o = object.object();
    if (!o)
        return 0;
    if (o->hooks) {
        if (auto next = o->hooks->nextIndex(*this, o, index))
            return *next;
    }
    if (isXmlObject(o)) {
        const XmlListHost* list = xmlListOf(o);
        const std::uint32_t count = list ? std::uint32_t(list->items.size()) : 1;
        return index < count ? index + 1 : 0;
    }
    const std::uint32_t elements = std::uint32_t(o->elements.size());
    const auto& props = o->dynamicProperties();
    const std::uint32_t total = elements + std::uint32_t(props.size()) + std::uint32_t(o->keyedValues.size());
    for (std::uint32_t i = index + 1; i <= total; ++i) {
        if (i <= elements) {
            // Holes are no properties: a walk passes over them.
            if (!o->elements[i - 1].isHole())
                return i;
            continue;
        }
        if (i > elements + props.size())
            return i;
        if (!o->dontEnum().value(props[i - elements - 1].first))
            return i;
    }
    return 0;
}

Value Machine::nameAt(const Value& object, std::uint32_t index)
{
    Object* o = object.object();
    if (o && o->hooks) {
        if (auto name = o->hooks->nameAt(*this, o, index))
            return *name;
    }
    if (!o || index == 0)
        return Value::undefined();
    if (isXmlObject(o))
        return Value::string(QString::number(index - 1));
    const std::uint32_t elements = std::uint32_t(o->elements.size());
    if (index <= elements)
        return o->type() == Object::Type::Array ? Value::string(QString::number(index - 1)) : Value::number(index - 1);
    const auto& props = o->dynamicProperties();
    if (index - elements - 1 < props.size()) {
        const QString& name = props[index - elements - 1].first;
        // An object's index-like names come back as the numbers they were.
        bool ok = false;
        uint n = name.toUInt(&ok);
        if (ok && o->type() != Object::Type::Array && QString::number(n) == name && n < 0x7fffffffu)
            return Value::number(n);
        return Value::string(name);
    }
    const std::size_t keyed = index - elements - 1 - props.size();
    if (keyed < o->keyedValues.size())
        return Value::object(o->keyedValues[keyed].first);
    return Value::undefined();
}

Value Machine::valueAt(const Value& object, std::uint32_t index)
{
    Object* o = object.object();
    if (o && o->hooks) {
        if (auto value = o->hooks->valueAt(*this, o, index))
            return *value;
    }
    if (!o || index == 0)
        return Value::undefined();
    if (const XmlListHost* list = xmlListOf(o))
        return index <= list->items.size() ? Value::object(wrapXml(*this, list->items[index - 1])) : Value::undefined();
    if (isXmlObject(o))
        return object;
    const std::uint32_t elements = std::uint32_t(o->elements.size());
    if (index <= elements)
        return o->elements[index - 1];
    const auto& props = o->dynamicProperties();
    if (index - elements - 1 < props.size())
        return props[index - elements - 1].second;
    const std::size_t keyed = index - elements - 1 - props.size();
    if (keyed < o->keyedValues.size())
        return o->keyedValues[keyed].second;
    return Value::undefined();
}

} // namespace swf::avm2
