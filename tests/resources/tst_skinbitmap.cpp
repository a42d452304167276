// Checks the compiled-in skin bitmap region by region against the layout the
// window painter relies on: the file format, the title band and its left bar,
// the three button cells and their glyphs, and the body with the display name.

#include "resources/Resources.h"

#include <QFile>
#include <QImage>
#include <QRect>
#include <QtEndian>
#include <QtTest>

namespace {

constexpr int SkinWidth = 367;
constexpr int SkinHeight = 304;
constexpr QRgb Body = qRgb(248, 244, 0);

// Regions of the skin, as inclusive column and row ranges.
QRect span(int x0, int x1, int y0, int y1) { return QRect(QPoint(x0, y0), QPoint(x1, y1)); }

const QRect LeftBar = span(10, 100, 3, 13);
const QRect RightEnd = span(172, 366, 0, 39);
const QRect GlyphBoxes[3] = {span(264, 282, 7, 11), span(293, 309, 3, 15), span(321, 337, 1, 18)};
const QRect Cells[3] = {span(257, 285, 6, 34), span(286, 314, 6, 34), span(315, 343, 6, 34)};
const QRect NameBox = span(128, 252, 43, 55);

// The glyphs and the name are purple: blue and red well above green. Nothing
// else on the skin (greens, yellow, the cell shading) comes near that.
bool isPurple(QRgb c) { return qBlue(c) > qGreen(c) + 40 && qRed(c) > qGreen(c) + 20; }

int lightness(QRgb c) { return qRed(c) + qGreen(c) + qBlue(c); }

QString colour(QRgb c) { return QStringLiteral("(%1, %2, %3)").arg(qRed(c)).arg(qGreen(c)).arg(qBlue(c)); }

QRect boundsOf(const QImage& image, const QRect& area, bool (*test)(QRgb))
{
    QRect bounds;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (test(image.pixel(x, y)))
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

quint32 u32(const QByteArray& b, int at) { return qFromLittleEndian<quint32>(b.constData() + at); }
quint16 u16(const QByteArray& b, int at) { return qFromLittleEndian<quint16>(b.constData() + at); }

} // namespace

class TestSkinBitmap : public QObject {
    Q_OBJECT

    QByteArray m_bytes;
    QImage m_skin;

    // The band pattern repeats every 9 columns; columns 110-118 lie between the
    // left bar and the button cells and hold one plain period of it.
    QRgb bandAt(int x, int y) const { return m_skin.pixel(110 + ((x - 110) % 9 + 9) % 9, y); }

    bool inAny(const QRect* rects, int n, int x, int y) const
    {
        for (int i = 0; i < n; ++i)
            if (rects[i].contains(x, y))
                return true;
        return false;
    }

private slots:
    void initTestCase()
    {
        vantrel::initResources();
        vantrel::initResources(); // a second call must be harmless
        QFile file(QString::fromLatin1(vantrel::SkinBitmapPath));
        QVERIFY2(file.open(QIODevice::ReadOnly), "the skin bitmap is not compiled in");
        m_bytes = file.readAll();
        QVERIFY(m_skin.loadFromData(m_bytes, "BMP"));
    }

    void fileHeader()
    {
        const int rowBytes = (SkinWidth * 3 + 3) & ~3; // rows padded to 4 bytes
        QCOMPARE(m_bytes.size(), 54 + rowBytes * SkinHeight);
        QCOMPARE(m_bytes.left(2), QByteArray("BM"));
        QCOMPARE(u32(m_bytes, 2), quint32(m_bytes.size())); // file size
        QCOMPARE(u32(m_bytes, 10), 54u);                    // pixels right after the headers
        QCOMPARE(u32(m_bytes, 14), 40u);                    // BITMAPINFOHEADER
        QCOMPARE(qint32(u32(m_bytes, 18)), SkinWidth);
        QCOMPARE(qint32(u32(m_bytes, 22)), SkinHeight);     // positive: bottom-up
        QCOMPARE(u16(m_bytes, 26), 1);                      // planes
        QCOMPARE(u16(m_bytes, 28), 24);                     // bits per pixel
        QCOMPARE(u32(m_bytes, 30), 0u);                     // BI_RGB
        QCOMPARE(u32(m_bytes, 38), 2834u);                  // 72 dpi across
        QCOMPARE(u32(m_bytes, 42), 2834u);                  // and down
        QCOMPARE(u32(m_bytes, 46), 0u);                     // no palette

        // Bottom-up for real: the first stored row is the bottom (body) row,
        // the last stored row is row 0, the top of the green band.
        auto stored = [&](int row, int x) {
            const char* p = m_bytes.constData() + 54 + row * rowBytes + 3 * x;
            return qRgb(uchar(p[2]), uchar(p[1]), uchar(p[0]));
        };
        QCOMPARE(colour(stored(0, 5)), colour(Body));
        QVERIFY(qGreen(stored(SkinHeight - 1, 5)) > qRed(stored(SkinHeight - 1, 5)) + 30);

        QCOMPARE(m_skin.size(), QSize(SkinWidth, SkinHeight));
        QVERIFY(!m_skin.hasAlphaChannel());
    }

    // Rows 0-16 are a light-green grid with 9-pixel cells, rows 17-20 a rule
    // darker than the grid, rows 21-39 the body colour.
    void titleBand()
    {
        // The plain stretch between the left bar and the cells repeats every
        // 9 columns, row by row.
        for (int y = 0; y <= 20; ++y)
            for (int x = 101; x <= 256; ++x)
                QVERIFY2(m_skin.pixel(x, y) == bandAt(x, y),
                         qPrintable(QString("band breaks its 9-column period at %1,%2").arg(x).arg(y)));

        // Within one period of the grid rows, the commonest colour is the light
        // green; a darker grid line crosses it.
        QHash<QRgb, int> counts;
        for (int y = 0; y <= 16; ++y)
            for (int x = 110; x < 119; ++x)
                ++counts[m_skin.pixel(x, y)];
        const QRgb grid = std::max_element(counts.keyValueBegin(), counts.keyValueEnd(),
                                           [](auto a, auto b) { return a.second < b.second; })->first;
        QVERIFY2(qAbs(qRed(grid) - 194) <= 12 && qAbs(qGreen(grid) - 247) <= 8 && qAbs(qBlue(grid) - 182) <= 12,
                 qPrintable(colour(grid)));
        QVERIFY(counts.size() >= 2);
        for (auto it = counts.keyValueBegin(); it != counts.keyValueEnd(); ++it)
            QVERIFY2(lightness(it->first) <= lightness(grid) && qGreen(it->first) >= qRed(it->first),
                     qPrintable("grid line not a darker green: " + colour(it->first)));

        // The rule: each of rows 17-20 one green, darker than the grid, and
        // the rows get darker downwards.
        int previous = lightness(grid);
        for (int y = 17; y <= 20; ++y) {
            const QRgb c = m_skin.pixel(110, y);
            for (int x = 101; x <= 256; ++x)
                QCOMPARE(m_skin.pixel(x, y), c);
            QVERIFY2(lightness(c) < previous, qPrintable(QString("row %1 not darker").arg(y)));
            QVERIFY(qGreen(c) > qRed(c) && qGreen(c) > qBlue(c));
            previous = lightness(c);
        }

        // Outside the left bar and the cells, the whole width follows the band
        // pattern in rows 0-20 and is the body colour in rows 21-39.
        for (int y = 0; y <= 39; ++y) {
            for (int x = 0; x < SkinWidth; ++x) {
                if (LeftBar.contains(x, y) || inAny(Cells, 3, x, y) || inAny(GlyphBoxes, 3, x, y))
                    continue;
                const QRgb want = y <= 20 ? bandAt(x, y) : Body;
                QVERIFY2(m_skin.pixel(x, y) == want,
                         qPrintable(QString("title area at %1,%2 is %3, wants %4")
                                        .arg(x).arg(y).arg(colour(m_skin.pixel(x, y)), colour(want))));
            }
        }
    }

    void leftBar()
    {
        // Everything that is not band in the left part of the band belongs to
        // the bar, and the bar fills its box.
        QRect bar;
        for (int y = 0; y <= 20; ++y)
            for (int x = 0; x <= 171; ++x)
                if (m_skin.pixel(x, y) != bandAt(x, y))
                    bar |= QRect(x, y, 1, 1);
        QCOMPARE(bar, LeftBar);

        // Semicircular ends: the box corners show the band, the middle of each
        // end is bar.
        for (const QPoint corner : {LeftBar.topLeft(), LeftBar.topRight(), LeftBar.bottomLeft(), LeftBar.bottomRight()})
            QCOMPARE(m_skin.pixel(corner), bandAt(corner.x(), corner.y()));
        const int mid = LeftBar.center().y();
        QVERIFY(m_skin.pixel(LeftBar.left(), mid) != bandAt(LeftBar.left(), mid));
        QVERIFY(m_skin.pixel(LeftBar.right(), mid) != bandAt(LeftBar.right(), mid));

        // A dark-green outline: the top and bottom edge in the middle of the bar.
        for (const int y : {LeftBar.top(), LeftBar.bottom()}) {
            const QRgb c = m_skin.pixel(55, y);
            QVERIFY2(qGreen(c) > qRed(c) && qGreen(c) > qBlue(c) && qGreen(c) < 140, qPrintable(colour(c)));
        }
    }

    void glyphs()
    {
        // In the right end, purple appears only inside the three glyph boxes,
        // and each glyph reaches every edge of its box.
        for (int y = RightEnd.top(); y <= RightEnd.bottom(); ++y)
            for (int x = RightEnd.left(); x <= RightEnd.right(); ++x)
                if (isPurple(m_skin.pixel(x, y)))
                    QVERIFY2(inAny(GlyphBoxes, 3, x, y), qPrintable(QString("stray glyph pixel at %1,%2").arg(x).arg(y)));
        for (const QRect& box : GlyphBoxes)
            QCOMPARE(boundsOf(m_skin, box, isPurple), box);

        // Minimise: a solid bar.
        QCOMPARE(boundsOf(m_skin, GlyphBoxes[0], [](QRgb c) { return !isPurple(c); }), QRect());
        // Maximise: an outline, hollow in the middle.
        const QRect& max = GlyphBoxes[1];
        QVERIFY(!isPurple(m_skin.pixel(max.center())));
        QVERIFY(isPurple(m_skin.pixel(max.center().x(), max.bottom())));
        QVERIFY(isPurple(m_skin.pixel(max.left(), max.center().y())));
        QVERIFY(isPurple(m_skin.pixel(max.right(), max.center().y())));
        // Close: a cross, solid at the crossing, open in the middle of each side.
        const QRect& close = GlyphBoxes[2];
        QVERIFY(isPurple(m_skin.pixel(close.center())));
        QVERIFY(!isPurple(m_skin.pixel(close.center().x(), close.top())));
        QVERIFY(!isPurple(m_skin.pixel(close.center().x(), close.bottom())));
        QVERIFY(!isPurple(m_skin.pixel(close.left(), close.center().y())));
        QVERIFY(!isPurple(m_skin.pixel(close.right(), close.center().y())));
    }

    // Each cell has a visible frame over the band and body beneath it, and
    // nothing else inside the cell changes apart from its glyph.
    void buttonCells()
    {
        for (const QRect& cell : Cells) {
            int frameDiffers = 0;
            int framePixels = 0;
            for (int y = cell.top(); y <= cell.bottom(); ++y) {
                for (int x = cell.left(); x <= cell.right(); ++x) {
                    const QRgb under = y <= 20 ? bandAt(x, y) : Body;
                    const QRgb c = m_skin.pixel(x, y);
                    const bool onFrame = x == cell.left() || x == cell.right() || y == cell.top() || y == cell.bottom();
                    if (onFrame) {
                        ++framePixels;
                        frameDiffers += c != under;
                        QVERIFY(!isPurple(c) || inAny(GlyphBoxes, 3, x, y));
                    } else if (!inAny(GlyphBoxes, 3, x, y) && x > cell.left() + 1 && y > cell.top() + 1
                               && x < cell.right() - 1 && y < cell.bottom() - 1) {
                        QVERIFY2(c == under, qPrintable(QString("cell interior changed at %1,%2").arg(x).arg(y)));
                    }
                }
            }
            QVERIFY2(frameDiffers > framePixels * 9 / 10, "button cell frame hardly visible");
        }
    }

    // Rows 40-303: the body yellow everywhere except the display name, which
    // is purple text within its box.
    void body()
    {
        for (int y = 40; y < SkinHeight; ++y)
            for (int x = 0; x < SkinWidth; ++x)
                if (!NameBox.contains(x, y) && m_skin.pixel(x, y) != Body)
                    QFAIL(qPrintable(QString("body at %1,%2 is %3").arg(x).arg(y).arg(colour(m_skin.pixel(x, y)))));

        int purple = 0;
        for (int y = NameBox.top(); y <= NameBox.bottom(); ++y)
            for (int x = NameBox.left(); x <= NameBox.right(); ++x)
                purple += isPurple(m_skin.pixel(x, y));
        const QRect text = boundsOf(m_skin, NameBox, isPurple);
        QVERIFY2(purple > 100, "the display name is missing");
        QVERIFY(NameBox.contains(text));
        // Legible: the letters use most of the box's height, and there is
        // more than one letter's width of them.
        QVERIFY2(text.height() >= 10, qPrintable(QString::number(text.height())));
        QVERIFY2(text.width() >= 40, qPrintable(QString::number(text.width())));
    }
};

QTEST_GUILESS_MAIN(TestSkinBitmap)
#include "tst_skinbitmap.moc"
