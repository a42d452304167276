#pragma once

// Entries of a movie's character dictionary. Each definition is decoded once,
// when the movie loads; the runtime and renderer only look them up by id.

#include "swf/format/Control.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace swf {

enum class CharacterKind { Shape, MorphShape, Bitmap, Sprite, Button, Font, Text, EditText, Sound, Video, Other };

struct Character {
    explicit Character(CharacterKind k, std::uint16_t i) : kind(k), id(i) { }
    virtual ~Character() = default;
    CharacterKind kind;
    std::uint16_t id;
};

// A control tag as it sits in a frame, kept in file order. Display-list
// records are decoded at load; script and sound bodies are kept raw for the
// script machine and the audio side.
struct ControlTag {
    int code = 0;
    qint64 offset = 0; // of the tag body in the uncompressed movie
    QByteArray body;   // raw body for tags handed on untouched
    std::shared_ptr<const PlaceObject> place;
    std::uint16_t depth = 0;      // RemoveObject 1/2
    std::uint16_t characterId = 0; // RemoveObject 1, DoInitAction's sprite
    Rgba color;                   // SetBackgroundColor
};

struct TimelineDef {
    std::vector<std::vector<ControlTag>> frames; // at least one frame
    std::vector<std::pair<QString, int>> labels;  // label → 1-based frame
    int frameCount() const { return int(frames.size()); }
    int frameForLabel(const QString& label) const; // 0 when there is none
};

struct SpriteDef : Character {
    explicit SpriteDef(std::uint16_t i) : Character(CharacterKind::Sprite, i) { }
    TimelineDef timeline;
};

// A character held as the bodies of the tags that define it, in file order.
// Fonts, texts and buttons are gathered this way while the movie loads (a
// font's info, align zones and name, a button's colour transform and sounds
// come in tags of their own) and are built into their own definitions once
// every tag is read. A sound stays like this, its bodies going to the sound
// sink through Movie::soundDefinitions; so does a definition that fails to
// build, which then draws nothing.
struct DefinitionTags : Character {
    DefinitionTags(CharacterKind k, std::uint16_t i) : Character(k, i) { }
    std::vector<std::pair<int, QByteArray>> tags; // (tag code, body) in file order
};

} // namespace swf
