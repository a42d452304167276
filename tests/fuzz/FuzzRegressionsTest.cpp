// Replays the minimal inputs under fuzz/regressions the way the fuzz target
// uses them: load, draw the first frames, step back, draw again. Each must
// either load or be refused with an error; a crash or sanitizer report fails.
// Every prefix of each input is replayed too, since truncation is the most
// common way real files break.

#include "swf/Playback.h"
#include "swf/movie/Movie.h"
#include "swf/movie/Shapes.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace {

QTransform fitInto(const QRectF& stage, const QSize& target)
{
    if (!(stage.width() > 0) || !(stage.height() > 0))
        return QTransform();
    const double scale = std::min(target.width() / stage.width(), target.height() / stage.height());
    return QTransform(scale, 0, 0, scale, -stage.left() * scale, -stage.top() * scale);
}

// Returns whether the bytes loaded; either way the run must come back.
bool replay(const QByteArray& bytes)
{
    // The loader and the renderer, as the fuzzer drives them: no scripts.
    swf::PlaybackOptions timelineOnly;
    timelineOnly.scripts = false;
    auto opened = swf::Playback::fromBytes(bytes, timelineOnly);
    if (!opened) {
        EXPECT_FALSE(opened.error().detail.isEmpty()) << "a refusal says why";
        return false;
    }
    auto playback = opened.release();
    QImage image(64, 48, QImage::Format_ARGB32_Premultiplied);
    for (int i = 0; i < 5; ++i) {
        image.fill(playback->backgroundColor());
        QPainter painter(&image);
        playback->render(painter, fitInto(playback->stageRect(), image.size()));
        painter.end();
        if (i < 4)
            playback->nextFrame();
        else
            playback->previousFrame();
    }
    EXPECT_GE(playback->currentFrame(), 1);
    EXPECT_LE(playback->currentFrame(), playback->frameCount());
    return true;
}

QStringList regressionFiles()
{
    QStringList files;
    const QDir dir(QStringLiteral(VANTREL_FUZZ_REGRESSIONS));
    for (const QString& name : dir.entryList(QDir::Files, QDir::Name))
        files << dir.filePath(name);
    return files;
}

} // namespace

TEST(FuzzRegressions, EachInputLoadsOrIsRefusedCleanly)
{
    const QStringList files = regressionFiles();
    if (files.isEmpty())
        GTEST_SKIP() << "no regression inputs yet";
    for (const QString& path : files) {
        SCOPED_TRACE(path.toStdString());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        replay(bytes);
        // Prefixes: every length for short inputs, a spread of them for long
        // ones (kept to 64, since sanitized builds replay slowly).
        const qsizetype step = std::max<qsizetype>(1, bytes.size() / 64);
        for (qsizetype length = 0; length < bytes.size(); length += step)
            replay(bytes.left(length));
    }
}

// Found by fuzzing: lossless bitmaps declaring 8192 x 4096 pixels with an
// empty pixel stream each cost 128 MB and seconds of decoding, so a tiny
// file could take any amount of memory. The image now holds only the rows
// its data carries.
TEST(FuzzRegressions, LosslessBitmapIsNoLargerThanItsData)
{
    QFile file(QStringLiteral(VANTREL_FUZZ_REGRESSIONS "/lossless-huge-size-empty-stream.swf"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    auto movie = swf::Movie::load(file.readAll());
    ASSERT_TRUE(movie.ok()) << movie.error().detail.toStdString();
    int bitmaps = 0;
    for (std::uint16_t id = 1; id <= 8; ++id) {
        const auto* bitmap = movie.value()->characterAs<swf::BitmapDef>(id, swf::CharacterKind::Bitmap);
        ASSERT_NE(bitmap, nullptr);
        EXPECT_EQ(bitmap->image.width(), 8192);
        EXPECT_EQ(bitmap->image.height(), 1); // one row of zero pixels, not 4096
        ++bitmaps;
    }
    EXPECT_EQ(bitmaps, 8);
}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
