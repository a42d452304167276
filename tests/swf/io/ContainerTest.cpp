#include "swf/Playback.h"
#include "swf/io/Container.h"
#include "swf/movie/Movie.h"

#include <gtest/gtest.h>

#include <lzma.h>
#include <zlib.h>

using namespace swf;

namespace {

// The smallest sound movie: a 550x400 stage, 12 fps, one empty frame.
const uint8_t MinimalMovie[] = {
    'F', 'W', 'S', 6,        // uncompressed, version 6
    25, 0, 0, 0,             // file length
    0x78, 0x00, 0x05, 0x5f, 0x00, 0x00, 0x0f, 0xa0, 0x00, // stage 0..11000 x 0..8000 twips, 15-bit fields
    0x00, 0x0c,              // frame rate 12.0 (8.8 fixed point)
    0x01, 0x00,              // one frame
    0x40, 0x00,              // ShowFrame (code 1, length 0)
    0x00, 0x00,              // End
};

QByteArray minimal()
{
    return QByteArray(reinterpret_cast<const char*>(MinimalMovie), sizeof MinimalMovie);
}

void putLe32(QByteArray& bytes, int at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = char((v >> (8 * i)) & 0xff);
}

QByteArray asCws(const QByteArray& fws)
{
    QByteArray body = fws.mid(8);
    uLongf size = compressBound(uLong(body.size()));
    QByteArray packed(qsizetype(size), '\0');
    compress2(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(body.constData()), uLong(body.size()), 9);
    packed.resize(qsizetype(size));
    QByteArray out = fws.left(8);
    out[0] = 'C';
    return out + packed;
}

// ZWS: signature, version, uncompressed length, compressed length, 5 property bytes, raw LZMA.
QByteArray asZws(const QByteArray& fws)
{
    QByteArray body = fws.mid(8);
    lzma_options_lzma options;
    lzma_lzma_preset(&options, 6);
    lzma_stream stream = LZMA_STREAM_INIT;
    EXPECT_EQ(lzma_alone_encoder(&stream, &options), LZMA_OK);
    QByteArray alone(body.size() + 1024, '\0');
    stream.next_in = reinterpret_cast<const uint8_t*>(body.constData());
    stream.avail_in = size_t(body.size());
    stream.next_out = reinterpret_cast<uint8_t*>(alone.data());
    stream.avail_out = size_t(alone.size());
    EXPECT_EQ(lzma_code(&stream, LZMA_FINISH), LZMA_STREAM_END);
    alone.resize(qsizetype(stream.total_out));
    lzma_end(&stream);
    // .lzma = 5 properties + 8-byte size + data.
    QByteArray raw = alone.mid(13);
    QByteArray out = fws.left(8);
    out[0] = 'Z';
    out.append(QByteArray(4, '\0'));
    putLe32(out, 8, uint32_t(raw.size()));
    out.append(alone.left(5));
    out.append(raw);
    return out;
}

QByteArray withProjector(const QByteArray& movie)
{
    QByteArray exe("MZ\x90\0 pretend this is an executable", 34);
    QByteArray out = exe + movie;
    out.append(QByteArray("\x56\x34\x12\xfa", 4));
    QByteArray length(4, '\0');
    putLe32(length, 0, uint32_t(movie.size()));
    return out + length;
}

} // namespace

TEST(Container, MinimalMovieHeader)
{
    auto playback = Playback::fromBytes(minimal());
    ASSERT_TRUE(playback.ok()) << qPrintable(playback.error().detail);
    auto& p = *playback.value();
    EXPECT_EQ(p.version(), 6);
    EXPECT_EQ(p.stageRect(), QRectF(0, 0, 550, 400));
    EXPECT_DOUBLE_EQ(p.frameRate(), 12.0);
    EXPECT_EQ(p.frameCount(), 1);
    EXPECT_EQ(p.currentFrame(), 1);
    EXPECT_EQ(p.backgroundColor(), QColor(Qt::white));
}

TEST(Container, CompressedAndProjectorFormsReadTheSameMovie)
{
    QByteArray fws = minimal();
    for (const QByteArray& file : { asCws(fws), asZws(fws), withProjector(fws), withProjector(asCws(fws)) }) {
        auto unwrapped = unwrapMovie(file);
        ASSERT_TRUE(unwrapped.ok()) << qPrintable(unwrapped.error().detail);
        EXPECT_EQ(unwrapped.value().data, fws);
        EXPECT_EQ(unwrapped.value().version, 6);
    }
}

TEST(Container, DeclaredLengthIsOnlyAHint)
{
    // A header that claims far more than the stream holds still reads when the stream is whole.
    QByteArray cws = asCws(minimal());
    putLe32(cws, 4, 0x7fffffff);
    auto unwrapped = unwrapMovie(cws);
    ASSERT_TRUE(unwrapped.ok());
    EXPECT_EQ(unwrapped.value().data.size(), int(sizeof MinimalMovie));
}

TEST(Container, BrokenContainersFailWithTheirKind)
{
    struct Row {
        const char* name;
        QByteArray bytes;
        ErrorKind kind;
    };
    QByteArray cws = asCws(minimal());
    QByteArray zws = asZws(minimal());
    QByteArray lyingTrailer = withProjector(minimal());
    putLe32(lyingTrailer, lyingTrailer.size() - 4, 1'000'000);
    QByteArray corruptZlib = cws;
    corruptZlib[9] = char(0xff);
    corruptZlib[10] = char(0xff);
    const Row rows[] = {
        { "empty", QByteArray(), ErrorKind::NotAMovie },
        { "text file", QByteArray("hello, this is not a movie at all"), ErrorKind::NotAMovie },
        { "header cut", minimal().left(5), ErrorKind::Truncated },
        { "zlib damaged", corruptZlib, ErrorKind::Corrupt },
        { "trailer longer than the file", lyingTrailer, ErrorKind::Corrupt },
    };
    for (const Row& row : rows) {
        auto result = Playback::fromBytes(row.bytes);
        ASSERT_FALSE(result.ok()) << row.name;
        EXPECT_EQ(result.error().kind, row.kind) << row.name << ": " << qPrintable(result.error().detail);
    }
}

TEST(Container, DecompressionStopsAtTheCap)
{
    // A 1 MiB body of zeros compresses to almost nothing; a 64 KiB cap refuses it.
    QByteArray fws = minimal();
    fws.append(QByteArray(1 << 20, '\0'));
    putLe32(fws, 4, uint32_t(fws.size()));
    auto capped = unwrapMovie(asCws(fws), 64 * 1024);
    ASSERT_FALSE(capped.ok());
    EXPECT_EQ(capped.error().kind, ErrorKind::TooLarge);
    auto cappedLzma = unwrapMovie(asZws(fws), 64 * 1024);
    ASSERT_FALSE(cappedLzma.ok());
    EXPECT_EQ(cappedLzma.error().kind, ErrorKind::TooLarge);
    EXPECT_TRUE(unwrapMovie(asCws(fws)).ok());
}

// Compressed movies cut short are tested with the movie reader (tests/swf/movie/DamagedMovieTest.cpp):
// they need frames enough that the part left holds whole ones.

TEST(Container, TagRunningPastTheEndEndsTheMovieThere)
{
    QByteArray fws = minimal();
    // Replace ShowFrame+End with a long-header tag claiming 1000 bytes.
    fws.truncate(21);
    fws.append(QByteArray("\x3f\x02", 2)); // code 8, long length follows
    QByteArray length(4, '\0');
    putLe32(length, 0, 1000);
    fws.append(length);
    fws.append(QByteArray(10, '\0'));
    auto result = Playback::fromBytes(fws);
    ASSERT_TRUE(result.ok()) << qPrintable(result.error().detail);
    EXPECT_EQ(result.value()->frameCount(), 1);
    // The damage names the tag and where it starts.
    EXPECT_TRUE(result.value()->damage().contains(QLatin1String("tag 8 at byte 21"))) << qPrintable(result.value()->damage());
}

TEST(Container, MissingFileIsReported)
{
    auto result = Playback::open(QStringLiteral("/nonexistent/nowhere.swf"));
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error().kind, ErrorKind::FileNotFound);
}

TEST(Container, ZeroFrameRateReadsAsTwelveAndNoShowFrameStillGivesAFrame)
{
    QByteArray fws = minimal();
    fws[17] = 0;
    fws[18] = 0;                 // frame rate 0
    fws.remove(21, 2);           // drop the ShowFrame
    auto result = Playback::fromBytes(fws);
    ASSERT_TRUE(result.ok());
    EXPECT_DOUBLE_EQ(result.value()->frameRate(), 12.0);
    EXPECT_EQ(result.value()->frameCount(), 1);
}

namespace {

QByteArray zlibOf(const QByteArray& plain)
{
    uLongf size = compressBound(uLong(plain.size()));
    QByteArray packed(qsizetype(size), '\0');
    compress2(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(plain.constData()), uLong(plain.size()), 9);
    packed.resize(qsizetype(size));
    return packed;
}

} // namespace

// Bitmap data is inflated into a buffer that grows with the stream: the
// result must not depend on how often it grew, and must stop exactly at the
// cap the declared size sets.
TEST(Container, InflatedBlocksKeepEveryByteAndStopAtTheirCap)
{
    QByteArray plain;
    for (int i = 0; i < 300000; ++i)
        plain.append(char((i * 7 + i / 1000) & 0xff));
    const QByteArray packed = zlibOf(plain);
    ASSERT_LT(packed.size() * 4, plain.size()); // several growth steps are needed

    EXPECT_EQ(inflateBlock(packed.constData(), packed.size(), plain.size()), plain);
    EXPECT_EQ(inflateBlock(packed.constData(), packed.size(), qint64(1) << 30), plain);
    EXPECT_EQ(inflateBlock(packed.constData(), packed.size(), 70000), plain.left(70000));
    const QByteArray cut = inflateBlock(packed.constData(), packed.size() / 2, plain.size());
    EXPECT_GT(cut.size(), 0);
    EXPECT_LT(cut.size(), plain.size());
    EXPECT_EQ(cut, plain.left(cut.size()));

    const QByteArray empty = zlibOf(QByteArray());
    EXPECT_TRUE(inflateBlock(empty.constData(), empty.size(), qint64(8192) * 4096 * 4).isEmpty());
    EXPECT_TRUE(inflateBlock("garbage", 7, 1000).isEmpty());
}
