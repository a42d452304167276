#pragma once

#include "swf/audio/SoundDecoder.h"

struct mpg123_handle_struct;

namespace swf {

// MPEG audio through libmpg123 in feed mode: bytes go in as they arrive,
// samples come out once whole frames are there.
class Mp3Decoder final : public SoundDecoder {
public:
    // Null when the library cannot give a handle.
    static std::unique_ptr<Mp3Decoder> create(const SoundFormat& format);
    ~Mp3Decoder() override;

    void feed(const QByteArray& data) override;
    double sampleRate() const override { return m_rate; }
    int channels() const override { return m_channels; }

protected:
    int decodeSome(int frames, std::vector<std::int16_t>& out) override;
    void resetCodec() override;

private:
    Mp3Decoder(mpg123_handle_struct* handle, const SoundFormat& format);
    bool openFeed();
    void applyNextFormat();

    mpg123_handle_struct* m_handle = nullptr;
    double m_rate;
    int m_channels;
    bool m_failed = false;
    double m_nextRate = 0;
    int m_nextChannels = 0; // a format announced but not yet applied
};

} // namespace swf
