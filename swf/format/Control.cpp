#include "swf/format/Control.h"

#include "swf/format/TagCodes.h"

#include <cmath>

namespace swf {

namespace {

constexpr int MaxFilters = 64;

// The flag byte that ends a drop shadow or a glow: inner, knockout,
// composite source, then the pass count.
Result<void> readShadowFlags(Reader& reader, Filter& f)
{
    const std::uint8_t flags = SWF_TRY(reader.readU8());
    f.inner = flags & 0x80;
    f.knockout = flags & 0x40;
    f.compositeSource = flags & 0x20;
    f.passes = flags & 0x1f;
    return {};
}

// The fields that end a bevel and the gradient filters: blur, angle, distance,
// strength, then a flag byte whose low four bits count the passes.
Result<void> readBevelFields(Reader& reader, Filter& f)
{
    f.blurX = SWF_TRY(reader.readFixed16());
    f.blurY = SWF_TRY(reader.readFixed16());
    f.angle = SWF_TRY(reader.readFixed16());
    f.distance = SWF_TRY(reader.readFixed16());
    f.strength = SWF_TRY(reader.readFixed8());
    f.passes = SWF_TRY(reader.readU8()) & 0x0f;
    return {};
}

Result<Filter> readFilter(Reader& reader)
{
    Filter f;
    f.type = SWF_TRY(reader.readU8());
    switch (f.type) {
    case 0: // drop shadow
        f.color = SWF_TRY(readRgba(reader));
        f.blurX = SWF_TRY(reader.readFixed16());
        f.blurY = SWF_TRY(reader.readFixed16());
        f.angle = SWF_TRY(reader.readFixed16());
        f.distance = SWF_TRY(reader.readFixed16());
        f.strength = SWF_TRY(reader.readFixed8());
        SWF_TRY_VOID(readShadowFlags(reader, f));
        break;
    case 1: { // blur
        f.blurX = SWF_TRY(reader.readFixed16());
        f.blurY = SWF_TRY(reader.readFixed16());
        auto flags = SWF_TRY(reader.readU8());
        f.passes = flags >> 3;
        break;
    }
    case 2: { // glow
        f.color = SWF_TRY(readRgba(reader));
        f.blurX = SWF_TRY(reader.readFixed16());
        f.blurY = SWF_TRY(reader.readFixed16());
        f.strength = SWF_TRY(reader.readFixed8());
        SWF_TRY_VOID(readShadowFlags(reader, f));
        break;
    }
    case 3: { // bevel: shadow colour, highlight colour
        f.color = SWF_TRY(readRgba(reader));
        SWF_TRY(readRgba(reader));
        SWF_TRY_VOID(readBevelFields(reader, f));
        break;
    }
    case 4:
    case 7: { // gradient glow / gradient bevel
        auto count = SWF_TRY(reader.readU8());
        SWF_TRY_VOID(reader.skip(std::size_t(count) * 5));
        SWF_TRY_VOID(readBevelFields(reader, f));
        break;
    }
    case 5: { // convolution
        auto w = SWF_TRY(reader.readU8());
        auto h = SWF_TRY(reader.readU8());
        SWF_TRY_VOID(reader.skip(8 + std::size_t(w) * h * 4 + 4 + 1));
        break;
    }
    case 6: // colour matrix
        f.colorMatrix.reserve(20);
        for (int i = 0; i < 20; ++i)
            f.colorMatrix.push_back(SWF_TRY(reader.readFloat()));
        break;
    default:
        return Error::at(reader.offset(), QStringLiteral("unknown filter type %1").arg(f.type));
    }
    return f;
}

} // namespace

Result<std::vector<Filter>> readFilterList(Reader& reader)
{
    // Every filter is read so the fields after the list stay in place; only the first MaxFilters are kept.
    const unsigned count = SWF_TRY(reader.readU8());
    std::vector<Filter> filters;
    for (unsigned i = 0; i < count; ++i) {
        Filter filter = SWF_TRY(readFilter(reader));
        if (filters.size() < std::size_t(MaxFilters))
            filters.push_back(std::move(filter));
    }
    return filters;
}

Result<PlaceObject> readPlaceObject(Reader& reader, int tagCode, int swfVersion)
{
    PlaceObject p;
    if (tagCode == TagPlaceObject) {
        p.version = 1;
        p.characterId = SWF_TRY(reader.readU16());
        p.depth = SWF_TRY(reader.readU16());
        p.matrix = SWF_TRY(readMatrix(reader));
        if (!reader.atEnd())
            p.colorTransform = SWF_TRY(readColorTransform(reader, false));
        return p;
    }
    p.version = tagCode == TagPlaceObject3 ? 3 : 2;
    auto flags = SWF_TRY(reader.readU8());
    std::uint8_t flags2 = 0;
    if (p.version == 3)
        flags2 = SWF_TRY(reader.readU8());
    p.move = flags & 0x01;
    p.depth = SWF_TRY(reader.readU16());
    bool hasClassName = (flags2 & 0x08) || ((flags2 & 0x10) && (flags & 0x02));
    if (hasClassName)
        p.className = SWF_TRY(reader.readString(swfVersion));
    if (flags & 0x02)
        p.characterId = SWF_TRY(reader.readU16());
    if (flags & 0x04)
        p.matrix = SWF_TRY(readMatrix(reader));
    if (flags & 0x08)
        p.colorTransform = SWF_TRY(readColorTransform(reader, true));
    if (flags & 0x10)
        p.ratio = SWF_TRY(reader.readU16());
    if (flags & 0x20)
        p.name = SWF_TRY(reader.readString(swfVersion));
    if (flags & 0x40)
        p.clipDepth = SWF_TRY(reader.readU16());
    if (flags2 & 0x01)
        p.filters = SWF_TRY(readFilterList(reader));
    if (flags2 & 0x02) {
        int mode = SWF_TRY(reader.readU8());
        p.blendMode = mode;
    }
    if (flags2 & 0x04)
        p.cacheAsBitmap = SWF_TRY(reader.readU8()) != 0;
    if (flags2 & 0x20)
        p.visible = SWF_TRY(reader.readU8()) != 0;
    if (flags2 & 0x40)
        p.opaqueBackground = SWF_TRY(readRgba(reader));
    // Damaged clip actions keep the records before the damage; the placement stands.
    if (flags & 0x80)
        (void)readClipActions(reader, swfVersion, p.clipActions);
    return p;
}

Result<void> readClipActions(Reader& reader, int swfVersion, std::vector<ClipAction>& out)
{
    const bool wide = swfVersion >= 6;
    auto readEvents = [&]() -> Result<std::uint32_t> {
        if (wide)
            return reader.readU32();
        return std::uint32_t(SWF_TRY(reader.readU16()));
    };
    SWF_TRY(reader.readU16()); // reserved
    SWF_TRY(readEvents());     // the union of every record's events
    while (true) {
        ClipAction action;
        action.events = SWF_TRY(readEvents());
        if (action.events == 0)
            return {};
        const std::uint32_t length = SWF_TRY(reader.readU32());
        Reader record = SWF_TRY(reader.subReader(length));
        // A KeyPress record's key code comes before its actions.
        if (wide && (action.events & ClipEventKeyPressBit) && !record.atEnd())
            action.keyCode = SWF_TRY(record.readU8());
        action.actions = record.rest();
        out.push_back(std::move(action));
    }
}

} // namespace swf
