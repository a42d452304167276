#pragma once

#include "swf/audio/SoundDecoder.h"

namespace swf {

// Uncompressed samples: 8-bit unsigned or 16-bit signed little-endian. The
// "native" order of old movies is little-endian on every host that wrote them.
class PcmDecoder final : public SoundDecoder {
public:
    explicit PcmDecoder(const SoundFormat& format) : m_format(format) { }

    void feed(const QByteArray& data) override;
    double sampleRate() const override { return m_format.rate; }
    int channels() const override { return m_format.channels(); }

protected:
    int decodeSome(int frames, std::vector<std::int16_t>& out) override;
    void resetCodec() override
    {
        m_pending.clear();
        m_pos = 0;
    }

private:
    SoundFormat m_format;
    QByteArray m_pending;
    qsizetype m_pos = 0;
};

} // namespace swf
