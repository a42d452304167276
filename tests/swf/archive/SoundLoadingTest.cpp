// Sound.loadSound over an MP3 that ffmpeg writes beside the movie: the file
// comes on a later frame, onLoad hears whether it decoded, the byte counts
// and the duration follow, a streaming sound is heard at once and an event
// sound only after start(); a load resets the target's volume.

#include "support/AudioTestSupport.h"
#include "support/BuiltinsRows.h"

#include "swf/Playback.h"
#include "swf/audio/SoundMixer.h"
#include "swf/avm1/stage/SpriteClip.h"
#include "swf/avm1/stage/StageScripts.h"
#include "swf/avm1/vm/Interpreter.h"
#include "swf/runtime/Stage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace swf::avm1;
using namespace swf::avm1::test;

namespace {

constexpr int Chunk = 4410; // a tenth of a second of output
constexpr double ToneEnergy = 4096.0 * 4096 / 2;

double energy(const std::vector<std::int16_t>& stereo)
{
    double sum = 0;
    for (std::size_t i = 0; i < stereo.size(); i += 2)
        sum += double(stereo[i]) * stereo[i];
    return stereo.empty() ? 0 : sum / double(stereo.size() / 2);
}

class SoundLoading : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!audiotest::haveFfmpeg())
            GTEST_SKIP() << "ffmpeg is not installed";
        ASSERT_TRUE(m_dir.isValid());
        // One second of a 440 Hz sine; ffmpeg's sine source peaks at an eighth of full scale (4096).
        if (!audiotest::runFfmpeg({ "-f", "lavfi", "-i", "sine=frequency=440:duration=1:sample_rate=44100",
                "-c:a", "libmp3lame", "-ac", "1", "-b:a", "128k", m_dir.filePath("tone.mp3") }))
            GTEST_SKIP() << "this ffmpeg cannot write MP3";
    }

    // Opens the movie `script` makes (frame 1) with sound on.
    void open(const S& script, int version = 8)
    {
        const QString path = m_dir.filePath("movie.swf");
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(movieWithActions(script.program(), version));
        f.close();
        swf::PlaybackOptions options;
        options.sound = true;
        options.trace = [this](const QString& line) { m_lines << line; };
        auto opened = swf::Playback::open(path, options);
        ASSERT_TRUE(opened.ok());
        m_playback = opened.release();
    }
    std::vector<std::int16_t> mix()
    {
        std::vector<std::int16_t> out(std::size_t(Chunk) * 2);
        m_playback->mixAudio(out.data(), Chunk);
        return out;
    }
    // _root.s.<method>() from outside, as a later frame's script would.
    void callOnSound(const char* method)
    {
        Interpreter& vm = m_playback->scripts()->interpreter();
        const Value root(static_cast<Object*>(m_playback->scripts()->clipFor(m_playback->stage().root())));
        vm.callMethodSafely(vm.getMember(root, "s").asObject(), method, {});
    }

    QTemporaryDir m_dir;
    std::unique_ptr<swf::Playback> m_playback;
    QStringList m_lines;
};

// s.onLoad = function(ok) { trace("load " + ok); trace(s.getBytesLoaded() + "/" + s.getBytesTotal()); trace(s.duration); }
S tracingOnLoad()
{
    S body;
    body.value("load ").var("ok").add().trace();
    body.method("s", "getBytesLoaded").value("/").add().method("s", "getBytesTotal").add().trace();
    body.member("s", { "duration" }).trace();
    S s;
    s.assign("s", S().construct("Sound"));
    s.setMember("s", "onLoad", S().function("", { "ok" }, body));
    return s;
}

} // namespace

TEST_F(SoundLoading, EventSoundArrivesLaterAndWaitsForStart)
{
    S s = tracingOnLoad();
    s.method("s", "loadSound", { "tone.mp3", false }).pop();
    s.method("s", "getBytesLoaded").value("/").add().method("s", "getBytesTotal").add().trace();
    s.member("s", { "duration" }).trace();
    open(s);
    ASSERT_TRUE(m_playback);
    // Asked, not yet here: nothing loaded of an unknown total, no length.
    EXPECT_EQ(m_lines, QStringList({ "0/undefined", "undefined" }));
    EXPECT_LT(energy(mix()), 1.0);
    for (int i = 0; i < 3 && m_lines.size() < 5; ++i)
        m_playback->nextFrame();
    const qint64 size = QFileInfo(m_dir.filePath("tone.mp3")).size();
    ASSERT_EQ(m_lines.size(), 5) << m_lines.join('\n').toStdString();
    EXPECT_EQ(m_lines[2], "load true");
    EXPECT_EQ(m_lines[3], QStringLiteral("%1/%1").arg(size));
    // One second of tone, plus at most the coder's delay and padding (two MP3 frames).
    const double duration = m_lines[4].toDouble();
    EXPECT_GE(duration, 1000);
    EXPECT_LE(duration, 1000 + 2 * 1152 * 1000 / 44100 + 1);

    // An event sound is silent until a script starts it.
    for (int i = 0; i < 3; ++i)
        EXPECT_LT(energy(mix()), 1.0) << "chunk " << i;
    callOnSound("start");
    // A sine at amplitude 4096 has a mean square of 4096² / 2.
    mix(); // the coder's delay and the sine's onset
    EXPECT_NEAR(energy(mix()), ToneEnergy, 0.1 * ToneEnergy);
}

TEST_F(SoundLoading, StreamingSoundPlaysAtOnceAndEnds)
{
    S s = tracingOnLoad();
    S done;
    done.value("complete").trace();
    s.setMember("s", "onSoundComplete", S().function("", {}, done));
    s.method("s", "loadSound", { "tone.mp3", true }).pop();
    open(s);
    ASSERT_TRUE(m_playback);
    for (int i = 0; i < 3 && m_lines.size() < 3; ++i)
        m_playback->nextFrame();
    ASSERT_EQ(m_lines.value(0), "load true");
    mix();
    EXPECT_NEAR(energy(mix()), ToneEnergy, 0.1 * ToneEnergy) << "heard without start()";
    // Past its second the sound is over and the object hears of it.
    for (int i = 0; i < 10; ++i)
        mix();
    m_playback->nextFrame();
    EXPECT_LT(energy(mix()), 1.0);
    EXPECT_EQ(m_lines.last(), "complete");
}

TEST_F(SoundLoading, MissingOrUndecodableFilesFailAndLoadingResetsVolume)
{
    QFile text(m_dir.filePath("notes.mp3"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("these are no MP3 frames");
    text.close();
    S s = tracingOnLoad();
    s.method("s", "setVolume", { 30 }).pop();
    s.method("s", "loadSound", { "missing.mp3", true }).pop();
    s.method("s", "getVolume").trace(); // back to 100: the load starts the object afresh
    s.assign("t", S().construct("Sound"));
    s.setMember("t", "onLoad", S().function("", { "ok" }, S().value("text ").var("ok").add().trace()));
    s.method("t", "loadSound", { "notes.mp3", false }).pop();
    open(s);
    ASSERT_TRUE(m_playback);
    for (int i = 0; i < 3; ++i)
        m_playback->nextFrame();
    EXPECT_EQ(m_lines, QStringList({ "100", "load false", "0/undefined", "undefined", "text false" }));
    EXPECT_LT(energy(mix()), 1.0);
}

// Version 5 movies have no loadSound: the call neither loads nor resets the volume.
TEST_F(SoundLoading, Version5MoviesHaveNoLoadSound)
{
    S s = tracingOnLoad();
    s.method("s", "setVolume", { 30 }).pop();
    s.method("s", "loadSound", { "tone.mp3", true }).pop();
    s.method("s", "getVolume").trace();
    open(s, 5);
    ASSERT_TRUE(m_playback);
    for (int i = 0; i < 3; ++i)
        m_playback->nextFrame();
    EXPECT_EQ(m_lines, QStringList({ "30" }));
    mix();
    EXPECT_LT(energy(mix()), 1.0);
}
