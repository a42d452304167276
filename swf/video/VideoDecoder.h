#pragma once

// One video stream's decoder: packets in decoding order in, pictures out as
// premultiplied ARGB images. libavcodec does the decoding; the colour
// conversion is ours, so no scaler library is needed.

#include "swf/format/Video.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <memory>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

namespace swf {

class VideoDecoder {
public:
    // Null, with the reason in `why`, when the codec cannot be decoded here.
    // `deblocking` is the stream's flag: 1 turns the codec's loop filter off.
    static std::unique_ptr<VideoDecoder> create(VideoCodec codec, int deblocking = 0, QString* why = nullptr,
        const QByteArray& extraData = {});
    ~VideoDecoder();
    VideoDecoder(const VideoDecoder&) = delete;
    VideoDecoder& operator=(const VideoDecoder&) = delete;

    // Decodes one packet. The picture it gives, or a null image when the
    // packet is damaged or gives none; the decoder stays usable either way.
    // Without `convert` the picture is decoded (later ones depend on it) but
    // not turned into an image, and a null image comes back: a late frame.
    QImage decode(const QByteArray& packet, bool keyFrame, bool convert = true);
    // Forgets every earlier frame, as before a stream's first.
    void reset();

    VideoCodec codec() const { return m_codec; }

private:
    VideoDecoder(VideoCodec codec, int deblocking, const QByteArray& extraData);
    bool open();
    void close();

    VideoCodec m_codec;
    int m_deblocking;
    QByteArray m_extraData;
    AVCodecContext* m_context = nullptr;
    AVPacket* m_packet = nullptr;
    AVFrame* m_frame = nullptr;
};

// Converts a decoded frame to a premultiplied ARGB image; a null image for a
// pixel format we do not convert.
QImage imageFromFrame(const AVFrame& frame);

} // namespace swf
