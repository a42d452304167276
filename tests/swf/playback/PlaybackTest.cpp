// Opening a movie through Playback: whatever the options, frame 1 runs once
// with everything that listens already attached, so its trace and its sounds
// arrive exactly once; scripts off runs no script; bytes that are not a movie
// give an error and nothing else.

#include "swf/Playback.h"
#include "swf/audio/SoundMixer.h"
#include "support/Assembler.h"
#include "tools/swfwriter/Movie.h"

#include <QImage>
#include <QPainter>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>

using swf::avm1::test::Asm;

// Failures print traces as text.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace {

constexpr int Rate = 44100;
constexpr int FrameRate = 10;
constexpr int ToneFrames = Rate; // a second: still playing a few frames in

QByteArray tone()
{
    QByteArray bytes;
    for (int i = 0; i < ToneFrames; ++i) {
        const auto s = std::int16_t(std::lround(8000 * std::sin(2 * M_PI * 440 * i / Rate)));
        bytes.append(char(s & 0xff)).append(char((s >> 8) & 0xff));
    }
    return bytes;
}

// Frame 1 starts sound 5 from the timeline (StartSound) and from a script
// (Sound.attachSound, exported as "tone"), and traces "frame 1". Frame 2
// traces getTimer(). Frame 3 starts the sound again and asks to quit.
QByteArray movie()
{
    swfw::Movie m(8, 100, 100, FrameRate);
    m.defineSound(5, 3, 3, true, false, ToneFrames, tone()); // PCM little-endian, 44 kHz, 16-bit mono
    QByteArray exports;
    exports.append(char(1)).append(char(0)); // one name
    exports.append(char(5)).append(char(0)); // sound id 5
    exports.append("tone").append(char(0));
    m.tag(56, exports);
    m.startSound(5);
    Asm first;
    first.push({ "s", 0, "Sound" }).op(0x40).setVariable();                                     // s = new Sound()
    first.push({ "tone", 1, "s" }).getVariable().push({ "attachSound" }).callMethod().pop();    // s.attachSound("tone")
    first.push({ 0, "s" }).getVariable().push({ "start" }).callMethod().pop();                  // s.start()
    first.push({ "frame 1" }).trace();
    m.doAction(first.end().bytes());
    m.showFrame();
    Asm second;
    second.op(0x34).trace();                                                 // trace(getTimer())
    m.doAction(second.end().bytes());
    m.showFrame();
    m.startSound(5);
    Asm third;
    third.push({ "FSCommand:quit", "" }).record(0x9A, QByteArray(1, 0));    // fscommand("quit")
    m.doAction(third.end().bytes());
    m.showFrame();
    return m.bytes();
}

struct Opened {
    std::unique_ptr<swf::Playback> playback;
    QStringList traces;
};

std::unique_ptr<Opened> open(bool scripts, bool sound)
{
    auto opened = std::make_unique<Opened>();
    swf::PlaybackOptions options;
    options.scripts = scripts;
    options.sound = sound;
    options.trace = [traces = &opened->traces](const QString& line) { traces->push_back(line); };
    auto result = swf::Playback::fromBytes(movie(), options);
    EXPECT_TRUE(result.ok()) << (result.ok() ? "" : qPrintable(result.error().detail));
    if (result.ok())
        opened->playback = result.release();
    return opened;
}

double meanSquare(const std::vector<std::int16_t>& samples)
{
    double sum = 0;
    for (std::int16_t s : samples)
        sum += double(s) * s;
    return samples.empty() ? 0 : sum / double(samples.size());
}

std::vector<std::int16_t> mixFrame(swf::Playback& playback)
{
    std::vector<std::int16_t> out(std::size_t(Rate / FrameRate) * 2);
    playback.mixAudio(out.data(), Rate / FrameRate);
    return out;
}

} // namespace

TEST(Playback, FrameOneRunsOnceWithScriptsAndSoundAttached)
{
    auto run = open(true, true);
    ASSERT_TRUE(run->playback);
    swf::Playback& p = *run->playback;
    EXPECT_EQ(p.currentFrame(), 1);
    EXPECT_EQ(run->traces, QStringList({ "frame 1" }));
    ASSERT_NE(p.mixer(), nullptr);
    // One voice from the StartSound tag, one from the script: each once.
    EXPECT_EQ(p.mixer()->activeVoices(), 2);
    // Two voices of an 8000-amplitude sine in phase: 16000, mean square 1.28e8.
    EXPECT_NEAR(meanSquare(mixFrame(p)), 1.28e8, 1.3e7);
    EXPECT_EQ(p.audioFramesMixed(), Rate / FrameRate);
    EXPECT_FALSE(p.quitRequested());

    // Frame 2 runs in movie time, one frame period in, and starts nothing.
    p.nextFrame();
    EXPECT_EQ(run->traces, QStringList({ "frame 1", "100" }));
    EXPECT_EQ(p.mixer()->activeVoices(), 2);
    // Frame 3 starts the sound again, then the movie asks to quit.
    p.nextFrame();
    EXPECT_EQ(p.mixer()->activeVoices(), 3);
    EXPECT_TRUE(p.quitRequested());

    p.stopSound();
    EXPECT_EQ(p.mixer()->activeVoices(), 0);
    EXPECT_EQ(meanSquare(mixFrame(p)), 0);
}

TEST(Playback, TheScriptClockCanBeTheCallersAndSteppingIsSilent)
{
    auto run = open(true, true);
    ASSERT_TRUE(run->playback);
    swf::Playback& p = *run->playback;
    p.stopSound();
    p.setSoundSuspended(true);
    p.nextFrame(250.0);
    EXPECT_EQ(run->traces, QStringList({ "frame 1", "250" }));
    p.nextFrame(300.0); // frame 3's StartSound is not heard while suspended
    EXPECT_EQ(p.mixer()->activeVoices(), 0);
    p.setSoundSuspended(false);
    EXPECT_EQ(p.currentFrame(), 3);
}

TEST(Playback, ScriptsAndSoundAreEachOptional)
{
    {
        auto run = open(true, false); // scripts, no sound
        ASSERT_TRUE(run->playback);
        EXPECT_EQ(run->traces, QStringList({ "frame 1" }));
        EXPECT_EQ(run->playback->mixer(), nullptr);
        EXPECT_EQ(meanSquare(mixFrame(*run->playback)), 0);
        EXPECT_EQ(run->playback->audioFramesMixed(), 0);
    }
    {
        auto run = open(false, true); // sound, no scripts
        ASSERT_TRUE(run->playback);
        EXPECT_EQ(run->playback->scripts(), nullptr);
        EXPECT_TRUE(run->traces.isEmpty());
        EXPECT_EQ(run->playback->mixer()->activeVoices(), 1) << "only the timeline's StartSound";
        run->playback->nextFrame();
        run->playback->nextFrame();
        EXPECT_TRUE(run->traces.isEmpty());
        EXPECT_FALSE(run->playback->quitRequested());
        EXPECT_EQ(run->playback->currentFrame(), 3);
        EXPECT_EQ(run->playback->mixer()->activeVoices(), 2);
    }
}

TEST(Playback, BytesThatAreNoMovieGiveAnError)
{
    const QByteArray rows[] = {
        QByteArray(),                               // nothing
        QByteArray("GIF89a not a movie at all"),     // another format
        QByteArray("FWS\x08\xff\xff\xff\x7f", 8),   // a header that promises 2 GB and ends
        movie().left(30),                            // a movie cut short in its first tags
    };
    for (const QByteArray& bytes : rows) {
        swf::PlaybackOptions options;
        options.sound = true;
        auto result = swf::Playback::fromBytes(bytes, options);
        if (!result.ok()) {
            EXPECT_FALSE(result.error().detail.isEmpty()) << "a refusal says why";
            continue;
        }
        // A cut movie may load what it has; it must still play.
        result.value()->nextFrame();
    }
    EXPECT_FALSE(swf::Playback::fromBytes(QByteArray("GIF89a")).ok());

    QTemporaryDir dir;
    auto missing = swf::Playback::open(dir.filePath(QStringLiteral("missing.swf")));
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error().kind, swf::ErrorKind::FileNotFound);
}

TEST(Playback, QualityDecidesHowEdgesAreDrawn)
{
    // A red triangle whose long edge crosses pixels diagonally: at high quality
    // the edge blends red into the white around it, at low quality every pixel
    // is one or the other. The option sets the start; setQuality changes it.
    swfw::Shape shape;
    const int red = shape.addFillStyle(swfw::FillStyle::solid(swfw::Rgba { 255, 0, 0, 255 }));
    shape.fill0(0).fill1(red).moveTo(0, 0).lineTo(2000, 0).lineTo(0, 1300).lineTo(0, 0);
    swfw::Movie m(8, 100, 100, FrameRate);
    m.defineShape(1, shape, 2);
    m.placeObject2(swfw::Placement::place(1, 1));
    m.showFrame();

    auto blendedPixels = [](swf::Playback& playback) {
        QImage image(100, 100, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QPainter painter(&image);
        playback.render(painter, QTransform());
        painter.end();
        int blended = 0;
        for (int y = 0; y < 100; ++y) {
            for (int x = 0; x < 100; ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c != QColor(Qt::white) && c != QColor(Qt::red))
                    ++blended;
            }
        }
        return blended;
    };

    swf::PlaybackOptions low;
    low.scripts = false;
    low.quality = swf::Quality::Low;
    auto opened = swf::Playback::fromBytes(m.bytes(), low);
    ASSERT_TRUE(opened.ok());
    swf::Playback& playback = *opened.value();
    EXPECT_EQ(playback.quality(), swf::Quality::Low);
    EXPECT_EQ(blendedPixels(playback), 0) << "hard edges only";
    playback.setQuality(swf::Quality::High);
    EXPECT_GT(blendedPixels(playback), 20) << "the diagonal edge is smoothed";
    EXPECT_EQ(swf::PlaybackOptions().quality, swf::Quality::High) << "movies open smooth unless asked";
}
