#include "VideoExport.h"

#include "swf/Playback.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace {

constexpr double kLongestDefaultSeconds = 600.0;

QString avError(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QString::fromLocal8Bit(text);
}

struct CodecContextFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct SwsFree {
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};
struct SwrFree {
    void operator()(SwrContext* s) const { swr_free(&s); }
};
struct FifoFree {
    void operator()(AVAudioFifo* f) const { av_audio_fifo_free(f); }
};
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextFree>;
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;

// The output file: the muxer closes and frees itself however the export ends.
struct Container {
    AVFormatContext* context = nullptr;
    bool headerWritten = false;
    ~Container()
    {
        if (!context)
            return;
        if (context->pb && !(context->oformat->flags & AVFMT_NOFILE))
            avio_closep(&context->pb);
        avformat_free_context(context);
    }
};

enum class Kind { Mp4, WebM, Gif };

// The first encoder Debian's libavcodec has among `names`, then the codec's default.
const AVCodec* findEncoder(std::initializer_list<const char*> names, AVCodecID fallback, const VideoExportProgress& progress)
{
    for (const char* name : names) {
        if (const AVCodec* codec = avcodec_find_encoder_by_name(name)) {
            if (name != *names.begin() && progress.note)
                progress.note(QStringLiteral("encoder %1 is missing, using %2").arg(QLatin1String(*names.begin()), QLatin1String(name)));
            return codec;
        }
    }
    const AVCodec* codec = avcodec_find_encoder(fallback);
    if (codec && progress.note)
        progress.note(QStringLiteral("encoder %1 is missing, using %2").arg(QLatin1String(*names.begin()), QLatin1String(codec->name)));
    return codec;
}

QTransform showAll(const QRectF& stage, const QSize& target)
{
    if (stage.width() <= 0 || stage.height() <= 0)
        return QTransform();
    const double scale = std::min(target.width() / stage.width(), target.height() / stage.height());
    const double dx = (target.width() - stage.width() * scale) / 2 - stage.left() * scale;
    const double dy = (target.height() - stage.height() * scale) / 2 - stage.top() * scale;
    return QTransform(scale, 0, 0, scale, dx, dy);
}

class Exporter {
public:
    Exporter(swf::Playback& movie, const VideoExportSettings& settings, const VideoExportProgress& progress)
        : m_movie(movie)
        , m_settings(settings)
        , m_progress(progress)
    {
    }

    std::optional<QString> run();

private:
    std::optional<QString> openVideo(Kind kind);
    std::optional<QString> openAudio(Kind kind);
    std::optional<QString> writeVideoFrame(int index);
    std::optional<QString> mixAudioFor(int frameNumber);
    std::optional<QString> drainAudio(bool flush);
    std::optional<QString> send(AVCodecContext* codec, AVStream* stream, AVFrame* frame);

    swf::Playback& m_movie;
    VideoExportSettings m_settings;
    VideoExportProgress m_progress;
    Container m_out;
    QSize m_size;
    AVRational m_frameRate {};
    CodecContextPtr m_video;
    AVStream* m_videoStream = nullptr;
    FramePtr m_picture;
    std::unique_ptr<SwsContext, SwsFree> m_scale;
    CodecContextPtr m_audio;
    AVStream* m_audioStream = nullptr;
    std::unique_ptr<SwrContext, SwrFree> m_resample;
    std::unique_ptr<AVAudioFifo, FifoFree> m_fifo;
    std::int64_t m_audioPts = 0;
    std::unique_ptr<AVPacket, PacketFree> m_packet { av_packet_alloc() };
};

std::optional<QString> Exporter::openVideo(Kind kind)
{
    const AVCodec* codec = nullptr;
    switch (kind) {
    case Kind::Mp4: codec = findEncoder({ "libx264", "mpeg4" }, AV_CODEC_ID_H264, m_progress); break;
    case Kind::WebM: codec = findEncoder({ "libvpx-vp9", "libvpx" }, AV_CODEC_ID_VP9, m_progress); break;
    case Kind::Gif: codec = findEncoder({ "gif" }, AV_CODEC_ID_GIF, m_progress); break;
    }
    if (!codec)
        return QStringLiteral("no video encoder for %1").arg(m_settings.path);
    m_video.reset(avcodec_alloc_context3(codec));
    AVCodecContext* c = m_video.get();
    c->width = m_size.width();
    c->height = m_size.height();
    c->time_base = av_inv_q(m_frameRate);
    c->framerate = m_frameRate;
    c->pix_fmt = kind == Kind::Gif ? AV_PIX_FMT_PAL8 : AV_PIX_FMT_YUV420P;
    c->gop_size = std::max(1, int(std::lround(av_q2d(m_frameRate) * 2)));
    if (kind != Kind::Gif) {
        c->color_range = AVCOL_RANGE_MPEG;
        c->colorspace = AVCOL_SPC_SMPTE170M;
    }
    if (QLatin1String(codec->name) == QLatin1String("libx264")) {
        av_opt_set(c->priv_data, "preset", "veryfast", 0);
        av_opt_set(c->priv_data, "crf", "20", 0);
    } else if (QLatin1String(codec->name).startsWith(QLatin1String("libvpx"))) {
        // Constant quality at a speed that keeps a cartoon's export short.
        av_opt_set(c->priv_data, "crf", "30", 0);
        av_opt_set(c->priv_data, "deadline", "realtime", 0);
        av_opt_set(c->priv_data, "cpu-used", "8", 0);
        c->bit_rate = 0;
    } else if (kind != Kind::Gif) {
        c->bit_rate = 4'000'000;
    }
    if (m_out.context->oformat->flags & AVFMT_GLOBALHEADER)
        c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (int rc = avcodec_open2(c, codec, nullptr); rc < 0)
        return QStringLiteral("cannot open the %1 encoder: %2").arg(QLatin1String(codec->name), avError(rc));
    m_videoStream = avformat_new_stream(m_out.context, nullptr);
    if (!m_videoStream)
        return QStringLiteral("out of memory");
    avcodec_parameters_from_context(m_videoStream->codecpar, c);
    m_videoStream->time_base = c->time_base;
    m_videoStream->avg_frame_rate = m_frameRate;
    m_videoStream->r_frame_rate = m_frameRate;

    m_picture.reset(av_frame_alloc());
    m_picture->format = c->pix_fmt;
    m_picture->width = c->width;
    m_picture->height = c->height;
    if (int rc = av_frame_get_buffer(m_picture.get(), 0); rc < 0)
        return QStringLiteral("cannot allocate a picture: %1").arg(avError(rc));
    if (kind != Kind::Gif) {
        m_scale.reset(sws_getContext(c->width, c->height, AV_PIX_FMT_RGB32, c->width, c->height, AV_PIX_FMT_YUV420P,
            SWS_BICUBIC, nullptr, nullptr, nullptr));
        if (!m_scale)
            return QStringLiteral("cannot convert pictures to YUV");
    }
    return std::nullopt;
}

std::optional<QString> Exporter::openAudio(Kind kind)
{
    const AVCodec* codec = kind == Kind::Mp4 ? findEncoder({ "aac" }, AV_CODEC_ID_AAC, m_progress)
                                             : findEncoder({ "libopus", "opus" }, AV_CODEC_ID_OPUS, m_progress);
    if (!codec)
        return QStringLiteral("no audio encoder for %1").arg(m_settings.path);
    m_audio.reset(avcodec_alloc_context3(codec));
    AVCodecContext* c = m_audio.get();
    // The encoder's own sample format and, where it cannot take the mixer's
    // 44.1 kHz (Opus), the nearest rate it can.
    c->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
    int rate = swf::Playback::AudioRate;
    if (codec->supported_samplerates) {
        rate = codec->supported_samplerates[0];
        for (const int* r = codec->supported_samplerates; *r; ++r) {
            if (*r == swf::Playback::AudioRate || (std::abs(*r - swf::Playback::AudioRate) < std::abs(rate - swf::Playback::AudioRate)))
                rate = *r;
        }
    }
    c->sample_rate = rate;
    av_channel_layout_default(&c->ch_layout, 2);
    c->bit_rate = 128'000;
    c->time_base = AVRational { 1, rate };
    c->strict_std_compliance = FF_COMPLIANCE_EXPERIMENTAL; // the native Opus encoder, if it must stand in
    if (m_out.context->oformat->flags & AVFMT_GLOBALHEADER)
        c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (int rc = avcodec_open2(c, codec, nullptr); rc < 0)
        return QStringLiteral("cannot open the %1 encoder: %2").arg(QLatin1String(codec->name), avError(rc));
    m_audioStream = avformat_new_stream(m_out.context, nullptr);
    if (!m_audioStream)
        return QStringLiteral("out of memory");
    avcodec_parameters_from_context(m_audioStream->codecpar, c);
    m_audioStream->time_base = c->time_base;

    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    SwrContext* swr = nullptr;
    if (swr_alloc_set_opts2(&swr, &c->ch_layout, c->sample_fmt, c->sample_rate, &stereo, AV_SAMPLE_FMT_S16,
            swf::Playback::AudioRate, 0, nullptr) < 0 || swr_init(swr) < 0) {
        swr_free(&swr);
        return QStringLiteral("cannot convert the sound for the %1 encoder").arg(QLatin1String(codec->name));
    }
    m_resample.reset(swr);
    m_fifo.reset(av_audio_fifo_alloc(c->sample_fmt, 2, std::max(c->frame_size, 1024) * 4));
    if (!m_fifo)
        return QStringLiteral("out of memory");
    return std::nullopt;
}

std::optional<QString> Exporter::send(AVCodecContext* codec, AVStream* stream, AVFrame* frame)
{
    int rc = avcodec_send_frame(codec, frame);
    if (rc < 0 && rc != AVERROR_EOF)
        return QStringLiteral("the %1 encoder failed: %2").arg(QLatin1String(codec->codec->name), avError(rc));
    for (;;) {
        rc = avcodec_receive_packet(codec, m_packet.get());
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF)
            return std::nullopt;
        if (rc < 0)
            return QStringLiteral("the %1 encoder failed: %2").arg(QLatin1String(codec->codec->name), avError(rc));
        av_packet_rescale_ts(m_packet.get(), codec->time_base, stream->time_base);
        m_packet->stream_index = stream->index;
        rc = av_interleaved_write_frame(m_out.context, m_packet.get());
        if (rc < 0)
            return QStringLiteral("cannot write %1: %2").arg(m_settings.path, avError(rc));
    }
}

std::optional<QString> Exporter::writeVideoFrame(int index)
{
    QImage image(m_size, QImage::Format_RGB32);
    image.fill(m_movie.backgroundColor());
    {
        QPainter painter(&image);
        m_movie.render(painter, showAll(m_movie.stageRect(), m_size));
    }
    if (int rc = av_frame_make_writable(m_picture.get()); rc < 0)
        return QStringLiteral("cannot reuse a picture: %1").arg(avError(rc));
    if (m_scale) {
        const uint8_t* planes[1] = { image.constBits() };
        const int strides[1] = { int(image.bytesPerLine()) };
        sws_scale(m_scale.get(), planes, strides, 0, image.height(), m_picture->data, m_picture->linesize);
    } else {
        // GIF: each frame with its own palette of at most 256 colours, dithered.
        const QImage indexed = image.convertToFormat(QImage::Format_Indexed8, Qt::DiffuseDither);
        for (int y = 0; y < indexed.height(); ++y)
            std::copy_n(indexed.constScanLine(y), indexed.width(), m_picture->data[0] + std::ptrdiff_t(y) * m_picture->linesize[0]);
        auto* palette = reinterpret_cast<uint32_t*>(m_picture->data[1]);
        const auto table = indexed.colorTable();
        for (int i = 0; i < 256; ++i)
            palette[i] = i < table.size() ? (table[i] | 0xff000000u) : 0xff000000u;
    }
    m_picture->pts = index;
    return send(m_video.get(), m_videoStream, m_picture.get());
}

std::optional<QString> Exporter::mixAudioFor(int frameNumber)
{
    if (!m_audio)
        return std::nullopt;
    // Each frame adds exactly its share of the mixer's samples at the frame rate.
    const double perFrame = swf::Playback::AudioRate / m_movie.frameRate();
    const int count = int(std::llround(frameNumber * perFrame) - std::llround((frameNumber - 1) * perFrame));
    if (count <= 0)
        return std::nullopt;
    std::vector<std::int16_t> mixed(std::size_t(count) * 2);
    m_movie.mixAudio(mixed.data(), count);

    const int room = swr_get_out_samples(m_resample.get(), count);
    FramePtr converted(av_frame_alloc());
    converted->format = m_audio->sample_fmt;
    converted->sample_rate = m_audio->sample_rate;
    av_channel_layout_copy(&converted->ch_layout, &m_audio->ch_layout);
    converted->nb_samples = std::max(room, 1);
    if (int rc = av_frame_get_buffer(converted.get(), 0); rc < 0)
        return QStringLiteral("cannot allocate sound: %1").arg(avError(rc));
    const uint8_t* in[1] = { reinterpret_cast<const uint8_t*>(mixed.data()) };
    const int got = swr_convert(m_resample.get(), converted->data, converted->nb_samples, in, count);
    if (got < 0)
        return QStringLiteral("cannot convert the sound: %1").arg(avError(got));
    if (got > 0 && av_audio_fifo_write(m_fifo.get(), reinterpret_cast<void**>(converted->data), got) < got)
        return QStringLiteral("out of memory");
    return drainAudio(false);
}

std::optional<QString> Exporter::drainAudio(bool flush)
{
    const int frameSize = m_audio->frame_size > 0 ? m_audio->frame_size : 1024;
    while (av_audio_fifo_size(m_fifo.get()) >= frameSize || (flush && av_audio_fifo_size(m_fifo.get()) > 0)) {
        const int n = std::min(frameSize, av_audio_fifo_size(m_fifo.get()));
        FramePtr frame(av_frame_alloc());
        frame->format = m_audio->sample_fmt;
        frame->sample_rate = m_audio->sample_rate;
        av_channel_layout_copy(&frame->ch_layout, &m_audio->ch_layout);
        // A short last frame is padded with silence where the encoder wants whole ones.
        const bool variable = m_audio->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE;
        frame->nb_samples = variable ? n : frameSize;
        if (int rc = av_frame_get_buffer(frame.get(), 0); rc < 0)
            return QStringLiteral("cannot allocate sound: %1").arg(avError(rc));
        av_samples_set_silence(frame->data, 0, frame->nb_samples, 2, m_audio->sample_fmt);
        av_audio_fifo_read(m_fifo.get(), reinterpret_cast<void**>(frame->data), n);
        frame->pts = m_audioPts;
        m_audioPts += frame->nb_samples;
        if (auto error = send(m_audio.get(), m_audioStream, frame.get()))
            return error;
    }
    return std::nullopt;
}

std::optional<QString> Exporter::run()
{
    const QString suffix = QFileInfo(m_settings.path).suffix().toLower();
    Kind kind;
    const char* muxer;
    if (suffix == QLatin1String("mp4")) {
        kind = Kind::Mp4;
        muxer = "mp4";
    } else if (suffix == QLatin1String("webm")) {
        kind = Kind::WebM;
        muxer = "webm";
    } else if (suffix == QLatin1String("gif")) {
        kind = Kind::Gif;
        muxer = "gif";
    } else {
        return QStringLiteral("--video writes .mp4, .webm or .gif, not '%1'").arg(m_settings.path);
    }
    if (!m_packet)
        return QStringLiteral("out of memory");
    // 4:2:0 pictures need even sides.
    m_size = m_settings.size;
    if (kind != Kind::Gif)
        m_size = QSize((m_size.width() + 1) & ~1, (m_size.height() + 1) & ~1);
    m_frameRate = av_d2q(m_movie.frameRate(), 1 << 16);
    if (m_frameRate.num <= 0 || m_frameRate.den <= 0)
        m_frameRate = AVRational { 12, 1 };

    const QByteArray path = QFile::encodeName(m_settings.path);
    if (int rc = avformat_alloc_output_context2(&m_out.context, nullptr, muxer, path.constData()); rc < 0 || !m_out.context)
        return QStringLiteral("cannot make %1: %2").arg(m_settings.path, avError(rc));
    if (auto error = openVideo(kind))
        return error;
    if (kind != Kind::Gif) {
        if (auto error = openAudio(kind))
            return error;
    }
    if (!(m_out.context->oformat->flags & AVFMT_NOFILE)) {
        if (int rc = avio_open(&m_out.context->pb, path.constData(), AVIO_FLAG_WRITE); rc < 0)
            return QStringLiteral("cannot write %1: %2").arg(m_settings.path, avError(rc));
    }
    if (int rc = avformat_write_header(m_out.context, nullptr); rc < 0)
        return QStringLiteral("cannot write %1: %2").arg(m_settings.path, avError(rc));
    m_out.headerWritten = true;

    const int total = std::max(1, m_settings.frames);
    for (int i = 0; i < total; ++i) {
        if (i > 0) {
            m_movie.nextFrame();
            if (m_movie.quitRequested())
                break;
        }
        if (auto error = writeVideoFrame(i))
            return error;
        if (auto error = mixAudioFor(i + 1))
            return error;
        if (m_progress.frameWritten)
            m_progress.frameWritten(i + 1, total);
    }
    // Whatever the encoders still hold, then the file's index.
    if (auto error = send(m_video.get(), m_videoStream, nullptr))
        return error;
    if (m_audio) {
        if (auto error = drainAudio(true))
            return error;
        if (auto error = send(m_audio.get(), m_audioStream, nullptr))
            return error;
    }
    if (int rc = av_write_trailer(m_out.context); rc < 0)
        return QStringLiteral("cannot finish %1: %2").arg(m_settings.path, avError(rc));
    return std::nullopt;
}

} // namespace

int defaultVideoFrames(int frameCount, double frameRate)
{
    const int longest = std::max(1, int(std::floor(kLongestDefaultSeconds * frameRate)));
    return std::clamp(frameCount, 1, longest);
}

std::optional<QString> exportVideo(swf::Playback& movie, const VideoExportSettings& settings, const VideoExportProgress& progress)
{
    av_log_set_level(AV_LOG_ERROR);
    Exporter exporter(movie, settings, progress);
    return exporter.run();
}
