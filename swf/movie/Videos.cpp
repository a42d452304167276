#include "swf/movie/Videos.h"

namespace swf {

Result<std::shared_ptr<const Character>> readVideoStreamDefinition(Reader& body)
{
    auto header = SWF_TRY(readDefineVideoStream(body));
    return std::shared_ptr<const Character>(std::make_shared<VideoStreamDef>(header));
}

Result<void> addVideoFrame(Reader& body, const Character* stream, const TimelineDef* timeline, int timelineFrame)
{
    const qint64 start = body.offset();
    auto packet = SWF_TRY(readVideoFrame(body));
    if (!stream || stream->kind != CharacterKind::Video)
        return Error::at(start, QStringLiteral("video frame for %1, which is no video stream").arg(packet.streamId));
    // The stream is still being loaded: its frames arrive after its definition,
    // and only the loader holds it until the movie is complete.
    auto& def = const_cast<VideoStreamDef&>(static_cast<const VideoStreamDef&>(*stream));
    packet.data = videoFramePacket(def.header, packet.data);
    const bool key = def.frames.empty() || isVideoKeyFrame(def.header.codec, packet.data);
    def.frames.try_emplace(packet.frameNumber, VideoStreamDef::Frame { std::move(packet.data), key, timeline, timelineFrame });
    return {};
}

} // namespace swf
