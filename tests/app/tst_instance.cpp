// The single running copy, with real processes: a second copy shows its
// message and ends before any set-up, the first runs on, and a copy that was
// killed leaves nothing behind that stops the next one.

#include "support/ShellTestSupport.h"

#include <QProcess>
#include <QProcessEnvironment>

namespace {

QStringList logLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

struct Copy {
    QProcess process;
    QString log;

    Copy(const QTemporaryDir& runtime, const QTemporaryDir& logs, const QString& name, bool autoDismiss)
    {
        log = logs.filePath(name + ".log");
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_RUNTIME_DIR", runtime.path());
        env.insert("VANTREL_TEST_LOG", log);
        if (autoDismiss)
            env.insert("VANTREL_TEST_AUTODISMISS", "1");
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start(QStringLiteral(VANTREL_BINARY), {});
    }

    ~Copy()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }

    bool hasLine(const QString& line) const { return logLines(log).contains(line); }
};

} // namespace

class InstanceTest : public QObject {
    Q_OBJECT

private slots:
    void secondCopyIsRefusedAndAKilledCopyLeavesNoLock()
    {
        QTemporaryDir runtime, logs;
        Copy first(runtime, logs, "first", false);
        QVERIFY(first.process.waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(first.hasLine("player\tPlaying\ttrue"), 20000);

        {
            Copy second(runtime, logs, "second", true);
            QVERIFY(second.process.waitForFinished(20000));
            QCOMPARE(second.process.exitStatus(), QProcess::NormalExit);
            QCOMPARE(logLines(second.log),
                (QStringList { "load\tfrmMain", "msgbox\tVantrel\t程序已经运行！", "end" }));
        }
        QCOMPARE(first.process.state(), QProcess::Running);
        QVERIFY(!first.hasLine("msgbox\tVantrel\t程序已经运行！"));

        // Killed outright: the kernel drops the lock with the process.
        first.process.kill();
        QVERIFY(first.process.waitForFinished(10000));
        Copy third(runtime, logs, "third", true);
        QVERIFY(third.process.waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(third.hasLine("player\tPlaying\ttrue"), 20000);
        QVERIFY(!third.hasLine("msgbox\tVantrel\t程序已经运行！"));
    }
};

SHELL_TEST_MAIN(InstanceTest)
#include "tst_instance.moc"
