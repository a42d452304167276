#include "swf/video/FlvReader.h"

#include <algorithm>

namespace swf {

namespace {

std::uint32_t be(const QByteArray& b, std::size_t pos, int bytes)
{
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v = v << 8 | std::uint8_t(b[qsizetype(pos) + i]);
    return v;
}

enum FlvTagType { FlvAudio = 8, FlvVideo = 9, FlvScript = 18 };

// Video tag: frame type and codec in the first byte, then per codec the
// bytes only FLV has. False when the tag holds no picture (a command frame,
// the end of an H.264 sequence, or a body too short for its header).
bool readVideoTag(const QByteArray& body, qint64 timeMs, FlvFile& file)
{
    if (body.isEmpty())
        return false;
    const int frameType = std::uint8_t(body[0]) >> 4;
    const int codec = std::uint8_t(body[0]) & 0x0f;
    if (frameType == 5)
        return false; // a command frame, no picture
    FlvVideoPacket packet;
    packet.timeMs = timeMs;
    packet.key = frameType == 1;
    packet.codec = VideoCodec(codec);
    qsizetype skip = 1;
    switch (packet.codec) {
    case VideoCodec::Vp6:
    case VideoCodec::Vp6Alpha:
        // The crop byte: VP6 pictures are coded in whole blocks, this trims them.
        if (body.size() < 2)
            return false;
        if (file.videoExtraData.isEmpty())
            file.videoExtraData = body.mid(1, 1);
        skip = 2;
        break;
    case VideoCodec::H264: {
        if (body.size() < 5)
            return false;
        const int packetType = std::uint8_t(body[1]);
        // A composition time offset follows; we show pictures in decoding order.
        if (packetType == 0) { // the decoder configuration
            file.videoExtraData = body.mid(5);
            return false;
        }
        if (packetType != 1)
            return false;
        skip = 5;
        break;
    }
    default:
        break;
    }
    packet.data = body.mid(skip);
    if (packet.data.isEmpty())
        return false;
    file.video.push_back(std::move(packet));
    return true;
}

void readScriptTag(const QByteArray& body, qint64 timeMs, FlvFile& file)
{
    std::size_t pos = 0;
    auto name = readAmf0(body, pos);
    if (!name.ok() || name.value().type != AmfValue::Type::String)
        return;
    FlvScriptTag tag;
    tag.timeMs = timeMs;
    tag.name = name.value().string;
    if (pos < std::size_t(body.size())) {
        auto value = readAmf0(body, pos);
        if (value.ok())
            tag.value = value.release();
    }
    file.scripts.push_back(std::move(tag));
}

} // namespace

qint64 FlvFile::durationMs() const
{
    qint64 last = 0;
    if (!video.empty())
        last = std::max(last, video.back().timeMs);
    if (!audio.empty())
        last = std::max(last, audio.back().timeMs);
    return last;
}

Result<FlvFile> readFlv(const QByteArray& bytes, const FlvLimits& limits)
{
    const std::size_t size = std::size_t(bytes.size());
    if (size < 9 || !bytes.startsWith("FLV"))
        return Error::at(0, QStringLiteral("not an FLV file"), ErrorKind::NotAMovie);
    FlvFile file;
    const std::uint8_t flags = std::uint8_t(bytes[4]);
    file.declaresAudio = flags & 0x04;
    file.declaresVideo = flags & 0x01;
    const std::uint32_t headerSize = be(bytes, 5, 4);
    if (headerSize < 9 || headerSize > size)
        return Error::at(5, QStringLiteral("FLV header size %1 is not possible").arg(headerSize), ErrorKind::Corrupt);
    // Each tag: type, size (24 bits), time (24 bits and 8 high bits), stream
    // id (24 bits), body, all after the size of the tag before.
    std::size_t pos = headerSize + 4;
    int tags = 0;
    while (pos < size) {
        if (size - pos < 11) {
            file.truncated = true;
            break;
        }
        const int type = std::uint8_t(bytes[qsizetype(pos)]) & 0x1f;
        const std::uint32_t bodySize = be(bytes, pos + 1, 3);
        const qint64 timeMs = qint64(be(bytes, pos + 4, 3) | std::uint32_t(std::uint8_t(bytes[qsizetype(pos) + 7])) << 24);
        const std::size_t bodyStart = pos + 11;
        if (bodySize > size - bodyStart) {
            file.truncated = true;
            break;
        }
        if (++tags > limits.maxTags)
            return Error::at(qint64(pos), QStringLiteral("more than %1 tags in the FLV file").arg(limits.maxTags), ErrorKind::TooLarge);
        const QByteArray body = bytes.mid(qsizetype(bodyStart), qsizetype(bodySize));
        switch (type) {
        case FlvAudio:
            if (!body.isEmpty())
                file.audio.push_back(FlvAudioPacket { timeMs, std::uint8_t(body[0]), body.mid(1) });
            break;
        case FlvVideo:
            readVideoTag(body, timeMs, file);
            break;
        case FlvScript:
            readScriptTag(body, timeMs, file);
            break;
        default:
            break; // other tag types are skipped
        }
        pos = bodyStart + bodySize + 4;
    }
    return file;
}

} // namespace swf
