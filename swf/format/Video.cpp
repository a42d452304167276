#include "swf/format/Video.h"

namespace swf {

bool isKnownVideoCodec(VideoCodec codec)
{
    switch (codec) {
    case VideoCodec::H263:
    case VideoCodec::ScreenVideo:
    case VideoCodec::Vp6:
    case VideoCodec::Vp6Alpha:
    case VideoCodec::ScreenVideo2:
    case VideoCodec::H264:
        return true;
    case VideoCodec::None:
        break;
    }
    return false;
}

namespace {

// Sorenson H.263: start code, version, temporal reference, the picture size
// (with an explicit width and height for sizes 0 and 1), then the picture type.
bool h263IsIntra(Reader& bits)
{
    auto startCode = bits.readUB(17);
    if (!startCode.ok() || startCode.value() != 1)
        return false;
    if (!bits.readUB(5).ok() || !bits.readUB(8).ok())
        return false;
    auto size = bits.readUB(3);
    if (!size.ok())
        return false;
    if (size.value() <= 1) {
        const unsigned fieldBits = size.value() == 0 ? 8 : 16;
        if (!bits.readUB(fieldBits).ok() || !bits.readUB(fieldBits).ok())
            return false;
    }
    auto type = bits.readUB(2);
    return type.ok() && type.value() == 0;
}

// Screen video: a key frame carries every block of the picture; a block of
// size 0 keeps what the previous frame showed there.
bool screenVideoIsComplete(Reader& bits)
{
    auto blockWidth = bits.readUB(4);
    auto imageWidth = bits.readUB(12);
    auto blockHeight = bits.readUB(4);
    auto imageHeight = bits.readUB(12);
    if (!blockWidth.ok() || !imageWidth.ok() || !blockHeight.ok() || !imageHeight.ok())
        return false;
    const unsigned bw = (blockWidth.value() + 1) * 16;
    const unsigned bh = (blockHeight.value() + 1) * 16;
    const unsigned blocks = ((imageWidth.value() + bw - 1) / bw) * ((imageHeight.value() + bh - 1) / bh);
    if (blocks == 0)
        return false;
    for (unsigned i = 0; i < blocks; ++i) {
        auto hi = bits.readU8();
        auto lo = bits.readU8();
        if (!hi.ok() || !lo.ok())
            return false;
        const unsigned size = hi.value() << 8 | lo.value();
        if (size == 0 || !bits.skip(size).ok())
            return false;
    }
    return true;
}

// Screen video 2: every block present, as in screen video, and none coded
// against an earlier picture: no difference from the previous picture and
// no compression dictionary primed from the last key frame. The decoder
// keeps a key frame's blocks for the frames after it, so it must be told.
bool screenVideo2IsKey(Reader& bits)
{
    auto blockWidth = bits.readUB(4);
    auto imageWidth = bits.readUB(12);
    auto blockHeight = bits.readUB(4);
    auto imageHeight = bits.readUB(12);
    auto flags = bits.readU8();
    if (!blockWidth.ok() || !imageWidth.ok() || !blockHeight.ok() || !imageHeight.ok() || !flags.ok())
        return false;
    if (flags.value() & 0x03)
        return false; // an image of its own before the blocks, or a palette: not one we start from
    const unsigned bw = (blockWidth.value() + 1) * 16;
    const unsigned bh = (blockHeight.value() + 1) * 16;
    const unsigned blocks = ((imageWidth.value() + bw - 1) / bw) * ((imageHeight.value() + bh - 1) / bh);
    if (blocks == 0)
        return false;
    for (unsigned i = 0; i < blocks; ++i) {
        auto hi = bits.readU8();
        auto lo = bits.readU8();
        if (!hi.ok() || !lo.ok())
            return false;
        const unsigned size = hi.value() << 8 | lo.value();
        if (size == 0)
            return false;
        // Block flags: 3 reserved bits, colour depth (2), has difference,
        // primed from this picture, primed from the previous key frame.
        auto blockFlags = bits.readU8();
        if (!blockFlags.ok() || (blockFlags.value() & 0x05) || !bits.skip(size - 1).ok())
            return false;
    }
    return true;
}

} // namespace

bool isVideoKeyFrame(VideoCodec codec, const QByteArray& packet)
{
    if (packet.isEmpty())
        return false;
    Reader bits(packet);
    switch (codec) {
    case VideoCodec::H263:
        return h263IsIntra(bits);
    // VP6 marks inter frames in the top bit of its first byte; with alpha,
    // the picture follows a 24-bit offset to the alpha plane.
    case VideoCodec::Vp6:
        return !(std::uint8_t(packet[0]) & 0x80);
    case VideoCodec::Vp6Alpha:
        return packet.size() > 3 && !(std::uint8_t(packet[3]) & 0x80);
    case VideoCodec::ScreenVideo:
        return screenVideoIsComplete(bits);
    case VideoCodec::ScreenVideo2:
        return screenVideo2IsKey(bits);
    // H.264 comes with its own key flags in FLV, never in a movie: only a
    // stream's first frame is taken as a starting point.
    case VideoCodec::H264:
    case VideoCodec::None:
        break;
    }
    return false;
}

namespace {

// The image size a screen video packet starts with, when `data` holds one at `offset`.
bool screenVideoSizeIs(const QByteArray& data, qsizetype offset, int width, int height)
{
    if (data.size() < offset + 4)
        return false;
    auto u16 = [&](qsizetype at) { return int(std::uint8_t(data[at])) << 8 | std::uint8_t(data[at + 1]); };
    return (u16(offset) & 0x0fff) == width && (u16(offset + 2) & 0x0fff) == height;
}

} // namespace

QByteArray videoFramePacket(const VideoStreamHeader& stream, const QByteArray& data)
{
    if (stream.codec != VideoCodec::ScreenVideo && stream.codec != VideoCodec::ScreenVideo2)
        return data;
    const int flvCodec = data.isEmpty() ? 0 : std::uint8_t(data[0]) & 0x0f;
    if (flvCodec == int(stream.codec) && !screenVideoSizeIs(data, 0, stream.width, stream.height)
        && screenVideoSizeIs(data, 1, stream.width, stream.height))
        return data.mid(1);
    return data;
}

Result<VideoStreamHeader> readDefineVideoStream(Reader& body)
{
    const qint64 start = body.offset();
    VideoStreamHeader header;
    header.id = SWF_TRY(body.readU16());
    header.frameCount = SWF_TRY(body.readU16());
    header.width = SWF_TRY(body.readU16());
    header.height = SWF_TRY(body.readU16());
    const std::uint8_t flags = SWF_TRY(body.readU8());
    header.deblocking = (flags >> 1) & 0x07;
    header.smoothing = flags & 0x01;
    // Codec 0 is a stream with no frames of its own: a Video object placed
    // for scripts to attach a NetStream to. An unknown codec still defines
    // the object; it shows nothing.
    header.codec = VideoCodec(SWF_TRY(body.readU8()));
    if (header.width > MaxVideoWidth || header.height > MaxVideoHeight) {
        return Error::at(start,
            QStringLiteral("video stream %1 declares %2x%3 pixels, more than %4x%5")
                .arg(header.id).arg(header.width).arg(header.height).arg(MaxVideoWidth).arg(MaxVideoHeight),
            ErrorKind::Corrupt);
    }
    return header;
}

Result<VideoFramePacket> readVideoFrame(Reader& body)
{
    VideoFramePacket packet;
    packet.streamId = SWF_TRY(body.readU16());
    packet.frameNumber = SWF_TRY(body.readU16());
    packet.data = body.rest();
    return packet;
}

} // namespace swf
