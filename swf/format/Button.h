#pragma once

// Button records: DefineButton 1-2 (state characters and actions with their
// conditions) and DefineButtonCxform. DefineButtonSound goes to the sound sink.

#include "swf/format/Control.h"
#include "swf/format/Records.h"

#include <QByteArray>

#include <vector>

namespace swf {

enum ButtonStateFlag : std::uint8_t {
    ButtonUp = 0x01,
    ButtonOver = 0x02,
    ButtonDown = 0x04,
    ButtonHit = 0x08,
};

struct ButtonPart {
    std::uint8_t states = 0; // ButtonStateFlag bits
    std::uint16_t characterId = 0;
    std::uint16_t depth = 0;
    Matrix matrix;
    ColorTransform colorTransform;
    int blendMode = 0;
    std::vector<Filter> filters;
};

// Transitions a button action can wait for, as the bits of its condition word.
enum ButtonCondition : std::uint16_t {
    CondIdleToOverUp = 0x0001,
    CondOverUpToIdle = 0x0002,
    CondOverUpToOverDown = 0x0004,
    CondOverDownToOverUp = 0x0008, // a click: released over the button
    CondOverDownToOutDown = 0x0010,
    CondOutDownToOverDown = 0x0020,
    CondOutDownToIdle = 0x0040,
    CondIdleToOverDown = 0x0080,
    CondOverDownToIdle = 0x0100,
};

struct ButtonAction {
    std::uint16_t conditions = 0; // ButtonCondition bits
    int keyCode = 0;              // 0 = none; 1-19 special keys, 32-126 characters
    QByteArray actions;
};

struct ButtonRecord {
    std::uint16_t id = 0;
    int version = 1;
    bool trackAsMenu = false;
    std::vector<ButtonPart> parts;
    std::vector<ButtonAction> actions;
};

inline constexpr int MaxButtonParts = 4096;
inline constexpr int MaxButtonActions = 4096;

Result<ButtonRecord> readButton(Reader& reader, int tagCode);
// DefineButtonCxform: the button's id and the colour transform for all its states.
Result<std::pair<std::uint16_t, ColorTransform>> readButtonCxform(Reader& reader);

} // namespace swf
