#include "swf/video/VideoDecoder.h"
#include "swf/audio/LibavLibrary.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
#include <libavutil/pixfmt.h>
}

#include <algorithm>
#include <cstring>

namespace swf {

namespace {

// Larger than any frame a stream may declare (see MaxVideoWidth): a packet
// whose own header asks for more is not decoded.
constexpr int MaxDecodedPixels = MaxVideoWidth * MaxVideoHeight;

AVCodecID codecIdOf(VideoCodec codec)
{
    switch (codec) {
    case VideoCodec::H263: return AV_CODEC_ID_FLV1;
    case VideoCodec::ScreenVideo: return AV_CODEC_ID_FLASHSV;
    case VideoCodec::ScreenVideo2: return AV_CODEC_ID_FLASHSV2;
    // The player's VP6 is stored upside down; the F variant turns it back.
    case VideoCodec::Vp6: return AV_CODEC_ID_VP6F;
    case VideoCodec::Vp6Alpha: return AV_CODEC_ID_VP6A;
    case VideoCodec::H264: return AV_CODEC_ID_H264;
    case VideoCodec::None: break;
    }
    return AV_CODEC_ID_NONE;
}

std::uint8_t clamp8(int v) { return std::uint8_t(std::clamp(v, 0, 255)); }

// Studio-range BT.601, the matrix these codecs are encoded with, in 16.16 fixed point.
inline QRgb yuvToRgb(int y, int u, int v, int a)
{
    const int c = (y - 16) * 76309;
    const int d = u - 128;
    const int e = v - 128;
    const int r = clamp8((c + 104597 * e + 32768) >> 16);
    const int g = clamp8((c - 25675 * d - 53279 * e + 32768) >> 16);
    const int b = clamp8((c + 132201 * d + 32768) >> 16);
    if (a == 255)
        return qRgb(r, g, b);
    // Premultiplied: each channel scaled by alpha.
    return qRgba(r * a / 255, g * a / 255, b * a / 255, a);
}

QImage fromYuv420(const AVFrame& f, bool fullRange)
{
    QImage image(f.width, f.height, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return image;
    const bool alpha = f.format == AV_PIX_FMT_YUVA420P;
    for (int row = 0; row < f.height; ++row) {
        const std::uint8_t* y = f.data[0] + std::ptrdiff_t(row) * f.linesize[0];
        const std::uint8_t* u = f.data[1] + std::ptrdiff_t(row / 2) * f.linesize[1];
        const std::uint8_t* v = f.data[2] + std::ptrdiff_t(row / 2) * f.linesize[2];
        const std::uint8_t* a = alpha ? f.data[3] + std::ptrdiff_t(row) * f.linesize[3] : nullptr;
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(row));
        for (int col = 0; col < f.width; ++col) {
            int luma = y[col];
            if (fullRange)
                luma = 16 + luma * 219 / 255;
            out[col] = yuvToRgb(luma, u[col / 2], v[col / 2], a ? a[col] : 255);
        }
    }
    return image;
}

QImage fromPacked(const AVFrame& f, bool bgr)
{
    QImage image(f.width, f.height, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return image;
    for (int row = 0; row < f.height; ++row) {
        const std::uint8_t* in = f.data[0] + std::ptrdiff_t(row) * f.linesize[0];
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(row));
        for (int col = 0; col < f.width; ++col, in += 3)
            out[col] = bgr ? qRgb(in[2], in[1], in[0]) : qRgb(in[0], in[1], in[2]);
    }
    return image;
}

} // namespace

QImage imageFromFrame(const AVFrame& frame)
{
    // The limits a stream's declared size must keep hold for what a packet
    // decodes to as well: an FLV stream declares no size at all.
    if (frame.width <= 0 || frame.height <= 0 || frame.width > MaxVideoWidth || frame.height > MaxVideoHeight)
        return {};
    switch (frame.format) {
    case AV_PIX_FMT_YUV420P:
    case AV_PIX_FMT_YUVA420P:
        return fromYuv420(frame, frame.color_range == AVCOL_RANGE_JPEG);
    case AV_PIX_FMT_YUVJ420P:
        return fromYuv420(frame, true);
    case AV_PIX_FMT_BGR24:
        return fromPacked(frame, true);
    case AV_PIX_FMT_RGB24:
        return fromPacked(frame, false);
    default:
        return {};
    }
}

std::unique_ptr<VideoDecoder> VideoDecoder::create(VideoCodec codec, int deblocking, QString* why, const QByteArray& extraData)
{
    if (!isKnownVideoCodec(codec)) {
        if (why)
            *why = QStringLiteral("video codec %1 is not one we decode").arg(int(codec));
        return nullptr;
    }
    if (!libav(why))
        return nullptr;
    std::unique_ptr<VideoDecoder> decoder(new VideoDecoder(codec, deblocking, extraData));
    if (!decoder->open()) {
        if (why)
            *why = QStringLiteral("libavcodec cannot decode video codec %1").arg(int(codec));
        return nullptr;
    }
    return decoder;
}

VideoDecoder::VideoDecoder(VideoCodec codec, int deblocking, const QByteArray& extraData)
    : m_codec(codec), m_deblocking(deblocking), m_extraData(extraData)
{
}

VideoDecoder::~VideoDecoder() { close(); }

bool VideoDecoder::open()
{
    const AVCodec* codec = lib().avcodec_find_decoder(codecIdOf(m_codec));
    if (!codec)
        return false;
    m_context = lib().avcodec_alloc_context3(codec);
    m_packet = lib().av_packet_alloc();
    m_frame = lib().av_frame_alloc();
    if (!m_context || !m_packet || !m_frame)
        return false;
    // One thread and low delay: each packet gives its picture at once, in order.
    m_context->thread_count = 1;
    m_context->flags |= AV_CODEC_FLAG_LOW_DELAY;
    // A packet's own header may ask for any size: libavcodec refuses more than this.
    m_context->max_pixels = MaxDecodedPixels;
    if (m_deblocking == 1)
        m_context->skip_loop_filter = AVDISCARD_ALL;
    if (!m_extraData.isEmpty()) {
        m_context->extradata = static_cast<std::uint8_t*>(lib().av_mallocz(std::size_t(m_extraData.size()) + AV_INPUT_BUFFER_PADDING_SIZE));
        if (!m_context->extradata)
            return false;
        std::memcpy(m_context->extradata, m_extraData.constData(), std::size_t(m_extraData.size()));
        m_context->extradata_size = int(m_extraData.size());
    }
    return lib().avcodec_open2(m_context, codec, nullptr) >= 0;
}

void VideoDecoder::close()
{
    lib().av_frame_free(&m_frame);
    lib().av_packet_free(&m_packet);
    lib().avcodec_free_context(&m_context);
}

void VideoDecoder::reset()
{
    // Some of these decoders keep the previous picture past a flush (screen
    // video's unchanged blocks): a fresh context is the only clean start.
    close();
    if (!open())
        close();
}

QImage VideoDecoder::decode(const QByteArray& data, bool keyFrame, bool convert)
{
    if (!m_context || data.isEmpty())
        return {};
    lib().av_packet_unref(m_packet);
    if (lib().av_new_packet(m_packet, int(data.size())) < 0)
        return {};
    std::memcpy(m_packet->data, data.constData(), std::size_t(data.size()));
    if (keyFrame)
        m_packet->flags |= AV_PKT_FLAG_KEY;
    if (lib().avcodec_send_packet(m_context, m_packet) < 0)
        return {};
    QImage image;
    // Take every picture the packet gives; the last is this packet's.
    while (lib().avcodec_receive_frame(m_context, m_frame) >= 0) {
        if (convert)
            image = imageFromFrame(*m_frame);
        lib().av_frame_unref(m_frame);
    }
    return image;
}

} // namespace swf
