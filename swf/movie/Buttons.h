#pragma once

// Button definitions: the parts drawn in each state, the hit area, the
// actions with their conditions, and the colour transform DefineButtonCxform gives.

#include "swf/format/Button.h"
#include "swf/movie/Character.h"

namespace swf {

struct ButtonDef : Character {
    explicit ButtonDef(std::uint16_t i) : Character(CharacterKind::Button, i) { }
    ButtonRecord record;
    ColorTransform colorTransform; // DefineButtonCxform (DefineButton 1 only)
};

// From DefineButton/DefineButton2 plus any DefineButtonCxform; null when damaged.
std::shared_ptr<const ButtonDef> buildButton(const std::vector<std::pair<int, QByteArray>>& tags, std::uint16_t id);

} // namespace swf
