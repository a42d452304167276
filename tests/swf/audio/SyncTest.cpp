#include "swf/audio/FramePacer.h"
#include "swf/audio/SoundMixer.h"

#include "support/AudioTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>

using namespace swf;
using namespace audiotest;

namespace {

constexpr std::uintptr_t Root = 1;

// Plays a generated stream-sound movie against a fake audio device and a
// player timer, both simulated in milliseconds. The device runs at its own
// speed (sound cards are never exactly 44.1 kHz), keeps `deviceBuffer`
// frames queued, and pulls from the mixer in chunks. Every block's samples
// hold its frame number, so what is heard at any moment names its frame.
struct SyncRun {
    double worstLead = 0;  // picture ahead of sound, in frames
    double worstLag = 0;   // picture behind sound, in frames
    int framesRun = 0;
    int skipped = 0;       // frames run without being shown
    int holds = 0;         // ticks on which the picture was held
};

SyncRun playAgainstFakeDevice(double fps, int movieSeconds, double deviceSpeed, int deviceBuffer, int tickMs, bool withDevice)
{
    SoundMixer mixer;
    FramePacer pacer(fps);
    std::mt19937 rng(42);
    std::uniform_int_distribution<int> jitter(0, 4);

    const int frameCount = int(movieSeconds * fps);
    const int perFrame = int(std::lround(44100 / fps));
    int current = 0; // nothing shown yet
    auto runFrame = [&](int frame) {
        mixer.controlTag(Root, 19, pcm16(std::vector<std::int16_t>(std::size_t(perFrame), std::int16_t(frame))), frame);
    };
    QByteArray head;
    putU8(head, 0x0e);
    putU8(head, 0x3e); // little-endian PCM, 44 kHz, 16-bit, mono
    putU16(head, perFrame);
    mixer.controlTag(Root, 18, head, 1);

    std::vector<std::int16_t> heardValues; // left channel of everything the device pulled
    std::int64_t pulled = 0;
    SyncRun r;
    std::vector<std::int16_t> chunk(2 * 512);
    qint64 nextTick = 0;
    pacer.restart(0);
    for (qint64 ms = 0; current < frameCount && ms < qint64(movieSeconds + 10) * 1000; ++ms) {
        std::int64_t played = -1;
        if (withDevice) {
            played = std::int64_t(double(ms) * 44.1 * deviceSpeed);
            while (pulled < played + deviceBuffer) {
                mixer.mix(chunk.data(), 512);
                for (int i = 0; i < 512; ++i)
                    heardValues.push_back(chunk[std::size_t(2 * i)]);
                pulled += 512;
            }
        }
        if (ms < nextTick)
            continue;
        nextTick = ms + tickMs + jitter(rng);
        std::optional<double> heard;
        if (played >= 0)
            heard = mixer.streamFrameAt(played);
        const int n = pacer.framesToRun(ms, current, heard);
        if (n == 0 && current > 0)
            ++r.holds;
        for (int i = 0; i < n && current < frameCount; ++i) {
            ++current;
            runFrame(current);
            ++r.framesRun;
        }
        if (n > 1)
            r.skipped += n - 1;
        // What the listener hears now, by the frame number in the samples;
        // the fraction within the frame comes from the mixer's block record.
        if (played >= 0 && heard && std::size_t(played) < heardValues.size() && current > 0) {
            const int heardFrame = heardValues[std::size_t(played)];
            EXPECT_EQ(heardFrame, int(std::floor(*heard))) << "the clock names a frame other than the one sounding, at " << ms << " ms";
            const double drift = current - *heard;
            r.worstLead = std::max(r.worstLead, drift);
            r.worstLag = std::max(r.worstLag, -drift);
        }
    }
    return r;
}

} // namespace

// Five minutes at 12 frames a second, with a device 0.5% fast or slow: the
// picture stays within one frame of the sound all along.
TEST(StreamSync, FiveMinuteMovieStaysWithinOneFrame)
{
    for (double speed : { 1.0, 1.005, 0.995 }) {
        SCOPED_TRACE(speed);
        const auto r = playAgainstFakeDevice(12, 300, speed, 1024, 5, true);
        std::printf("[ figures  ] 5 min at 12 fps, device speed %.3f: worst lead %.3f frames (%.1f ms), worst lag %.3f frames (%.1f ms), "
                    "%d frames run, %d skipped, %d holding ticks\n",
            speed, r.worstLead, r.worstLead * 1000 / 12, r.worstLag, r.worstLag * 1000 / 12, r.framesRun, r.skipped, r.holds);
        EXPECT_EQ(r.framesRun, 3600);
        EXPECT_LE(r.worstLead, 1.0);
        EXPECT_LE(r.worstLag, 1.0);
    }
}

// A faster movie with a device buffer longer than a frame: the picture may
// lead by the buffer, but never lags and never starves the sound.
TEST(StreamSync, ThirtyFramesPerSecond)
{
    const auto r = playAgainstFakeDevice(30, 60, 1.002, 1024, 4, true);
    std::printf("[ figures  ] 1 min at 30 fps: worst lead %.3f frames, worst lag %.3f frames\n", r.worstLead, r.worstLag);
    EXPECT_EQ(r.framesRun, 1800);
    EXPECT_LE(r.worstLead, 1.0 + 1024.0 / 1470);
    EXPECT_LE(r.worstLag, 1.0);
}

// No audio device: nothing pulls the mixer, the sound clock never speaks,
// and the frame rate alone keeps the movie going, silent.
TEST(StreamSync, NoDevicePlaysOnByTheFrameRate)
{
    const auto r = playAgainstFakeDevice(12, 300, 1.0, 1024, 5, false);
    // 300 s at 12 fps; ticks land up to 9 ms late, so a frame or so may go.
    EXPECT_NEAR(r.framesRun, 3600, 40);
    EXPECT_EQ(r.skipped, 0);
}

TEST(FramePacer, HoldsSkipsAndFallsBackToTheTimer)
{
    FramePacer p(10); // 100 ms a frame
    p.restart(0);
    EXPECT_EQ(p.framesToRun(50, 1, std::nullopt), 0);
    EXPECT_EQ(p.framesToRun(100, 1, std::nullopt), 1);
    // Hearing frame 5.3 while frame 2 is shown: run through to 6.
    EXPECT_EQ(p.framesToRun(110, 2, 5.3), 4);
    // Hearing 5.9 with 6 shown: hold; hearing 6.0: run the next one.
    EXPECT_EQ(p.framesToRun(120, 6, 5.9), 0);
    EXPECT_EQ(p.framesToRun(130, 6, 6.0), 1);
    // The sound stops: the timer takes over a frame after the last run.
    EXPECT_EQ(p.framesToRun(200, 7, std::nullopt), 0);
    EXPECT_EQ(p.framesToRun(230, 7, std::nullopt), 1);
    // A stream heard far away from the shown frame (another timeline's, or
    // from before a jump back) does not pace this one: the timer does.
    EXPECT_EQ(p.framesToRun(240, 8, 300.0), 0);
    EXPECT_EQ(p.framesToRun(330, 8, 300.0), 1);
    // After a long stall the timer does not rush through the backlog.
    EXPECT_EQ(p.framesToRun(5000, 8, std::nullopt), 1);
    EXPECT_EQ(p.framesToRun(5010, 9, std::nullopt), 0);
}
