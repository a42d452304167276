#pragma once

#include "swf/audio/SoundDecoder.h"

#include <QString>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

namespace swf {

// AAC through libavcodec, as FLV files carry it: the stream's
// AudioSpecificConfig comes first (the file's sequence header), then each
// fed block is one raw access unit. Mono and stereo come out as they are;
// more channels are cut to the first two.
class AacDecoder final : public SoundDecoder {
public:
    // Null when libavcodec has no AAC decoder or rejects `config`; `why` says which.
    static std::unique_ptr<AacDecoder> create(const QByteArray& config, QString* why);
    ~AacDecoder() override;

    void feed(const QByteArray& data) override;
    double sampleRate() const override { return m_rate; }
    int channels() const override { return m_channels; }

protected:
    int decodeSome(int frames, std::vector<std::int16_t>& out) override;
    void resetCodec() override;

private:
    AacDecoder(AVCodecContext* context);
    void receiveFrames();

    AVCodecContext* m_context = nullptr;
    AVPacket* m_packet = nullptr;
    AVFrame* m_frame = nullptr;
    double m_rate = 44100;
    int m_channels = 2;
    bool m_started = false; // a frame came out: rate and channels are known
    std::vector<std::int16_t> m_ready; // decoded, interleaved, not yet handed out
    std::size_t m_readyPos = 0;
};

} // namespace swf
