// flash.utils.Dictionary: a dynamic object that keys by the object itself
// where other objects would key by its text.

#include "swf/avm2/vm/Machine.h"

namespace swf::avm2 {

Value Machine::dictionaryGet(Object* dictionary, Object* key)
{
    auto it = dictionary->keyed.constFind(key);
    return it == dictionary->keyed.constEnd() ? Value::undefined() : dictionary->keyedValues[it.value()].second;
}

void Machine::dictionarySet(Object* dictionary, Object* key, const Value& value)
{
    auto it = dictionary->keyed.constFind(key);
    if (it != dictionary->keyed.constEnd()) {
        dictionary->keyedValues[it.value()].second = value;
        return;
    }
    dictionary->keyed.insert(key, dictionary->keyedValues.size());
    dictionary->keyedValues.emplace_back(key, value);
}

bool Machine::dictionaryDelete(Object* dictionary, Object* key)
{
    auto it = dictionary->keyed.find(key);
    if (it == dictionary->keyed.end())
        return false;
    const std::size_t at = it.value();
    dictionary->keyed.erase(it);
    dictionary->keyedValues.erase(dictionary->keyedValues.begin() + std::ptrdiff_t(at));
    for (auto& index : dictionary->keyed) {
        if (index > at)
            --index;
    }
    return true;
}

void installDictionaryClass(Machine& m)
{
    auto& b = m.builtins();
    // The weak-keys flag changes nothing here: every object lives as long as the machine.
    b.dictionary = m.defineClass(QStringLiteral("flash.utils"), QStringLiteral("Dictionary"), b.object, InstanceKind::Dictionary,
        [](Machine&, const Value&, Args) { return Value::undefined(); });
    b.dictionary->sealed = false;
}

} // namespace swf::avm2
