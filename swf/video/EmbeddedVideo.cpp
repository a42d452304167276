#include "swf/video/EmbeddedVideo.h"

#include <iterator>

namespace swf {

EmbeddedVideo::EmbeddedVideo(const VideoStreamDef& stream, bool decodeAhead) : m_stream(stream), m_ahead(decodeAhead) { }

int EmbeddedVideo::packetsDecoded() const
{
    return m_playback ? int(m_playback->pictureSerial()) : m_packetsDecoded;
}

EmbeddedVideo::~EmbeddedVideo() = default;

const QImage& EmbeddedVideo::frameAt(int number, const TimelineDef* timeline, int reachedFrame)
{
    const auto& frames = m_stream.frames;
    auto arrived = [&](const auto& it) { return !timeline || it->second.timeline != timeline || it->second.timelineFrame <= reachedFrame; };
    auto target = frames.upper_bound(number);
    do {
        if (target == frames.begin() || m_unavailable)
            return m_picture; // nothing to show yet
        --target;
    } while (!arrived(target));
    if (target->first == m_decoded && !m_ahead)
        return m_picture;
    if (m_ahead) {
        if (!m_playback) {
            // The packets as a file whose clock counts frames: packet n is due at "time" n.
            FlvFile file;
            for (const auto& [number, frame] : frames)
                file.video.push_back({ number, frame.key, m_stream.header.codec, frame.data });
            m_playback = std::make_unique<FlvPlayback>(std::move(file), true, m_stream.header.deblocking);
        }
        // Playing on, the worker's newest picture will do; any other move
        // waits for exactly the frame asked for.
        // The same frame again picks up its picture if it came late.
        const bool next = m_decoded >= 0
            && (target->first == m_decoded || (target != frames.begin() && std::prev(target)->first == m_decoded));
        if (next)
            m_playback->showAt(target->first);
        else
            m_playback->showExactly(target->first);
        m_decoded = target->first;
        if (!m_playback->picture().isNull())
            m_picture = m_playback->picture();
        return m_picture;
    }
    if (!m_decoder) {
        m_decoder = VideoDecoder::create(m_stream.header.codec, m_stream.header.deblocking);
        if (!m_decoder) {
            m_unavailable = true;
            return m_picture;
        }
    }
    // Where to start: the key frame at or before the target, unless the
    // decoder already stands between that key frame and the target.
    auto start = target;
    while (start != frames.begin() && !start->second.key)
        --start;
    if (m_decoded >= 0 && m_decoded < target->first && m_decoded >= start->first) {
        start = frames.upper_bound(m_decoded);
    } else {
        m_decoder->reset();
    }
    for (auto it = start;; ++it) {
        QImage picture = m_decoder->decode(it->second.data, it->second.key);
        ++m_packetsDecoded;
        if (!picture.isNull())
            m_picture = std::move(picture);
        if (it == target)
            break;
    }
    m_decoded = target->first;
    return m_picture;
}

} // namespace swf
