// The screen-saver hold against a session bus of the test's own: a private
// dbus-daemon with a stand-in org.freedesktop.ScreenSaver service that hands
// out cookies and records what it is asked. The hold is taken once, released
// with its cookie, released when the player stops, pauses or is minimised,
// and without a bus or a service nothing happens and nothing is said.

#include "support/ShellTestSupport.h"

#include "player/ScreenSaverHold.h"
#include "player/SwfPlayer.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>

namespace {

class FakeScreenSaver : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")

public:
    QStringList calls;
    quint32 nextCookie = 41;

public slots:
    quint32 Inhibit(const QString& application, const QString& reason)
    {
        calls << QStringLiteral("Inhibit(%1)").arg(application);
        Q_UNUSED(reason);
        return ++nextCookie;
    }
    void UnInhibit(quint32 cookie) { calls << QStringLiteral("UnInhibit(%1)").arg(cookie); }
};

} // namespace

class ScreenSaverTest : public QObject {
    Q_OBJECT

    QProcess m_daemon;
    QString m_address;
    FakeScreenSaver m_service;

private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
            QSKIP("dbus-daemon is not installed");
        m_daemon.start(QStringLiteral("dbus-daemon"), { "--session", "--nofork", "--print-address=1" });
        QVERIFY(m_daemon.waitForStarted());
        QVERIFY(m_daemon.waitForReadyRead(10000));
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
        QVERIFY(!m_address.isEmpty());
        // The player's own hold uses the session bus: this one, from now on.
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_address.toUtf8());
        QDBusConnection service = QDBusConnection::connectToBus(m_address, QStringLiteral("fake-screensaver"));
        QVERIFY(service.isConnected());
        QVERIFY(service.registerService(QStringLiteral("org.freedesktop.ScreenSaver")));
        QVERIFY(service.registerObject(QStringLiteral("/org/freedesktop/ScreenSaver"), &m_service, QDBusConnection::ExportAllSlots));
    }

    void cleanupTestCase()
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("fake-screensaver"));
        QDBusConnection::disconnectFromBus(QStringLiteral("client"));
        m_daemon.kill();
        m_daemon.waitForFinished();
    }

    void init() { m_service.calls.clear(); }

    void takenOnceAndReleasedWithItsCookie()
    {
        player::ScreenSaverHold hold(QDBusConnection::connectToBus(m_address, QStringLiteral("client")));
        hold.setHeld(true);
        hold.setHeld(true);
        QTRY_VERIFY(hold.cookie().has_value());
        QCOMPARE(m_service.calls, QStringList { "Inhibit(Vantrel)" });
        const quint32 cookie = *hold.cookie();
        hold.setHeld(false);
        hold.setHeld(false);
        QTRY_COMPARE(m_service.calls.size(), 2);
        QCOMPARE(m_service.calls[1], QStringLiteral("UnInhibit(%1)").arg(cookie));
        QVERIFY(!hold.cookie());
    }

    // Released before the service answered: the cookie that comes back is
    // handed straight back, so no hold is left behind.
    void releasedWhileTheAnswerIsOnItsWay()
    {
        player::ScreenSaverHold hold(QDBusConnection::connectToBus(m_address, QStringLiteral("client")));
        hold.setHeld(true);
        hold.setHeld(false);
        QTRY_COMPARE(m_service.calls.size(), 2);
        QVERIFY(m_service.calls[0].startsWith(QLatin1String("Inhibit")));
        QVERIFY(m_service.calls[1].startsWith(QLatin1String("UnInhibit")));
        QVERIFY(!hold.cookie());
    }

    void destroyingTheHoldReleasesIt()
    {
        {
            player::ScreenSaverHold hold(QDBusConnection::connectToBus(m_address, QStringLiteral("client")));
            hold.setHeld(true);
            QTRY_VERIFY(hold.cookie().has_value());
        }
        QTRY_COMPARE(m_service.calls.size(), 2);
        QVERIFY(m_service.calls[1].startsWith(QLatin1String("UnInhibit")));
    }

    // No such service on the bus, or no bus at all: silence, and no hold.
    void withoutServiceOrBusNothingHappens()
    {
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
        QDBusConnection::connectToBus(m_address, QStringLiteral("fake-screensaver")).unregisterService(QStringLiteral("org.freedesktop.ScreenSaver"));
        {
            player::ScreenSaverHold hold(QDBusConnection::connectToBus(m_address, QStringLiteral("client")));
            hold.setHeld(true);
            QTest::qWait(300);
            QVERIFY(!hold.cookie());
            hold.setHeld(false);
        }
        player::ScreenSaverHold noBus(QDBusConnection(QStringLiteral("no such connection")));
        noBus.setHeld(true);
        QTest::qWait(100);
        QVERIFY(!noBus.cookie());
        QVERIFY(m_service.calls.isEmpty());
        QVERIFY(QDBusConnection::connectToBus(m_address, QStringLiteral("fake-screensaver")).registerService(QStringLiteral("org.freedesktop.ScreenSaver")));
    }

    // The player control takes the hold while its movie plays with sound and
    // lets it go on stop, on pause and while its window is minimised.
    void playerHoldsWhilePlayingWithSound()
    {
        QTemporaryDir dir;
        const QString path = writeFile(dir, QStringLiteral("tone.swf"), movieWithSound());
        QWidget window;
        window.resize(200, 200);
        auto* swf = new player::SwfPlayer(&window);
        swf->setGeometry(0, 0, 200, 200);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        swf->Movie(path);
        QVERIFY(swf->isPlaying());
        QVERIFY(swf->holdsScreenSaver());
        QTRY_COMPARE(m_service.calls.size(), 1);

        swf->Stop();
        QVERIFY(!swf->holdsScreenSaver());
        QTRY_COMPARE(m_service.calls.size(), 2);

        // Played again shortly after its sound was heard: held again.
        swf->Playing(true);
        QVERIFY(swf->holdsScreenSaver());
        window.setWindowState(Qt::WindowMinimized);
        QTRY_VERIFY(!swf->holdsScreenSaver());
        window.setWindowState(Qt::WindowNoState);
        QTRY_VERIFY(swf->holdsScreenSaver());
        swf->Playing(false);
        QVERIFY(!swf->holdsScreenSaver());

        swf->Playing(true);
        QVERIFY(swf->holdsScreenSaver());
        swf->Movie(QString()); // unloaded
        QVERIFY(!swf->holdsScreenSaver());
        // Quick changes may fold into one call, but every hold taken is released.
        auto count = [&](const char* call) {
            return std::count_if(m_service.calls.begin(), m_service.calls.end(), [&](const QString& c) { return c.startsWith(QLatin1String(call)); });
        };
        QTRY_VERIFY(count("Inhibit(") >= 2 && count("UnInhibit(") == count("Inhibit("));
        QVERIFY(m_service.calls.last().startsWith(QLatin1String("UnInhibit")));
    }

    // A movie without sound leaves the screen saver alone.
    void silentMovieTakesNoHold()
    {
        QTemporaryDir dir;
        const QString path = writeFile(dir, QStringLiteral("silent.swf"), smallMovie(24, 255, 255, 255));
        player::SwfPlayer swf;
        swf.Movie(path);
        QVERIFY(swf.isPlaying());
        QTest::qWait(300);
        QVERIFY(!swf.holdsScreenSaver());
        QVERIFY(m_service.calls.filter(QRegularExpression(QStringLiteral("^Inhibit"))).isEmpty());
    }
};

SHELL_TEST_MAIN(ScreenSaverTest)
#include "tst_screensaver.moc"
