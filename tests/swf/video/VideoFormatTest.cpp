// DefineVideoStream and VideoFrame records from hand-built bytes, and the
// key-frame rule each codec's packet header gives.

#include "swf/format/Video.h"
#include "swf/movie/Movie.h"
#include "swf/movie/Videos.h"

#include "VideoFixtures.h"

#include <gtest/gtest.h>

using namespace swf;

namespace {

Reader readerOf(const QByteArray& bytes) { return Reader(bytes); }

TEST(VideoFormat, DefineVideoStreamFields)
{
    const uint8_t body[] = {
        7, 0,     // character id 7
        30, 0,    // 30 frames declared
        0x40, 1,  // 320 pixels wide
        0xf0, 0,  // 240 high
        0x05,     // reserved 0000, deblocking 010 (level 1), smoothing on
        4,        // VP6
    };
    QByteArray bytes(reinterpret_cast<const char*>(body), sizeof body);
    Reader r = readerOf(bytes);
    auto header = readDefineVideoStream(r);
    ASSERT_TRUE(header.ok());
    EXPECT_EQ(header.value().id, 7);
    EXPECT_EQ(header.value().frameCount, 30);
    EXPECT_EQ(header.value().width, 320);
    EXPECT_EQ(header.value().height, 240);
    EXPECT_EQ(header.value().deblocking, 2);
    EXPECT_TRUE(header.value().smoothing);
    EXPECT_EQ(header.value().codec, VideoCodec::Vp6);
}

TEST(VideoFormat, AbsurdSizeIsRefusedAtTheDefinition)
{
    const uint8_t body[] = {
        1, 0,          // id 1
        1, 0,          // one frame
        0xff, 0xff,    // 65535 pixels wide
        0xff, 0xff,    // 65535 high
        0, 2,          // no flags, H.263
    };
    QByteArray bytes(reinterpret_cast<const char*>(body), sizeof body);
    Reader r = readerOf(bytes);
    EXPECT_FALSE(readDefineVideoStream(r).ok());

    // In a movie the refused stream is left out and the movie still loads.
    videotest::StreamSpec spec;
    spec.width = 65535;
    spec.height = 2;
    auto movie = Movie::load(videotest::videoMovie(spec, { QByteArray("\x00\x00\x84", 3) }));
    ASSERT_TRUE(movie.ok());
    EXPECT_EQ(movie.value()->character(1), nullptr);
}

TEST(VideoFormat, CodecZeroDefinesAVideoObjectForScripts)
{
    const uint8_t body[] = { 1, 0, 0xff, 0xff, 200, 0, 150, 0, 0, 0 }; // id 1, 65535 frames, 200x150, codec 0
    QByteArray bytes(reinterpret_cast<const char*>(body), sizeof body);
    Reader r = readerOf(bytes);
    auto header = readDefineVideoStream(r);
    ASSERT_TRUE(header.ok());
    EXPECT_EQ(header.value().codec, VideoCodec::None);
    EXPECT_FALSE(isKnownVideoCodec(header.value().codec));
}

TEST(VideoFormat, TruncatedDefinitionIsAnError)
{
    const uint8_t body[] = { 1, 0, 1, 0, 0x40, 1 }; // id, frames, width, then nothing
    QByteArray bytes(reinterpret_cast<const char*>(body), sizeof body);
    Reader r = readerOf(bytes);
    EXPECT_FALSE(readDefineVideoStream(r).ok());
}

TEST(VideoFormat, VideoFrameCarriesStreamNumberAndPacket)
{
    const uint8_t body[] = { 3, 0, 0x10, 0x01, 0xaa, 0xbb }; // stream 3, frame 272, two data bytes
    QByteArray bytes(reinterpret_cast<const char*>(body), sizeof body);
    Reader r = readerOf(bytes);
    auto frame = readVideoFrame(r);
    ASSERT_TRUE(frame.ok());
    EXPECT_EQ(frame.value().streamId, 3);
    EXPECT_EQ(frame.value().frameNumber, 272);
    EXPECT_EQ(frame.value().data, QByteArray("\xaa\xbb", 2));
}

// Sorenson H.263 picture headers: start code (17 bits: 0...01), version (5),
// temporal reference (8), size (3), then the picture type (2): 0 intra, 1 inter.
TEST(VideoFormat, H263KeyFramesByPictureType)
{
    // 00000000 00000000 | 1 00000 00 | 000000 01 | 0 (size 2: 352x288) 00 (intra) 00000
    const QByteArray intra = QByteArray::fromHex("0000800100");
    // The same with picture type 01: 0 01 00000.
    const QByteArray inter = QByteArray::fromHex("0000800120");
    // Size 000 carries an 8-bit width (0x2d) and height (0x1e) before the type:
    //   ... 000000 00 | 0 0010110 | 1 0001111 | 0 01 00000
    const QByteArray customInter = QByteArray::fromHex("000080" "00" "16" "8f" "20");
    const QByteArray customIntra = QByteArray::fromHex("000080" "00" "16" "8f" "00");
    EXPECT_TRUE(isVideoKeyFrame(VideoCodec::H263, intra));
    EXPECT_FALSE(isVideoKeyFrame(VideoCodec::H263, inter));
    EXPECT_FALSE(isVideoKeyFrame(VideoCodec::H263, customInter));
    EXPECT_TRUE(isVideoKeyFrame(VideoCodec::H263, customIntra));
    EXPECT_FALSE(isVideoKeyFrame(VideoCodec::H263, QByteArray::fromHex("ffff80")));
}

TEST(VideoFormat, Vp6KeyFramesByTheTopBit)
{
    EXPECT_TRUE(isVideoKeyFrame(VideoCodec::Vp6, QByteArray::fromHex("2836")));
    EXPECT_FALSE(isVideoKeyFrame(VideoCodec::Vp6, QByteArray::fromHex("a836")));
    // With alpha the picture starts after a 24-bit offset to the alpha data.
    EXPECT_TRUE(isVideoKeyFrame(VideoCodec::Vp6Alpha, QByteArray::fromHex("0000022836")));
    EXPECT_FALSE(isVideoKeyFrame(VideoCodec::Vp6Alpha, QByteArray::fromHex("000002a836")));
    EXPECT_FALSE(isVideoKeyFrame(VideoCodec::Vp6Alpha, QByteArray::fromHex("0000")));
}

// Screen video: block size (4 bits, in 16s less one) and image size (12 bits)
// for each axis, then one sized block per cell; size 0 keeps the old block.
TEST(VideoFormat, ScreenVideoKeyFramesCarryEveryBlock)
{
    // 16-pixel blocks over a 32x16 image: two blocks.
    const QByteArray header = QByteArray::fromHex("0020" "0010");
    const QByteArray both = header + QByteArray::fromHex("0001aa" "0001bb");
    const QByteArray secondKept = header + QByteArray::fromHex("0001aa" "0000");
    const QByteArray cut = header + QByteArray::fromHex("0001aa" "0005bb");
    EXPECT_TRUE(isVideoKeyFrame(VideoCodec::ScreenVideo, both));
    EXPECT_FALSE(isVideoKeyFrame(VideoCodec::ScreenVideo, secondKept));
    EXPECT_FALSE(isVideoKeyFrame(VideoCodec::ScreenVideo, cut));
}

// Screen video 2: the same sizes, a flags byte, then each block's size and
// its own flags byte (the size counts it): a key frame has every block and
// none coded as a difference or primed from the previous key frame.
TEST(VideoFormat, ScreenVideo2KeyFramesStandOnTheirOwn)
{
    const QByteArray header = QByteArray::fromHex("0020" "0010" "00"); // two 16-pixel blocks, no flags
    const QByteArray own = header + QByteArray::fromHex("000210aa" "000210bb");
    const QByteArray difference = header + QByteArray::fromHex("000210aa" "000414" "0010bb"); // start row, height
    const QByteArray primed = header + QByteArray::fromHex("000210aa" "000211bb");
    const QByteArray missing = header + QByteArray::fromHex("000210aa" "0000");
    const QByteArray palette = QByteArray::fromHex("0020" "0010" "01") + QByteArray::fromHex("000210aa" "000210bb");
    EXPECT_TRUE(isVideoKeyFrame(VideoCodec::ScreenVideo2, own));
    EXPECT_FALSE(isVideoKeyFrame(VideoCodec::ScreenVideo2, difference));
    EXPECT_FALSE(isVideoKeyFrame(VideoCodec::ScreenVideo2, primed));
    EXPECT_FALSE(isVideoKeyFrame(VideoCodec::ScreenVideo2, missing));
    EXPECT_FALSE(isVideoKeyFrame(VideoCodec::ScreenVideo2, palette));
}

TEST(VideoFormat, FramesJoinTheirStreamAndTheFirstIsAKeyFrame)
{
    videotest::StreamSpec spec;
    spec.codec = 4; // VP6
    // Frame 0 looks like an inter frame; a stream's first frame still starts decoding.
    auto movie = Movie::load(videotest::videoMovie(spec, { QByteArray::fromHex("80"), QByteArray::fromHex("80"), QByteArray::fromHex("00") }));
    ASSERT_TRUE(movie.ok());
    auto stream = movie.value()->characterAs<VideoStreamDef>(1, CharacterKind::Video);
    ASSERT_NE(stream, nullptr);
    ASSERT_EQ(stream->frames.size(), 3u);
    EXPECT_TRUE(stream->frames.at(0).key);
    EXPECT_FALSE(stream->frames.at(1).key);
    EXPECT_TRUE(stream->frames.at(2).key);
}

TEST(VideoFormat, FrameForNoStreamIsLeftOut)
{
    // A VideoFrame naming a shape-less id 9 before any stream exists.
    QByteArray tags = videotest::videoFrame(9, 0, QByteArray::fromHex("00")) + videotest::tag(1, {});
    auto movie = Movie::load(videotest::movie(tags, 1, 10, 10));
    ASSERT_TRUE(movie.ok());
    EXPECT_EQ(movie.value()->character(9), nullptr);
}

} // namespace

namespace {

// Screen video packets start with block and image sizes: here 64-pixel
// blocks (nibble 3) over 160 × 120 (0x0a0, 0x078).
TEST(VideoFormat, StrayFlvByteBeforeScreenVideoIsDropped)
{
    VideoStreamHeader stream;
    stream.codec = VideoCodec::ScreenVideo;
    stream.width = 160;
    stream.height = 120;
    const QByteArray packet = QByteArray::fromHex("30a03078" "0005");
    // Key frame (1) of codec 3 written before the packet, as FLV tags have it.
    EXPECT_EQ(videoFramePacket(stream, QByteArray::fromHex("13") + packet), packet);
    EXPECT_EQ(videoFramePacket(stream, packet), packet);
    // A byte that looks the same but is followed by another size is data.
    const QByteArray other = QByteArray::fromHex("1330a03078");
    stream.width = 0x330;
    stream.height = 0xa030 & 0x0fff;
    EXPECT_EQ(videoFramePacket(stream, other), other);
    // Other codecs are passed on untouched.
    stream.codec = VideoCodec::H263;
    stream.width = 160;
    stream.height = 120;
    EXPECT_EQ(videoFramePacket(stream, QByteArray::fromHex("13") + packet), QByteArray::fromHex("13") + packet);
}

} // namespace
