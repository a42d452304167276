#pragma once

// One interface for every codec a movie may use. A decoder takes coded bytes
// (a whole DefineSound body's data, or one stream block at a time) and gives
// back 16-bit samples, interleaved when stereo, at the codec's own rate.

#include "swf/Result.h"
#include "swf/format/Sound.h"

#include <QByteArray>

#include <cstdint>
#include <memory>
#include <vector>

namespace swf {

class SoundDecoder {
public:
    virtual ~SoundDecoder() = default;

    // More coded data. For ADPCM each call is a self-contained run of packets
    // (a stream block); for the other codecs the data simply continues.
    virtual void feed(const QByteArray& data) = 0;

    // Decodes up to `frames` sample frames and appends them to `out`
    // (channels() values per frame). Returns the number of frames appended;
    // 0 means everything fed so far has been used.
    int decode(int frames, std::vector<std::int16_t>& out);

    // Drops the next `frames` decoded frames (MP3 seek samples, encoder delay).
    void skip(int frames) { m_skip += frames > 0 ? frames : 0; }

    // Forgets all data fed so far and any pending skip: the stream jumped.
    void reset()
    {
        m_skip = 0;
        resetCodec();
    }

    virtual double sampleRate() const = 0;
    virtual int channels() const = 0;

protected:
    virtual int decodeSome(int frames, std::vector<std::int16_t>& out) = 0;
    virtual void resetCodec() = 0;

private:
    std::int64_t m_skip = 0;
};

// A decoder for `format`, or why there is none (an unknown codec, a codec
// library that is missing).
Result<std::unique_ptr<SoundDecoder>> createSoundDecoder(const SoundFormat& format);

// Decodes a whole defined sound, honouring the MP3 seek samples at the start
// of its data. Stops at `maxFrames` so a lying file cannot exhaust memory.
struct DecodedSound {
    double rate = 44100;
    int channels = 1;
    std::vector<std::int16_t> samples; // interleaved

    std::int64_t frames() const { return channels > 0 ? std::int64_t(samples.size()) / channels : 0; }
};
Result<DecodedSound> decodeDefinedSound(const DefineSoundRecord& sound, std::int64_t maxFrames);

// Decodes an MP3 file as a script loads it (Sound.loadSound): any rate and
// channel count the frames carry, tags before the first frame skipped. An
// error when nothing in it decodes.
Result<DecodedSound> decodeMp3File(const QByteArray& file, std::int64_t maxFrames);

} // namespace swf
