#include "IconPainter.h"

#include <algorithm>
#include <climits>

#include <QLinearGradient>
#include <QList>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace genresources {

namespace {

const QColor Outline(56, 26, 8);

// A tall cabinet with a round-arched top, standing on a plinth.
QPainterPath cabinetPath()
{
    QPainterPath path;
    path.moveTo(4.5, 29.0);
    path.lineTo(4.5, 13.5);
    path.arcTo(QRectF(4.5, 2.0, 23.0, 23.0), 180.0, -180.0);
    path.lineTo(27.5, 29.0);
    path.closeSubpath();
    return path;
}

// The arched opening of the speaker grille.
QPainterPath grillePath(double inset)
{
    const double left = 8.5 + inset;
    const double right = 23.5 - inset;
    const double bottom = 19.0 - inset;
    const double radius = (right - left) / 2;
    const double centreY = 12.5;
    QPainterPath path;
    path.moveTo(left, bottom);
    path.lineTo(left, centreY);
    path.arcTo(QRectF(left, centreY - radius, 2 * radius, 2 * radius), 180.0, -180.0);
    path.lineTo(right, bottom);
    path.closeSubpath();
    return path;
}

void paintCabinet(QPainter& p, bool small)
{
    const QPainterPath cabinet = cabinetPath();

    // Warm wood, lit from the upper left.
    QLinearGradient wood(4.5, 0, 27.5, 0);
    wood.setColorAt(0.0, QColor(128, 64, 24));
    wood.setColorAt(0.3, QColor(192, 116, 52));
    wood.setColorAt(0.6, QColor(166, 94, 38));
    wood.setColorAt(1.0, QColor(104, 50, 18));
    p.setPen(Qt::NoPen);
    p.setBrush(wood);
    p.drawPath(cabinet);

    // Grain: faint darker strokes that follow the arch; too fine for the
    // smallest sizes, where they would only muddy the wood.
    if (!small) {
        p.save();
        p.setClipPath(cabinet);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(90, 42, 12, 70), 0.35));
        for (double r : {9.6, 10.4}) {
            p.drawArc(QRectF(16 - r, 13.5 - r, 2 * r, 2 * r), 0, 180 * 16);
            p.drawLine(QLineF(16 - r, 13.5, 16 - r, 29));
            p.drawLine(QLineF(16 + r, 13.5, 16 + r, 29));
        }
        p.restore();
    }

    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Outline, 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(cabinet);

    // Plinth.
    QLinearGradient plinth(0, 28.5, 0, 31.2);
    plinth.setColorAt(0.0, QColor(140, 74, 30));
    plinth.setColorAt(1.0, QColor(84, 40, 14));
    p.setBrush(plinth);
    p.drawRoundedRect(QRectF(3.0, 28.3, 26.0, 3.0), 1.0, 1.0);
}

void paintGrille(QPainter& p, bool small)
{
    // A lighter moulding around the opening.
    p.setPen(QPen(QColor(222, 160, 92), 1.4));
    p.setBrush(Qt::NoBrush);
    p.drawPath(grillePath(-0.2));

    // Cloth behind the fretwork, in a chequer of two-unit squares; at the
    // smallest sizes, of four-unit squares so that each is still two pixels.
    const int cell = small ? 4 : 2;
    const QPainterPath opening = grillePath(0.6);
    p.save();
    p.setClipPath(opening);
    p.fillRect(QRectF(8, 4, 16, 16), QColor(104, 52, 20));
    for (int y = 0; y < 16 / cell; ++y) {
        for (int x = 0; x < 16 / cell; ++x) {
            if ((x + y) % 2 == 0)
                p.fillRect(QRectF(8 + cell * x, 4 + cell * y, cell, cell), QColor(238, 204, 138));
        }
    }
    p.restore();

    p.setPen(QPen(Outline, 0.8));
    p.drawPath(opening);
}

void paintDial(QPainter& p, bool small)
{
    const QRectF dial(8.8, 20.0, 14.4, 3.8);
    QRadialGradient glow(dial.center(), 8.0);
    glow.setColorAt(0.0, QColor(255, 240, 170));
    glow.setColorAt(0.45, QColor(255, 184, 56));
    glow.setColorAt(1.0, QColor(240, 128, 16));
    p.setBrush(glow);
    p.setPen(QPen(Outline, 0.8));
    p.drawRoundedRect(dial, 1.3, 1.3);

    // Scale marks, faint enough to leave the glow showing at small sizes, and
    // the pointer.
    if (!small) {
        p.setPen(QPen(QColor(150, 70, 10, 150), 0.35));
        for (double x = 11.0; x <= 21.1; x += 2.0)
            p.drawLine(QLineF(x, 20.7, x, 21.6));
    }
    p.setPen(QPen(QColor(196, 20, 12), 0.6));
    p.drawLine(QLineF(14.6, 20.5, 14.6, 23.3));
}

void paintKnobs(QPainter& p)
{
    for (double x : {10.5, 16.0, 21.5}) {
        const QPointF centre(x, 25.9);
        QRadialGradient knob(centre + QPointF(-0.5, -0.5), 2.0);
        knob.setColorAt(0.0, QColor(255, 244, 210));
        knob.setColorAt(0.7, QColor(214, 184, 120));
        knob.setColorAt(1.0, QColor(150, 112, 56));
        p.setBrush(knob);
        p.setPen(QPen(Outline, 0.7));
        p.drawEllipse(centre, 1.6, 1.6);
    }
}

struct Box {
    QList<QRgb> colours;

    int channel(QRgb c, int which) const { return which == 0 ? qRed(c) : which == 1 ? qGreen(c) : qBlue(c); }

    // The channel with the widest spread, and that spread.
    QPair<int, int> widest() const
    {
        QPair<int, int> best{0, -1};
        for (int ch = 0; ch < 3; ++ch) {
            int lo = 255, hi = 0;
            for (QRgb c : colours) {
                lo = std::min(lo, channel(c, ch));
                hi = std::max(hi, channel(c, ch));
            }
            if (hi - lo > best.second)
                best = {ch, hi - lo};
        }
        return best;
    }

    QRgb average() const
    {
        long r = 0, g = 0, b = 0;
        for (QRgb c : colours)
            r += qRed(c), g += qGreen(c), b += qBlue(c);
        const long n = std::max<long>(1, colours.size());
        return qRgb(int((r + n / 2) / n), int((g + n / 2) / n), int((b + n / 2) / n));
    }
};

// Reduces the picture to a palette by median cut: the opaque colours (one
// entry per pixel, so common colours weigh more) are split again and again at
// the median of the box with the widest spread. Entry 0 is transparent;
// pixels less than half opaque take it, the rest become fully opaque.
QImage quantise(const QImage& source, int maxColours)
{
    const QImage argb = source.convertToFormat(QImage::Format_ARGB32);
    QList<Box> boxes(1);
    for (int y = 0; y < argb.height(); ++y)
        for (int x = 0; x < argb.width(); ++x)
            if (qAlpha(argb.pixel(x, y)) >= 128)
                boxes[0].colours.append(argb.pixel(x, y) | 0xff000000u);

    while (boxes.size() < maxColours - 1) {
        int pick = -1, spread = 0;
        for (int i = 0; i < boxes.size(); ++i) {
            const int s = boxes[i].colours.size() > 1 ? boxes[i].widest().second : 0;
            if (s > spread)
                pick = i, spread = s;
        }
        if (pick < 0)
            break; // every box holds a single colour
        Box& box = boxes[pick];
        const int ch = box.widest().first;
        std::sort(box.colours.begin(), box.colours.end(),
                  [&](QRgb a, QRgb b) { return box.channel(a, ch) < box.channel(b, ch); });
        const qsizetype half = box.colours.size() / 2;
        Box upper{box.colours.mid(half)};
        box.colours.resize(half);
        boxes.append(upper);
    }

    QList<QRgb> table{qRgba(0, 0, 0, 0)};
    for (const Box& box : boxes)
        if (!box.colours.isEmpty() && !table.contains(box.average()))
            table.append(box.average());

    QImage out(argb.size(), QImage::Format_Indexed8);
    out.setColorTable(table);
    for (int y = 0; y < argb.height(); ++y) {
        uchar* line = out.scanLine(y);
        for (int x = 0; x < argb.width(); ++x) {
            const QRgb c = argb.pixel(x, y);
            int best = 0;
            if (qAlpha(c) >= 128) {
                int bestDistance = INT_MAX;
                for (int i = 1; i < table.size(); ++i) {
                    const int dr = qRed(c) - qRed(table[i]);
                    const int dg = qGreen(c) - qGreen(table[i]);
                    const int db = qBlue(c) - qBlue(table[i]);
                    const int d = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
                    if (d < bestDistance)
                        best = i, bestDistance = d;
                }
            }
            line[x] = uchar(best);
        }
    }
    return out;
}

} // namespace

QImage paintIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    // Below 24 pixels the finest details merge into noise; draw them coarser.
    const bool small = size < 24;
    paintCabinet(p, small);
    paintGrille(p, small);
    paintDial(p, small);
    paintKnobs(p);
    p.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

QImage paintIcon256Colours()
{
    return quantise(paintIcon(32), 256);
}

} // namespace genresources
