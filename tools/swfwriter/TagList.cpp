#include "tools/swfwriter/TagList.h"

#include "tools/swfwriter/BitWriter.h"

namespace swfw {

void TagList::tag(TagCode code, const QByteArray& body, bool longHeader)
{
    tag(uint16_t(code), body, longHeader);
}

void TagList::tag(uint16_t code, const QByteArray& body, bool longHeader)
{
    BitWriter out;
    if (body.size() < 0x3f && !longHeader) {
        out.writeU16(uint16_t((code << 6) | body.size()));
    } else {
        out.writeU16(uint16_t((code << 6) | 0x3f));
        out.writeU32(uint32_t(body.size()));
    }
    out.writeBytes(body);
    m_bytes.append(out.bytes());
    if (code == uint16_t(TagCode::ShowFrame))
        ++m_frames;
}

void TagList::showFrame()
{
    tag(TagCode::ShowFrame, {});
}

void TagList::placeObject(uint16_t characterId, uint16_t depth, const Matrix& matrix, const std::optional<CxForm>& cxform)
{
    BitWriter out;
    out.writeU16(characterId);
    out.writeU16(depth);
    out.writeMatrix(matrix);
    if (cxform)
        out.writeCxForm(*cxform, false);
    tag(TagCode::PlaceObject, out.bytes());
}

static uint8_t placeFlags(const Placement& p)
{
    return uint8_t((p.clipDepth ? 0x40 : 0) | (p.name ? 0x20 : 0) | (p.ratio ? 0x10 : 0) | (p.cxform ? 0x08 : 0)
        | (p.matrix ? 0x04 : 0) | (p.characterId ? 0x02 : 0) | (p.move ? 0x01 : 0));
}

static void writePlacementFields(BitWriter& out, const Placement& p)
{
    if (p.matrix)
        out.writeMatrix(*p.matrix);
    if (p.cxform)
        out.writeCxForm(*p.cxform, true);
    if (p.ratio)
        out.writeU16(*p.ratio);
    if (p.name)
        out.writeString(*p.name);
    if (p.clipDepth)
        out.writeU16(*p.clipDepth);
}

void TagList::placeObject2(const Placement& p)
{
    BitWriter out;
    out.writeU8(placeFlags(p));
    out.writeU16(p.depth);
    if (p.characterId)
        out.writeU16(*p.characterId);
    writePlacementFields(out, p);
    tag(TagCode::PlaceObject2, out.bytes());
}

void TagList::placeObject3(const Placement& p)
{
    BitWriter out;
    out.writeU8(placeFlags(p));
    // Reserved, opaque background, visible, image, class name, cache as bitmap, blend mode, filters.
    out.writeU8(uint8_t((p.opaqueBackground ? 0x40 : 0) | (p.visible ? 0x20 : 0) | (p.cacheAsBitmap ? 0x04 : 0) | (p.blendMode ? 0x02 : 0)));
    out.writeU16(p.depth);
    if (p.characterId)
        out.writeU16(*p.characterId);
    writePlacementFields(out, p);
    if (p.blendMode)
        out.writeU8(*p.blendMode);
    if (p.cacheAsBitmap)
        out.writeU8(*p.cacheAsBitmap ? 1 : 0);
    if (p.visible)
        out.writeU8(*p.visible ? 1 : 0);
    if (p.opaqueBackground)
        out.writeRgba(*p.opaqueBackground);
    else if (p.visible)
        out.writeRgba(Rgba { 0, 0, 0, 0 }); // background colour, transparent
    tag(TagCode::PlaceObject3, out.bytes());
}

void TagList::removeObject(uint16_t characterId, uint16_t depth)
{
    BitWriter out;
    out.writeU16(characterId);
    out.writeU16(depth);
    tag(TagCode::RemoveObject, out.bytes());
}

void TagList::removeObject2(uint16_t depth)
{
    BitWriter out;
    out.writeU16(depth);
    tag(TagCode::RemoveObject2, out.bytes());
}

void TagList::frameLabel(const QByteArray& name, bool namedAnchor)
{
    BitWriter out;
    out.writeString(name);
    if (namedAnchor)
        out.writeU8(1);
    tag(TagCode::FrameLabel, out.bytes());
}

void TagList::doAction(const QByteArray& actions)
{
    tag(TagCode::DoAction, actions);
}

void TagList::startSound(uint16_t soundId, const QByteArray& soundInfo)
{
    BitWriter out;
    out.writeU16(soundId);
    out.writeBytes(soundInfo);
    tag(TagCode::StartSound, out.bytes());
}

void TagList::soundStreamHead(const QByteArray& body, bool second)
{
    tag(second ? TagCode::SoundStreamHead2 : TagCode::SoundStreamHead, body);
}

void TagList::soundStreamBlock(const QByteArray& data)
{
    tag(TagCode::SoundStreamBlock, data);
}

} // namespace swfw
