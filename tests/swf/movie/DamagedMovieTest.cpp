// Damaged files: a movie cut short plays the frames that are whole; a tag
// that runs past the end ends the movie there; a bitmap past our caps is
// dropped, not the movie. Bombs and other caps still refuse.

#include "support/ScriptSupport.h"

#include "swf/Playback.h"
#include "swf/movie/Movie.h"

#include "tools/swfwriter/Movie.h"

#include <gtest/gtest.h>

using namespace text_support;

namespace {

// Three frames, each tracing its number.
swfw::Movie threeFrames()
{
    swfw::Movie movie(8, 100, 100, 12);
    for (const char* line : { "f1", "f2", "f3" }) {
        movie.doAction(Asm().push({ line }).trace().end().bytes());
        movie.showFrame();
    }
    return movie;
}

QStringList runAll(const QByteArray& bytes, int* frames = nullptr, QString* damage = nullptr)
{
    QStringList lines;
    swf::PlaybackOptions options;
    options.trace = [&lines](const QString& line) { lines << line; };
    auto playback = swf::Playback::fromBytes(bytes, options);
    EXPECT_TRUE(playback.ok()) << (playback.ok() ? "" : qPrintable(playback.error().detail));
    if (!playback.ok())
        return lines;
    if (frames)
        *frames = playback.value()->frameCount();
    if (damage)
        *damage = playback.value()->damage();
    for (int i = 1; i < playback.value()->frameCount(); ++i)
        playback.value()->nextFrame();
    return lines;
}

} // namespace

TEST(DamagedMovie, CutShortPlaysTheWholeFrames)
{
    const QByteArray whole = threeFrames().bytes();
    int frames = 0;
    QString damage;
    EXPECT_EQ(runAll(whole, &frames, &damage), QStringList({ "f1", "f2", "f3" }));
    EXPECT_EQ(frames, 3);
    EXPECT_TRUE(damage.isEmpty());

    // Cut inside the third frame's action tag: two whole frames remain.
    // The file ends: ... DoAction(f3) ShowFrame End (2 + 2 bytes after the action tag).
    const QByteArray cut = whole.left(whole.size() - 7);
    EXPECT_EQ(runAll(cut, &frames, &damage), QStringList({ "f1", "f2" }));
    EXPECT_EQ(frames, 2);
    EXPECT_FALSE(damage.isEmpty());

    // Cut between the two bytes of a tag header.
    const QByteArray halfHeader = whole.left(whole.size() - 1);
    EXPECT_EQ(runAll(halfHeader, &frames, &damage), QStringList({ "f1", "f2", "f3" }));
    EXPECT_EQ(frames, 3);
    EXPECT_FALSE(damage.isEmpty());
}

TEST(DamagedMovie, CompressedAndCutShort)
{
    for (swfw::Compression c : { swfw::Compression::Zlib, swfw::Compression::Lzma }) {
        swfw::Movie movie = threeFrames();
        // Enough frames that half the compressed stream holds whole ones.
        for (int i = 0; i < 200; ++i) {
            movie.doAction(Asm().push({ QString::number(i).toLatin1().constData() }).pop().end().bytes());
            movie.showFrame();
        }
        const QByteArray whole = movie.bytes(c);
        int frames = 0;
        QString damage;
        const QStringList lines = runAll(whole.left(whole.size() / 2), &frames, &damage);
        EXPECT_GE(frames, 3);
        EXPECT_LT(frames, 203);
        EXPECT_EQ(lines.mid(0, 3), QStringList({ "f1", "f2", "f3" }));
        EXPECT_FALSE(damage.isEmpty());
    }
}

TEST(DamagedMovie, OversizedBitmapIsDroppedNotTheMovie)
{
    swfw::Movie movie(8, 100, 100, 12);
    // DefineBitsLossless id 1, format 5, 65535 x 65535: past every cap.
    const char body[] = { 1, 0, 5, char(0xFF), char(0xFF), char(0xFF), char(0xFF), 0x78, char(0x9C), 3, 0, 0, 0, 0, 1 };
    movie.tag(uint16_t(20), QByteArray(body, sizeof body));
    movie.doAction(Asm().push({ "plays" }).trace().end().bytes());
    movie.showFrame();
    auto loaded = swf::Movie::load(movie.bytes());
    ASSERT_TRUE(loaded.ok()) << qPrintable(loaded.error().detail);
    EXPECT_EQ(loaded.value()->character(1), nullptr);
    EXPECT_EQ(runAll(movie.bytes()), QStringList({ "plays" }));
}

TEST(DamagedMovie, CapsStillRefuse)
{
    // Sprites nested past the limit refuse the movie, with the reason.
    QByteArray sprite; // the whole DefineSprite tag, header included
    for (int depth = 0; depth < 20; ++depth) {
        QByteArray body;
        body += char(depth + 1); // sprite id
        body += char(0);
        body += char(1); // one frame
        body += char(0);
        body += sprite;
        body += QByteArray("\x00\x00", 2); // End
        const uint16_t head = uint16_t(39 << 6 | 0x3f); // DefineSprite, long length
        const quint32 n = quint32(body.size());
        QByteArray tag;
        for (int b : { head & 0xff, head >> 8, int(n & 0xff), int(n >> 8 & 0xff), int(n >> 16 & 0xff), int(n >> 24 & 0xff) })
            tag += char(b);
        sprite = tag + body;
    }
    swfw::Movie nested(8, 100, 100, 12);
    nested.tag(uint16_t(39), sprite.mid(6), true);
    nested.showFrame();
    auto loaded = swf::Movie::load(nested.bytes());
    ASSERT_FALSE(loaded.ok());
    EXPECT_EQ(loaded.error().kind, swf::ErrorKind::TooLarge);
}
