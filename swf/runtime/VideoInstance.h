#pragma once

// A video object on stage. Placed from the timeline it shows the frame of its
// embedded stream that its ratio names; the decoding state lives here, so two
// placements of one stream play independently.

#include "swf/movie/Videos.h"
#include "swf/runtime/DisplayObject.h"

#include <QImage>

#include <functional>
#include <memory>
#include <optional>

namespace swf {

class EmbeddedVideo;

// Pictures from elsewhere than the movie's own stream: a NetStream a script
// attached (Video.attachVideo). The feed decides which picture is current;
// the serial changes whenever it does, so the player repaints.
class VideoFeed {
public:
    virtual ~VideoFeed() = default;
    virtual QImage picture() const = 0;
    virtual quint64 pictureSerial() const = 0;
};

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
    bool smoothing() const { return m_smoothing.value_or(m_definition->header.smoothing); }
    int deblocking() const { return m_deblocking.value_or(m_definition->header.deblocking); }

    // What scripts change (Video.smoothing, .deblocking, attachVideo, clear).
    void setSmoothing(bool on) { m_smoothing = on; }
    void setDeblocking(int level) { m_deblocking = level; }
    // Shows the feed's pictures instead of the movie's stream; null goes
    // back to the stream. The feed is shared with whoever drives it.
    void attachFeed(std::shared_ptr<VideoFeed> feed);
    const std::shared_ptr<VideoFeed>& feed() const { return m_feed; }
    // Shows nothing until the next picture comes (Video.clear).
    void clearPicture();
    // Called once when the instance goes, for whoever keeps a pointer to it.
    void setOnGone(std::function<void()> gone) { m_onGone = std::move(gone); }

private:
    const VideoStreamDef* m_definition;
    std::optional<bool> m_smoothing;
    std::optional<int> m_deblocking;
    std::shared_ptr<VideoFeed> m_feed;
    // The feed's serial when clear() was called: until it moves on, nothing shows.
    std::optional<quint64> m_clearedAt;
    mutable QImage m_feedPicture;
    std::function<void()> m_onGone;
    // Drawing is const over the display list; decoding on demand is not.
    mutable std::unique_ptr<EmbeddedVideo> m_embedded;
};

} // namespace swf
