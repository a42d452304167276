#pragma once

// A button instance as scripts see it: its placement properties (_x, _y,
// _alpha, ...) read and written through the instance, and whatever handlers
// (onPress, onRelease, ...) and switches (enabled, useHandCursor) scripts
// give it. Detached when the instance leaves the stage.

#include "swf/avm1/vm/Object.h"

namespace swf {
class DisplayObject;
namespace avm1 {

class StageButtonObject : public Object {
public:
    StageButtonObject(DisplayObject* button, Object* proto, bool caseSensitive)
        : Object(Kind::Plain, proto, caseSensitive), m_button(button) { }

    DisplayObject* button() const { return m_button; }
    void detach() { m_button = nullptr; }

    bool getVirtual(Interpreter& vm, const QString& name, Value& out) override;
    bool setVirtual(Interpreter& vm, const QString& name, const Value& value) override;
    bool hasVirtual(Interpreter& vm, const QString& name) override;

private:
    DisplayObject* m_button;
};

} // namespace avm1
} // namespace swf
