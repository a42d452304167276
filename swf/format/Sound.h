#pragma once

// Sound records as the movie stores them: the sound definitions, the records
// that start and stop sounds, and the stream headers and blocks a timeline
// carries frame by frame. Each is read from one tag body with every read
// bounded; error offsets count from the start of that body. The decoders that
// turn the data into samples are in swf/audio.

#include "swf/Result.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

namespace swf {

enum class SoundCodec : std::uint8_t {
    PcmNative = 0,    // uncompressed, host byte order (little-endian on our hosts)
    Adpcm = 1,
    Mp3 = 2,
    PcmLittle = 3,
    Nellymoser16k = 4,
    Nellymoser8k = 5,
    Nellymoser = 6,
    Speex = 11,
};

// How a run of sound data is coded. `rate` is the rate the codec really
// produces (Nellymoser 8k/16k and Speex ignore the rate bits).
struct SoundFormat {
    SoundCodec codec = SoundCodec::PcmLittle;
    double rate = 44100;
    bool sixteenBit = true;
    bool stereo = false;

    int channels() const { return stereo ? 2 : 1; }
    bool isKnownCodec() const;
};

// The rate coded in two bits: 5.5, 11, 22 or 44 kHz.
double soundRateFromCode(unsigned code);
// Reads the one-byte format/rate/size/type field shared by DefineSound, the
// stream heads and (bit for bit) FLV audio tags.
SoundFormat soundFormatFromByte(std::uint8_t byte);

struct DefineSoundRecord {
    std::uint16_t soundId = 0;
    SoundFormat format;
    std::uint32_t sampleCount = 0; // per channel, as declared; never trusted for sizes
    QByteArray data;
};

struct SoundEnvelopePoint {
    std::uint32_t pos44 = 0;     // position in 44.1 kHz samples from the start of the sound
    std::uint16_t leftLevel = 0; // 0..32768
    std::uint16_t rightLevel = 0;
};

struct SoundInfo {
    bool syncStop = false;
    bool noMultiple = false;
    bool hasInPoint = false;
    bool hasOutPoint = false;
    std::uint32_t inPoint = 0;  // in 44.1 kHz samples
    std::uint32_t outPoint = 0; // in 44.1 kHz samples
    std::uint16_t loopCount = 1;
    std::vector<SoundEnvelopePoint> envelope;
};

struct StartSoundRecord {
    std::uint16_t soundId = 0; // StartSound
    QString className;         // StartSound2
    SoundInfo info;
};

struct SoundStreamHeadRecord {
    SoundFormat playback; // what the author asked the player to play at (advisory)
    SoundFormat stream;   // how the blocks are coded
    std::uint16_t samplesPerFrame = 0;
    std::int16_t latencySeek = 0; // MP3 only
};

// An MP3 stream block starts with its own sample count and seek; other codecs
// carry bare data.
struct SoundStreamBlockRecord {
    std::uint16_t sampleCount = 0;
    std::int16_t seekSamples = 0;
    QByteArray data;
};

struct ButtonSoundRecord {
    std::uint16_t buttonId = 0;
    // Indexed by transition: 0 over-up→idle, 1 idle→over-up, 2 over-up→over-down, 3 over-down→over-up.
    std::uint16_t soundId[4] = { 0, 0, 0, 0 };
    SoundInfo info[4];
};

Result<DefineSoundRecord> readDefineSound(const QByteArray& body);
// StartSound (by character id) or StartSound2 (by class name), as `tagCode` says.
Result<StartSoundRecord> readStartSound(const QByteArray& body, int tagCode);
Result<SoundStreamHeadRecord> readSoundStreamHead(const QByteArray& body);
Result<SoundStreamBlockRecord> readSoundStreamBlock(const QByteArray& body, SoundCodec codec);
Result<ButtonSoundRecord> readDefineButtonSound(const QByteArray& body);

} // namespace swf
