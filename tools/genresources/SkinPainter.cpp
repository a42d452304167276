#include "SkinPainter.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace genresources {

using namespace skin;

namespace {

QRgb mix(QRgb a, QRgb b, double t)
{
    auto lerp = [t](int x, int y) { return int(x + (y - x) * t + 0.5); };
    return qRgb(lerp(qRed(a), qRed(b)), lerp(qGreen(a), qGreen(b)), lerp(qBlue(a), qBlue(b)));
}

// The QRect of a region as the float rectangle that covers its pixels exactly.
QRectF cover(const QRect& r)
{
    return QRectF(r.x(), r.y(), r.width(), r.height());
}

// Rows 0-20: a light-green grid of 9-pixel cells ending in a darker rule;
// rows 21-39 the plain body colour.
void paintTitleBand(QImage& image)
{
    for (int y = 0; y < TitleArea.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < Width; ++x) {
            QRgb c = BodyColour;
            if (y >= RuleFirstRow && y <= BandLastRow) {
                c = RuleColours[y - RuleFirstRow];
            } else if (y < RuleFirstRow) {
                bool rule = (x % GridCellWidth) == GridFirstLine;
                for (int row : GridRowLines)
                    rule = rule || y == row;
                c = rule ? GridLineColour : GridColour;
            }
            line[x] = c;
        }
    }
}

// The left bar: a dark-green outlined capsule, lit from above, filling its box.
void paintLeftBar(QPainter& p)
{
    p.save();
    p.setClipRect(LeftBar);
    const QRectF box = cover(LeftBar);
    const QRectF outline = box.adjusted(0.5, 0.5, -0.5, -0.5);
    const double radius = outline.height() / 2;

    QLinearGradient fill(box.topLeft(), box.bottomLeft());
    fill.setColorAt(0.0, QColor(176, 236, 150));
    fill.setColorAt(0.45, QColor(92, 184, 78));
    fill.setColorAt(1.0, QColor(46, 128, 48));
    p.setBrush(fill);
    p.setPen(QPen(QColor::fromRgb(BarOutlineColour), 1.0));
    p.drawRoundedRect(outline, radius, radius);

    // A soft highlight along the upper half makes it read as a raised bar.
    QPainterPath shine;
    shine.addRoundedRect(QRectF(box.left() + 5, box.top() + 2, box.width() - 10, 2.5), 1.25, 1.25);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 110));
    p.drawPath(shine);
    p.restore();
}

// Each button cell gets a one-pixel bevel over whatever lies beneath it
// (grid, rule or body): lighter along the top and left, darker along the
// bottom and right, so the three cells read as buttons without hiding the band.
void paintButtonCells(QImage& image)
{
    for (const QRect& cell : ButtonCells) {
        auto shade = [&](int x, int y, bool light) {
            QRgb& px = reinterpret_cast<QRgb*>(image.scanLine(y))[x];
            px = light ? mix(px, qRgb(255, 255, 255), 0.55) : mix(px, qRgb(40, 70, 20), 0.35);
        };
        for (int x = cell.left(); x <= cell.right(); ++x) {
            shade(x, cell.top(), true);
            shade(x, cell.bottom(), false);
        }
        for (int y = cell.top() + 1; y < cell.bottom(); ++y) {
            shade(cell.left(), y, true);
            shade(cell.right(), y, false);
        }
    }
}

// The three glyphs, purple, each filling its box exactly and never leaving it.
void paintGlyphs(QPainter& p)
{
    const QColor purple = QColor::fromRgb(GlyphColour);

    // Minimise: a solid horizontal bar.
    p.fillRect(MinimiseGlyph, purple);

    // Maximise: a square outline with a heavier top edge, like a window.
    {
        const QRect& r = MaximiseGlyph;
        p.fillRect(QRect(r.left(), r.top(), r.width(), 3), purple);
        p.fillRect(QRect(r.left(), r.bottom() - 1, r.width(), 2), purple);
        p.fillRect(QRect(r.left(), r.top(), 2, r.height()), purple);
        p.fillRect(QRect(r.right() - 1, r.top(), 2, r.height()), purple);
    }

    // Close: two diagonal strokes from corner to corner.
    {
        p.save();
        p.setClipRect(CloseGlyph);
        const QRectF r = cover(CloseGlyph);
        QPen pen(purple, 3.4, Qt::SolidLine, Qt::SquareCap);
        p.setPen(pen);
        p.drawLine(QLineF(r.left() + 1.2, r.top() + 1.2, r.right() - 1.2, r.bottom() - 1.2));
        p.drawLine(QLineF(r.right() - 1.2, r.top() + 1.2, r.left() + 1.2, r.bottom() - 1.2));
        p.restore();
    }
}

// The display name, as purple text scaled to fit its box and centred in it.
void paintName(QPainter& p, const QString& fontFamily)
{
    QFont font(fontFamily);
    font.setPixelSize(64);
    font.setBold(true);
    QPainterPath text;
    text.addText(0, 0, font, QStringLiteral("Vantrel"));
    const QRectF bounds = text.boundingRect();

    const QRectF box = cover(NameBox).adjusted(0.25, 0.25, -0.25, -0.25);
    const double scale = std::min(box.width() / bounds.width(), box.height() / bounds.height());
    QTransform t;
    t.translate(box.center().x(), box.center().y());
    t.scale(scale, scale);
    t.translate(-bounds.center().x(), -bounds.center().y());

    p.save();
    p.setClipRect(NameBox);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor::fromRgb(GlyphColour));
    p.drawPath(t.map(text));
    p.restore();
}

} // namespace

QImage paintSkin(const QString& fontFamily)
{
    QImage image(Width, Height, QImage::Format_RGB32);
    image.fill(BodyColour);
    paintTitleBand(image);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        paintLeftBar(p);
    }
    paintButtonCells(image);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        paintGlyphs(p);
        paintName(p, fontFamily);
    }
    return image;
}

} // namespace genresources
