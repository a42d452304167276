#include "swf/audio/AacDecoder.h"

#include "swf/audio/LibavLibrary.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace swf {

namespace {



// One sample of channel `c` at index `i` of a decoded frame, as 16 bits.
std::int16_t sampleAt(const AVFrame* frame, int c, int i)
{
    const auto fmt = AVSampleFormat(frame->format);
    const int channels = std::max(1, frame->ch_layout.nb_channels);
    const bool planar = lib().av_sample_fmt_is_planar(fmt);
    const int plane = planar ? c : 0;
    const int index = planar ? i : i * channels + c;
    switch (fmt) {
    case AV_SAMPLE_FMT_FLT:
    case AV_SAMPLE_FMT_FLTP:
        return sampleFromFloat(reinterpret_cast<const float*>(frame->extended_data[plane])[index]);
    case AV_SAMPLE_FMT_S16:
    case AV_SAMPLE_FMT_S16P:
        return reinterpret_cast<const std::int16_t*>(frame->extended_data[plane])[index];
    case AV_SAMPLE_FMT_S32:
    case AV_SAMPLE_FMT_S32P:
        return std::int16_t(reinterpret_cast<const std::int32_t*>(frame->extended_data[plane])[index] >> 16);
    default:
        return 0;
    }
}

// A damaged or endless file still decodes, just not into unbounded memory at once.
constexpr std::size_t MaxReadySamples = 1 << 21;

// An AudioSpecificConfig is a few bytes; anything long is not one.
constexpr qsizetype MaxConfigBytes = 64;

} // namespace

std::unique_ptr<AacDecoder> AacDecoder::create(const QByteArray& config, QString* why)
{
    // The codec library is loaded with the first decoder that needs it.
    if (!libav(why))
        return nullptr;
    const AVCodec* codec = lib().avcodec_find_decoder(AV_CODEC_ID_AAC);
    if (!codec) {
        if (why)
            *why = QStringLiteral("no AAC decoder in libavcodec");
        return nullptr;
    }
    if (config.size() < 2 || config.size() > MaxConfigBytes) {
        if (why)
            *why = QStringLiteral("the AAC stream has no usable configuration");
        return nullptr;
    }
    AVCodecContext* ctx = lib().avcodec_alloc_context3(codec);
    if (!ctx)
        return nullptr;
    ctx->extradata = static_cast<std::uint8_t*>(lib().av_mallocz(std::size_t(config.size()) + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!ctx->extradata) {
        lib().avcodec_free_context(&ctx);
        return nullptr;
    }
    std::memcpy(ctx->extradata, config.constData(), std::size_t(config.size()));
    ctx->extradata_size = int(config.size());
    if (lib().avcodec_open2(ctx, codec, nullptr) < 0) {
        lib().avcodec_free_context(&ctx);
        if (why)
            *why = QStringLiteral("libavcodec rejected the AAC configuration");
        return nullptr;
    }
    std::unique_ptr<AacDecoder> d(new AacDecoder(ctx));
    if (!d->m_packet || !d->m_frame)
        return nullptr;
    if (ctx->sample_rate > 0)
        d->m_rate = ctx->sample_rate;
    if (ctx->ch_layout.nb_channels > 0)
        d->m_channels = std::min(2, ctx->ch_layout.nb_channels);
    return d;
}

AacDecoder::AacDecoder(AVCodecContext* context)
    : m_context(context), m_packet(lib().av_packet_alloc()), m_frame(lib().av_frame_alloc())
{
}

AacDecoder::~AacDecoder()
{
    lib().av_frame_free(&m_frame);
    lib().av_packet_free(&m_packet);
    lib().avcodec_free_context(&m_context);
}

void AacDecoder::resetCodec()
{
    lib().avcodec_flush_buffers(m_context);
    m_started = false;
    m_ready.clear();
    m_readyPos = 0;
}

void AacDecoder::feed(const QByteArray& data)
{
    if (data.isEmpty() || data.size() > (1 << 20))
        return;
    // libavcodec wants zeroed padding past the end of every packet.
    if (lib().av_new_packet(m_packet, int(data.size())) < 0)
        return;
    std::memcpy(m_packet->data, data.constData(), std::size_t(data.size()));
    lib().avcodec_send_packet(m_context, m_packet);
    lib().av_packet_unref(m_packet);
    receiveFrames();
}

void AacDecoder::receiveFrames()
{
    while (lib().avcodec_receive_frame(m_context, m_frame) >= 0) {
        const int have = m_frame->ch_layout.nb_channels;
        if (have > 0 && m_frame->sample_rate > 0) {
            // The first frame fixes the format; the configuration may have
            // understated it (implicit stereo, SBR doubling the rate).
            if (!m_started) {
                m_started = true;
                m_rate = m_frame->sample_rate;
                m_channels = std::min(2, have);
            }
            for (int i = 0; i < m_frame->nb_samples && m_ready.size() < MaxReadySamples; ++i)
                for (int c = 0; c < m_channels; ++c)
                    m_ready.push_back(sampleAt(m_frame, std::min(c, have - 1), i));
        }
        lib().av_frame_unref(m_frame);
    }
}

int AacDecoder::decodeSome(int frames, std::vector<std::int16_t>& out)
{
    const std::size_t available = (m_ready.size() - m_readyPos) / std::size_t(m_channels);
    const std::size_t n = std::min(std::size_t(frames), available);
    const auto begin = m_ready.begin() + std::ptrdiff_t(m_readyPos);
    out.insert(out.end(), begin, begin + std::ptrdiff_t(n * std::size_t(m_channels)));
    m_readyPos += n * std::size_t(m_channels);
    if (m_readyPos >= m_ready.size()) {
        m_ready.clear();
        m_readyPos = 0;
    }
    return int(n);
}

} // namespace swf
