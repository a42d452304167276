// A movie asking for a web page: which addresses ask at all, the box the
// user sees (title, text, Yes/No with No the default), and that only Yes
// hands the address to the desktop.

#include "support/ShellTestSupport.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

#include "player/WebPagePrompt.h"

// Stands in for the system browser: records what it was asked to open.
class UrlSink : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

class WebPromptTest : public QObject {
    Q_OBJECT

    // What the open box showed, captured before it is answered.
    struct Seen {
        bool shown = false;
        QString title;
        QString text;
        bool noIsDefault = false;
        int buttons = 0;
    };

    // Answers the next modal box with `answer` once it is up, noting what it showed.
    static void answerNextBox(QMessageBox::StandardButton answer, Seen* seen)
    {
        QTimer::singleShot(0, [answer, seen] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            seen->shown = true;
            seen->title = box->windowTitle();
            seen->text = box->text();
            seen->noIsDefault = box->defaultButton() == box->button(QMessageBox::No);
            seen->buttons = box->buttons().size();
            box->button(answer)->click();
        });
    }

private slots:
    void onlyWebAddressesAsk()
    {
        QVERIFY(player::isWebPage(QStringLiteral("http://example.org/")));
        QVERIFY(player::isWebPage(QStringLiteral("  HTTPS://example.org/a?b=c")));
        QVERIFY(!player::isWebPage(QStringLiteral("javascript:alert(1)")));
        QVERIFY(!player::isWebPage(QStringLiteral("file:///etc/passwd")));
        QVERIFY(!player::isWebPage(QStringLiteral("mailto:someone@example.org")));
        QVERIFY(!player::isWebPage(QStringLiteral("level2.swf")));
        QVERIFY(!player::isWebPage(QString()));
        // An address that merely contains http: further on is not a web page.
        QVERIFY(!player::isWebPage(QStringLiteral("javascript:location='http://example.org'")));
    }

    void theBoxAsksWithNoAsDefaultAndNoOpensNothing()
    {
        UrlSink sink;
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &sink, "open");
        Seen seen;
        answerNextBox(QMessageBox::No, &seen);
        QVERIFY(!player::askToOpenWebPage(nullptr, QStringLiteral(" http://example.org/cartoons ")));
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));

        QVERIFY(seen.shown);
        QCOMPARE(seen.title, QStringLiteral("Vantrel"));
        // The address stands on its own line between the request and the question.
        QCOMPARE(seen.text, QStringLiteral("影片要求打开网页：\nhttp://example.org/cartoons\n是否在浏览器中打开？"));
        QVERIFY(seen.noIsDefault);
        QCOMPARE(seen.buttons, 2);
        QVERIFY(sink.opened.isEmpty());
    }

    void yesOpensTheAddressGiven()
    {
        UrlSink sink;
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &sink, "open");
        Seen seen;
        answerNextBox(QMessageBox::Yes, &seen);
        const bool opened = player::askToOpenWebPage(nullptr, QStringLiteral("https://example.org/game?id=7"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));

        QVERIFY(seen.shown);
        QVERIFY(opened);
        QCOMPARE(sink.opened.size(), 1);
        QCOMPARE(sink.opened.front(), QUrl(QStringLiteral("https://example.org/game?id=7")));
    }

    void otherAddressesNeitherAskNorOpen()
    {
        UrlSink sink;
        QDesktopServices::setUrlHandler(QStringLiteral("javascript"), &sink, "open");
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &sink, "open");
        Seen seen;
        answerNextBox(QMessageBox::Yes, &seen);
        QVERIFY(!player::askToOpenWebPage(nullptr, QStringLiteral("javascript:void(0)")));
        QVERIFY(!player::askToOpenWebPage(nullptr, QStringLiteral("file:///tmp/x.html")));
        QCoreApplication::processEvents(); // let the pending answer run and find no box
        QDesktopServices::unsetUrlHandler(QStringLiteral("javascript"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QVERIFY(!seen.shown);
        QVERIFY(sink.opened.isEmpty());
    }
};

SHELL_TEST_MAIN(WebPromptTest)
#include "tst_webprompt.moc"
