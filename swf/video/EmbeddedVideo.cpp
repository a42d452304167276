#include "swf/video/EmbeddedVideo.h"

namespace swf {

EmbeddedVideo::EmbeddedVideo(const VideoStreamDef& stream) : m_stream(stream) { }

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
    if (target->first == m_decoded)
        return m_picture;
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
