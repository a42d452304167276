#include "swf/avm1/stage/TextFormatObject.h"

#include "swf/avm1/vm/Interpreter.h"

#include <cmath>

namespace swf::avm1 {

namespace {

enum class Member { Text, Align, Display, Flag, Integer, Color, Number, TabStops };

struct FormatMember {
    const char* name;
    Member kind;
    uint8_t minVersion = 0; // older movies keep the member as plain data
};

constexpr FormatMember formatMembers[] = {
    { "align", Member::Align },
    { "blockIndent", Member::Integer },
    { "bold", Member::Flag },
    { "bullet", Member::Flag },
    { "color", Member::Color },
    { "display", Member::Display },
    { "font", Member::Text },
    { "indent", Member::Integer },
    { "italic", Member::Flag },
    { "kerning", Member::Flag, 8 },
    { "leading", Member::Integer },
    { "leftMargin", Member::Integer },
    { "letterSpacing", Member::Number, 8 },
    { "rightMargin", Member::Integer },
    { "size", Member::Integer },
    { "tabStops", Member::TabStops },
    { "target", Member::Text },
    { "underline", Member::Flag },
    { "url", Member::Text },
};

const FormatMember* formatMember(const QString& name, bool caseSensitive)
{
    const Qt::CaseSensitivity cs = caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
    for (const FormatMember& m : formatMembers)
        if (name.compare(QLatin1String(m.name), cs) == 0)
            return &m;
    return nullptr;
}

double wholeNumber(double n)
{
    return std::isfinite(n) ? std::trunc(n) : 0.0;
}

} // namespace

bool TextFormatObject::setVirtual(Interpreter& vm, const QString& name, const Value& value)
{
    const FormatMember* member = formatMember(name, caseSensitive());
    if (!member || vm.version() < member->minVersion)
        return false;
    const QString key = QString::fromLatin1(member->name);
    if (value.isUndefined() || value.isNull()) {
        put(key, Value::null());
        return true;
    }
    // Every member asks the value for its number twice and its text once,
    // in that order, before reading it as its kind wants; the player's
    // version 8 takes a whole number from the second reading, older ones
    // (and the colour in every version) from the first.
    const double first = vm.toNumber(value);
    const double second = vm.toNumber(value);
    const QString text = vm.toString(value);
    Value stored;
    switch (member->kind) {
    case Member::Text:
        stored = Value(text);
        break;
    case Member::Align: {
        const QString align = text.toLower();
        if (align != QLatin1String("left") && align != QLatin1String("center") && align != QLatin1String("right")
            && align != QLatin1String("justify"))
            return true; // not a way to align: the member keeps its value
        stored = Value(align);
        break;
    }
    case Member::Display: {
        // Asked for its text once more: "none" and "inline" are kept, any
        // other text shows the paragraph as a block.
        const QString display = vm.toString(value);
        stored = Value(display == QLatin1String("none") || display == QLatin1String("inline") ? display
                                                                                             : QStringLiteral("block"));
        break;
    }
    case Member::Flag:
        stored = Value(vm.toBoolean(value));
        break;
    case Member::Integer:
        stored = Value(wholeNumber(vm.version() >= 8 ? second : first));
        break;
    case Member::Color:
        stored = Value(wholeNumber(first));
        break;
    case Member::Number:
        stored = Value(std::isfinite(second) ? second : 0.0);
        break;
    case Member::TabStops:
        stored = value.asObject() && value.asObject()->kind() == Kind::Array ? value : Value::null();
        break;
    }
    put(key, stored);
    return true;
}

} // namespace swf::avm1
