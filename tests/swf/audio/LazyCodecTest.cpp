// libavcodec comes into the program with the first decoder a movie needs,
// not at start: a window that never plays such a sound or a video never
// loads it (nor the hundred libraries it brings).

#include "swf/audio/LibavLibrary.h"
#include "swf/audio/SoundDecoder.h"
#include "swf/video/VideoDecoder.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

bool mapped(const char* library)
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly))
        return false;
    return maps.readAll().contains(library);
}

// Read before main runs, before any test has made a decoder: whether the
// library was linked into the program and so loaded with it.
const bool LoadedAtStart = mapped("libavcodec.so");

} // namespace

TEST(LazyCodecs, LibavcodecComesWithTheFirstDecoderAndDecodes)
{
    EXPECT_FALSE(LoadedAtStart);

    swf::SoundFormat format;
    format.codec = swf::SoundCodec::Nellymoser;
    format.rate = 22050;
    auto decoder = swf::createSoundDecoder(format);
    ASSERT_TRUE(decoder.ok()) << qPrintable(decoder.error().detail);
    EXPECT_TRUE(swf::libavLoaded());
    EXPECT_TRUE(mapped("libavcodec.so"));
    // Two 64-byte Nellymoser blocks of 256 samples each.
    decoder.value()->feed(QByteArray(128, '\0'));
    std::vector<std::int16_t> samples;
    decoder.value()->decode(1024, samples);
    EXPECT_EQ(samples.size(), 512u);

    // Video decoders come from the same loaded library.
    EXPECT_NE(swf::VideoDecoder::create(swf::VideoCodec::ScreenVideo), nullptr);
    EXPECT_NE(swf::VideoDecoder::create(swf::VideoCodec::H263), nullptr);
}
