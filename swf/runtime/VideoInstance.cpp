#include "swf/runtime/VideoInstance.h"

#include "swf/runtime/SpriteInstance.h"
#include "swf/video/EmbeddedVideo.h"

namespace swf {

VideoInstance::VideoInstance(Stage& stage, SpriteInstance* parent, const VideoStreamDef* definition, std::uint16_t characterId, int depth)
    : DisplayObject(stage, parent, definition, characterId, depth), m_definition(definition)
{
}

VideoInstance::~VideoInstance()
{
    if (m_onGone)
        m_onGone();
}

void VideoInstance::attachFeed(std::shared_ptr<VideoFeed> feed)
{
    m_feed = std::move(feed);
    m_clearedAt.reset();
    m_feedPicture = QImage();
}

void VideoInstance::clearPicture()
{
    if (m_feed)
        m_clearedAt = m_feed->pictureSerial();
    else
        m_clearedAt = 0;
    m_feedPicture = QImage();
}

const QImage& VideoInstance::currentFrame() const
{
    if (m_clearedAt) {
        if (!m_feed || m_feed->pictureSerial() == *m_clearedAt)
            return m_feedPicture; // cleared: empty until the next picture
    }
    if (m_feed) {
        m_feedPicture = m_feed->picture();
        return m_feedPicture;
    }
    if (!m_embedded)
        m_embedded = std::make_unique<EmbeddedVideo>(*m_definition);
    // Packets still to come on the parent's own timeline are not shown yet.
    const SpriteInstance* owner = parent();
    return owner ? m_embedded->frameAt(ratio(), &owner->timeline(), owner->currentFrame()) : m_embedded->frameAt(ratio());
}

int VideoInstance::packetsDecoded() const
{
    // A feed's pictures count instead, so that the change of picture shows.
    if (m_feed)
        return int(m_feed->pictureSerial()) + (m_clearedAt ? 1 : 0);
    return m_embedded ? m_embedded->packetsDecoded() : 0;
}

QRectF VideoInstance::bounds() const
{
    return QRectF(0, 0, m_definition->header.width * 20.0, m_definition->header.height * 20.0);
}

} // namespace swf
