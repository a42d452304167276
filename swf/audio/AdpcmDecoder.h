#pragma once

#include "swf/audio/SoundDecoder.h"

#include <deque>

namespace swf {

// The movie format's ADPCM: a 2-bit code size (2 to 5 bits per sample) at the
// start of each run, then packets of 4096 samples per channel, each packet
// opening with a raw 16-bit sample and a 6-bit step index per channel.
class AdpcmDecoder final : public SoundDecoder {
public:
    explicit AdpcmDecoder(const SoundFormat& format) : m_format(format) { }

    void feed(const QByteArray& data) override;
    double sampleRate() const override { return m_format.rate; }
    int channels() const override { return m_format.channels(); }

    static constexpr int SamplesPerPacket = 4096;

protected:
    int decodeSome(int frames, std::vector<std::int16_t>& out) override;
    void resetCodec() override;

private:
    bool readBits(int count, std::uint32_t& value);
    bool startRun();

    SoundFormat m_format;
    std::deque<QByteArray> m_runs; // fed, not yet started
    QByteArray m_run;              // the run being decoded
    std::size_t m_bitPos = 0;
    bool m_inRun = false;
    int m_codeBits = 4;
    int m_leftInPacket = 0; // coded samples left in the current packet
    int m_sample[2] = { 0, 0 };
    int m_index[2] = { 0, 0 };
};

// Shared with the test encoder so both sides use one definition of the tables.
namespace adpcm {
extern const int StepTable[89];
// The index change for a code's magnitude bits, per code size 2..5.
const int* indexTable(int codeBits);
} // namespace adpcm

} // namespace swf
