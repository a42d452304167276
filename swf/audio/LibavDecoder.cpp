#include "swf/audio/LibavDecoder.h"
#include "swf/audio/LibavLibrary.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
}

#include <QString>

#include <algorithm>
#include <cmath>

namespace swf {

namespace {



// Keeps the decoded backlog bounded: a huge block of Nellymoser data is
// still decoded, just not all at once.
constexpr std::size_t MaxReadySamples = 1 << 20;

} // namespace

std::unique_ptr<LibavDecoder> LibavDecoder::create(const SoundFormat& format, QString* why)
{
    if (!libav(why))
        return nullptr;
    const bool speex = format.codec == SoundCodec::Speex;
    const AVCodec* codec = lib().avcodec_find_decoder(speex ? AV_CODEC_ID_SPEEX : AV_CODEC_ID_NELLYMOSER);
    if (!codec) {
        if (why)
            *why = speex ? QStringLiteral("no Speex decoder in libavcodec") : QStringLiteral("no Nellymoser decoder in libavcodec");
        return nullptr;
    }
    AVCodecContext* ctx = lib().avcodec_alloc_context3(codec);
    if (!ctx)
        return nullptr;
    ctx->sample_rate = int(std::lround(format.rate));
    lib().av_channel_layout_default(&ctx->ch_layout, 1);
    if (lib().avcodec_open2(ctx, codec, nullptr) < 0) {
        lib().avcodec_free_context(&ctx);
        if (why)
            *why = QStringLiteral("libavcodec could not open the decoder");
        return nullptr;
    }
    std::unique_ptr<LibavDecoder> d(new LibavDecoder(ctx, format));
    if (!d->m_packet || !d->m_frame)
        return nullptr;
    return d;
}

LibavDecoder::LibavDecoder(AVCodecContext* context, const SoundFormat& format)
    : m_context(context), m_packet(lib().av_packet_alloc()), m_frame(lib().av_frame_alloc()), m_format(format)
{
}

LibavDecoder::~LibavDecoder()
{
    lib().av_frame_free(&m_frame);
    lib().av_packet_free(&m_packet);
    lib().avcodec_free_context(&m_context);
}

void LibavDecoder::resetCodec()
{
    lib().avcodec_flush_buffers(m_context);
    m_pending.clear();
    m_pendingPos = 0;
    m_ready.clear();
    m_readyPos = 0;
}

void LibavDecoder::feed(const QByteArray& data)
{
    if (data.isEmpty())
        return;
    if (m_pendingPos > 0) {
        m_pending.remove(0, m_pendingPos);
        m_pendingPos = 0;
    }
    m_pending.append(data);
    if (m_format.codec == SoundCodec::Speex) {
        // One fed block is one packet; whatever it holds, the decoder judges.
        sendPacket(m_pending.constData(), int(std::min<qsizetype>(m_pending.size(), 1 << 20)));
        m_pending.clear();
    }
}

bool LibavDecoder::sendPacket(const char* data, int size)
{
    // libavcodec wants zeroed padding past the end of every packet.
    if (lib().av_new_packet(m_packet, size) < 0)
        return false;
    std::copy(data, data + size, reinterpret_cast<char*>(m_packet->data));
    const int rc = lib().avcodec_send_packet(m_context, m_packet);
    lib().av_packet_unref(m_packet);
    receiveFrames();
    return rc >= 0;
}

void LibavDecoder::receiveFrames()
{
    while (lib().avcodec_receive_frame(m_context, m_frame) >= 0) {
        const int n = m_frame->nb_samples;
        const auto fmt = AVSampleFormat(m_frame->format);
        // Mono: only the first plane or the first interleaved value matters.
        const int stride = lib().av_sample_fmt_is_planar(fmt) ? 1 : std::max(1, m_frame->ch_layout.nb_channels);
        for (int i = 0; i < n && m_ready.size() < MaxReadySamples; ++i) {
            switch (fmt) {
            case AV_SAMPLE_FMT_FLT:
            case AV_SAMPLE_FMT_FLTP:
                m_ready.push_back(sampleFromFloat(reinterpret_cast<const float*>(m_frame->data[0])[i * stride]));
                break;
            case AV_SAMPLE_FMT_S16:
            case AV_SAMPLE_FMT_S16P:
                m_ready.push_back(reinterpret_cast<const std::int16_t*>(m_frame->data[0])[i * stride]);
                break;
            default:
                m_ready.push_back(0);
                break;
            }
        }
        lib().av_frame_unref(m_frame);
    }
}

int LibavDecoder::decodeSome(int frames, std::vector<std::int16_t>& out)
{
    // Nellymoser: hand over whole blocks until enough is decoded.
    while (m_ready.size() - m_readyPos < std::size_t(frames) && m_format.codec != SoundCodec::Speex) {
        const qsizetype blocks = std::min<qsizetype>((m_pending.size() - m_pendingPos) / NellymoserBlockBytes, 16);
        if (blocks == 0)
            break;
        if (m_readyPos > 0) {
            m_ready.erase(m_ready.begin(), m_ready.begin() + std::ptrdiff_t(m_readyPos));
            m_readyPos = 0;
        }
        sendPacket(m_pending.constData() + m_pendingPos, int(blocks * NellymoserBlockBytes));
        m_pendingPos += blocks * NellymoserBlockBytes;
    }
    const std::size_t n = std::min(std::size_t(frames), m_ready.size() - m_readyPos);
    out.insert(out.end(), m_ready.begin() + std::ptrdiff_t(m_readyPos), m_ready.begin() + std::ptrdiff_t(m_readyPos + n));
    m_readyPos += n;
    if (m_readyPos == m_ready.size()) {
        m_ready.clear();
        m_readyPos = 0;
    }
    return int(n);
}

} // namespace swf
