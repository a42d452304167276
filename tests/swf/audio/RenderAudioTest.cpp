// vantrel-render --audio end to end: a movie in, a WAV of the frames run out,
// in movie time (N frames give exactly N × 44100 / rate sample frames).

#include "support/AudioTestSupport.h"

#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <cstdio>

using namespace audiotest;

namespace {

QByteArray tag(int code, const QByteArray& body)
{
    QByteArray t;
    if (body.size() < 0x3f) {
        putU16(t, (code << 6) | int(body.size()));
    } else {
        putU16(t, (code << 6) | 0x3f);
        putU32(t, std::uint32_t(body.size()));
    }
    return t + body;
}

// An uncompressed movie at 12 fps, 550 × 400 px, around the given tags.
QByteArray movie(const QByteArray& tags, int frames)
{
    QByteArray m("FWS");
    putU8(m, 6);
    putU32(m, 0); // length, patched below
    m.append(QByteArray::fromHex("7800055f00000fa000")); // stage 0..11000 × 0..8000 twips
    putU16(m, 12 << 8); // 12.0 fps
    putU16(m, frames);
    m.append(tags);
    m.append(tag(0, {}));
    const auto len = std::uint32_t(m.size());
    for (int i = 0; i < 4; ++i)
        m[4 + i] = char((len >> (8 * i)) & 0xff);
    return m;
}

std::optional<std::vector<std::int16_t>> render(const QString& moviePath, int frame, const QString& wav)
{
    QProcess p;
    p.start(QStringLiteral(VANTREL_RENDER), { moviePath, "--frame", QString::number(frame), "--audio", wav });
    if (!p.waitForFinished(120000) || p.exitCode() != 0) {
        ADD_FAILURE() << "vantrel-render failed: " << p.readAllStandardError().toStdString();
        return std::nullopt;
    }
    const QByteArray w = readFile(wav);
    if (w.size() < 44 || !w.startsWith("RIFF")) {
        ADD_FAILURE() << "no WAV written";
        return std::nullopt;
    }
    return samplesFromS16le(w.mid(44));
}

} // namespace

TEST(RenderAudio, StreamAndEventSoundInMovieTime)
{
    QByteArray tags;
    QByteArray head;
    putU8(head, 0x0f);
    putU8(head, 0x3e); // little-endian PCM, 44 kHz, 16-bit, mono
    putU16(head, 3675);
    tags += tag(18, head);
    QByteArray sound;
    putU16(sound, 1); // a short click, defined up front
    putU8(sound, 0x3e);
    putU32(sound, 100);
    sound.append(pcm16(std::vector<std::int16_t>(100, 1000)));
    tags += tag(14, sound);
    for (int f = 1; f <= 6; ++f) {
        // Each frame's block holds its frame number; frame 3 starts the click.
        tags += tag(19, pcm16(std::vector<std::int16_t>(3675, std::int16_t(f))));
        if (f == 3) {
            QByteArray start;
            putU16(start, 1);
            putU8(start, 0);
            tags += tag(15, start);
        }
        tags += tag(1, {});
    }
    const QString path = tempPath("stream.swf");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(movie(tags, 6));
    f.close();

    auto s = render(path, 5, tempPath("stream.wav"));
    ASSERT_TRUE(s);
    ASSERT_EQ(s->size(), 5u * 3675 * 2); // five frames, stereo
    for (int frame = 1; frame <= 5; ++frame) {
        const std::size_t at = std::size_t(frame - 1) * 3675 + 200; // past the click
        EXPECT_EQ((*s)[2 * at], frame) << "frame " << frame;
        EXPECT_EQ((*s)[2 * at + 1], frame);
    }
    // The click sounds from the first sample of frame 3, on top of the stream.
    EXPECT_EQ((*s)[2 * (2 * 3675 - 1)], 2);
    EXPECT_EQ((*s)[2 * (2 * 3675)], 1003);
    EXPECT_EQ((*s)[2 * (2 * 3675 + 99)], 1003);
    EXPECT_EQ((*s)[2 * (2 * 3675 + 100)], 3);
}

// A movie written by ffmpeg with MP3 stream sound (and a tiny video, so
// that its blocks follow the frames): our WAV against ffmpeg's own decode of
// the same movie. The first block holds only one MP3 frame, so the sound may
// start up to a frame late; from then on it must run without a gap or a
// glitch, within the MP3 decoders' rounding, to the last frame.
TEST(RenderAudio, Mp3StreamMatchesIndependentDecoder)
{
    if (!haveFfmpeg())
        GTEST_SKIP() << "ffmpeg is not installed: no independent decoder to compare with";
    const QString path = tempPath("mp3stream.swf");
    if (!runFfmpeg({ "-f", "lavfi", "-i", "color=c=black:s=32x32:r=10", "-f", "lavfi", "-i", "sine=frequency=440:duration=3", "-c:v", "flv",
            "-c:a", "libmp3lame", "-ar", "44100", "-ac", "1", "-shortest", "-f", "swf", path }))
        GTEST_SKIP() << "this ffmpeg cannot write MP3 stream sound into a movie";
    auto reference = runFfmpeg({ "-i", path, "-vn", "-f", "s16le", "-" });
    ASSERT_TRUE(reference);
    const auto ref = samplesFromS16le(*reference);
    auto s = render(path, 20, tempPath("mp3stream.wav")); // 2 s at 10 fps
    ASSERT_TRUE(s);
    ASSERT_EQ(s->size(), 20u * 4410 * 2);
    std::vector<std::int16_t> ours;
    for (std::size_t i = 0; i < s->size(); i += 2)
        ours.push_back((*s)[i]);
    // Find how late the sound started, from a stretch after the start-up.
    const std::size_t probe = 3 * 4410;
    std::size_t late = 0;
    int best = 1 << 30;
    for (std::size_t d = 0; d <= 4410; ++d) {
        std::vector<std::int16_t> window(ours.begin() + std::ptrdiff_t(probe), ours.begin() + std::ptrdiff_t(probe + 2000));
        const int m = compareSamples(ref, window, probe - d).maxAbs;
        if (m < best) {
            best = m;
            late = d;
        }
    }
    std::printf("[ figures  ] MP3 stream sound starts %zu samples late\n", late);
    EXPECT_LE(late, 4410u);
    // From the second frame to the end, less what may still wait in the decoder.
    std::vector<std::int16_t> rest(ours.begin() + 4410, ours.end() - 2304);
    const auto diff = compareSamples(ref, rest, 4410 - late);
    EXPECT_EQ(diff.compared, rest.size());
    EXPECT_LE(diff.maxAbs, 2);
}
