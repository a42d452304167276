#pragma once

// Color: a control object over a clip's colour transform, and the player's
// fixed-point rounding of the values it keeps.

#include <cstdint>

namespace swf::avm1 {

class Interpreter;

void installColor(Interpreter& vm);

// Colour transform fixed point: a percentage as the player's 8.8 multiplier,
// an offset as its 16-bit value, and the offsets packed as getRGB gives them.
int16_t colorFixed(double percent);
int16_t colorOffset(double offset);
int32_t colorRgb(double rAdd, double gAdd, double bAdd);

} // namespace swf::avm1
