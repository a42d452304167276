// FLV sound tracks whose packets cannot be joined into one sound body, ADPCM
// and AAC, decoded whole and compared with ffmpeg's own decode of the same
// file; the track lies on the file's clock; a file without a usable track
// says why.

#include "support/AudioTestSupport.h"

#include "swf/audio/AdpcmDecoder.h"
#include "swf/video/FlvAudio.h"
#include "swf/video/FlvReader.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class FlvAudioTrack : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!audiotest::haveFfmpeg())
            GTEST_SKIP() << "ffmpeg is not installed";
        ASSERT_TRUE(m_dir.isValid());
    }
    // A second of two sines (440 Hz left, 660 Hz right when stereo) coded by `codec` into an FLV.
    std::optional<QByteArray> makeFlv(const QString& name, const QString& codec, int rate, int channels)
    {
        const QString path = m_dir.filePath(name);
        const QString tone = QStringLiteral("sine=frequency=%1:duration=1:sample_rate=%2");
        QStringList args { "-f", "lavfi", "-i", tone.arg(440).arg(rate) };
        if (channels == 2)
            args += { "-f", "lavfi", "-i", tone.arg(660).arg(rate), "-filter_complex", "[0][1]amerge=inputs=2" };
        args += { "-c:a", codec, "-ar", QString::number(rate), "-ac", QString::number(channels), path };
        if (!audiotest::runFfmpeg(args))
            return std::nullopt;
        return audiotest::readFile(path);
    }
    // ffmpeg's decode of the file, interleaved, at the file's own rate.
    std::vector<std::int16_t> ffmpegDecode(const QString& name)
    {
        auto out = audiotest::runFfmpeg({ "-i", m_dir.filePath(name), "-f", "s16le", "-" });
        return out ? audiotest::samplesFromS16le(*out) : std::vector<std::int16_t> {};
    }
    QTemporaryDir m_dir;
};

TEST_F(FlvAudioTrack, AdpcmMatchesFfmpegSampleForSample)
{
    for (int channels : { 1, 2 }) {
        SCOPED_TRACE(channels);
        const QString name = QStringLiteral("adpcm%1.flv").arg(channels);
        auto bytes = makeFlv(name, "adpcm_swf", 22050, channels);
        ASSERT_TRUE(bytes);
        auto file = swf::readFlv(*bytes);
        ASSERT_TRUE(file.ok());
        ASSERT_TRUE(swf::flvAudioNeedsDecoding(file.value()));
        auto ours = swf::decodeFlvAudio(file.value(), 1 << 20);
        ASSERT_TRUE(ours.ok()) << ours.error().detail.toStdString();
        EXPECT_EQ(ours.value().rate, 22050);
        EXPECT_EQ(ours.value().channels, channels);
        const auto ref = ffmpegDecode(name);
        // A second of sound, padded by the coder to whole 4096-sample packets.
        ASSERT_GE(ours.value().frames(), 22050);
        ASSERT_EQ(ref.size(), ours.value().samples.size());
        const auto diff = audiotest::compareSamples(ref, ours.value().samples);
        EXPECT_EQ(diff.maxAbs, 0);
    }
}

TEST_F(FlvAudioTrack, AacMatchesFfmpegWithinRounding)
{
    for (int channels : { 1, 2 }) {
        SCOPED_TRACE(channels);
        const QString name = QStringLiteral("aac%1.flv").arg(channels);
        auto bytes = makeFlv(name, "aac", 44100, channels);
        ASSERT_TRUE(bytes);
        auto file = swf::readFlv(*bytes);
        ASSERT_TRUE(file.ok());
        auto ours = swf::decodeFlvAudio(file.value(), 1 << 20);
        ASSERT_TRUE(ours.ok()) << ours.error().detail.toStdString();
        EXPECT_EQ(ours.value().rate, 44100);
        EXPECT_EQ(ours.value().channels, channels);
        const auto ref = ffmpegDecode(name);
        ASSERT_GE(ref.size(), std::size_t(44100 * channels));
        ASSERT_GE(ours.value().samples.size(), ref.size() - std::size_t(2048 * channels));
        // Both decode every access unit from the first; float to 16 bits
        // may round one step apart.
        const auto diff = audiotest::compareSamples(ref, ours.value().samples);
        EXPECT_GE(diff.compared, std::size_t(44100 * channels));
        EXPECT_LE(diff.maxAbs, 1);
    }
}

// Hand-built tracks: the first packet's time is silence before the sound,
// and tracks that are not ADPCM or AAC throughout, or AAC without its
// configuration, are refused.
TEST(FlvAudioRules, SilenceUpToTheFirstPacketAndRefusals)
{
    // One ADPCM packet: 2-bit codes (code size 0), mono, 5.5 kHz, 16-bit.
    QByteArray packet;
    packet.append(char(0x00)); // code size 0 in the top 2 bits, then the first sample's top bits
    packet.append(QByteArray(600, char(0x55)));
    swf::FlvFile file;
    const std::uint8_t adpcm55Mono = 0x12; // codec 1, 5.5 kHz, 16-bit, mono
    file.audio.push_back({ 500, adpcm55Mono, packet });
    auto decoded = swf::decodeFlvAudio(file, 1 << 20);
    ASSERT_TRUE(decoded.ok()) << decoded.error().detail.toStdString();
    EXPECT_EQ(decoded.value().rate, 5512.5);
    // Half a second at 5512.5 Hz is 2756 frames (rounded half up) of silence before the packet's samples.
    const std::size_t lead = 2756;
    ASSERT_GT(decoded.value().samples.size(), lead);
    for (std::size_t i = 0; i < lead; ++i)
        ASSERT_EQ(decoded.value().samples[i], 0) << i;
    bool sound = false;
    for (std::size_t i = lead; i < decoded.value().samples.size(); ++i)
        sound = sound || decoded.value().samples[i] != 0;
    EXPECT_TRUE(sound);
    // The cap holds, lead included.
    auto capped = swf::decodeFlvAudio(file, 1000);
    ASSERT_TRUE(capped.ok());
    EXPECT_EQ(capped.value().frames(), 1000);

    swf::FlvFile mixed = file;
    mixed.audio.push_back({ 600, 0x22, QByteArray(10, '\0') }); // an MP3 packet among ADPCM ones
    EXPECT_FALSE(swf::flvAudioNeedsDecoding(mixed));
    EXPECT_FALSE(swf::decodeFlvAudio(mixed, 1 << 20).ok());

    swf::FlvFile aacWithoutConfig;
    aacWithoutConfig.audio.push_back({ 0, 0xAF, QByteArray("\x01\x21\x00\x49", 4) });
    EXPECT_TRUE(swf::flvAudioNeedsDecoding(aacWithoutConfig));
    EXPECT_FALSE(swf::decodeFlvAudio(aacWithoutConfig, 1 << 20).ok());

    swf::FlvFile silent;
    EXPECT_FALSE(swf::flvAudioNeedsDecoding(silent));
}

} // namespace
