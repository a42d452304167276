// The main window on the offscreen platform: its load handler, the layout and
// the painted skin at two sizes, the stacking of the title-strip controls,
// the maximise toggle with its tooltip, and the command labels.

#include "support/ShellTestSupport.h"

#include "app/TestHooks.h"
#include "app/modMain.h"
#include "mainwindow/FrmMain.h"
#include "player/CommonDialog.h"
#include "player/SwfPlayer.h"

#include <QFile>
#include <QRawFont>

namespace {

QImage skinBitmap()
{
    return QImage(QStringLiteral(":/vantrel/skin.bmp")).convertToFormat(QImage::Format_RGB32);
}

// Shows a loaded main window with a recording player and waits for it.
struct ShownMain {
    RecordingPlayer recorder;
    FrmMain form { &recorder };

    ShownMain()
    {
        form.Show();
    }
};

} // namespace

class FrmMainTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        modMain::LastTitleButton = 0;
        vantrel::testhooks::reload();
    }

    void loadSetsUpWindowDialogAndPlayerInOrder()
    {
        RecordingPlayer recorder;
        FrmMain form(&recorder);
        QVERIFY(form.windowProc() == &forms::DefWindowProc);
        form.Load();
        QCOMPARE(recorder.calls, (QStringList { "ScaleMode(0)", "Playing(true)" }));
        QCOMPARE(form.cdg->Filter, QStringLiteral("*.swf|*.swf"));
        QCOMPARE(form.windowStyle(), 0x000E0000u);
        QCOMPARE(form.sizingBorder(), forms::Form::kSizingBorder);
        QVERIFY(form.windowProc() == &modMain::MainWndProc);
        QCOMPARE(modMain::OldWndProc, reinterpret_cast<std::intptr_t>(&forms::DefWindowProc));
        QCOMPARE(form.windowTitle(), QStringLiteral("Vantrel"));
        form.Unload();
        QVERIFY(form.windowProc() == &forms::DefWindowProc);
    }

    void layoutAtDesignSize()
    {
        ShownMain main;
        FrmMain& f = main.form;
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QCOMPARE(f.ScaleWidth(), 610.f);
        QCOMPARE(f.ScaleHeight(), 434.f);
        const int W = 610, H = 434;
        const QList<QPair<QWidget*, QRect>> expected {
            { f.Label1, QRect(100, 4, 101, 15) },
            { f.lblOpen, QRect(228, 4, 33, 15) },
            { f.lblPlay, QRect(261, 4, 33, 15) },
            { f.lblStop, QRect(294, 4, 33, 15) },
            { f.lblDa, QRect(326, 4, 33, 15) },
            { f.lblXiao, QRect(359, 4, 33, 15) },
            { f.lblFullScreen, QRect(392, 4, 33, 15) },
            { f.ImaMin, QRect(W - 110, 6, 29, 29) },
            { f.ImaMax, QRect(W - 81, 6, 29, 29) },
            { f.ImaClose, QRect(W - 52, 6, 29, 29) },
            { f.ImaIcon, QRect(5, 0, 22, 18) },
            { f.swf, QRect(10, 40, W - 20, H - 50) },
        };
        for (const auto& [control, rect] : expected)
            QCOMPARE(control->geometry(), rect);
        // The strip is as wide as the form's outer width in twips.
        QCOMPARE(f.ImaBar->geometry(), QRect(0, 0, int(f.Width()), 40));
        QCOMPARE(f.ImaMain->size(), QSize(367, 304));
        QVERIFY(!f.ImaMain->isVisible());
    }

    void captionsDrawFromTheCompiledInFont()
    {
        // Every Chinese caption must find its glyphs in the compiled-in cut of
        // the CJK font; a caption changed without regenerating the cut would
        // silently load the whole system font again.
        QFile file(QStringLiteral(":/vantrel/captions.ttf"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QRawFont cut(file.readAll(), 12);
        QVERIFY(cut.isValid());
        ShownMain main;
        FrmMain& f = main.form;
        for (QLabel* label : { f.lblOpen, f.lblPlay, f.lblStop, f.lblDa, f.lblXiao, f.lblFullScreen }) {
            const QStringList families = label->font().families();
            QCOMPARE(families.size(), 2);
            QCOMPARE(families.first(), QApplication::font().family());
            QCOMPARE(families.last(), cut.familyName());
            for (QChar c : label->text())
                QVERIFY2(cut.supportsCharacter(c), qPrintable(label->text()));
        }
    }

    void layoutFollowsTheSizeButLabelsStay()
    {
        ShownMain main;
        FrmMain& f = main.form;
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        f.resize(900 + 8, 700 + 8);
        QTRY_COMPARE(f.ScaleWidth(), 900.f);
        QCOMPARE(f.ImaMin->geometry(), QRect(900 - 110, 6, 29, 29));
        QCOMPARE(f.ImaClose->x(), 900 - 52);
        QCOMPARE(f.swf->geometry(), QRect(10, 40, 880, 650));
        QCOMPARE(f.lblFullScreen->pos(), QPoint(392, 4));
        QCOMPARE(f.ImaIcon->pos(), QPoint(5, 0));
    }

    void skinPaintedIntoThePersistentImage()
    {
        ShownMain main;
        FrmMain& f = main.form;
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        const QImage skin = skinBitmap();
        const QImage& image = f.persistentImage();
        const int W = 610;
        QCOMPARE(image.size(), QSize(610, 434));
        // Left end, unscaled: the left bar and the band.
        for (QPoint p : { QPoint(0, 0), QPoint(50, 8), QPoint(99, 39), QPoint(12, 20) })
            QCOMPARE(image.pixel(p), skin.pixel(p));
        // Right end, unscaled at the right edge: glyph cells under the hot areas.
        for (int column : { 172, 264, 270, 293, 300, 321, 330, 343, 366 }) {
            for (int row : { 1, 5, 9, 15, 30, 39 })
                QCOMPARE(image.pixel(column + W - 367, row), skin.pixel(column, row));
        }
        // Middle: source column 100 stretched about ninety times.
        QCOMPARE(image.pixel(150, 10), skin.pixel(100, 10));
        // Body: the yellow, and the display name's text scaled down.
        QCOMPARE(QColor(image.pixel(5, 300)), QColor(248, 244, 0));
        QCOMPARE(QColor(image.pixel(605, 430)), QColor(248, 244, 0));
    }

    void tallWindowShowsPlainBackgroundBelowTheBitmap()
    {
        ShownMain main;
        FrmMain& f = main.form;
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        f.resize(700 + 8, 700 + 8);
        QTRY_COMPARE(f.persistentImage().height(), 700);
        const QImage& image = f.persistentImage();
        // The bitmap's last row lands at 40 + 264 * 740 / 304, about y = 682.
        QCOMPARE(QColor(image.pixel(5, 670)), QColor(248, 244, 0));
        QCOMPARE(QColor(image.pixel(5, 690)), f.BackColor());
        QCOMPARE(QColor(image.pixel(695, 699)), f.BackColor());
    }

    void stackingSendsPressesToTheFrontControl()
    {
        ShownMain main;
        FrmMain& f = main.form;
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QWidget* area = f.client();
        QCOMPARE(area->childAt(230, 8), f.lblOpen);
        QCOMPARE(area->childAt(110, 8), f.Label1);
        QCOMPARE(area->childAt(10, 5), f.ImaIcon);
        QCOMPARE(area->childAt(210, 25), f.ImaBar);
        QCOMPARE(area->childAt(610 - 100, 20), f.ImaMin);
        QCOMPARE(area->childAt(300, 200), f.swf);
        // A press on a label is that label's alone: the strip never hears it.
        QTest::mousePress(f.lblPlay, Qt::RightButton);
        QTest::mouseRelease(f.lblPlay, Qt::RightButton);
        QCOMPARE(modMain::LastTitleButton, std::int16_t(0));
        QVERIFY(f.lblOpen->focusPolicy() == Qt::NoFocus);
        QVERIFY(f.swf->hasFocus() || f.swf->focusPolicy() == Qt::StrongFocus);
    }

    void stripPressAndDoubleClick()
    {
        ShownMain main;
        FrmMain& f = main.form;
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QTest::mousePress(f.ImaBar, Qt::RightButton, {}, QPoint(200, 20));
        QCOMPARE(modMain::LastTitleButton, std::int16_t(2));
        f.ImaBar_DblClick();
        QCOMPARE(f.WindowState(), 0);
        QTest::mouseRelease(f.ImaBar, Qt::RightButton, {}, QPoint(200, 20));

        QTest::mousePress(f.ImaBar, Qt::MiddleButton, {}, QPoint(200, 20));
        QCOMPARE(modMain::LastTitleButton, std::int16_t(4));
        QTest::mouseRelease(f.ImaBar, Qt::MiddleButton, {}, QPoint(200, 20));

        f.ImaBar_MouseDown(1, 0, 200, 20);
        QCOMPARE(modMain::LastTitleButton, std::int16_t(1));
        f.ImaBar_DblClick();
        QCOMPARE(f.WindowState(), 2);
        QCOMPARE(f.ImaMax->toolTip(), QStringLiteral("还原"));
        f.ImaBar_DblClick();
        QCOMPARE(f.WindowState(), 0);
        QCOMPARE(f.ImaMax->toolTip(), QStringLiteral("最大化"));
    }

    void buttonsActOnLeftPressOnly()
    {
        ShownMain main;
        FrmMain& f = main.form;
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QTest::mousePress(f.ImaMax, Qt::RightButton);
        QTest::mouseRelease(f.ImaMax, Qt::RightButton);
        QCOMPARE(f.WindowState(), 0);
        QTest::mousePress(f.ImaMax, Qt::LeftButton);
        QCOMPARE(f.WindowState(), 2);
        QCOMPARE(f.ImaMax->toolTip(), QStringLiteral("还原"));
        QTest::mouseRelease(f.ImaMax, Qt::LeftButton);
        QCOMPARE(modMain::LastTitleButton, std::int16_t(0));
        // From minimised the toggle goes to normal.
        f.setWindowStateValue(1);
        modMain::ToggleMaximize(f);
        QCOMPARE(f.WindowState(), 0);
        QCOMPARE(f.ImaMax->toolTip(), QStringLiteral("最大化"));
    }

    void fullScreenMaximisesButLeavesTheTooltip()
    {
        ShownMain main;
        FrmMain& f = main.form;
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QTest::mouseClick(f.lblFullScreen, Qt::LeftButton);
        QCOMPARE(f.WindowState(), 2);
        QCOMPARE(f.ImaMax->toolTip(), QStringLiteral("最大化"));
        f.lblFullScreen_Click(); // already maximised: nothing changes
        QCOMPARE(f.WindowState(), 2);
        // The maximise button then restores, and says so.
        f.ImaMax_MouseDown(1, 0, 0, 0);
        QCOMPARE(f.WindowState(), 0);
        QCOMPARE(f.ImaMax->toolTip(), QStringLiteral("最大化"));
        QVERIFY(main.recorder.calls.size() == 2); // only the load defaults reached the player
    }

    void eachCommandLabelMakesExactlyOneCall_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("call");
        QTest::newRow("play") << "lblPlay" << int(Qt::LeftButton) << "Playing(true)";
        QTest::newRow("stop") << "lblStop" << int(Qt::LeftButton) << "Stop()";
        QTest::newRow("zoom in") << "lblDa" << int(Qt::LeftButton) << "Zoom(50)";
        QTest::newRow("zoom out") << "lblXiao" << int(Qt::LeftButton) << "Zoom(200)";
        QTest::newRow("zoom in, right button") << "lblDa" << int(Qt::RightButton) << "Zoom(50)";
    }

    void eachCommandLabelMakesExactlyOneCall()
    {
        QFETCH(QString, label);
        QFETCH(int, button);
        QFETCH(QString, call);
        ShownMain main;
        QVERIFY(QTest::qWaitForWindowExposed(&main.form));
        main.recorder.calls.clear();
        auto* target = main.form.client()->findChild<QLabel*>(label);
        QVERIFY(target);
        QTest::mouseClick(target, Qt::MouseButton(button));
        QCOMPARE(main.recorder.calls, QStringList { call });
        // A press alone, released elsewhere, is no click.
        QTest::mousePress(target, Qt::MouseButton(button));
        QTest::mouseRelease(target, Qt::MouseButton(button), {}, QPoint(-5, -5));
        QCOMPARE(main.recorder.calls, QStringList { call });
    }

    void doubleClicksAreTwoCommandsButOneStripToggle()
    {
        ShownMain main;
        QVERIFY(QTest::qWaitForWindowExposed(&main.form));
        main.recorder.calls.clear();
        // Labels handle no double-click: each of the two clicks is a command.
        QTest::mouseClick(main.form.lblDa, Qt::LeftButton);
        QTest::mouseDClick(main.form.lblDa, Qt::LeftButton); // the second press, as Qt reports it
        QTest::mouseRelease(main.form.lblDa, Qt::LeftButton);
        QCOMPARE(main.recorder.calls, (QStringList { "Zoom(50)", "Zoom(50)" }));
        // The strip does: its second press toggles instead of moving again.
        QTest::mouseClick(main.form.ImaBar, Qt::LeftButton, {}, QPoint(200, 20));
        QTest::mouseDClick(main.form.ImaBar, Qt::LeftButton, {}, QPoint(200, 20));
        QTest::mouseRelease(main.form.ImaBar, Qt::LeftButton, {}, QPoint(200, 20));
        QCOMPARE(modMain::LastTitleButton, std::int16_t(1));
        QCOMPARE(main.form.WindowState(), 2);
        QCOMPARE(main.form.ImaMax->toolTip(), QStringLiteral("还原"));
    }

    void openPlaysTheChosenFileAndCancelChangesNothing()
    {
        ShownMain main;
        main.recorder.calls.clear();
        // Cancelled with nothing chosen yet: no call at all.
        qputenv("VANTREL_TEST_OPEN_CANCEL", "1");
        vantrel::testhooks::reload();
        QTest::mouseClick(main.form.lblOpen, Qt::LeftButton);
        QCOMPARE(main.recorder.calls, QStringList());
        QCOMPARE(main.form.cdg->FileName, QString());
        qunsetenv("VANTREL_TEST_OPEN_CANCEL");

        qputenv("VANTREL_TEST_OPEN_FILE", "/movies/a b.swf");
        vantrel::testhooks::reload();
        main.form.lblOpen_Click();
        QCOMPARE(main.recorder.calls, QStringList { "Movie(/movies/a b.swf)" });
        qunsetenv("VANTREL_TEST_OPEN_FILE");

        // Cancelled after a choice: the dialog keeps the name, the player is left alone.
        qputenv("VANTREL_TEST_OPEN_CANCEL", "1");
        vantrel::testhooks::reload();
        main.form.lblOpen_Click();
        QCOMPARE(main.recorder.calls, QStringList { "Movie(/movies/a b.swf)" });
        QCOMPARE(main.form.cdg->FileName, QStringLiteral("/movies/a b.swf"));
        qunsetenv("VANTREL_TEST_OPEN_CANCEL");
        vantrel::testhooks::reload();
    }

    void openSkipsAPlayerErrorAndKeepsRunning()
    {
        QTemporaryDir dir;
        FrmMain form; // the real player
        form.Show();
        qputenv("VANTREL_TEST_OPEN_FILE", QFile::encodeName(writeFile(dir, "junk.swf", "not a movie at all")));
        vantrel::testhooks::reload();
        form.lblOpen_Click(); // raises inside; Open skips it
        qunsetenv("VANTREL_TEST_OPEN_FILE");
        vantrel::testhooks::reload();
        QVERIFY(!form.swf->hasMovie());
        QVERIFY(form.swf->errorText().startsWith(QStringLiteral("无法打开影片文件：")));
    }
};

SHELL_TEST_MAIN(FrmMainTest)
#include "tst_frmmain.moc"
