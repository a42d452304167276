#include "swf/audio/SoundMixer.h"

#include "support/AdpcmEncoder.h"
#include "support/AudioTestSupport.h"


#include <gtest/gtest.h>

#include <cmath>

using namespace swf;
using namespace audiotest;

namespace {

constexpr std::uintptr_t Root = 1;

// A DefineSound body: 16-bit little-endian PCM.
QByteArray definePcm(int id, const std::vector<std::int16_t>& samples, int rateCode = 3, bool stereo = false)
{
    QByteArray b;
    putU16(b, id);
    putU8(b, (3 << 4) | (rateCode << 2) | 0x02 | (stereo ? 1 : 0));
    putU32(b, std::uint32_t(samples.size() / (stereo ? 2 : 1)));
    b.append(pcm16(samples));
    return b;
}

std::vector<std::int16_t> ramp(int n, int start = 0)
{
    std::vector<std::int16_t> s;
    for (int i = 0; i < n; ++i)
        s.push_back(std::int16_t(start + i));
    return s;
}

std::vector<std::int16_t> mixFrames(SoundMixer& m, int frames)
{
    std::vector<std::int16_t> out(std::size_t(frames) * 2);
    m.mix(out.data(), frames);
    return out;
}

std::vector<std::int16_t> left(const std::vector<std::int16_t>& stereo)
{
    std::vector<std::int16_t> l;
    for (std::size_t i = 0; i < stereo.size(); i += 2)
        l.push_back(stereo[i]);
    return l;
}

QByteArray startSound(int id, int flags = 0, std::initializer_list<std::uint32_t> fields = {})
{
    QByteArray b;
    putU16(b, id);
    putU8(b, flags);
    for (auto f : fields)
        putU32(b, f);
    return b;
}

QByteArray pcmStreamHead(int rateCode = 3, bool stereo = false)
{
    QByteArray b;
    putU8(b, (rateCode << 2) | 0x02 | (stereo ? 1 : 0));
    putU8(b, (3 << 4) | (rateCode << 2) | 0x02 | (stereo ? 1 : 0));
    putU16(b, 3675);
    return b;
}

} // namespace

TEST(SoundMixer, EventSoundPlaysOnceThenFallsSilent)
{
    SoundMixer m;
    m.defineSound(definePcm(1, ramp(1000, 100)));
    m.controlTag(Root, 15, startSound(1), 1);
    EXPECT_EQ(m.activeVoices(), 1);
    const auto out = mixFrames(m, 1500);
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(out[2 * i], 100 + i) << i; // 44.1 kHz mono: sample for sample, both sides
        ASSERT_EQ(out[2 * i + 1], 100 + i) << i;
    }
    for (int i = 1000; i < 1500; ++i)
        ASSERT_EQ(out[2 * i], 0);
    EXPECT_EQ(m.activeVoices(), 0);
    EXPECT_EQ(m.framesMixed(), 1500);

    // An undefined sound or a damaged record starts nothing.
    m.controlTag(Root, 15, startSound(99), 2);
    m.controlTag(Root, 15, QByteArray(1, '\0'), 2);
    EXPECT_EQ(m.activeVoices(), 0);
    EXPECT_FALSE(m.lastProblem().isEmpty());
}

TEST(SoundMixer, LoopsBetweenInAndOutPoints)
{
    SoundMixer m;
    m.defineSound(definePcm(2, ramp(1000)));
    // In point 100, out point 200, three loops.
    QByteArray start = startSound(2, 0x07, { 100, 200 });
    putU16(start, 3);
    m.controlTag(Root, 15, start, 1);
    const auto out = left(mixFrames(m, 400));
    for (int i = 0; i < 300; ++i)
        ASSERT_EQ(out[std::size_t(i)], 100 + i % 100) << i;
    EXPECT_EQ(out[300], 0);

    // The points count 44.1 kHz samples whatever the sound's rate: at
    // 11025 Hz an in point of 400 is source sample 100.
    SoundMixer slow;
    slow.defineSound(definePcm(3, ramp(1000), 1));
    slow.controlTag(Root, 15, startSound(3, 0x01, { 400 }), 1);
    EXPECT_EQ(left(mixFrames(slow, 1))[0], 100);
}

TEST(SoundMixer, EnvelopeScalesEachSide)
{
    SoundMixer m;
    m.defineSound(definePcm(4, std::vector<std::int16_t>(2000, 10000)));
    QByteArray start = startSound(4, 0x08);
    putU8(start, 2);
    putU32(start, 0); // at 0: left silent, right half
    putU16(start, 0);
    putU16(start, 16384);
    putU32(start, 1000); // at 1000: left full, right half
    putU16(start, 32768);
    putU16(start, 16384);
    m.controlTag(Root, 15, start, 1);
    const auto out = mixFrames(m, 1500);
    EXPECT_EQ(out[0], 0);
    EXPECT_NEAR(out[2 * 500], 5000, 10);
    EXPECT_EQ(out[2 * 1200], 10000); // past the last point its level holds
    for (int i = 0; i < 1500; i += 100)
        EXPECT_EQ(out[2 * i + 1], 5000);
}

TEST(SoundMixer, SyncStopNoMultipleAndClipping)
{
    SoundMixer m;
    m.defineSound(definePcm(5, std::vector<std::int16_t>(44100, 20000)));
    m.controlTag(Root, 15, startSound(5), 1);
    m.controlTag(Root, 15, startSound(5, 0x10), 1); // no multiple: already playing
    EXPECT_EQ(m.activeVoices(), 1);
    m.controlTag(Root, 15, startSound(5), 1); // a second instance does play
    EXPECT_EQ(m.activeVoices(), 2);
    // Two voices of 20000 clip at the 16-bit limit rather than wrap.
    EXPECT_EQ(mixFrames(m, 1)[0], 32767);
    m.controlTag(Root, 15, startSound(5, 0x20), 2); // sync stop
    EXPECT_EQ(m.activeVoices(), 0);
    EXPECT_EQ(mixFrames(m, 1)[0], 0);
}

TEST(SoundMixer, ResamplesToOutputRateKeepingPitch)
{
    // A 100 Hz tone at 5.5 kHz, stereo with the right side silent.
    std::vector<std::int16_t> tone;
    for (int i = 0; i < 5512; ++i) {
        tone.push_back(std::int16_t(std::lround(10000 * std::sin(2 * M_PI * 100 * i / 5512.5))));
        tone.push_back(0);
    }
    SoundMixer m;
    m.defineSound(definePcm(6, tone, 0, true));
    m.controlTag(Root, 15, startSound(6), 1);
    const auto out = mixFrames(m, 44100);
    int crossings = 0, rightNonZero = 0;
    for (int i = 1; i < 44100; ++i) {
        if ((out[2 * (i - 1)] < 0) != (out[2 * i] < 0))
            ++crossings;
        rightNonZero += out[2 * i + 1] != 0;
    }
    EXPECT_NEAR(crossings, 200, 3); // 100 Hz for one second
    EXPECT_EQ(rightNonZero, 0);
    // Interpolated, not stepped: neighbouring output samples stay close.
    int worstJump = 0;
    for (int i = 1; i < 40000; ++i)
        worstJump = std::max(worstJump, std::abs(out[2 * i] - out[2 * (i - 1)]));
    EXPECT_LT(worstJump, 200);
}

TEST(SoundMixer, ButtonAndExportedSounds)
{
    SoundMixer m;
    m.defineSound(definePcm(7, std::vector<std::int16_t>(100, 1000)));
    QByteArray button;
    putU16(button, 30); // button 30
    putU16(button, 0);  // nothing on leaving
    putU16(button, 7);  // sound 7 on rolling over
    putU8(button, 0);
    putU16(button, 0);
    putU16(button, 0);
    m.defineButtonSound(button);
    m.buttonSound(30, 0);
    m.buttonSound(31, 1);
    EXPECT_EQ(m.activeVoices(), 0);
    m.buttonSound(30, 1);
    EXPECT_EQ(m.activeVoices(), 1);

    m.exportSound(QStringLiteral("Click"), 7);
    QByteArray start2 = QByteArray("Click") + QByteArray(2, '\0');
    m.controlTag(Root, 89, start2, 1);
    EXPECT_EQ(m.activeVoices(), 2);
    m.controlTag(Root, 89, QByteArray("Nope") + QByteArray(2, '\0'), 1);
    EXPECT_EQ(m.activeVoices(), 2);
    // Names can also come from the movie's export table.
    m.exportNames({ { 9, QStringLiteral("Other") }, { 7, QStringLiteral("Ding") } });
    m.controlTag(Root, 89, QByteArray("Ding") + QByteArray(2, '\0'), 1);
    EXPECT_EQ(m.activeVoices(), 3);
    m.stopAll();
    EXPECT_EQ(m.activeVoices(), 0);
}

TEST(SoundMixer, StreamFollowsTheTimelineFrameByFrame)
{
    SoundMixer m;
    m.controlTag(Root, 18, pcmStreamHead(), 1);
    // Three frames of 3675 samples (44100 / 12), each block holding its frame number.
    for (int f = 1; f <= 3; ++f)
        m.controlTag(Root, 19, pcm16(std::vector<std::int16_t>(3675, std::int16_t(f))), f);
    m.controlTag(Root, 19, pcm16(std::vector<std::int16_t>(3675, 9)), 3); // frame 3 again: held, not replayed
    EXPECT_TRUE(m.streamPlaying());
    const auto out = left(mixFrames(m, 3675 * 3 + 100));
    EXPECT_EQ(out[0], 1);
    EXPECT_EQ(out[3674], 1);
    EXPECT_EQ(out[3675], 2);
    EXPECT_EQ(out[3675 * 3 - 1], 3);
    EXPECT_EQ(out[3675 * 3], 0); // no block for frame 4 yet: silence
    EXPECT_FALSE(m.streamPlaying());

    // The clock maps output positions back to frames.
    EXPECT_DOUBLE_EQ(*m.streamFrameAt(0), 1.0);
    EXPECT_DOUBLE_EQ(*m.streamFrameAt(3675 + 3675 / 2), 2.0 + double(3675 / 2) / 3675);
    EXPECT_FALSE(m.streamFrameAt(3675 * 3 + 50).has_value()); // starved

    // A jump (frame 4 queued, then frame 10) drops what was queued for 4.
    m.controlTag(Root, 19, pcm16(std::vector<std::int16_t>(3675, 4)), 4);
    m.controlTag(Root, 19, pcm16(std::vector<std::int16_t>(3675, 10)), 10);
    EXPECT_EQ(left(mixFrames(m, 1))[0], 10);

    // Removing the timeline silences its stream; so does stopping everything.
    m.timelineRemoved(Root);
    EXPECT_EQ(left(mixFrames(m, 1))[0], 0);
    m.controlTag(Root, 18, pcmStreamHead(), 1);
    m.controlTag(Root, 19, pcm16(std::vector<std::int16_t>(3675, 1)), 1);
    m.stopAll();
    EXPECT_EQ(left(mixFrames(m, 1))[0], 0);

    // A block without a head, or while suspended, is ignored.
    m.controlTag(2, 19, pcm16(std::vector<std::int16_t>(10, 5)), 1);
    m.controlTag(Root, 18, pcmStreamHead(), 1);
    m.setSuspended(true);
    m.controlTag(Root, 19, pcm16(std::vector<std::int16_t>(10, 5)), 1);
    m.setSuspended(false);
    EXPECT_EQ(left(mixFrames(m, 1))[0], 0);
}

TEST(SoundMixer, AdpcmStreamAtLowRateFillsItsFrames)
{
    SoundMixer m;
    QByteArray head;
    putU8(head, 0x06);
    putU8(head, (1 << 4) | (1 << 2) | 0x02); // ADPCM, 11 kHz, 16-bit, mono
    putU16(head, 919);
    m.controlTag(Root, 45, head, 1);
    // 12 frames of 11025 / 12 ≈ 919 source samples each: one second.
    for (int f = 1; f <= 12; ++f)
        m.controlTag(Root, 19, encodeAdpcm(sineWave(440, 11025, 919, 1, 8000), 1, 4).data, f);
    const auto out = left(mixFrames(m, 44100));
    // 12 × 919 samples at 11025 Hz make 44112 output frames: the whole
    // second is sound, each frame's block a quarter-rate stretch.
    int silentTail = 0;
    for (int i = 44099; i > 0 && out[std::size_t(i)] == 0; --i)
        ++silentTail;
    EXPECT_LT(silentTail, 5);
    EXPECT_NEAR(*m.streamFrameAt(44100 / 2), 7.0, 0.05);
}

TEST(SoundMixer, UnpulledStreamStaysBounded)
{
    SoundMixer m;
    m.controlTag(Root, 18, pcmStreamHead(), 1);
    for (int f = 1; f <= 12 * 60; ++f) // a minute of frames, nothing mixed
        m.controlTag(Root, 19, pcm16(std::vector<std::int16_t>(3675, std::int16_t(f))), f);
    // Only the newest ten seconds remain: the first frame heard is 601.
    EXPECT_EQ(left(mixFrames(m, 1))[0], 601);
}
