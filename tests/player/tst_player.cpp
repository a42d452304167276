// The player control over the engine: loading, the messages for movies that
// cannot be opened, the clock that runs only while playing, frame steps,
// relative zoom and the show-all fit.

#include "support/ShellTestSupport.h"

#include <QElapsedTimer>

#include "app/Runtime.h"
#include "player/SwfPlayer.h"
#include "swf/Playback.h"
#include "tools/swfwriter/Movie.h"
#include "tools/swfwriter/Shape.h"

#include <QPainter>
#include <QPixmap>

class PlayerTest : public QObject {
    Q_OBJECT

private slots:
    void shownPictureFollowsEveryChange()
    {
        // A red square moving right by 37.5 px a frame, on a stage the size
        // of the player: each picture shown equals the frame drawn whole
        // afresh.
        swfw::Movie movie(8, 550, 400, 12);
        movie.setBackgroundColor({ 0, 128, 0, 255 });
        swfw::Shape square;
        square.fill1(square.addFillStyle(swfw::FillStyle::solid({ 255, 0, 0, 255 }))).rect(0, 0, 1000, 1000);
        movie.defineShape(1, square, 1);
        movie.placeObject2(swfw::Placement::place(1, 1, swfw::Matrix::translate(200, 200)));
        movie.showFrame();
        for (int f = 1; f < 4; ++f) {
            swfw::Placement move = swfw::Placement::modify(1);
            move.matrix = swfw::Matrix::translate(200 + 750 * f, 200 + 10 * f);
            movie.placeObject2(move);
            movie.showFrame();
        }
        QTemporaryDir dir;
        const QString path = writeFile(dir, "moving.swf", movie.bytes());
        player::SwfPlayer swf;
        swf.resize(550, 400);
        swf.Movie(path);
        swf.Stop();
        auto fresh = swf::Playback::open(path);
        QVERIFY(fresh.ok());
        for (int frame = 1; frame <= 4; ++frame) {
            QCOMPARE(swf.currentFrame(), frame);
            // Drawn afresh on the same kind of device as the window (a
            // pixmap, where the painter anti-aliases fills itself).
            QPixmap freshPicture(550, 400);
            {
                QPainter painter(&freshPicture);
                painter.fillRect(freshPicture.rect(), fresh.value()->backgroundColor());
                fresh.value()->render(painter, QTransform());
            }
            const QImage expected = freshPicture.toImage().convertToFormat(QImage::Format_RGB32);
            const QImage shot = swf.grab().toImage().convertToFormat(QImage::Format_RGB32);
            QCOMPARE(shot, expected);
            // The square's left edge: red from 10 + 37.5 * (frame - 1) px on.
            QCOMPARE(QColor(shot.pixel(int(11 + 37.5 * (frame - 1)), 30)), QColor(255, 0, 0));
            QCOMPARE(QColor(shot.pixel(int(8 + 37.5 * (frame - 1)), 30)), QColor(0, 128, 0));
            swf.Forward();
            fresh.value()->nextFrame();
        }
    }

    void stillMovieStaysPlayingWithoutAClock()
    {
        // One frame with a background only: nothing to run per frame, yet
        // the control plays it (Stop and Play act as on any movie).
        QTemporaryDir dir;
        player::SwfPlayer swf;
        swf.resize(200, 100);
        swf.Movie(writeFile(dir, "still.swf", smallMovie(1, 10, 20, 200)));
        QVERIFY(swf.isPlaying());
        QTest::qWait(100);
        QCOMPARE(swf.currentFrame(), 1);
        QCOMPARE(QColor(swf.grab().toImage().pixel(100, 50)), QColor(10, 20, 200));
        swf.Stop();
        QVERIFY(!swf.isPlaying());
        swf.Playing(true);
        QVERIFY(swf.isPlaying());
    }

    void loadsAndPlaysAMovie()
    {
        QTemporaryDir dir;
        const QString path = writeFile(dir, "three.swf", smallMovie(3, 10, 20, 200));
        player::SwfPlayer swf;
        swf.resize(550, 400);
        swf.Movie(path);
        QVERIFY(swf.hasMovie());
        QCOMPARE(swf.movie(), path);
        QVERIFY(swf.isPlaying()); // a new movie plays
        QCOMPARE(swf.currentFrame(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(swf.currentFrame() != 1, 2000);

        // The background fills the player area.
        swf.Stop();
        QVERIFY(!swf.isPlaying());
        const QImage shot = swf.grab().toImage();
        QCOMPARE(QColor(shot.pixel(275, 200)), QColor(10, 20, 200));
        QCOMPARE(QColor(shot.pixel(2, 2)), QColor(10, 20, 200));

        swf.Movie(QString()); // no movie: blank, clock stopped
        QVERIFY(!swf.hasMovie());
        QVERIFY(!swf.isPlaying());
        QCOMPARE(swf.currentFrame(), 0);
    }

    void playsAtTheMovieFrameRate()
    {
        // The clock ticks several times per frame; frames still come at the
        // movie's rate (12 per second here), not once per tick.
        QTemporaryDir dir;
        player::SwfPlayer swf;
        swf.Movie(writeFile(dir, "long.swf", smallMovie(200, 0, 0, 0)));
        QElapsedTimer clock;
        clock.start();
        QTRY_VERIFY_WITH_TIMEOUT(swf.currentFrame() >= 4, 3000);
        QTest::qWait(250);
        const int shown = swf.currentFrame() - 1;
        const double due = clock.elapsed() * 12.0 / 1000.0;
        QVERIFY2(shown <= due + 2, qPrintable(QStringLiteral("%1 frames in %2 ms").arg(shown).arg(clock.elapsed())));
    }

    void framesStepAndStopPlayback()
    {
        QTemporaryDir dir;
        player::SwfPlayer swf;
        swf.Movie(writeFile(dir, "three.swf", smallMovie(3, 0, 0, 0)));
        swf.Stop();
        swf.Playing(true);
        QVERIFY(swf.isPlaying());
        while (swf.currentFrame() != 1)
            QTest::qWait(5);
        swf.Forward();
        QVERIFY(!swf.isPlaying());
        QCOMPARE(swf.currentFrame(), 2);
        swf.Forward();
        swf.Forward(); // stepping stops at the last frame
        QCOMPARE(swf.currentFrame(), 3);
        swf.Back();
        QCOMPARE(swf.currentFrame(), 2);
        swf.Back();
        swf.Back();
        QCOMPARE(swf.currentFrame(), 1);
        // Without a movie the calls are harmless.
        swf.Movie(QString());
        swf.Back();
        swf.Forward();
        QCOMPARE(swf.currentFrame(), 0);
    }

    void unreadableMoviesRaiseAndSayWhy_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("number");
        QTest::newRow("not a movie") << QByteArray("PK\x03\x04 this is a zip, not a movie") << 321;
        QTest::newRow("truncated") << smallMovie(3, 1, 2, 3).left(15) << 321;
        QTest::newRow("missing") << QByteArray() << 53;
    }

    void unreadableMoviesRaiseAndSayWhy()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, number);
        QTemporaryDir dir;
        const QString path = bytes.isEmpty() ? dir.filePath("absent.swf") : writeFile(dir, "bad.swf", bytes);
        player::SwfPlayer swf;
        // A movie that played before is gone after a failed load.
        swf.Movie(writeFile(dir, "good.swf", smallMovie(2, 0, 0, 0)));
        try {
            swf.Movie(path);
            QFAIL("no run-time error");
        } catch (const forms::RuntimeError& error) {
            QCOMPARE(error.number, number);
            QVERIFY(error.description.startsWith(QStringLiteral("无法打开影片文件：")));
            QCOMPARE(swf.errorText(), error.description);
        }
        QVERIFY(!swf.hasMovie());
        QVERIFY(!swf.isPlaying());
        // A good movie afterwards clears the message.
        swf.Movie(writeFile(dir, "good2.swf", smallMovie(2, 0, 0, 0)));
        QVERIFY(swf.errorText().isEmpty());
    }

    void failureTextsDifferByCause()
    {
        QSet<QString> texts;
        for (auto kind : { swf::ErrorKind::FileNotFound, swf::ErrorKind::NotAMovie, swf::ErrorKind::Truncated,
                 swf::ErrorKind::Corrupt, swf::ErrorKind::Unsupported, swf::ErrorKind::TooLarge })
            texts.insert(player::openFailureText(swf::Error { kind, QString(), -1 }));
        QCOMPARE(texts.size(), 6);
    }

    void zoomIsRelativeAndAccumulates()
    {
        player::SwfPlayer swf;
        swf.Zoom(50);
        QCOMPARE(swf.zoomFactor(), 2.0);
        swf.Zoom(50);
        QCOMPARE(swf.zoomFactor(), 4.0);
        swf.Zoom(200);
        QCOMPARE(swf.zoomFactor(), 2.0);
        swf.Zoom(0); // back to the whole movie
        QCOMPARE(swf.zoomFactor(), 1.0);
        for (int i = 0; i < 100; ++i)
            swf.Zoom(50); // bounded, never infinite
        QVERIFY(std::isfinite(swf.zoomFactor()) && swf.zoomFactor() <= 1024.0);
        QVERIFY_THROWS_EXCEPTION(forms::RuntimeError, swf.Zoom(-5));
        QVERIFY_THROWS_EXCEPTION(forms::RuntimeError, swf.ScaleMode(7));
        QVERIFY_THROWS_EXCEPTION(forms::RuntimeError, swf.setWidth(-1));
    }

    void showAllFitsCentredAndZoomsAboutTheCentre()
    {
        const QRectF stage(0, 0, 550, 400);
        // A wide area: height limits, the stage is centred across.
        QTransform t = player::stageTransform(stage, QSizeF(1100, 400), 0, 1.0);
        QCOMPARE(t.map(QPointF(0, 0)), QPointF(275, 0));
        QCOMPARE(t.map(QPointF(550, 400)), QPointF(825, 400));
        // A tall area: width limits.
        t = player::stageTransform(stage, QSizeF(275, 1000), 0, 1.0);
        QCOMPARE(t.map(QPointF(0, 0)), QPointF(0, 400));
        QCOMPARE(t.map(QPointF(550, 400)), QPointF(275, 600));
        // Twice as large about the centre: the centre stays, corners move out.
        t = player::stageTransform(stage, QSizeF(550, 400), 0, 2.0);
        QCOMPARE(t.map(QPointF(275, 200)), QPointF(275, 200));
        QCOMPARE(t.map(QPointF(0, 0)), QPointF(-275, -200));
        // A stage not at the origin is fitted by its own rectangle.
        t = player::stageTransform(QRectF(100, 50, 550, 400), QSizeF(550, 400), 0, 1.0);
        QCOMPARE(t.map(QPointF(100, 50)), QPointF(0, 0));
        // Exact fit stretches each way.
        t = player::stageTransform(stage, QSizeF(1100, 200), 2, 1.0);
        QCOMPARE(t.map(QPointF(550, 400)), QPointF(1100, 200));
    }
};

SHELL_TEST_MAIN(PlayerTest)
#include "tst_player.moc"
