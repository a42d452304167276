#include "IconPainter.h"

#include <QLinearGradient>
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

void paintCabinet(QPainter& p)
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

    // Grain: faint darker strokes that follow the arch.
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

void paintGrille(QPainter& p)
{
    // A lighter moulding around the opening.
    p.setPen(QPen(QColor(222, 160, 92), 1.4));
    p.setBrush(Qt::NoBrush);
    p.drawPath(grillePath(-0.2));

    // Cloth behind the fretwork, in a chequer of two-unit squares.
    const QPainterPath opening = grillePath(0.6);
    p.save();
    p.setClipPath(opening);
    p.fillRect(QRectF(8, 4, 16, 16), QColor(104, 52, 20));
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            if ((x + y) % 2 == 0)
                p.fillRect(QRectF(8 + 2 * x, 4 + 2 * y, 2, 2), QColor(238, 204, 138));
        }
    }
    p.restore();

    p.setPen(QPen(Outline, 0.8));
    p.drawPath(opening);
}

void paintDial(QPainter& p)
{
    const QRectF dial(9.0, 20.2, 14.0, 3.4);
    QRadialGradient glow(dial.center(), 7.5);
    glow.setColorAt(0.0, QColor(255, 226, 140));
    glow.setColorAt(0.6, QColor(255, 164, 40));
    glow.setColorAt(1.0, QColor(214, 96, 10));
    p.setBrush(glow);
    p.setPen(QPen(Outline, 0.8));
    p.drawRoundedRect(dial, 1.2, 1.2);

    // Scale marks and the pointer.
    p.setPen(QPen(QColor(120, 52, 8), 0.45));
    for (double x = 11.0; x <= 21.1; x += 2.0)
        p.drawLine(QLineF(x, 20.9, x, 21.9));
    p.setPen(QPen(QColor(200, 16, 16), 0.7));
    p.drawLine(QLineF(14.6, 20.7, 14.6, 23.1));
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

} // namespace

QImage paintIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    paintCabinet(p);
    paintGrille(p);
    paintDial(p);
    paintKnobs(p);
    p.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

QImage paintIcon256Colours()
{
    return paintIcon(32).convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
}

} // namespace genresources
