#pragma once

// A video object on stage. Placed from the timeline it shows the frame of its
// embedded stream that its ratio names; the decoding state lives here, so two
// placements of one stream play independently.

#include "swf/movie/Videos.h"
#include "swf/runtime/DisplayObject.h"

#include <QImage>

#include <memory>

namespace swf {

class EmbeddedVideo;

class VideoInstance : public DisplayObject {
public:
    VideoInstance(Stage& stage, SpriteInstance* parent, const VideoStreamDef* definition, std::uint16_t characterId, int depth);
    ~VideoInstance() override;

    const VideoStreamDef& definition() const { return *m_definition; }
    // The picture to draw now; decodes what the ratio asks for first. A null
    // image when there is nothing to show.
    const QImage& currentFrame() const;
    // The packets decoded so far, for tests of seeking.
    int packetsDecoded() const;

    // The box the picture fills, in twips: the stream's declared size.
    QRectF bounds() const;
    bool smoothing() const { return m_definition->header.smoothing; }

private:
    const VideoStreamDef* m_definition;
    // Drawing is const over the display list; decoding on demand is not.
    mutable std::unique_ptr<EmbeddedVideo> m_embedded;
};

} // namespace swf
