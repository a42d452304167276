// Files dragged onto the main window: a movie or a projector opens as one
// chosen with 打开 (the dialog remembers it, the player loads it); anything
// else is not accepted, so the pointer shows the drop is refused and nothing
// is opened.

#include "support/ShellTestSupport.h"

#include "mainwindow/DroppedMovie.h"
#include "mainwindow/FrmMain.h"
#include "player/CommonDialog.h"
#include "player/SwfPlayer.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>

namespace {

std::unique_ptr<QMimeData> uriList(const QStringList& uris)
{
    auto data = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    for (const QString& uri : uris)
        urls << QUrl(uri);
    data->setUrls(urls);
    return data;
}

std::unique_ptr<QMimeData> plainText(const QString& text)
{
    auto data = std::make_unique<QMimeData>();
    data->setText(text);
    return data;
}

// Sends the enter and, when it was accepted, the drop, at a point over the
// player area, as the window system would.
bool dragAndDrop(FrmMain& form, const QMimeData* data)
{
    const QPoint over = form.swf->mapTo(&form, form.swf->rect().center());
    QDragEnterEvent enter(over, Qt::CopyAction | Qt::LinkAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(QPointF(over), Qt::CopyAction | Qt::LinkAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &drop);
    return drop.isAccepted();
}

} // namespace

class DropTest : public QObject {
    Q_OBJECT

private slots:
    void moviesOpenLikeOpen_data()
    {
        QTest::addColumn<QStringList>("uris");
        QTest::addColumn<QString>("opened");
        QTest::newRow("movie") << QStringList { "file:///home/user/cartoon.swf" } << "/home/user/cartoon.swf";
        QTest::newRow("projector, upper case") << QStringList { "file:///media/CD/GAME.EXE" } << "/media/CD/GAME.EXE";
        // Escaped spaces and Chinese names, as file managers write them.
        QTest::newRow("escaped") << QStringList { "file:///tmp/my%20movies/%E5%8A%A8%E7%94%BB.swf" } << "/tmp/my movies/动画.swf";
        QTest::newRow("localhost") << QStringList { "file://localhost/tmp/a.swf" } << "/tmp/a.swf";
        // Several files: the first movie among them opens.
        QTest::newRow("first movie of several") << QStringList { "file:///tmp/notes.txt", "file:///tmp/b.swf", "file:///tmp/c.swf" } << "/tmp/b.swf";
    }

    void moviesOpenLikeOpen()
    {
        QFETCH(QStringList, uris);
        QFETCH(QString, opened);
        RecordingPlayer recorder;
        FrmMain form(&recorder);
        QVERIFY(form.acceptDrops());
        const auto data = uriList(uris);
        QVERIFY(dragAndDrop(form, data.get()));
        QCOMPARE(recorder.calls, QStringList { QStringLiteral("Movie(%1)").arg(opened) });
        QCOMPARE(form.cdg->FileName, opened);
    }

    void otherFilesAreRefused_data()
    {
        QTest::addColumn<QStringList>("uris");
        QTest::newRow("text file") << QStringList { "file:///tmp/readme.txt" };
        QTest::newRow("no extension") << QStringList { "file:///tmp/swf" };
        QTest::newRow("extension inside the name") << QStringList { "file:///tmp/a.swf.zip" };
        QTest::newRow("web address") << QStringList { "https://example.org/a.swf" };
        QTest::newRow("another machine's file") << QStringList { "file://fileserver/share/a.swf" };
        QTest::newRow("nothing") << QStringList {};
    }

    void otherFilesAreRefused()
    {
        QFETCH(QStringList, uris);
        RecordingPlayer recorder;
        FrmMain form(&recorder);
        form.cdg->FileName = QStringLiteral("/tmp/earlier.swf");
        const auto data = uriList(uris);
        QVERIFY(!dragAndDrop(form, data.get()));
        // Even a drop sent without an accepted enter opens nothing.
        QDropEvent drop(QPointF(20, 60), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&form, &drop);
        QVERIFY(!drop.isAccepted());
        QVERIFY(recorder.calls.isEmpty());
        QCOMPARE(form.cdg->FileName, QStringLiteral("/tmp/earlier.swf"));
    }

    // Some file managers and terminals drag plain text: URLs or paths, one a line.
    void plainTextLines()
    {
        const auto urlText = plainText(QStringLiteral("file:///tmp/x%20y.swf\r\n"));
        QCOMPARE(mainwindow::droppedMovie(urlText.get()), QStringLiteral("/tmp/x y.swf"));
        const auto pathText = plainText(QStringLiteral("/tmp/readme.txt\n/tmp/z.SWF\n"));
        QCOMPARE(mainwindow::droppedMovie(pathText.get()), QStringLiteral("/tmp/z.SWF"));
        const auto words = plainText(QStringLiteral("play cartoon.swf"));
        QCOMPARE(mainwindow::droppedMovie(words.get()), QString());
        QCOMPARE(mainwindow::droppedMovie(nullptr), QString());
    }

    // A real movie dropped on the real player control plays it.
    void droppedMovieLoadsInThePlayer()
    {
        QTemporaryDir dir;
        const QString path = writeFile(dir, QStringLiteral("dropped.swf"), smallMovie(3, 0, 128, 0));
        FrmMain form;
        const auto data = uriList({ QUrl::fromLocalFile(path).toString() });
        QVERIFY(dragAndDrop(form, data.get()));
        QVERIFY(form.swf->hasMovie());
        QCOMPARE(form.swf->movie(), path);
        QVERIFY(form.swf->isPlaying());
    }
};

SHELL_TEST_MAIN(DropTest)
#include "tst_drop.moc"
