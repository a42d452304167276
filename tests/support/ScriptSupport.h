#pragma once

// Running action blocks against a movie with the whole script machine
// attached, and writing the common member reads and writes as short calls.

#include "support/TextSupport.h"

#include "swf/runtime/Stage.h"
#include "swf/avm1/stage/StageScripts.h"
#include "support/Assembler.h"

#include <QStringList>

// Test failures print strings as text.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace text_support {

using swf::avm1::test::Asm;

// obj.member, left on the stack; `obj` is a variable name.
inline Asm& getMember(Asm& a, const char* object, const char* member)
{
    return a.push({ object }).getVariable().push({ member }).getMember();
}

inline Asm& traceMember(Asm& a, const char* object, const char* member)
{
    return getMember(a, object, member).trace();
}

// obj.member = value.
template<typename V>
Asm& setMember(Asm& a, const char* object, const char* member, V value)
{
    return a.push({ object }).getVariable().push({ member, value }).setMember();
}

// A stage with scripts attached, its traces collected; ticks advance frames.
struct ScriptedStage {
    std::unique_ptr<swf::Playback> playback;
    swf::avm1::StageScripts* scripts = nullptr;
    QStringList lines;

    explicit ScriptedStage(const QByteArray& bytes)
    {
        swf::PlaybackOptions options;
        options.trace = [this](const QString& line) { lines << line; };
        playback = load(bytes, options);
        if (playback)
            scripts = playback->scripts();
    }
    void tick() { playback->nextFrame(); }
    swf::Stage& stage() { return playback->stage(); }
};

// DefineEditText with the fields tests vary; `flags1`/`flags2` as in the file
// (has-text, colour and font bits are added as needed).
inline QByteArray editTextTag(uint16_t id, swfw::Rect box, std::optional<uint16_t> fontId, int height, const QByteArray& variable,
    const QByteArray& text, uint8_t flags1, uint8_t flags2, swfw::Rgba color = { 0, 0, 0, 255 })
{
    swfw::BitWriter out;
    out.writeU16(id);
    out.writeRect(box);
    out.writeU8(uint8_t(0x80 | 0x04 | (fontId ? 0x01 : 0) | flags1));
    out.writeU8(flags2);
    if (fontId) {
        out.writeU16(*fontId);
        out.writeU16(uint16_t(height));
    }
    out.writeRgba(color);
    out.writeString(variable);
    out.writeString(text);
    return out.bytes();
}

// Places a character by name with PlaceObject2.
inline void placeNamed(swfw::TagList& list, uint16_t id, uint16_t depth, const QByteArray& name, const swfw::Matrix& m = {})
{
    swfw::Placement p = swfw::Placement::place(depth, id, m);
    p.name = name;
    list.placeObject2(p);
}

} // namespace text_support
