// The committed pictures under resources/generated/ must be what the generator
// draws today: a change to tools/genresources that was not followed by the
// update-resources target shows up here.

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class TestGenerated : public QObject {
    Q_OBJECT

    QTemporaryDir m_fresh;

private slots:
    void initTestCase()
    {
        QVERIFY(m_fresh.isValid());
        QProcess generator;
        generator.start(QStringLiteral(VANTREL_GENERATOR), {m_fresh.path()});
        QVERIFY(generator.waitForFinished(60000));
        QVERIFY2(generator.exitStatus() == QProcess::NormalExit && generator.exitCode() == 0,
                 generator.readAllStandardError().constData());
    }

    void upToDate_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("ignored");
        QTest::addColumn<int>("tolerance");
        // The display name is drawn with whatever the font lookup finds on
        // this machine, so its box is left out.
        QTest::newRow("skin") << "skin.bmp" << QRect(128, 43, 125, 13) << 0;
        QTest::newRow("icon") << "icon.png" << QRect() << 0;
        QTest::newRow("pointer A") << "pointerA.png" << QRect() << 0;
        QTest::newRow("pointer B") << "pointerB.png" << QRect() << 0;
        for (int size : {16, 32, 48, 64, 128, 256})
            QTest::newRow(qPrintable(QString("icon %1").arg(size))) << QString("icon-%1.png").arg(size) << QRect() << 2;
    }

    void upToDate()
    {
        QFETCH(QString, name);
        QFETCH(QRect, ignored);
        QFETCH(int, tolerance);
        const QImage committed = QImage(QStringLiteral(VANTREL_SOURCE_DIR "/resources/generated/") + name)
                                     .convertToFormat(QImage::Format_ARGB32);
        const QImage fresh = QImage(QDir(m_fresh.path()).filePath(name)).convertToFormat(QImage::Format_ARGB32);
        QVERIFY(!committed.isNull());
        QCOMPARE(fresh.size(), committed.size());
        for (int y = 0; y < fresh.height(); ++y) {
            for (int x = 0; x < fresh.width(); ++x) {
                if (ignored.contains(x, y))
                    continue;
                const QRgb a = fresh.pixel(x, y);
                const QRgb b = committed.pixel(x, y);
                const int diff = std::max({qAbs(qRed(a) - qRed(b)), qAbs(qGreen(a) - qGreen(b)),
                                           qAbs(qBlue(a) - qBlue(b)), qAbs(qAlpha(a) - qAlpha(b))});
                if (diff > tolerance)
                    QFAIL(qPrintable(QString("%1 differs at %2,%3; run the update-resources target and commit")
                                         .arg(name).arg(x).arg(y)));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestGenerated)
#include "tst_generated.moc"
