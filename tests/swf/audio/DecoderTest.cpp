#include "swf/audio/SoundDecoder.h"

#include "support/AdpcmEncoder.h"
#include "support/AudioTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace swf;
using namespace audiotest;

namespace {

std::vector<std::int16_t> decodeAll(SoundDecoder& d, int chunk = 1000)
{
    std::vector<std::int16_t> out;
    while (d.decode(chunk, out) > 0) { }
    return out;
}

std::unique_ptr<SoundDecoder> makeDecoder(const SoundFormat& f)
{
    auto d = createSoundDecoder(f);
    EXPECT_TRUE(d.ok()) << (d.ok() ? "" : d.error().detail.toStdString());
    return d.ok() ? d.release() : nullptr;
}

#define REQUIRE_FFMPEG()                                              \
    if (!haveFfmpeg())                                                \
    GTEST_SKIP() << "ffmpeg is not installed: no independent decoder to compare with"

// Encodes a tone with ffmpeg into FLV (whose audio tags carry the movie's
// sound format byte) and also decodes that file with ffmpeg.
struct FlvFixture {
    std::vector<FlvAudio> packets;
    std::vector<std::int16_t> reference;
};

std::optional<FlvFixture> flvFixture(const QString& name, const QStringList& encode, int channels)
{
    const QString path = tempPath(name + ".flv");
    if (!runFfmpeg(encode + QStringList { "-f", "flv", path }))
        return std::nullopt;
    auto pcm = runFfmpeg({ "-i", path, "-f", "s16le", "-ac", QString::number(channels), "-" });
    if (!pcm)
        return std::nullopt;
    FlvFixture f;
    f.packets = readFlvAudio(readFile(path));
    f.reference = samplesFromS16le(*pcm);
    if (f.packets.empty())
        return std::nullopt;
    return f;
}

std::vector<std::int16_t> decodePackets(const std::vector<FlvAudio>& packets, SoundFormat* formatOut = nullptr)
{
    const SoundFormat format = soundFormatFromByte(packets.front().formatByte);
    if (formatOut)
        *formatOut = format;
    auto d = makeDecoder(format);
    std::vector<std::int16_t> out;
    if (!d)
        return out;
    for (const auto& p : packets) {
        d->feed(p.data);
        while (d->decode(4096, out) > 0) { }
    }
    return out;
}

} // namespace

TEST(PcmDecoder, EightAndSixteenBitAcrossFeedBoundaries)
{
    SoundFormat f8 { SoundCodec::PcmNative, 11025, false, true };
    auto d8 = makeDecoder(f8);
    ASSERT_TRUE(d8);
    // Three stereo frames of unsigned 8-bit, the middle frame split between feeds.
    d8->feed(QByteArray::fromHex("0080ff"));
    d8->feed(QByteArray::fromHex("7f8001"));
    EXPECT_EQ(decodeAll(*d8), (std::vector<std::int16_t> { -32768, 0, 32512, -256, 0, -32512 }));

    SoundFormat f16 { SoundCodec::PcmLittle, 44100, true, false };
    auto d16 = makeDecoder(f16);
    ASSERT_TRUE(d16);
    d16->feed(QByteArray::fromHex("0180ff"));
    std::vector<std::int16_t> out;
    EXPECT_EQ(d16->decode(10, out), 1); // the odd byte waits for its partner
    d16->feed(QByteArray::fromHex("7f"));
    EXPECT_EQ(d16->decode(10, out), 1);
    EXPECT_EQ(out, (std::vector<std::int16_t> { -32767, 32767 }));

    // A skip drops whole frames before anything is handed out.
    d16->feed(pcm16({ 1, 2, 3, 4 }));
    d16->skip(3);
    EXPECT_EQ(decodeAll(*d16), (std::vector<std::int16_t> { 4 }));
}

// Our encoder's output, decoded: the decoder must reproduce the encoder's own
// reconstruction exactly, and that must follow the source within a bound
// that tightens with the code size (fewer bits, coarser steps).
TEST(AdpcmDecoder, EveryCodeSizeMonoAndStereo)
{
    const double maxRelativeRms[] = { 0.30, 0.12, 0.05, 0.025 }; // for 2, 3, 4, 5 bits
    for (int channels = 1; channels <= 2; ++channels) {
        // 10000 frames: two whole packets of 4096 and a short last one.
        const auto source = sineWave(440, 22050, 10000, channels, 12000);
        for (int bits = 2; bits <= 5; ++bits) {
            SCOPED_TRACE(testing::Message() << bits << " bits, " << channels << " channels");
            const auto enc = encodeAdpcm(source, channels, bits);
            // The last byte's padding bits may read as a few more codes;
            // a defined sound's sample count cuts them off.
            auto d = makeDecoder({ SoundCodec::Adpcm, 22050, true, channels == 2 });
            ASSERT_TRUE(d);
            d->feed(enc.data);
            auto raw = decodeAll(*d, 777);
            ASSERT_GE(raw.size(), source.size());
            EXPECT_LE(raw.size(), source.size() + 3);
            raw.resize(source.size());
            EXPECT_EQ(raw, enc.reconstruction);
            auto sound = decodeDefinedSound({ 1, { SoundCodec::Adpcm, 22050, true, channels == 2 }, 10000, enc.data }, 1 << 20);
            ASSERT_TRUE(sound.ok());
            const auto& decoded = sound.value().samples;
            ASSERT_EQ(decoded.size(), source.size());
            EXPECT_EQ(decoded, enc.reconstruction);
            const auto diff = compareSamples(decoded, source);
            EXPECT_LT(diff.rms / 12000, maxRelativeRms[bits - 2]) << "rms " << diff.rms;
        }
    }
}

TEST(AdpcmDecoder, EachStreamBlockStartsAfresh)
{
    // Two blocks coded separately, each with its own code size header; the
    // second uses a different code size from the first. Lengths chosen so
    // each block fills its last byte (no padding bits to read as codes).
    const auto a = sineWave(300, 11025, 1501, 1, 8000);
    const auto b = sineWave(700, 11025, 901, 1, 8000);
    const auto encA = encodeAdpcm(a, 1, 4);
    const auto encB = encodeAdpcm(b, 1, 2);
    auto d = makeDecoder({ SoundCodec::Adpcm, 11025, true, false });
    ASSERT_TRUE(d);
    d->feed(encA.data);
    d->feed(encB.data);
    auto expected = encA.reconstruction;
    expected.insert(expected.end(), encB.reconstruction.begin(), encB.reconstruction.end());
    EXPECT_EQ(decodeAll(*d), expected);

    // A block cut in the middle of a packet header gives what came before it.
    auto cut = makeDecoder({ SoundCodec::Adpcm, 11025, true, false });
    cut->feed(encA.data.left(2));
    EXPECT_TRUE(decodeAll(*cut).empty());
}

// ffmpeg's encoder and decoder for this ADPCM are independent of ours; the
// decode is integer arithmetic, so the samples must agree exactly.
TEST(AdpcmDecoder, MatchesIndependentEncoderAndDecoder)
{
    REQUIRE_FFMPEG();
    for (int channels = 1; channels <= 2; ++channels) {
        SCOPED_TRACE(channels);
        auto f = flvFixture(QStringLiteral("adpcm%1").arg(channels),
            { "-f", "lavfi", "-i", "sine=frequency=523:duration=1.3", "-ar", "22050", "-ac", QString::number(channels), "-c:a", "adpcm_swf" },
            channels);
        if (!f)
            GTEST_SKIP() << "this ffmpeg cannot write ADPCM into FLV";
        SoundFormat format;
        const auto ours = decodePackets(f->packets, &format);
        EXPECT_EQ(format.codec, SoundCodec::Adpcm);
        EXPECT_EQ(format.channels(), channels);
        ASSERT_GT(ours.size(), 22050u * channels);
        ASSERT_EQ(ours.size(), f->reference.size());
        const auto diff = compareSamples(ours, f->reference);
        EXPECT_EQ(diff.maxAbs, 0);
    }
}

namespace {

struct Mp3Movie {
    SoundStreamHeadRecord head;
    std::vector<SoundStreamBlockRecord> blocks;
    std::vector<std::int16_t> reference;
};

std::optional<Mp3Movie> mp3Movie(const QString& name, int rate, int channels)
{
    const QString path = tempPath(name + ".swf");
    if (!runFfmpeg({ "-f", "lavfi", "-i", "sine=frequency=440:duration=2", "-ar", QString::number(rate), "-ac",
            QString::number(channels), "-c:a", "libmp3lame", "-b:a", "128k", "-f", "swf", path }))
        return std::nullopt;
    auto pcm = runFfmpeg({ "-i", path, "-f", "s16le", "-" });
    if (!pcm)
        return std::nullopt;
    Mp3Movie m;
    m.reference = samplesFromS16le(*pcm);
    bool haveHead = false;
    for (const auto& tag : readMovieTags(readFile(path))) {
        if (tag.code == 18 || tag.code == 45) {
            auto h = readSoundStreamHead(tag.body);
            if (!h)
                return std::nullopt;
            m.head = h.value();
            haveHead = true;
        } else if (tag.code == 19 && haveHead) {
            auto b = readSoundStreamBlock(tag.body, m.head.stream.codec);
            if (!b)
                return std::nullopt;
            m.blocks.push_back(b.release());
        }
    }
    if (!haveHead || m.blocks.empty())
        return std::nullopt;
    return m;
}

} // namespace

// mpg123 and ffmpeg both decode in floating point and round to 16 bits at the
// end; they may differ by a rounding step or two, never more. Any offset,
// dropped frame or wrong channel layout would show as thousands.
TEST(Mp3Decoder, StreamBlocksMatchIndependentDecoder)
{
    REQUIRE_FFMPEG();
    for (auto [rate, channels] : { std::pair { 44100, 1 }, std::pair { 22050, 2 } }) {
        SCOPED_TRACE(testing::Message() << rate << " Hz, " << channels << " channels");
        auto m = mp3Movie(QStringLiteral("mp3_%1_%2").arg(rate).arg(channels), rate, channels);
        if (!m)
            GTEST_SKIP() << "this ffmpeg cannot write MP3 stream sound into a movie";
        EXPECT_EQ(m->head.stream.codec, SoundCodec::Mp3);
        auto d = makeDecoder(m->head.stream);
        ASSERT_TRUE(d);
        std::vector<std::int16_t> ours;
        for (const auto& b : m->blocks) {
            d->feed(b.data);
            while (d->decode(1000, ours) > 0) { }
        }
        EXPECT_EQ(d->sampleRate(), rate);
        EXPECT_EQ(d->channels(), channels);
        // ffmpeg drains the last frame at the end of file; we may hold it until more data comes.
        ASSERT_GE(ours.size() + 1152u * channels, m->reference.size());
        const auto diff = compareSamples(ours, m->reference);
        EXPECT_GT(diff.compared, std::size_t(rate) * channels);
        EXPECT_LE(diff.maxAbs, 2);
    }
}

TEST(Mp3Decoder, DefinedSoundHonoursItsSeekSamples)
{
    REQUIRE_FFMPEG();
    auto m = mp3Movie(QStringLiteral("mp3_event"), 44100, 1);
    if (!m)
        GTEST_SKIP() << "this ffmpeg cannot write MP3 stream sound into a movie";
    // An event sound made of the same frames whose first 1105 samples (the
    // encoder and decoder delay) are declared as seek samples.
    DefineSoundRecord def;
    def.soundId = 1;
    def.format = m->head.stream;
    putU16(def.data, 1105);
    for (const auto& b : m->blocks)
        def.data.append(b.data);
    auto decoded = decodeDefinedSound(def, 10 * 44100);
    ASSERT_TRUE(decoded.ok());
    EXPECT_EQ(decoded.value().rate, 44100);
    const auto diff = compareSamples(m->reference, decoded.value().samples, 1105);
    EXPECT_GT(diff.compared, 40000u);
    EXPECT_LE(diff.maxAbs, 2);
    // Without the seek the same data gives 1105 samples more.
    DefineSoundRecord noSeek = def;
    noSeek.data[0] = noSeek.data[1] = 0;
    auto plain = decodeDefinedSound(noSeek, 10 * 44100);
    ASSERT_TRUE(plain.ok());
    EXPECT_EQ(plain.value().samples.size(), decoded.value().samples.size() + 1105);

    // The frame budget cuts a sound that decodes to more than it.
    auto capped = decodeDefinedSound(def, 5000);
    ASSERT_TRUE(capped.ok());
    EXPECT_EQ(capped.value().frames(), 5000);
}

// Nellymoser goes through libavcodec, as ffmpeg's own decode does: the same
// decoder on the same packets, so the only difference allowed is the
// float-to-16-bit rounding (one step).
TEST(LibavDecoder, NellymoserAtEachRate)
{
    REQUIRE_FFMPEG();
    for (auto [rate, codec] : { std::pair { 8000, SoundCodec::Nellymoser8k }, std::pair { 16000, SoundCodec::Nellymoser16k },
             std::pair { 22050, SoundCodec::Nellymoser } }) {
        SCOPED_TRACE(rate);
        auto f = flvFixture(QStringLiteral("nelly%1").arg(rate),
            { "-f", "lavfi", "-i", "sine=frequency=440:duration=1", "-ar", QString::number(rate), "-ac", "1", "-c:a", "nellymoser" }, 1);
        if (!f)
            GTEST_SKIP() << "this ffmpeg cannot write Nellymoser into FLV";
        SoundFormat format;
        const auto ours = decodePackets(f->packets, &format);
        EXPECT_EQ(format.codec, codec);
        EXPECT_EQ(format.rate, rate);
        ASSERT_EQ(ours.size(), f->reference.size());
        EXPECT_LE(compareSamples(ours, f->reference).maxAbs, 1);
    }
}

TEST(LibavDecoder, Speex)
{
    REQUIRE_FFMPEG();
    auto f = flvFixture(QStringLiteral("speex"),
        { "-f", "lavfi", "-i", "sine=frequency=440:duration=1", "-ar", "16000", "-ac", "1", "-c:a", "libspeex" }, 1);
    if (!f)
        GTEST_SKIP() << "this ffmpeg cannot write Speex into FLV";
    SoundFormat format;
    const auto ours = decodePackets(f->packets, &format);
    EXPECT_EQ(format.codec, SoundCodec::Speex);
    ASSERT_GT(ours.size(), 15000u);
    // ffmpeg may pick a different Speex decoder than libavcodec's default for
    // the codec id; speech codecs differ in post-filtering, so compare loosely:
    // same length, and the tone's energy within 20%.
    EXPECT_NEAR(double(ours.size()), double(f->reference.size()), 320);
    auto energy = [](const std::vector<std::int16_t>& s) {
        double e = 0;
        for (auto v : s)
            e += double(v) * v;
        return std::sqrt(e / double(std::max<std::size_t>(1, s.size())));
    };
    EXPECT_NEAR(energy(ours), energy(f->reference), 0.2 * energy(f->reference));
}

TEST(SoundDecoder, GarbageNeverOverrunsOrHangs)
{
    std::mt19937 rng(7);
    for (auto codec : { SoundCodec::PcmNative, SoundCodec::Adpcm, SoundCodec::Mp3, SoundCodec::Nellymoser, SoundCodec::Speex }) {
        for (int round = 0; round < 20; ++round) {
            QByteArray junk(int(rng() % 3000), '\0');
            for (auto& c : junk)
                c = char(rng());
            auto d = makeDecoder({ codec, 22050, true, bool(round & 1) });
            ASSERT_TRUE(d);
            d->feed(junk);
            std::vector<std::int16_t> out;
            int total = 0;
            for (int i = 0; i < 1000; ++i) {
                const int got = d->decode(500, out);
                if (got <= 0)
                    break;
                total += got;
            }
            EXPECT_EQ(out.size(), std::size_t(total) * std::size_t(d->channels()));
            // PCM and ADPCM: at most one frame per two coded bits, whatever the bytes say.
            if (codec == SoundCodec::PcmNative || codec == SoundCodec::Adpcm) {
                EXPECT_LE(total, junk.size() * 4 + 1);
            }
        }
    }
}
