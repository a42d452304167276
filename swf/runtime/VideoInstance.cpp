#include "swf/runtime/VideoInstance.h"

#include "swf/runtime/SpriteInstance.h"
#include "swf/video/EmbeddedVideo.h"

namespace swf {

VideoInstance::VideoInstance(Stage& stage, SpriteInstance* parent, const VideoStreamDef* definition, std::uint16_t characterId, int depth)
    : DisplayObject(stage, parent, definition, characterId, depth), m_definition(definition)
{
}

VideoInstance::~VideoInstance() = default;

const QImage& VideoInstance::currentFrame() const
{
    if (!m_embedded)
        m_embedded = std::make_unique<EmbeddedVideo>(*m_definition);
    // Packets still to come on the parent's own timeline are not shown yet.
    const SpriteInstance* owner = parent();
    return owner ? m_embedded->frameAt(ratio(), &owner->timeline(), owner->currentFrame()) : m_embedded->frameAt(ratio());
}

int VideoInstance::packetsDecoded() const
{
    return m_embedded ? m_embedded->packetsDecoded() : 0;
}

QRectF VideoInstance::bounds() const
{
    return QRectF(0, 0, m_definition->header.width * 20.0, m_definition->header.height * 20.0);
}

} // namespace swf
