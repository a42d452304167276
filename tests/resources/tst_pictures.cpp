// Checks the compiled-in icon and hand pointers, and that the Windows version
// and icon resources say the same as VersionInfo.h and icon.png.

#include "resources/Pointers.h"
#include "resources/Resources.h"
#include "resources/VersionInfo.h"

#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QSet>
#include <QtEndian>
#include <QtTest>

namespace {

QImage load(const char* path)
{
    QImage image(QString::fromLatin1(path));
    return image;
}

QByteArray sourceFile(const QString& relative)
{
    QFile file(QStringLiteral(VANTREL_SOURCE_DIR "/") + relative);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

bool opaque(const QImage& image, int x, int y)
{
    return x >= 0 && y >= 0 && x < image.width() && y < image.height() && qAlpha(image.pixel(x, y)) == 255;
}

bool isBlack(QRgb c) { return qRed(c) < 40 && qGreen(c) < 40 && qBlue(c) < 40; }
bool isWhite(QRgb c) { return qRed(c) > 215 && qGreen(c) > 215 && qBlue(c) > 215; }
bool isBlue(QRgb c) { return qBlue(c) > 120 && qBlue(c) > qRed(c) + 60 && qBlue(c) > qGreen(c) + 40; }

quint32 u32(const QByteArray& b, int at) { return qFromLittleEndian<quint32>(b.constData() + at); }
quint16 u16(const QByteArray& b, int at) { return qFromLittleEndian<quint16>(b.constData() + at); }

} // namespace

class TestPictures : public QObject {
    Q_OBJECT

    // A hand pointer: 32 x 32, fully opaque or fully clear pixels, a black
    // outline all round, and the fingertip on the hot spot as the top of the
    // picture.
    void checkHand(const QImage& hand, vantrel::pointers::HotSpot hot)
    {
        QCOMPARE(hand.size(), QSize(32, 32));
        QVERIFY(hand.hasAlphaChannel());
        int top = 32;
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 32; ++x) {
                const int alpha = qAlpha(hand.pixel(x, y));
                QVERIFY2(alpha == 0 || alpha == 255, "pointer pixels must be opaque or clear");
                if (alpha == 0)
                    continue;
                top = std::min(top, y);
                // Every pixel at the edge of the shape is outline.
                const bool edge = !opaque(hand, x - 1, y) || !opaque(hand, x + 1, y) || !opaque(hand, x, y - 1)
                    || !opaque(hand, x, y + 1);
                if (edge)
                    QVERIFY2(isBlack(hand.pixel(x, y)), qPrintable(QString("outline gap at %1,%2").arg(x).arg(y)));
            }
        }
        // The hot spot is on the fingertip: the topmost row of the picture,
        // with the finger's white just below it, and the tip no wider than a
        // finger around it.
        QCOMPARE(top, hot.y);
        QVERIFY(opaque(hand, hot.x, hot.y));
        QVERIFY(isWhite(hand.pixel(hot.x, hot.y + 1)));
        for (int x = 0; x < 32; ++x)
            if (opaque(hand, x, hot.y))
                QVERIFY2(qAbs(x - hot.x) <= 2, "the fingertip is not at the hot spot");
        // Index finger up: a long white column below the tip, with clear
        // pixels at both sides a little way down.
        for (int y = hot.y + 1; y <= hot.y + 5; ++y) {
            QVERIFY(isWhite(hand.pixel(hot.x, y)));
            QVERIFY(!opaque(hand, hot.x - 4, y));
            QVERIFY(!opaque(hand, hot.x + 4, y));
        }
        // A hand, not a stick: the palm is much wider than the finger.
        int widest = 0;
        for (int y = 0; y < 32; ++y) {
            int row = 0;
            for (int x = 0; x < 32; ++x)
                row += opaque(hand, x, y);
            widest = std::max(widest, row);
        }
        QVERIFY(widest >= 12);
    }

private slots:
    void initTestCase() { vantrel::initResources(); }

    void icon()
    {
        const QImage icon = load(vantrel::IconPath);
        QCOMPARE(icon.size(), QSize(32, 32));
        QCOMPARE(icon.format(), QImage::Format_Indexed8);
        QVERIFY(icon.colorCount() <= 256);

        // The cabinet stands on its own: the top corners (beside the arch)
        // are clear, the middle is solid.
        QCOMPARE(qAlpha(icon.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(icon.pixel(31, 0)), 0);
        QCOMPARE(qAlpha(icon.pixel(16, 16)), 255);

        // Brown wood overall, with a light and dark chequer in the grille and
        // an orange dial below it.
        long r = 0, g = 0, b = 0;
        int n = 0, orange = 0, light = 0, dark = 0;
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 32; ++x) {
                const QRgb c = icon.pixel(x, y);
                if (qAlpha(c) < 255)
                    continue;
                r += qRed(c), g += qGreen(c), b += qBlue(c), ++n;
                if (y >= 18 && qRed(c) > 220 && qGreen(c) > 110 && qGreen(c) < 215 && qBlue(c) < 100)
                    ++orange;
                if (y < 18 && x > 9 && x < 22) {
                    light += qRed(c) > 200 && qGreen(c) > 170;
                    dark += qRed(c) < 130 && qGreen(c) < 80;
                }
            }
        }
        QVERIFY(n > 400);
        QVERIFY2(r > g && g > b && r / n > 100, "the icon is not mostly brown");
        QVERIFY2(orange >= 8, qPrintable(QString::number(orange)));
        QVERIFY2(light >= 15 && dark >= 15, qPrintable(QString("%1 light, %2 dark").arg(light).arg(dark)));
    }

    void pointerA()
    {
        const QImage hand = load(vantrel::pointers::PointerAPath);
        checkHand(hand, vantrel::pointers::PointerAHotSpot);
        QSet<QRgb> colours;
        int lowestWhite = 0, highestBlue = 32;
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 32; ++x) {
                const QRgb c = hand.pixel(x, y);
                colours.insert(c);
                if (qAlpha(c) == 255 && isWhite(c))
                    lowestWhite = std::max(lowestWhite, y);
                if (qAlpha(c) == 255 && isBlue(c))
                    highestBlue = std::min(highestBlue, y);
            }
        }
        QVERIFY2(colours.size() <= 16, qPrintable(QString::number(colours.size())));
        // The blue cuff lies below the white hand.
        QVERIFY2(highestBlue > lowestWhite, "no blue cuff below the hand");
    }

    void pointerB()
    {
        const QImage hand = load(vantrel::pointers::PointerBPath);
        checkHand(hand, vantrel::pointers::PointerBHotSpot);
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 32; ++x) {
                const QRgb c = hand.pixel(x, y);
                if (qAlpha(c) != 0)
                    QVERIFY2(c == qRgb(0, 0, 0) || c == qRgb(255, 255, 255), "pointer B has only black and white");
            }
        }
    }

    // The Windows resource script repeats the version record; it must not
    // drift from VersionInfo.h.
    void versionResource()
    {
        namespace v = vantrel::version;
        const QString rc = QString::fromUtf8(sourceFile("resources/vantrel.rc"));
        QVERIFY(!rc.isEmpty());

        QHash<QString, QString> values;
        static const QRegularExpression valueLine("VALUE\\s+\"(\\w+)\",\\s+\"([^\"]*)\"");
        for (auto it = valueLine.globalMatch(rc); it.hasNext();) {
            const auto m = it.next();
            values.insert(m.captured(1), m.captured(2));
        }
        QCOMPARE(values.value("ProductName"), QString::fromUtf8(v::ProductName));
        QCOMPARE(values.value("FileVersion"), QString::fromUtf8(v::FileVersion));
        QCOMPARE(values.value("ProductVersion"), QString::fromUtf8(v::ProductVersion));
        QCOMPARE(values.value("CompanyName"), QString::fromUtf8(v::CompanyName));
        QCOMPARE(values.value("Comments"), QString::fromUtf8(v::Comments));
        QCOMPARE(values.value("InternalName"), QString::fromUtf8(v::InternalName));
        QCOMPARE(values.value("OriginalFilename"), QString::fromUtf8(v::OriginalFilename));

        const QString numbers = QString("%1,%2,%3,%4")
                                    .arg(v::FileVersionNumbers[0]).arg(v::FileVersionNumbers[1])
                                    .arg(v::FileVersionNumbers[2]).arg(v::FileVersionNumbers[3]);
        QVERIFY(rc.contains("FILEVERSION " + numbers));
        QVERIFY(rc.contains("PRODUCTVERSION " + numbers));
        const QString block = QString::asprintf("%04X%04X", v::LanguageId, v::CodePage);
        QCOMPARE(block, QString("080404B0"));
        QVERIFY(rc.contains("BLOCK \"" + block + "\""));
        QVERIFY(rc.contains(QString::asprintf("\"Translation\", 0x%04X, 0x%04X", v::LanguageId, v::CodePage)));
    }

    // Icon group 1 points at icon 30001, whose pixels are those of icon.png.
    void windowsIcon()
    {
        const QByteArray group = sourceFile("resources/generated/icongroup1.bin");
        const QByteArray image = sourceFile("resources/generated/icon30001.bin");
        QCOMPARE(group.size(), 6 + 14);
        QCOMPARE(u16(group, 2), 1);                       // an icon group
        QCOMPARE(u16(group, 4), 1);                       // of one image
        QCOMPARE(uchar(group[6]), uchar(32));
        QCOMPARE(uchar(group[7]), uchar(32));
        QCOMPARE(u16(group, 12), 8);                      // 256 colours
        QCOMPARE(u32(group, 14), quint32(image.size()));
        QCOMPARE(u16(group, 18), 30001);

        // 40-byte header, 256 palette entries, 32 x 32 indices, 32 x 4 mask bytes.
        QCOMPARE(image.size(), 40 + 256 * 4 + 32 * 32 + 32 * 4);
        QCOMPARE(qint32(u32(image, 4)), 32);
        QCOMPARE(qint32(u32(image, 8)), 64);              // colour part and mask
        QCOMPARE(u16(image, 14), 8);

        const QImage png = load(vantrel::IconPath);
        const char* palette = image.constData() + 40;
        const char* pixels = palette + 256 * 4;
        const char* mask = pixels + 32 * 32;
        for (int y = 0; y < 32; ++y) {
            const int row = 31 - y; // stored bottom-up
            for (int x = 0; x < 32; ++x) {
                const QRgb want = png.pixel(x, y);
                const bool clear = (uchar(mask[row * 4 + x / 8]) >> (7 - x % 8)) & 1;
                QCOMPARE(clear, qAlpha(want) < 128);
                if (clear)
                    continue;
                const char* entry = palette + 4 * uchar(pixels[row * 32 + x]);
                QCOMPARE(qRgb(uchar(entry[2]), uchar(entry[1]), uchar(entry[0])), qRgb(qRed(want), qGreen(want), qBlue(want)));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestPictures)
#include "tst_pictures.moc"
