#include "swf/video/FlvAudio.h"

#include "swf/audio/AacDecoder.h"
#include "swf/audio/AdpcmDecoder.h"

#include <algorithm>
#include <cmath>

namespace swf {

namespace {

int codecOf(const FlvAudioPacket& packet)
{
    return packet.format >> 4;
}

// The AAC packet kinds: the first byte of an AAC tag's data.
constexpr char AacConfig = 0;
constexpr char AacRaw = 1;

// Everything fed so far, decoded onto `out` (which fixes rate and channels
// from the first chunk), stopping at `maxFrames`.
void drain(SoundDecoder& decoder, DecodedSound& out, std::int64_t maxFrames)
{
    constexpr int Chunk = 8192;
    while (out.frames() < maxFrames) {
        std::vector<std::int16_t> chunk;
        const int got = decoder.decode(int(std::min<std::int64_t>(Chunk, maxFrames - out.frames())), chunk);
        if (got <= 0)
            return;
        if (out.samples.empty()) {
            out.rate = decoder.sampleRate();
            out.channels = decoder.channels();
        } else if (decoder.channels() != out.channels) {
            return;
        }
        out.samples.insert(out.samples.end(), chunk.begin(), chunk.end());
    }
}

} // namespace

bool flvAudioNeedsDecoding(const FlvFile& file)
{
    if (file.audio.empty())
        return false;
    const int codec = codecOf(file.audio.front());
    if (codec != FlvAdpcm && codec != FlvAac)
        return false;
    return std::all_of(file.audio.begin(), file.audio.end(), [codec](const FlvAudioPacket& p) { return codecOf(p) == codec; });
}

Result<DecodedSound> decodeFlvAudio(const FlvFile& file, std::int64_t maxFrames)
{
    if (!flvAudioNeedsDecoding(file))
        return Error::at(-1, QStringLiteral("the file's sound is neither ADPCM nor AAC throughout"), ErrorKind::Unsupported);
    DecodedSound out;
    qint64 startMs = -1;
    if (codecOf(file.audio.front()) == FlvAdpcm) {
        AdpcmDecoder decoder(soundFormatFromByte(file.audio.front().format));
        for (const FlvAudioPacket& packet : file.audio) {
            if (packet.data.isEmpty())
                continue;
            if (startMs < 0)
                startMs = packet.timeMs;
            // Each packet is a run of its own; decoding as we go keeps the backlog small.
            decoder.feed(packet.data);
            drain(decoder, out, maxFrames);
        }
    } else {
        std::unique_ptr<AacDecoder> decoder;
        QString why;
        for (const FlvAudioPacket& packet : file.audio) {
            if (packet.data.size() < 2)
                continue;
            if (packet.data[0] == AacConfig) {
                // A repeated configuration (a spliced file) starts a fresh decoder only if none runs yet.
                if (!decoder)
                    decoder = AacDecoder::create(packet.data.mid(1), &why);
                continue;
            }
            if (packet.data[0] != AacRaw || !decoder)
                continue;
            if (startMs < 0)
                startMs = packet.timeMs;
            decoder->feed(packet.data.mid(1));
            drain(*decoder, out, maxFrames);
        }
        if (!decoder)
            return Error::at(-1, why.isEmpty() ? QStringLiteral("the AAC stream has no configuration") : why, ErrorKind::Unsupported);
    }
    if (out.samples.empty())
        return Error::at(-1, QStringLiteral("the file's sound decodes to nothing"), ErrorKind::Unsupported);
    // The sound starts where its first packet stands on the file's clock.
    if (startMs > 0) {
        const auto lead = std::min<std::int64_t>(std::llround(double(startMs) * out.rate / 1000), maxFrames);
        out.samples.insert(out.samples.begin(), std::size_t(lead) * std::size_t(out.channels), std::int16_t(0));
    }
    if (out.frames() > maxFrames)
        out.samples.resize(std::size_t(maxFrames) * std::size_t(out.channels));
    return out;
}

} // namespace swf
