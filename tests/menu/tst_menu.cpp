// The menu holder: the whole tree with names, captions, order, enabled
// states and shown shortcuts; the About text; the item handlers through the
// program-wide main window.

#include "support/ShellTestSupport.h"

#include "app/DefaultInstances.h"
#include "app/TestHooks.h"
#include "mainwindow/FrmMain.h"
#include "menu/FrmMenu.h"
#include "player/SwfPlayer.h"

#include <QAction>
#include <QMenu>

class MenuTest : public QObject {
    Q_OBJECT

private slots:
    void treeInOrder()
    {
        FrmMenu& menu = frmMenu();
        QCOMPARE(menu.windowTitle(), QStringLiteral("菜单"));
        QVERIFY(!menu.isVisible());
        QCOMPARE(menu.mnuFile->objectName(), QStringLiteral("mnuFile"));
        QCOMPARE(menu.mnuFile->title(), QStringLiteral("文件(&F)"));

        struct Row {
            const char* name;
            QString caption; // "-" for a separator; the shortcut after a tab
            bool enabled;
        };
        const QList<Row> rows {
            { "mnuOpen", "打开(&O)", true },
            { "mnuLine", "-", true },
            { "mnuPlay", "播放(&P)", true },
            { "mnuPause", "暂停(&U)", true },
            { "mnuLineijoi", "-", true },
            { "mnuBack", "上一帧\tCtrl+B", true },
            { "mnuForward", "下一帧\tCtrl+F", true },
            { "mnuLineasdf", "-", true },
            { "mnuZoonOut", "放大\tCtrl+O", false },
            { "mnuZoomIn", "缩小\tCtrl+I", false },
            { "mnuFull", "全屏(&F)", false },
            { "mnuLinearqawef", "-", false },
            { "mnuAbout", "关于(&A)", true },
            { "mnuLineoijao", "-", true },
            { "mnuExit", "退出(&X)", true },
        };
        const QList<QAction*> actions = menu.mnuFile->actions();
        QCOMPARE(actions.size(), rows.size());
        for (int i = 0; i < rows.size(); ++i) {
            QAction* action = actions[i];
            QCOMPARE(action->objectName(), QString::fromLatin1(rows[i].name));
            QCOMPARE(action->isSeparator(), rows[i].caption == QLatin1String("-"));
            if (!action->isSeparator())
                QCOMPARE(action->text(), rows[i].caption);
            QCOMPARE(action->isEnabled(), rows[i].enabled);
            QVERIFY(action->isVisible());
            QVERIFY(!action->isCheckable());
            // Shown, never bound: the keys do nothing in the main window.
            QVERIFY(action->shortcut().isEmpty());
        }
    }

    void aboutText()
    {
        QCOMPARE(FrmMenu::aboutText(),
            QStringLiteral("Vantrel V3.5.0\r\n欢迎访问Talvenor软件主页：https://vantrel.org/"));
    }

    void itemsCallThePlayerOfTheMainWindow()
    {
        // The program-wide main window with its real player, watched through
        // the test log: a three-frame movie, stopped at its first frame.
        QTemporaryDir dir;
        FrmMain& main = frmMain();
        main.swf->Movie(writeFile(dir, "three.swf", smallMovie(3, 0, 0, 0)));
        main.swf->Stop();
        FrmMenu& menu = frmMenu();
        const QString log = dir.filePath("events.log");
        qputenv("VANTREL_TEST_LOG", QFile::encodeName(log));
        vantrel::testhooks::reload();

        menu.mnuForward->trigger();
        menu.mnuForward->trigger();
        menu.mnuBack->trigger();
        menu.mnuPlay->trigger();
        menu.mnuPause->trigger();
        // Switched-off items cannot be chosen, and their siblings do nothing.
        menu.mnuZoonOut->trigger();
        menu.mnuZoomIn->trigger();
        menu.mnuFull->trigger();
        qputenv("VANTREL_TEST_OPEN_CANCEL", "1");
        vantrel::testhooks::reload();
        menu.mnuOpen->trigger();
        qunsetenv("VANTREL_TEST_OPEN_CANCEL");
        qunsetenv("VANTREL_TEST_LOG");
        vantrel::testhooks::reload();
        main.swf->Stop();

        QFile file(log);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()),
            QStringLiteral("player\tForward\t\nframe\t2\n"
                           "player\tForward\t\nframe\t3\n"
                           "player\tBack\t\nframe\t2\n"
                           "player\tPlaying\ttrue\n"
                           "player\tStop\t\n"));
    }

    void aboutShowsItsBoxAndChangesNothing()
    {
        QTemporaryDir dir;
        const QString log = dir.filePath("events.log");
        qputenv("VANTREL_TEST_LOG", QFile::encodeName(log));
        qputenv("VANTREL_TEST_AUTODISMISS", "1");
        vantrel::testhooks::reload();
        frmMenu().mnuAbout->trigger();
        qunsetenv("VANTREL_TEST_LOG");
        qunsetenv("VANTREL_TEST_AUTODISMISS");
        vantrel::testhooks::reload();
        QFile file(log);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()),
            QStringLiteral("msgbox\t关于。。。\tVantrel V3.5.0\\r\\n欢迎访问Talvenor软件主页：https://vantrel.org/\n"));
    }
};

SHELL_TEST_MAIN(MenuTest)
#include "tst_menu.moc"
