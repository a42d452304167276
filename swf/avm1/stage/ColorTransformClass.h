#pragma once

// flash.geom.ColorTransform as scripts see it, and the conversions the
// Transform class uses to hand a clip's colour transform to a script and back.

#include "swf/format/Records.h"
#include "swf/avm1/vm/Interpreter.h"

#include <array>

namespace swf::avm1 {

class ColorTransformObject : public Object {
public:
    static constexpr size_t ChannelCount = 8;

    ColorTransformObject(Object* proto, bool caseSensitive) : Object(Kind::Plain, proto, caseSensitive) { }

    // red, green, blue, alpha multipliers, then the four offsets (0..255 scale).
    std::array<double, ChannelCount> channels = { 1, 1, 1, 1, 0, 0, 0, 0 };

    ColorTransform transform() const;
    void set(const ColorTransform& cx);
};

// A new flash.geom.ColorTransform holding `cx`, or null when a script has
// taken the class away.
ColorTransformObject* newColorTransform(Interpreter& vm, const ColorTransform& cx);
// The object behind `v` when it is a ColorTransform, else null.
const ColorTransformObject* asColorTransform(const Value& v);

void installColorTransform(Interpreter& vm, Object* geomPackage);

} // namespace swf::avm1
