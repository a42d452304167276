// Random bytes as video: the first byte picks a reading.
//   0: an FLV file, its video packets decoded, its script data read, and
//      its pictures shown as a NetStream moves through it;
//   1: a DefineVideoStream body (10 bytes), then VideoFrame packets each led
//      by a 16-bit length, shown forward, then back and forward again;
//   2: one packet for each codec's decoder.

#include "OffscreenApp.h"
#include "swf/format/Video.h"
#include "swf/movie/Videos.h"
#include "swf/video/EmbeddedVideo.h"
#include "swf/video/FlvPlayback.h"
#include "swf/video/FlvReader.h"
#include "swf/video/VideoDecoder.h"

#include <cstddef>
#include <cstdint>

using namespace swf;

namespace {

void fuzzFlv(const QByteArray& bytes)
{
    FlvLimits limits;
    limits.maxTags = 4096;
    auto file = readFlv(bytes, limits);
    if (!file.ok())
        return;
    std::unique_ptr<VideoDecoder> decoder;
    int decoded = 0;
    for (const FlvVideoPacket& packet : file.value().video) {
        if (!decoder || decoder->codec() != packet.codec)
            decoder = VideoDecoder::create(packet.codec, 0, nullptr, file.value().videoExtraData);
        if (!decoder)
            continue;
        if (++decoded > 64)
            break;
        QImage image = decoder->decode(packet.data, packet.key);
        if (!image.isNull() && (image.width() > MaxVideoWidth || image.height() > MaxVideoHeight))
            __builtin_trap();
    }
    for (const FlvScriptTag& script : file.value().scripts) {
        if (script.name.size() > bytes.size())
            __builtin_trap();
    }
    // As a NetStream plays it: forward, to the end, back to the middle.
    if (file.value().video.size() <= 64) {
        const qint64 duration = file.value().durationMs();
        FlvPlayback playback(file.value(), false);
        for (qint64 at : { qint64(0), duration, duration / 2, playback.seekPoint(duration / 3) })
            playback.showAt(at);
    }
}

void fuzzStream(const QByteArray& bytes)
{
    if (bytes.size() < 10)
        return;
    const QByteArray definition = bytes.left(10); // the reader only borrows its bytes
    Reader header(definition);
    auto def = readVideoStreamDefinition(header);
    if (!def.ok())
        return;
    auto stream = def.value();
    qsizetype pos = 10;
    int number = 0;
    while (pos + 2 <= bytes.size() && number < 64) {
        const int length = std::uint8_t(bytes[pos]) | std::uint8_t(bytes[pos + 1]) << 8;
        pos += 2;
        QByteArray frame;
        frame.append(char(stream->id & 0xff)).append(char(stream->id >> 8));
        frame.append(char(number & 0xff)).append(char(number >> 8));
        frame += bytes.mid(pos, length);
        pos += length;
        Reader body(frame);
        (void)addVideoFrame(body, stream.get(), nullptr, 0);
        ++number;
    }
    EmbeddedVideo video(static_cast<const VideoStreamDef&>(*stream));
    for (int i = 0; i < number; ++i)
        video.frameAt(i);
    video.frameAt(number / 2);
    video.frameAt(number);
}

void fuzzPacket(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return;
    static const VideoCodec codecs[] = { VideoCodec::H263, VideoCodec::ScreenVideo, VideoCodec::Vp6, VideoCodec::Vp6Alpha,
        VideoCodec::ScreenVideo2, VideoCodec::H264 };
    const VideoCodec codec = codecs[std::uint8_t(bytes[0]) % 6];
    auto decoder = VideoDecoder::create(codec, std::uint8_t(bytes[0]) >> 7);
    if (!decoder)
        return;
    const QByteArray packet = bytes.mid(1);
    decoder->decode(packet, isVideoKeyFrame(codec, packet));
    decoder->decode(packet, false);
}

} // namespace

VANTREL_FUZZ_OFFSCREEN_APP()

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    switch (data[0] % 3) {
    case 0:
        fuzzFlv(bytes);
        break;
    case 1:
        fuzzStream(bytes);
        break;
    default:
        fuzzPacket(bytes);
        break;
    }
    return 0;
}
