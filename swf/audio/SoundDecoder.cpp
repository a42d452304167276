#include "swf/audio/SoundDecoder.h"

#include "swf/audio/AdpcmDecoder.h"
#include "swf/audio/LibavDecoder.h"
#include "swf/audio/Mp3Decoder.h"
#include "swf/audio/PcmDecoder.h"

#include <algorithm>

namespace swf {

int SoundDecoder::decode(int frames, std::vector<std::int16_t>& out)
{
    if (frames <= 0)
        return 0;
    std::vector<std::int16_t> scratch;
    while (m_skip > 0) {
        scratch.clear();
        const int want = int(std::min<std::int64_t>(m_skip, 4096));
        const int got = decodeSome(want, scratch);
        if (got <= 0)
            return 0;
        m_skip -= got;
    }
    return decodeSome(frames, out);
}

Result<std::unique_ptr<SoundDecoder>> createSoundDecoder(const SoundFormat& format)
{
    switch (format.codec) {
    case SoundCodec::PcmNative:
    case SoundCodec::PcmLittle:
        return std::unique_ptr<SoundDecoder>(new PcmDecoder(format));
    case SoundCodec::Adpcm:
        return std::unique_ptr<SoundDecoder>(new AdpcmDecoder(format));
    case SoundCodec::Mp3: {
        auto d = Mp3Decoder::create(format);
        if (!d)
            return Error::at(-1, QStringLiteral("the MP3 decoder could not start"), ErrorKind::Unsupported);
        return std::unique_ptr<SoundDecoder>(std::move(d));
    }
    case SoundCodec::Nellymoser16k:
    case SoundCodec::Nellymoser8k:
    case SoundCodec::Nellymoser:
    case SoundCodec::Speex: {
        QString why;
        auto d = LibavDecoder::create(format, &why);
        if (!d)
            return Error::at(-1, why, ErrorKind::Unsupported);
        return std::unique_ptr<SoundDecoder>(std::move(d));
    }
    }
    return Error::at(-1, QStringLiteral("unknown sound codec %1").arg(int(format.codec)), ErrorKind::Unsupported);
}

Result<DecodedSound> decodeDefinedSound(const DefineSoundRecord& sound, std::int64_t maxFrames)
{
    auto decoder = SWF_TRY(createSoundDecoder(sound.format));
    QByteArray data = sound.data;
    if (sound.format.codec == SoundCodec::Mp3) {
        // MP3 sound data opens with the number of samples to drop: the
        // encoder's delay, so the first sample heard is the author's first.
        if (data.size() < 2)
            return Error::at(-1, QStringLiteral("MP3 sound data ends before its seek samples"), ErrorKind::Truncated);
        const auto seek = std::int16_t(std::uint8_t(data[0]) | (std::uint8_t(data[1]) << 8));
        decoder->skip(seek);
        data.remove(0, 2);
    }
    decoder->feed(data);
    DecodedSound out;
    constexpr int Chunk = 8192;
    while (true) {
        const std::int64_t have = out.channels > 0 ? std::int64_t(out.samples.size()) / out.channels : 0;
        if (have >= maxFrames)
            break;
        std::vector<std::int16_t> chunk;
        const int got = decoder->decode(int(std::min<std::int64_t>(Chunk, maxFrames - have)), chunk);
        if (got <= 0)
            break;
        // The first decoded chunk fixes the format; an MP3 that changes
        // channel count mid-way is cut at that point.
        if (out.samples.empty()) {
            out.rate = decoder->sampleRate();
            out.channels = decoder->channels();
        } else if (decoder->channels() != out.channels) {
            break;
        }
        out.samples.insert(out.samples.end(), chunk.begin(), chunk.end());
    }
    if (out.samples.empty()) {
        out.rate = decoder->sampleRate();
        out.channels = decoder->channels();
    }
    // The declared count is the sound's length: beyond it lie padding bits
    // (ADPCM) or the decoder's tail (MP3), never the author's sound.
    if (sound.sampleCount > 0 && out.frames() > std::int64_t(sound.sampleCount))
        out.samples.resize(std::size_t(sound.sampleCount) * std::size_t(out.channels));
    return out;
}

Result<DecodedSound> decodeMp3File(const QByteArray& file, std::int64_t maxFrames)
{
    DefineSoundRecord record;
    record.format.codec = SoundCodec::Mp3;
    record.format.stereo = true;
    // No seek samples in a file: the two zero bytes say so.
    record.data = QByteArray(2, '\0') + file;
    auto decoded = SWF_TRY(decodeDefinedSound(record, maxFrames));
    if (decoded.samples.empty())
        return Error::at(-1, QStringLiteral("no MP3 frame decodes in the file"), ErrorKind::Unsupported);
    return decoded;
}

} // namespace swf
