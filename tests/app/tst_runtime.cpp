// The forms layer's services that do not need a window: the command line,
// 16-bit conversion, floating-point faults, resume-next, the dialog filter
// and the test log.

#include "support/ShellTestSupport.h"

#include "app/Runtime.h"
#include "app/TestHooks.h"
#include "player/CommonDialog.h"

#include <cmath>
#include <limits>

class RuntimeTest : public QObject {
    Q_OBJECT

private slots:
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("expected");
        QTest::newRow("none") << QStringList() << QString();
        QTest::newRow("one path") << QStringList { "/m/a.swf" } << "/m/a.swf";
        // A path with blanks that the shell split comes back whole.
        QTest::newRow("split path") << QStringList { "/m/my", "old", "movie.swf" } << "/m/my old movie.swf";
        QTest::newRow("empty argument") << QStringList { "" } << QString();
        // Quotes around the whole text go; a path containing them is unusable otherwise.
        QTest::newRow("quoted whole") << QStringList { "\"/m/my movie.swf\"" } << "/m/my movie.swf";
        QTest::newRow("quoted after split") << QStringList { "\"/m/my", "movie.swf\"" } << "/m/my movie.swf";
        // Not wholly enclosed: left exactly as given.
        QTest::newRow("quote inside") << QStringList { "/m/a\"b.swf" } << "/m/a\"b.swf";
        QTest::newRow("two quoted parts") << QStringList { "\"a\"", "\"b\"" } << "\"a\" \"b\"";
        QTest::newRow("lone quote") << QStringList { "\"" } << "\"";
        QTest::newRow("only quotes") << QStringList { "\"\"" } << QString();
        QTest::newRow("blanks kept") << QStringList { " a.swf " } << " a.swf ";
    }

    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, expected);
        QCOMPARE(forms::commandLineFrom(arguments), expected);
    }

    void cintRoundsHalfToEven_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("expected");
        QTest::newRow("0.5") << 0.5 << 0;
        QTest::newRow("1.5") << 1.5 << 2;
        QTest::newRow("2.5") << 2.5 << 2;
        QTest::newRow("-2.5") << -2.5 << -2;
        QTest::newRow("2.4999") << 2.4999 << 2;
        QTest::newRow("1023.6") << 1023.6 << 1024;
        QTest::newRow("upper edge") << 32767.4 << 32767;
        QTest::newRow("lower edge") << -32768.5 << -32768; // half to even: -32768
    }

    void cintRoundsHalfToEven()
    {
        QFETCH(double, value);
        QFETCH(int, expected);
        QCOMPARE(int(forms::CInt(value)), expected);
    }

    void cintOverflows()
    {
        for (double value : { 32767.5, 32768.0, -32769.0, 1e9, std::numeric_limits<double>::infinity(),
                 std::numeric_limits<double>::quiet_NaN() }) {
            try {
                forms::CInt(value);
                QFAIL(qPrintable(QStringLiteral("no error for %1").arg(value)));
            } catch (const forms::RuntimeError& error) {
                QCOMPARE(error.number, 6);
            }
        }
    }

    void int16AdditionOverflows()
    {
        QCOMPARE(int(forms::addInt16(1024, 30)), 1054);
        QCOMPARE(int(forms::addInt16(32737, 30)), 32767);
        QCOMPARE(int(forms::addInt16(-32768, 0)), -32768);
        QVERIFY_THROWS_EXCEPTION(forms::RuntimeError, forms::addInt16(32738, 30));
        QVERIFY_THROWS_EXCEPTION(forms::RuntimeError, forms::addInt16(-32768, -1));
    }

    void singleDivisionFaults()
    {
        QCOMPARE(forms::divideSingle(15360.0f, 15.0f), 1024.0f);
        auto numberOf = [](float a, float b) {
            try {
                forms::divideSingle(a, b);
            } catch (const forms::RuntimeError& error) {
                return error.number;
            }
            return 0;
        };
        QCOMPARE(numberOf(15360.0f, 0.0f), 11); // division by zero
        QCOMPARE(numberOf(0.0f, 0.0f), 6);      // invalid operation
        QCOMPARE(numberOf(3.0e38f, 1.0e-5f), 6); // overflow of a single
        QCOMPARE(numberOf(std::nanf(""), 15.0f), 6);
    }

    void resumeNextSkipsOnlyTheFailingStatement()
    {
        QStringList ran;
        forms::resumeNext({
            [&] { ran << "first"; },
            [&] {
                ran << "second";
                throw forms::errors::invalidPropertyValue();
                ran << "never"; // the rest of a failing statement is skipped
            },
            [&] { ran << "third"; },
            [&] { throw std::runtime_error("not a run-time error of the layer"); },
            [&] { ran << "fifth"; },
        });
        QCOMPARE(ran, (QStringList { "first", "second", "third", "fifth" }));
    }

    void dialogFilterToQt_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("expected");
        QTest::newRow("the program's") << "*.swf|*.swf" << "*.swf (*.swf)";
        QTest::newRow("two entries") << "Movies|*.swf;*.spl|All|*.*" << "Movies (*.swf *.spl);;All (*.*)";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("description without pattern") << "Movies|" << "Movies (*)";
        QTest::newRow("odd entry dropped") << "A|*.a|B" << "A (*.a)";
    }

    void dialogFilterToQt()
    {
        QFETCH(QString, filter);
        QFETCH(QString, expected);
        QCOMPARE(player::qtFilterFrom(filter), expected);
    }

    void testLogWritesEscapedLinesOnlyWhenAsked()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("events.log");
        vantrel::testhooks::reload();
        vantrel::testhooks::log({ "ignored" });
        QVERIFY(!QFile::exists(path));

        qputenv("VANTREL_TEST_LOG", QFile::encodeName(path));
        vantrel::testhooks::reload();
        vantrel::testhooks::log({ "msgbox", "关于。。。", vantrel::testhooks::escapeLineBreaks("a\r\nb") });
        vantrel::testhooks::log({ "player", "Stop", "" });
        qunsetenv("VANTREL_TEST_LOG");
        vantrel::testhooks::reload();

        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()), QStringLiteral("msgbox\t关于。。。\ta\\r\\nb\nplayer\tStop\t\n"));
    }

    void openDialogOverrides()
    {
        vantrel::testhooks::reload();
        QVERIFY(!vantrel::testhooks::openDialogOverride().has_value());
        qputenv("VANTREL_TEST_OPEN_FILE", "/m/a.swf");
        vantrel::testhooks::reload();
        QCOMPARE(vantrel::testhooks::openDialogOverride().value(), QStringLiteral("/m/a.swf"));
        qputenv("VANTREL_TEST_OPEN_CANCEL", "1");
        vantrel::testhooks::reload();
        QCOMPARE(vantrel::testhooks::openDialogOverride().value(), QString()); // cancel wins
        qunsetenv("VANTREL_TEST_OPEN_FILE");
        qunsetenv("VANTREL_TEST_OPEN_CANCEL");
        vantrel::testhooks::reload();
    }
};

SHELL_TEST_MAIN(RuntimeTest)
#include "tst_runtime.moc"
