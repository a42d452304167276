#include "swf/format/Button.h"

#include "swf/format/TagCodes.h"

namespace swf {

namespace {

// Reads part records up to the terminating zero byte.
Result<void> readParts(Reader& reader, int version, std::vector<ButtonPart>& parts)
{
    while (true) {
        std::uint8_t flags = SWF_TRY(reader.readU8());
        if (flags == 0)
            return {};
        if (int(parts.size()) >= MaxButtonParts)
            return Error::at(reader.offset(), QStringLiteral("button has too many parts"), ErrorKind::TooLarge);
        ButtonPart part;
        part.states = flags & 0x0f;
        part.characterId = SWF_TRY(reader.readU16());
        part.depth = SWF_TRY(reader.readU16());
        part.matrix = SWF_TRY(readMatrix(reader));
        if (version == 2) {
            part.colorTransform = SWF_TRY(readColorTransform(reader, true));
            if (flags & 0x10)
                part.filters = SWF_TRY(readFilterList(reader));
            if (flags & 0x20)
                part.blendMode = SWF_TRY(reader.readU8());
        }
        parts.push_back(part);
    }
}

} // namespace

Result<ButtonRecord> readButton(Reader& reader, int tagCode)
{
    ButtonRecord button;
    button.id = SWF_TRY(reader.readU16());
    if (tagCode == TagDefineButton) {
        SWF_TRY_VOID(readParts(reader, 1, button.parts));
        // DefineButton's one action block runs on release over the button.
        ButtonAction action;
        action.conditions = CondOverDownToOverUp;
        action.actions = reader.rest();
        if (!action.actions.isEmpty())
            button.actions.push_back(std::move(action));
        return button;
    }
    button.version = 2;
    button.trackAsMenu = SWF_TRY(reader.readU8()) & 0x01;
    const char* afterOffset = reader.current() + 2;
    std::size_t afterSize = reader.remaining() >= 2 ? reader.remaining() - 2 : 0;
    qint64 afterBase = reader.offset() + 2;
    std::uint16_t actionOffset = SWF_TRY(reader.readU16());
    Reader parts = reader;
    auto partsRead = readParts(parts, 2, button.parts);
    if (!partsRead.ok() && partsRead.error().kind == ErrorKind::TooLarge)
        return partsRead.error();
    if (actionOffset == 0)
        return button;
    // Actions start `actionOffset` bytes after the offset field itself.
    if (actionOffset < 2 || std::size_t(actionOffset - 2) > afterSize)
        return Error::at(afterBase - 2, QStringLiteral("button action offset outside the tag"));
    Reader actions(afterOffset + (actionOffset - 2), afterSize - (actionOffset - 2), afterBase + (actionOffset - 2));
    while (!actions.atEnd()) {
        if (int(button.actions.size()) >= MaxButtonActions)
            break;
        qint64 start = actions.offset();
        std::uint16_t size = SWF_TRY(actions.readU16());
        std::uint8_t low = SWF_TRY(actions.readU8());
        std::uint8_t high = SWF_TRY(actions.readU8());
        ButtonAction action;
        // The first byte holds eight transitions, most significant first:
        // IdleToOverDown .. IdleToOverUp; the second byte the key code and OverDownToIdle.
        for (int bit = 0; bit < 8; ++bit) {
            if (low & (1 << bit))
                action.conditions |= std::uint16_t(1 << bit);
        }
        if (high & 0x01)
            action.conditions |= CondOverDownToIdle;
        action.keyCode = high >> 1;
        std::size_t bodySize = size == 0 ? actions.remaining() : std::size_t(size) - 4;
        if (size != 0 && (size < 4 || bodySize > actions.remaining()))
            return Error::at(start, QStringLiteral("button action larger than the tag"));
        action.actions = SWF_TRY(actions.readBytes(bodySize));
        button.actions.push_back(std::move(action));
        if (size == 0)
            break;
    }
    return button;
}

Result<std::pair<std::uint16_t, ColorTransform>> readButtonCxform(Reader& reader)
{
    std::uint16_t id = SWF_TRY(reader.readU16());
    ColorTransform cx = SWF_TRY(readColorTransform(reader, false));
    return std::make_pair(id, cx);
}

} // namespace swf
