// Sound objects started by scripts play through the mixer: what comes out
// has the tone's energy, follows the script's volume and pan, and the object
// hears onSoundComplete when its sound has ended.

#include "swf/Playback.h"
#include "swf/audio/SoundMixer.h"
#include "swf/runtime/Stage.h"
#include "swf/avm1/stage/SpriteClip.h"
#include "swf/avm1/stage/StageScripts.h"
#include "support/Assembler.h"
#include "tools/swfwriter/Movie.h"

#include <gtest/gtest.h>

#include <cmath>

using swf::avm1::test::Asm;

namespace {

constexpr int Rate = 44100;
constexpr int ToneFrames = Rate / 4; // a quarter of a second
constexpr int FrameRate = 10;
constexpr int PerFrame = Rate / FrameRate;

QByteArray toneBytes()
{
    QByteArray bytes;
    for (int i = 0; i < ToneFrames; ++i) {
        const auto s = std::int16_t(std::lround(10000 * std::sin(2 * M_PI * 440 * i / Rate)));
        bytes.append(char(s & 0xff));
        bytes.append(char((s >> 8) & 0xff));
    }
    return bytes;
}

// A movie with the tone exported as "tone" and `actions` in frame 1, then idle frames.
QByteArray toneMovie(const Asm& actions)
{
    swfw::Movie movie(8, 100, 100, FrameRate);
    movie.defineSound(5, 3, 3, true, false, ToneFrames, toneBytes()); // PCM little-endian, 44 kHz, 16-bit mono
    QByteArray exports;
    exports.append(char(1)).append(char(0)); // one name
    exports.append(char(5)).append(char(0)); // sound id 5
    exports.append("tone").append(char(0));
    movie.tag(56, exports);
    movie.doAction(actions.bytes());
    for (int i = 0; i < 10; ++i)
        movie.showFrame();
    return movie.bytes();
}

struct ScriptedSound {
    std::unique_ptr<swf::Playback> playback;
    swf::avm1::StageScripts* scripts = nullptr;
    QStringList lines;

    explicit ScriptedSound(const QByteArray& bytes)
    {
        swf::PlaybackOptions options;
        options.sound = true;
        options.trace = [this](const QString& line) { lines << line; };
        auto opened = swf::Playback::fromBytes(bytes, options);
        if (!opened.ok())
            return;
        playback = opened.release();
        scripts = playback->scripts();
    }
    // Mixes one frame's worth of sound, then moves to the next frame.
    std::vector<std::int16_t> step()
    {
        std::vector<std::int16_t> out(std::size_t(PerFrame) * 2);
        playback->mixAudio(out.data(), PerFrame);
        playback->nextFrame();
        return out;
    }
};

// Mean square of one channel (0 left, 1 right).
double energy(const std::vector<std::int16_t>& stereo, int channel)
{
    double sum = 0;
    for (std::size_t i = std::size_t(channel); i < stereo.size(); i += 2)
        sum += double(stereo[i]) * stereo[i];
    return sum / double(stereo.size() / 2);
}

Asm& newSound(Asm& a)
{
    return a.push({ "s", 0, "Sound" }).op(0x40).setVariable();
}

Asm& call(Asm& a, const char* method, std::initializer_list<Asm::Item> argsReversed)
{
    a.push(argsReversed).push({ int(argsReversed.size()), "s" }).getVariable().push({ method }).callMethod();
    return a;
}

} // namespace

TEST(SoundObject, StartedSoundReachesTheMixerWithItsEnergy)
{
    Asm a;
    newSound(a);
    call(a, "attachSound", { "tone" }).pop();
    a.push({ "s" }).getVariable().push({ "duration" }).getMember().trace(); // 250
    call(a, "start", {}).pop();
    Asm done;
    done.push({ "complete" }).trace();
    a.push({ "s" }).getVariable().push({ "onSoundComplete" }).function("", {}, done).setMember();
    a.end();
    ScriptedSound run(toneMovie(a));
    ASSERT_TRUE(run.scripts);
    EXPECT_EQ(run.lines, QStringList({ "250" }));
    const auto first = run.step();
    // A 10000-amplitude sine has a mean square of 5e7 on both channels.
    EXPECT_NEAR(energy(first, 0), 5e7, 5e6);
    EXPECT_NEAR(energy(first, 1), 5e7, 5e6);
    run.step();
    EXPECT_EQ(run.lines.size(), 1) << "the tone is not over yet";
    run.step(); // the tenth-of-a-second frame in which the quarter second ends
    EXPECT_EQ(run.lines, QStringList({ "250", "complete" }));
    EXPECT_LT(energy(run.step(), 0), 1.0); // silence afterwards
}

TEST(SoundObject, VolumeAndPanShapeWhatIsHeard)
{
    Asm a;
    newSound(a);
    call(a, "attachSound", { "tone" }).pop();
    call(a, "setVolume", { 50 }).pop();
    call(a, "setPan", { 100 }).pop();
    call(a, "getVolume", {}).trace(); // 50
    call(a, "getPan", {}).trace();    // 100
    call(a, "getTransform", {}).push({ "ll" }).getMember().trace(); // 0: the left channel is off
    call(a, "start", { 0.1 }).pop();  // a tenth of a second in
    a.push({ "s" }).getVariable().push({ "position" }).getMember().trace(); // 100
    a.end();
    ScriptedSound run(toneMovie(a));
    ASSERT_TRUE(run.scripts);
    EXPECT_EQ(run.lines, QStringList({ "50", "100", "0", "100" }));
    const auto out = run.step();
    EXPECT_LT(energy(out, 0), 1.0);
    // Half the amplitude: a quarter of the energy.
    EXPECT_NEAR(energy(out, 1), 5e7 / 4, 5e6 / 4);
    // Started 0.1 s in, the 0.25 s tone has 0.15 s left: two frames, not three.
    EXPECT_GT(energy(run.step(), 1), 1e6);
    EXPECT_LT(energy(run.step(), 1), 1.0);
}

TEST(SoundObject, StopLoopsAndUnknownNames)
{
    Asm a;
    newSound(a);
    call(a, "attachSound", { "no such sound" }).pop();
    a.push({ "s" }).getVariable().push({ "duration" }).getMember().trace(); // undefined
    call(a, "start", {}).pop();                                            // nothing to play
    call(a, "attachSound", { "TONE" }).pop();                              // names match without case
    call(a, "start", { 3, 0 }).pop();                                      // three passes
    call(a, "stop", { "other" }).pop();                                    // stops nothing
    a.end();
    ScriptedSound run(toneMovie(a));
    ASSERT_TRUE(run.scripts);
    EXPECT_EQ(run.lines, QStringList({ "undefined" }));
    EXPECT_EQ(run.playback->mixer()->activeVoices(), 1);
    // Three passes of a quarter second still play after half a second.
    for (int i = 0; i < 6; ++i)
        run.step();
    EXPECT_GT(energy(run.step(), 0), 1e7);
    // stop() without a name silences it.
    swf::avm1::Interpreter& vm = run.scripts->interpreter();
    const swf::avm1::Value root(static_cast<swf::avm1::Object*>(run.scripts->clipFor(run.playback->stage().root())));
    vm.callMethodSafely(vm.getMember(root, "s").asObject(), "stop", {});
    EXPECT_EQ(run.playback->mixer()->activeVoices(), 0);
}
