#pragma once

// Embedded video records: the stream a DefineVideoStream declares and the
// packets its VideoFrame tags carry, one per timeline frame.

#include "swf/Result.h"
#include "swf/io/Reader.h"

#include <QByteArray>

#include <cstdint>

namespace swf {

enum class VideoCodec : std::uint8_t {
    None = 0,
    H263 = 2,          // Sorenson H.263
    ScreenVideo = 3,
    Vp6 = 4,
    Vp6Alpha = 5,
    ScreenVideo2 = 6,
    H264 = 7,          // only inside FLV files
};

// Largest picture a stream may declare. Far above anything the player's
// codecs were made for, low enough that a few decoded frames stay cheap.
constexpr int MaxVideoWidth = 4096;
constexpr int MaxVideoHeight = 4096;
constexpr int MaxVideoFrames = 65535;

struct VideoStreamHeader {
    std::uint16_t id = 0;
    int frameCount = 0; // as declared; the VideoFrame tags decide
    int width = 0;      // pixels
    int height = 0;
    int deblocking = 0; // 0: as the packet says, 1: off, 2..5: filter levels
    bool smoothing = false;
    VideoCodec codec = VideoCodec::None;
};

struct VideoFramePacket {
    std::uint16_t streamId = 0;
    int frameNumber = 0;
    QByteArray data;
};

// Refuses a stream of an absurd size, so that nothing is allocated for it later.
Result<VideoStreamHeader> readDefineVideoStream(Reader& body);
Result<VideoFramePacket> readVideoFrame(Reader& body);

// The packet of a VideoFrame as the decoder takes it. Some writers put the
// frame-type and codec byte of FLV video tags before screen video packets;
// those packets begin with their picture size, so the byte shows itself
// when the size after it is the stream's and the size at the start is not.
QByteArray videoFramePacket(const VideoStreamHeader& stream, const QByteArray& data);

// Whether libavcodec decodes this codec for us in a movie.
bool isKnownVideoCodec(VideoCodec codec);

// Whether a packet decodes without the frames before it: where a seek may
// start decoding. Frame 0 of a stream always counts as one.
bool isVideoKeyFrame(VideoCodec codec, const QByteArray& packet);

} // namespace swf
