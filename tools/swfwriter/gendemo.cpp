// Writes the bundled demo movie: a dusk sky over hills, a glowing sun, a
// drifting cloud that changes shape, and a spinning star sprite that travels
// across the stage and back. 400 × 300 pixels, 48 frames at 24 fps, looping.

#include "tools/swfwriter/Movie.h"

#include <QCoreApplication>
#include <QImage>
#include <QTextStream>

#include <cmath>

using namespace swfw;

namespace {

// A circle from eight quadratic curves (twips).
void circle(Shape& s, int32_t cx, int32_t cy, int32_t r)
{
    s.moveTo(cx + r, cy);
    for (int i = 0; i < 8; ++i) {
        const double a0 = i * M_PI / 4, a1 = (i + 1) * M_PI / 4;
        // The control point sits on the tangents' crossing, r / cos(22.5°) out.
        const double am = (a0 + a1) / 2, rc = r / std::cos(M_PI / 8);
        s.curveTo(int32_t(cx + rc * std::cos(am)), int32_t(cy + rc * std::sin(am)),
            int32_t(cx + r * std::cos(a1)), int32_t(cy + r * std::sin(a1)));
    }
}

// The same eight-curve outline, pulled into a rounded square as `squareness` goes to 1.
void blob(Shape& s, int32_t cx, int32_t cy, int32_t r, double squareness)
{
    auto point = [&](double a, double radius) {
        const double c = std::cos(a), sn = std::sin(a);
        const double sq = radius / std::max(std::abs(c), std::abs(sn)); // on the square
        const double d = radius + (sq - radius) * squareness;
        return std::pair<int32_t, int32_t>(int32_t(cx + d * c), int32_t(cy + d * sn));
    };
    auto [x0, y0] = point(0, r);
    s.moveTo(x0, y0);
    for (int i = 0; i < 8; ++i) {
        const double a1 = (i + 1) * M_PI / 4, am = (i + 0.5) * M_PI / 4;
        auto [cxp, cyp] = point(am, r / std::cos(M_PI / 8));
        auto [x1, y1] = point(a1, r);
        s.curveTo(cxp, cyp, x1, y1);
    }
}

Shape sky()
{
    Shape s;
    const int fill = s.addFillStyle(FillStyle::linear(FillStyle::gradientBox(0, 0, px(400), px(300), 90),
        { { 0, { 24, 32, 84 } }, { 150, { 180, 90, 140 } }, { 255, { 255, 170, 90 } } }));
    s.fill1(fill).rect(0, 0, px(400), px(300));
    return s;
}

Shape sun()
{
    Shape s;
    const int glow = s.addFillStyle(FillStyle::radial(FillStyle::gradientBox(px(-60), px(-60), px(120), px(120)),
        { { 0, { 255, 250, 200, 255 } }, { 90, { 255, 220, 80, 255 } }, { 120, { 255, 170, 60, 140 } }, { 255, { 255, 140, 60, 0 } } }));
    s.fill1(glow);
    circle(s, 0, 0, px(60));
    return s;
}

Shape hills()
{
    Shape s;
    const int far = s.addFillStyle(FillStyle::solid({ 60, 110, 90 }));
    const int near = s.addFillStyle(FillStyle::linear(FillStyle::gradientBox(0, px(220), px(400), px(80), 90),
        { { 0, { 90, 170, 80 } }, { 255, { 30, 90, 40 } } }));
    const int rim = s.addLineStyle(LineStyle::solid(40, { 20, 60, 30, 255 }));
    s.fill1(far).moveTo(0, px(300)).lineTo(0, px(210));
    s.curveTo(px(80), px(150), px(170), px(205)).curveTo(px(260), px(160), px(400), px(200));
    s.lineTo(px(400), px(300)).lineTo(0, px(300));
    s.fill1(near).line(rim).moveTo(0, px(300)).lineTo(0, px(250));
    s.curveTo(px(120), px(200), px(230), px(245)).curveTo(px(320), px(215), px(400), px(240));
    s.line(0).lineTo(px(400), px(300)).lineTo(0, px(300));
    return s;
}

Shape star()
{
    Shape s;
    const int fill = s.addFillStyle(FillStyle::radial(FillStyle::gradientBox(px(-24), px(-24), px(48), px(48)),
        { { 0, { 255, 255, 255 } }, { 120, { 255, 230, 90 } }, { 255, { 240, 150, 40 } } }));
    const int edge = s.addLineStyle(LineStyle::solid(30, { 140, 70, 20, 255 }));
    s.fill1(fill).line(edge);
    for (int i = 0; i <= 10; ++i) {
        const double a = -M_PI / 2 + i * M_PI / 5;
        const double r = (i % 2 ? 10 : 24);
        const int32_t x = px(r * std::cos(a)), y = px(r * std::sin(a));
        if (i == 0)
            s.moveTo(x, y);
        else
            s.lineTo(x, y);
    }
    return s;
}

MorphShape cloud()
{
    MorphShape m;
    m.addFillStyle({ FillStyle::solid({ 255, 255, 255, 220 }), FillStyle::solid({ 255, 220, 235, 200 }) });
    m.start.fill1(1);
    blob(m.start, 0, 0, px(22), 0);
    blob(m.end, 0, 0, px(22), 1);
    return m;
}

QImage sparkle()
{
    // A small soft dot used as a repeating bitmap fill for the ground's sparkles.
    QImage img(8, 8, QImage::Format_ARGB32);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const double d = std::hypot(x - 3.5, y - 3.5);
            const int a = d < 1.5 ? 200 : 0;
            img.setPixel(x, y, qRgba(255, 255, 200, a));
        }
    return img;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("demo.swf");

    enum : uint16_t { SkyId = 1, SunId, HillsId, StarId, StarSpriteId, CloudId, SparkleBitmapId, SparkleId };
    constexpr int kFrames = 48;

    Movie movie(8, 400, 300, 24);
    movie.fileAttributes(0);
    movie.setBackgroundColor({ 24, 32, 84 });
    movie.defineShape(SkyId, sky(), 3);
    movie.defineShape(SunId, sun(), 3);
    movie.defineShape(HillsId, hills(), 3);
    movie.defineShape(StarId, star(), 3);
    movie.defineMorphShape(CloudId, cloud());
    movie.defineBitsLossless(SparkleBitmapId, sparkle(), true);
    {
        Shape s;
        const int dots = s.addFillStyle(FillStyle::bitmap(SparkleBitmapId, Matrix::scale(40, 40), true, true));
        s.fill1(dots).rect(0, px(262), px(400), px(38));
        movie.defineShape(SparkleId, s, 3);
    }

    // The star spins inside its own 12-frame timeline.
    Sprite spinner;
    for (int f = 0; f < 12; ++f) {
        Placement p;
        p.depth = 1;
        if (f == 0)
            p.characterId = StarId;
        else
            p.move = true;
        p.matrix = Matrix::rotate(f * 30.0);
        spinner.placeObject2(p);
        spinner.showFrame();
    }
    movie.defineSprite(StarSpriteId, spinner);

    for (int f = 0; f < kFrames; ++f) {
        const double t = double(f) / kFrames; // 0..1 over the loop
        const double wave = std::sin(2 * M_PI * t);
        if (f == 0) {
            movie.frameLabel("start");
            movie.placeObject2(Placement::place(1, SkyId));
            movie.placeObject2(Placement::place(2, SunId, Matrix::translate(px(300), px(90))));
            movie.placeObject2(Placement::place(5, HillsId));
            movie.placeObject2(Placement::place(6, SparkleId));
        }
        // The sun's glow breathes.
        CxForm glow;
        glow.mulR = glow.mulG = glow.mulB = 1.0;
        glow.addR = glow.addG = int16_t(20 * (1 + wave));
        Placement sunGlow = Placement::modify(2);
        sunGlow.cxform = glow;
        movie.placeObject2(sunGlow);

        // The cloud drifts right and swells into a rounder square and back.
        Placement cloudAt;
        cloudAt.depth = 3;
        if (f == 0)
            cloudAt.characterId = CloudId;
        else
            cloudAt.move = true;
        cloudAt.matrix = Matrix::scale(1.6, 1.0, px(60 + 120 * t), px(60));
        cloudAt.ratio = uint16_t(65535 * (0.5 - 0.5 * std::cos(2 * M_PI * t)));
        movie.placeObject2(cloudAt);

        // The star travels across and back along an arc, growing at the top.
        const double x = 200 - 150 * std::cos(2 * M_PI * t);
        const double y = 180 - 70 * std::sin(M_PI * (x - 50) / 300);
        const double s = 1.0 + 0.3 * std::sin(M_PI * (x - 50) / 300);
        Placement starAt;
        starAt.depth = 4;
        if (f == 0) {
            starAt.characterId = StarSpriteId;
            starAt.name = QByteArray("star");
        } else {
            starAt.move = true;
        }
        starAt.matrix = Matrix::scale(s, s, px(x), px(y));
        movie.placeObject2(starAt);
        movie.showFrame();
    }

    QString error;
    if (!movie.save(out, Compression::Zlib, &error)) {
        QTextStream(stderr) << "cannot write " << out << ": " << error << '\n';
        return 1;
    }
    return 0;
}
