#pragma once

// A TextFormat object: its members are plain data members, but a script
// that writes one of the format's own members has the value converted as
// the player converts it (a number, a flag, a name from a fixed set).

#include "swf/avm1/vm/Object.h"

namespace swf::avm1 {

class TextFormatObject : public Object {
public:
    TextFormatObject(Object* proto, bool caseSensitive) : Object(Kind::Plain, proto, caseSensitive) { }

    bool setVirtual(Interpreter& vm, const QString& name, const Value& value) override;
};

} // namespace swf::avm1
