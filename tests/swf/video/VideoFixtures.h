#pragma once

// Movies with embedded video for the video tests: hand-built tags around
// packets, packets taken from files ffmpeg writes, ffmpeg's own decode of
// those files and the picture comparison the tests share.

#include "support/AudioTestSupport.h"

#include <QByteArray>
#include <QImage>

#include <cmath>
#include <optional>
#include <vector>

namespace videotest {

using audiotest::putU16;
using audiotest::putU32;
using audiotest::putU8;

inline QByteArray tag(int code, const QByteArray& body)
{
    QByteArray t;
    putU16(t, (code << 6) | 0x3f); // always the long form: video packets are big
    putU32(t, std::uint32_t(body.size()));
    return t + body;
}

// An uncompressed version 8 movie at 12 fps with a stage of w × h pixels.
inline QByteArray movie(const QByteArray& tags, int frames, int w, int h)
{
    QByteArray m("FWS");
    putU8(m, 8);
    putU32(m, 0); // patched below
    // Stage rectangle: a 5-bit field size (16), then 0, w*20, 0, h*20 twips.
    std::vector<bool> bits;
    auto put = [&bits](std::uint32_t v, int n) {
        for (int i = n - 1; i >= 0; --i)
            bits.push_back((v >> i) & 1);
    };
    put(16, 5);
    for (std::uint32_t f : { 0u, std::uint32_t(w * 20), 0u, std::uint32_t(h * 20) })
        put(f, 16);
    while (bits.size() % 8)
        bits.push_back(false);
    for (std::size_t i = 0; i < bits.size(); i += 8) {
        int byte = 0;
        for (int j = 0; j < 8; ++j)
            byte = byte << 1 | int(bits[i + std::size_t(j)]);
        m.append(char(byte));
    }
    putU16(m, 12 << 8);
    putU16(m, frames);
    m.append(tags);
    m.append(QByteArray(2, '\0')); // End
    const auto len = std::uint32_t(m.size());
    for (int i = 0; i < 4; ++i)
        m[4 + i] = char((len >> (8 * i)) & 0xff);
    return m;
}

struct StreamSpec {
    int codec = 2;
    int width = 320;
    int height = 240;
    int flags = 0; // deblocking << 1 | smoothing
    std::uint16_t id = 1;
};

inline QByteArray defineVideoStream(const StreamSpec& s, int frames)
{
    QByteArray b;
    putU16(b, s.id);
    putU16(b, frames);
    putU16(b, s.width);
    putU16(b, s.height);
    putU8(b, s.flags);
    putU8(b, s.codec);
    return tag(60, b);
}

inline QByteArray videoFrame(std::uint16_t id, int number, const QByteArray& data)
{
    QByteArray b;
    putU16(b, id);
    putU16(b, number);
    return tag(61, b + data);
}

// PlaceObject2 at depth 1: the first time with the character, then moves;
// each carries the ratio that names the video frame shown.
inline QByteArray placeVideo(std::uint16_t id, int ratio, bool first)
{
    QByteArray b;
    putU8(b, first ? 0x12 : 0x11); // ratio + (character | move)
    putU16(b, 1);
    if (first)
        putU16(b, id);
    putU16(b, ratio);
    return tag(26, b);
}

// A movie showing packet i on frame i + 1 (ratio i), then `tail` tags in a
// frame of its own when given.
inline QByteArray videoMovie(const StreamSpec& s, const std::vector<QByteArray>& packets, const QByteArray& tail = {})
{
    QByteArray tags = defineVideoStream(s, int(packets.size()));
    for (std::size_t i = 0; i < packets.size(); ++i) {
        tags += videoFrame(s.id, int(i), packets[i]);
        tags += placeVideo(s.id, int(i), i == 0);
        tags += tag(1, {});
    }
    int frames = int(packets.size());
    if (!tail.isEmpty()) {
        tags += tail + tag(1, {});
        ++frames;
    }
    return movie(tags, frames, s.width, s.height);
}

// The packets of a movie's VideoFrame tags, in file order.
inline std::vector<QByteArray> moviePackets(const QByteArray& swf)
{
    std::vector<QByteArray> out;
    for (const auto& t : audiotest::readMovieTags(swf)) {
        if (t.code == 61 && t.body.size() > 4)
            out.push_back(t.body.mid(4));
    }
    return out;
}

// The video packets of an FLV file (the byte with frame type and codec removed).
inline std::vector<QByteArray> flvVideoPackets(const QByteArray& flv)
{
    std::vector<QByteArray> out;
    if (flv.size() < 13)
        return out;
    qsizetype pos = 13;
    while (pos + 11 <= flv.size()) {
        const int type = std::uint8_t(flv[pos]);
        const int size = std::uint8_t(flv[pos + 1]) << 16 | std::uint8_t(flv[pos + 2]) << 8 | std::uint8_t(flv[pos + 3]);
        if (pos + 11 + size > flv.size())
            break;
        if (type == 9 && size > 1)
            out.push_back(flv.mid(pos + 12, size - 1));
        pos += 11 + size + 4;
    }
    return out;
}

// ffmpeg's test pattern, `seconds` long at 12 fps, encoded with `codec` into `path`.
inline bool encodeTestPattern(const QString& codec, int w, int h, double seconds, const QString& path)
{
    return audiotest::runFfmpeg({ "-f", "lavfi", "-i", QStringLiteral("testsrc=size=%1x%2:rate=12").arg(w).arg(h),
               "-t", QString::number(seconds), "-c:v", codec, path })
        .has_value();
}

// Every picture ffmpeg decodes from `path`, as RGB images.
inline std::vector<QImage> ffmpegFrames(const QString& path, int w, int h)
{
    std::vector<QImage> out;
    auto raw = audiotest::runFfmpeg({ "-i", path, "-f", "rawvideo", "-pix_fmt", "rgb24", "-" });
    if (!raw)
        return out;
    const qsizetype frameBytes = qsizetype(w) * h * 3;
    for (qsizetype pos = 0; pos + frameBytes <= raw->size(); pos += frameBytes) {
        QImage image(reinterpret_cast<const uchar*>(raw->constData() + pos), w, h, w * 3, QImage::Format_RGB888);
        out.push_back(image.copy());
    }
    return out;
}

// Peak signal to noise ratio over the RGB channels, in dB; 99 for equal pictures.
inline double psnr(const QImage& a, const QImage& b)
{
    if (a.size() != b.size() || a.isNull())
        return 0;
    const QImage x = a.convertToFormat(QImage::Format_RGB888);
    const QImage y = b.convertToFormat(QImage::Format_RGB888);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const uchar* p = x.constScanLine(row);
        const uchar* q = y.constScanLine(row);
        for (int i = 0; i < x.width() * 3; ++i) {
            const double d = double(p[i]) - double(q[i]);
            sum += d * d;
        }
    }
    const double mse = sum / (double(x.width()) * x.height() * 3);
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

} // namespace videotest
