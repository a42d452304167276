// vantrel-thumbnailer as a file manager runs it: on real movies it writes a
// PNG of the asked size with something drawn in it, within its time limit; on
// hostile files it ends cleanly, never by a crash, and says why in one line.

#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

struct ToolRun {
    int exitCode = -1;
    bool crashed = false;
    qint64 ms = 0;
    QString stderrText;
};

ToolRun thumbnail(const QStringList& args)
{
    QProcess process;
    QElapsedTimer clock;
    clock.start();
    process.start(QStringLiteral(VANTREL_THUMBNAILER), args);
    process.waitForFinished(20000);
    ToolRun run;
    run.ms = clock.elapsed();
    run.crashed = process.exitStatus() != QProcess::NormalExit;
    run.exitCode = process.exitCode();
    run.stderrText = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

// Distinct colours in the image, up to `enough`.
int colours(const QImage& image, int enough)
{
    QSet<QRgb> seen;
    for (int y = 0; y < image.height() && seen.size() < enough; ++y)
        for (int x = 0; x < image.width() && seen.size() < enough; ++x)
            seen.insert(image.pixel(x, y));
    return int(seen.size());
}

} // namespace

TEST(ThumbnailerTool, CorpusMoviesGiveDrawnThumbnailsInTime)
{
    const QDir anim(QStringLiteral(VANTREL_CORPUS_DIR "/anim"));
    const auto cases = anim.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    if (cases.isEmpty())
        GTEST_SKIP() << "no corpus at " << VANTREL_CORPUS_DIR;
    QTemporaryDir out;
    int drawn = 0;
    for (const QString& name : cases) {
        const QString movie = anim.filePath(name + QStringLiteral("/test.swf"));
        const QString png = out.filePath(name + QStringLiteral(".png"));
        // The file manager passes a URI.
        const ToolRun run = thumbnail({ "-s", "128", QUrl::fromLocalFile(movie).toString(), png });
        ASSERT_FALSE(run.crashed) << qPrintable(name);
        EXPECT_EQ(run.exitCode, 0) << qPrintable(name) << ": " << qPrintable(run.stderrText);
        EXPECT_LT(run.ms, 4000) << qPrintable(name); // 2 s limit plus the start of a loaded machine
        EXPECT_TRUE(run.stderrText.isEmpty()) << qPrintable(run.stderrText);
        const QImage image(png);
        ASSERT_FALSE(image.isNull()) << qPrintable(name);
        EXPECT_EQ(std::max(image.width(), image.height()), 128) << qPrintable(name);
        if (colours(image, 3) >= 3)
            ++drawn;
    }
    // Every one of these movies draws shapes in its first seconds: more than
    // the background and the transparent bands.
    EXPECT_EQ(drawn, cases.size());
}

TEST(ThumbnailerTool, HostileAndForeignFilesEndCleanly)
{
    QTemporaryDir out;
    QStringList inputs;
    const QDir regressions(QStringLiteral(VANTREL_SOURCE_DIR "/fuzz/regressions"));
    for (const QString& name : regressions.entryList(QDir::Files))
        inputs << regressions.filePath(name);
    inputs << QStringLiteral(VANTREL_SOURCE_DIR "/README.md") << out.filePath(QStringLiteral("missing.swf"));
    for (const QString& input : inputs) {
        const QString png = out.filePath(QStringLiteral("out.png"));
        QFile::remove(png);
        const ToolRun run = thumbnail({ "-s", "96", input, png });
        ASSERT_FALSE(run.crashed) << qPrintable(input);
        EXPECT_LT(run.ms, 4000) << qPrintable(input);
        if (run.exitCode == 0) {
            // A damaged movie that still has a stage may be drawn, but then as a proper PNG.
            EXPECT_FALSE(QImage(png).isNull()) << qPrintable(input);
            continue;
        }
        EXPECT_FALSE(QFile::exists(png)) << qPrintable(input);
        EXPECT_TRUE(run.stderrText.startsWith(QLatin1String("vantrel-thumbnailer: "))) << qPrintable(run.stderrText);
        EXPECT_EQ(run.stderrText.count(QLatin1Char('\n')), 1) << qPrintable(run.stderrText);
    }
    // The non-movies certainly cannot be drawn.
    EXPECT_NE(thumbnail({ "-s", "96", QStringLiteral(VANTREL_SOURCE_DIR "/README.md"), out.filePath("r.png") }).exitCode, 0);
    EXPECT_NE(thumbnail({ "-s", "96", out.filePath("missing.swf"), out.filePath("m.png") }).exitCode, 0);
}

TEST(ThumbnailerTool, BadArgumentsAreRefused)
{
    QTemporaryDir out;
    EXPECT_NE(thumbnail({ "-s", "0", "a.swf", out.filePath("a.png") }).exitCode, 0);
    EXPECT_NE(thumbnail({ "-s", "128", "a.swf" }).exitCode, 0);
    EXPECT_NE(thumbnail({ "-s", "128", "smb://server/a.swf", out.filePath("a.png") }).exitCode, 0);
}
