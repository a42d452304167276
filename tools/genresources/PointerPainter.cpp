#include "PointerPainter.h"

#include <QHash>
#include <QList>

namespace genresources {

namespace {

// The hand, drawn pixel by pixel: at 32 x 32 a pointer reads best with hard
// edges. Row 0 is the top of the index finger, whose tip is centred on column
// 12. K black outline, W white, S grey shading on the shadow side.
constexpr const char* HandRows[] = {
    "...........KKK",
    "..........KWWSK",
    "..........KWWSK",
    "..........KWWSK",
    "..........KWWSK",
    "..........KWWSK",
    "..........KWWSKKKK",
    "..........KWWSKWWSKKKK",
    "..........KWWSKWWSKWWSK",
    "..........KWWSKWWSKWWSKKK",
    "..KKK.....KWWSKWWSKWWSKWSK",
    ".KWWWK....KWWSKWWSKWWSKWSK",
    ".KWWWWK...KWWWWWWWWWWWWWSK",
    "..KWWWWK..KWWWWWWWWWWWWWSK",
    "...KWWWWK.KWWWWWWWWWWWWWSK",
    "....KWWWWKKWWWWWWWWWWWWWSK",
    ".....KWWWWWWWWWWWWWWWWWWSK",
    "......KWWWWWWWWWWWWWWWWWSK",
    ".......KWWWWWWWWWWWWWWWSK",
    "........KWWWWWWWWWWWWWWSK",
    ".........KWWWWWWWWWWWWSK",
};

// Pointer A's cuff, a little wider than the wrist: L light, B mid and D dark
// blue between black edges.
constexpr const char* CuffRows[] = {
    "........KKKKKKKKKKKKKKKKK",
    "........KLLLLLLLLLLLLLLLK",
    "........KBBBBBBBBBBBBBBBK",
    "........KDDDDDDDDDDDDDDDK",
    "........KKKKKKKKKKKKKKKKK",
};

// Pointer B ends at the wrist with a plain outline.
constexpr const char* WristRows[] = {
    ".........KKKKKKKKKKKKKKK",
};

// The column of the art on which the fingertip is centred.
constexpr int ArtTipColumn = 12;

// Builds a 32 x 32 palette image from rows of letters, placed so that the top
// of the fingertip lands on `tip` (rows that would fall below the picture are
// dropped). Index 0 is transparent; letters that share a colour share one
// entry.
QImage fromRows(const QList<const char*>& rows, vantrel::pointers::HotSpot tip,
                const QList<QPair<char, QRgb>>& palette)
{
    QImage image(32, 32, QImage::Format_Indexed8);
    QList<QRgb> table{qRgba(0, 0, 0, 0)};
    QHash<char, int> index;
    for (const auto& [letter, colour] : palette) {
        qsizetype at = table.indexOf(colour);
        if (at < 0) {
            at = table.size();
            table.append(colour);
        }
        index.insert(letter, int(at));
    }
    image.setColorTable(table);
    image.fill(0);
    const int shift = tip.x - ArtTipColumn;
    for (int r = 0; r < rows.size() && tip.y + r < 32; ++r) {
        uchar* line = image.scanLine(tip.y + r);
        for (int x = 0; rows[r][x] != '\0'; ++x) {
            if (rows[r][x] != '.' && x + shift >= 0 && x + shift < 32)
                line[x + shift] = uchar(index.value(rows[r][x]));
        }
    }
    return image;
}

// The hand followed by its cuff or wrist.
QList<const char*> handWith(const QList<const char*>& ending)
{
    QList<const char*> rows(std::begin(HandRows), std::end(HandRows));
    rows.append(ending);
    return rows;
}

} // namespace

QImage paintPointerA()
{
    const QList<const char*> cuff(std::begin(CuffRows), std::end(CuffRows));
    return fromRows(handWith(cuff), vantrel::pointers::PointerAHotSpot,
                    {{'K', qRgb(0, 0, 0)},
                     {'W', qRgb(255, 255, 255)},
                     {'S', qRgb(192, 192, 192)},
                     {'L', qRgb(96, 160, 255)},
                     {'B', qRgb(0, 80, 224)},
                     {'D', qRgb(0, 40, 144)}});
}

QImage paintPointerB()
{
    const QList<const char*> wrist(std::begin(WristRows), std::end(WristRows));
    // Two colours only: the shading becomes plain white.
    return fromRows(handWith(wrist), vantrel::pointers::PointerBHotSpot,
                    {{'K', qRgb(0, 0, 0)}, {'W', qRgb(255, 255, 255)}, {'S', qRgb(255, 255, 255)}});
}

} // namespace genresources
