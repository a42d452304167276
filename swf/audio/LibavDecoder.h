#pragma once

#include "swf/audio/SoundDecoder.h"

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

namespace swf {

// Nellymoser and Speex through libavcodec. Nellymoser data is a run of
// 64-byte blocks of 256 samples each, so bytes are handed over in whole
// blocks; Speex data is handed over as fed (one block, one packet).
class LibavDecoder final : public SoundDecoder {
public:
    // Null when libavcodec has no decoder for the codec; `why` says so.
    static std::unique_ptr<LibavDecoder> create(const SoundFormat& format, QString* why);
    ~LibavDecoder() override;

    void feed(const QByteArray& data) override;
    double sampleRate() const override { return m_format.rate; }
    int channels() const override { return 1; }

    static constexpr int NellymoserBlockBytes = 64;

protected:
    int decodeSome(int frames, std::vector<std::int16_t>& out) override;
    void resetCodec() override;

private:
    LibavDecoder(AVCodecContext* context, const SoundFormat& format);
    bool sendPacket(const char* data, int size);
    void receiveFrames();

    AVCodecContext* m_context = nullptr;
    AVPacket* m_packet = nullptr;
    AVFrame* m_frame = nullptr;
    SoundFormat m_format;
    QByteArray m_pending; // Nellymoser bytes not yet handed to the decoder
    qsizetype m_pendingPos = 0;
    std::vector<std::int16_t> m_ready; // decoded, not yet handed out
    std::size_t m_readyPos = 0;
};

} // namespace swf
