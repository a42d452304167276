// Movies written with our own writer, each with pixels whose colours follow
// from the movie alone. Points sit well inside shapes (at least a few pixels
// from any edge) so that anti-aliasing never reaches them.

#include "Cases.h"

#include "tools/swfwriter/Movie.h"

#include <functional>

using namespace swfw;

namespace conformance {

namespace {

const Rgba kWhite { 255, 255, 255 };
const Rgba kRed { 255, 0, 0 };
const Rgba kGreen { 0, 255, 0 };
const Rgba kBlue { 0, 0, 255 };

QColor qc(int r, int g, int b) { return QColor(r, g, b); }

// A rectangle in pixels filled with one colour, as shape `version`.
Shape rectShape(Rgba color, double x, double y, double w, double h)
{
    Shape s;
    s.fill1(s.addFillStyle(FillStyle::solid(color))).rect(px(x), px(y), px(w), px(h));
    return s;
}

Capture at(int frame, std::vector<PixelCheck> pixels, std::optional<QSize> size = {})
{
    Capture c;
    c.frame = frame;
    c.size = size;
    c.pixels = std::move(pixels);
    return c;
}

Case make(const char* name, const Movie& movie, std::vector<Capture> captures, Compression compression = Compression::Zlib)
{
    Case c;
    c.tier = QStringLiteral("generated");
    c.name = QString::fromLatin1(name);
    c.movieBytes = movie.bytes(compression);
    c.captures = std::move(captures);
    return c;
}

Case shapeVersions()
{
    Movie m(8, 200, 200, 12);
    m.setBackgroundColor(kWhite);
    const Rgba colours[] = { kRed, kGreen, kBlue, { 255, 255, 0 } };
    for (int v = 1; v <= 4; ++v) {
        const double x = (v - 1) % 2 * 100 + 10, y = (v - 1) / 2 * 100 + 10;
        m.defineShape(uint16_t(v), rectShape(colours[v - 1], x, y, 80, 80), v);
        m.placeObject2(Placement::place(uint16_t(v), uint16_t(v)));
    }
    m.showFrame();
    return make("shape-versions-1-to-4", m, { at(1, {
        { 50, 50, qc(255, 0, 0), 2, "DefineShape rectangle, top left" },
        { 150, 50, qc(0, 255, 0), 2, "DefineShape2 rectangle, top right" },
        { 50, 150, qc(0, 0, 255), 2, "DefineShape3 rectangle, bottom left" },
        { 150, 150, qc(255, 255, 0), 2, "DefineShape4 rectangle, bottom right" },
        { 100, 100, qc(255, 255, 255), 2, "the gap between the four: background" },
        { 5, 195, qc(255, 255, 255), 2, "corner outside every shape: background" },
    }) });
}

Case alphaFill()
{
    Movie m(8, 200, 100, 12);
    m.setBackgroundColor(kWhite);
    m.defineShape(1, rectShape(kRed, 100, 0, 100, 100), 3);
    m.defineShape(2, rectShape({ 0, 0, 255, 128 }, 50, 20, 100, 60), 3);
    m.placeObject2(Placement::place(1, 1));
    m.placeObject2(Placement::place(2, 2));
    m.showFrame();
    return make("alpha-fill-over-colours", m, { at(1, {
        { 75, 50, qc(127, 127, 255), 3, "half-transparent blue over the white background" },
        { 125, 50, qc(127, 0, 128), 3, "half-transparent blue over opaque red" },
        { 175, 50, qc(255, 0, 0), 2, "red alone" },
        { 25, 50, qc(255, 255, 255), 2, "background alone" },
    }) });
}

Case linearGradient()
{
    Movie m(8, 256, 20, 12);
    Shape s;
    s.fill1(s.addFillStyle(FillStyle::linear(FillStyle::gradientBox(0, 0, px(256), px(20)), { { 0, { 0, 0, 0 } }, { 255, kWhite } })))
        .rect(0, 0, px(256), px(20));
    m.defineShape(1, s, 2);
    m.placeObject2(Placement::place(1, 1));
    m.showFrame();
    // The gradient square spans the stage's width: ratio 0 at x = 0, 255 at x = 256,
    // so a pixel centre at x + 0.5 has grey (x + 0.5) * 255 / 256.
    return make("linear-gradient-ramp", m, { at(1, {
        { 32, 10, qc(32, 32, 32), 4, "an eighth along the black-to-white ramp" },
        { 128, 10, qc(128, 128, 128), 4, "half way along the ramp" },
        { 224, 10, qc(223, 223, 223), 4, "seven eighths along the ramp" },
    }) });
}

Case radialGradient()
{
    Movie m(8, 200, 200, 12);
    Shape s;
    // Radius 50 px about the stage centre; padded beyond it with the last stop.
    s.fill1(s.addFillStyle(FillStyle::radial(FillStyle::gradientBox(px(50), px(50), px(100), px(100)), { { 0, kRed }, { 255, kBlue } })))
        .rect(0, 0, px(200), px(200));
    m.defineShape(1, s, 3);
    m.placeObject2(Placement::place(1, 1));
    m.showFrame();
    return make("radial-gradient-pad", m, { at(1, {
        { 100, 100, qc(255, 0, 0), 8, "the centre: the first stop" },
        { 125, 100, qc(128, 0, 127), 8, "half the radius out: half way between the stops" },
        { 10, 10, qc(0, 0, 255), 2, "beyond the radius: padded with the last stop" },
        { 190, 100, qc(0, 0, 255), 2, "beyond the radius on the right" },
    }) });
}

Case losslessBitmapFill()
{
    Movie m(8, 100, 100, 12);
    QImage img(2, 2, QImage::Format_RGB32);
    img.setPixel(0, 0, qRgb(255, 0, 0));
    img.setPixel(1, 0, qRgb(0, 255, 0));
    img.setPixel(0, 1, qRgb(0, 0, 255));
    img.setPixel(1, 1, qRgb(255, 255, 0));
    m.defineBitsLossless(1, img, false);
    Shape s;
    // Each bitmap pixel becomes 50 × 50 stage pixels (1000 twips).
    s.fill1(s.addFillStyle(FillStyle::bitmap(1, Matrix::scale(1000, 1000), false, false))).rect(0, 0, px(100), px(100));
    m.defineShape(2, s, 3);
    m.placeObject2(Placement::place(1, 2));
    m.showFrame();
    return make("bitmap-fill-lossless", m, { at(1, {
        { 25, 25, qc(255, 0, 0), 2, "bitmap pixel 0,0" },
        { 75, 25, qc(0, 255, 0), 2, "bitmap pixel 1,0" },
        { 25, 75, qc(0, 0, 255), 2, "bitmap pixel 0,1" },
        { 75, 75, qc(255, 255, 0), 2, "bitmap pixel 1,1" },
    }) });
}

Case losslessAlphaBitmap()
{
    Movie m(8, 100, 100, 12);
    m.setBackgroundColor(kWhite);
    QImage img(4, 4, QImage::Format_ARGB32);
    img.fill(qRgba(255, 0, 0, 128));
    m.defineBitsLossless(1, img, true);
    Shape s;
    s.fill1(s.addFillStyle(FillStyle::bitmap(1, Matrix::scale(500, 500), false, true))).rect(0, 0, px(100), px(100));
    m.defineShape(2, s, 3);
    m.placeObject2(Placement::place(1, 2));
    m.showFrame();
    return make("bitmap-lossless2-alpha", m, { at(1, {
        { 50, 50, qc(255, 127, 127), 4, "half-transparent red bitmap over white" },
    }) });
}

Case jpegBitmap()
{
    Movie m(8, 100, 100, 12);
    QImage img(16, 16, QImage::Format_RGB32);
    img.fill(qRgb(200, 60, 20));
    m.defineBitsJpeg2(1, img, 95);
    Shape s;
    s.fill1(s.addFillStyle(FillStyle::bitmap(1, Matrix::scale(125, 125), false, true))).rect(0, 0, px(100), px(100));
    m.defineShape(2, s, 3);
    m.placeObject2(Placement::place(1, 2));
    m.showFrame();
    return make("bitmap-jpeg2", m, { at(1, {
        { 50, 50, qc(200, 60, 20), 10, "a flat JPEG colour, within JPEG's rounding" },
    }) });
}

Case spriteTimeline()
{
    Movie m(8, 100, 100, 12);
    m.setBackgroundColor(kWhite);
    m.defineShape(1, rectShape(kRed, 20, 20, 60, 60), 1);
    m.defineShape(2, rectShape(kGreen, 20, 20, 60, 60), 1);
    Sprite clip;
    clip.placeObject2(Placement::place(1, 1));
    clip.showFrame();
    clip.removeObject2(1);
    clip.placeObject2(Placement::place(1, 2));
    clip.showFrame();
    m.defineSprite(3, clip);
    m.placeObject2(Placement::place(1, 3));
    m.showFrame();
    m.showFrame();
    m.showFrame();
    // The sprite has two frames of its own and loops while the root runs three.
    return make("sprite-own-timeline", m, {
        at(1, { { 50, 50, qc(255, 0, 0), 2, "sprite frame 1: red" } }),
        at(2, { { 50, 50, qc(0, 255, 0), 2, "sprite frame 2: green" } }),
        at(3, { { 50, 50, qc(255, 0, 0), 2, "sprite looped back to frame 1: red" } }),
    });
}

Case placeMoveRemove()
{
    Movie m(8, 200, 100, 12);
    m.setBackgroundColor(kWhite);
    m.defineShape(1, rectShape(kBlue, 0, 0, 100, 100), 1);
    m.placeObject2(Placement::place(1, 1));
    m.showFrame();
    Placement move = Placement::modify(1);
    move.matrix = Matrix::translate(px(100), 0);
    m.placeObject2(move);
    m.showFrame();
    m.removeObject2(1);
    m.showFrame();
    const QColor blue = qc(0, 0, 255), white = qc(255, 255, 255);
    return make("place-move-remove-loop", m, {
        at(1, { { 50, 50, blue, 2, "placed on the left" }, { 150, 50, white, 2, "right still empty" } }),
        at(2, { { 50, 50, white, 2, "moved away from the left" }, { 150, 50, blue, 2, "moved to the right" } }),
        at(3, { { 50, 50, white, 2, "removed" }, { 150, 50, white, 2, "removed" } }),
        at(4, { { 50, 50, blue, 2, "the root looped to frame 1" }, { 150, 50, white, 2, "frame 1 again" } }),
    });
}

Case depthOrder()
{
    Movie m(8, 100, 100, 12);
    m.defineShape(1, rectShape(kGreen, 0, 0, 60, 100), 1);
    m.defineShape(2, rectShape(kRed, 40, 0, 60, 100), 1);
    // Placed first but deeper in the list: the higher depth draws on top.
    m.placeObject2(Placement::place(5, 1));
    m.placeObject2(Placement::place(2, 2));
    m.showFrame();
    return make("depth-order", m, { at(1, {
        { 50, 50, qc(0, 255, 0), 2, "the overlap shows depth 5 over depth 2" },
        { 80, 50, qc(255, 0, 0), 2, "depth 2 where nothing covers it" },
    }) });
}

Case clipDepthMask()
{
    Movie m(8, 200, 100, 12);
    m.setBackgroundColor(kWhite);
    m.defineShape(1, rectShape(kBlue, 0, 0, 100, 100), 1);  // the mask: left half
    m.defineShape(2, rectShape(kRed, 0, 0, 200, 100), 1);   // masked content
    m.defineShape(3, rectShape(kGreen, 140, 30, 40, 40), 1); // above the masked range
    Placement mask = Placement::place(1, 1);
    mask.clipDepth = 3;
    m.placeObject2(mask);
    m.placeObject2(Placement::place(2, 2));
    m.placeObject2(Placement::place(4, 3));
    m.showFrame();
    return make("clip-depth-mask", m, { at(1, {
        { 50, 50, qc(255, 0, 0), 2, "content inside the mask shows; the mask itself is not drawn" },
        { 120, 50, qc(255, 255, 255), 2, "content outside the mask is hidden" },
        { 160, 50, qc(0, 255, 0), 2, "depth 4 is above the clip range and not masked" },
    }) });
}

Case colourTransforms()
{
    Movie m(8, 300, 100, 12);
    m.setBackgroundColor({ 0, 0, 0 });
    m.defineShape(1, rectShape(kRed, 0, 0, 100, 100), 1);
    m.defineShape(2, rectShape(kWhite, 0, 0, 100, 100), 1);
    m.defineShape(3, rectShape({ 200, 200, 200 }, 0, 0, 100, 100), 1);
    Placement a = Placement::place(1, 1);
    CxForm swap;
    swap.mulR = 0;
    swap.addG = 255;
    a.cxform = swap;
    m.placeObject2(a);
    Placement b = Placement::place(2, 2, Matrix::translate(px(100), 0));
    CxForm half;
    half.mulA = 0.5;
    b.cxform = half;
    m.placeObject2(b);
    Placement c = Placement::place(3, 3, Matrix::translate(px(200), 0));
    CxForm darker;
    darker.addR = -100;
    c.cxform = darker;
    m.placeObject2(c);
    m.showFrame();
    return make("colour-transforms", m, { at(1, {
        { 50, 50, qc(0, 255, 0), 2, "red times 0 plus 255 green: green" },
        { 150, 50, qc(127, 127, 127), 3, "white at half alpha over black" },
        { 250, 50, qc(100, 200, 200), 2, "a negative red offset" },
    }) });
}

Case nestedColourTransform()
{
    Movie m(8, 100, 100, 12);
    m.setBackgroundColor(kWhite);
    m.defineShape(1, rectShape({ 200, 100, 50 }, 0, 0, 100, 100), 1);
    Sprite inner;
    Placement child = Placement::place(1, 1);
    CxForm addBlue;
    addBlue.addB = 100;
    child.cxform = addBlue;
    inner.placeObject2(child);
    inner.showFrame();
    m.defineSprite(2, inner);
    Placement parent = Placement::place(1, 2);
    CxForm halfRed;
    halfRed.mulR = 0.5;
    parent.cxform = halfRed;
    m.placeObject2(parent);
    m.showFrame();
    // The child's transform applies first: (200, 100, 150), then the parent's: (100, 100, 150).
    return make("colour-transform-nested", m, { at(1, { { 50, 50, qc(100, 100, 150), 3, "child then parent transform" } }) });
}

Case morphRatio()
{
    Movie m(8, 200, 100, 12);
    m.setBackgroundColor(kWhite);
    MorphShape morph;
    morph.addFillStyle({ FillStyle::solid(kRed), FillStyle::solid(kBlue) });
    morph.start.fill1(1).rect(0, 0, px(50), px(50));
    morph.end.rect(px(150), px(50), px(50), px(50));
    m.defineMorphShape(1, morph);
    Placement p = Placement::place(1, 1);
    p.ratio = 0;
    m.placeObject2(p);
    m.showFrame();
    Placement half = Placement::modify(1);
    half.ratio = 32768;
    m.placeObject2(half);
    m.showFrame();
    Placement end = Placement::modify(1);
    end.ratio = 65535;
    m.placeObject2(end);
    m.showFrame();
    const QColor white = qc(255, 255, 255);
    return make("morph-ratio", m, {
        at(1, { { 25, 25, qc(255, 0, 0), 2, "ratio 0: the start square, red" }, { 175, 75, white, 2, "nothing at the end position yet" } }),
        at(2, { { 100, 50, qc(127, 0, 128), 4, "ratio 1/2: half way, purple" }, { 25, 25, white, 2, "left the start position" } }),
        at(3, { { 175, 75, qc(0, 0, 255), 2, "ratio 1: the end square, blue" }, { 100, 50, white, 2, "left the middle" } }),
    });
}

Case outputSize()
{
    Movie m(8, 100, 100, 12);
    m.setBackgroundColor(kWhite);
    m.defineShape(1, rectShape(kRed, 25, 25, 50, 50), 1);
    m.placeObject2(Placement::place(1, 1));
    m.showFrame();
    const QColor red = qc(255, 0, 0), white = qc(255, 255, 255);
    // At 200×200 every stage pixel is two; at 300×200 the stage is shown all,
    // scaled by two and centred with 50 pixels to each side.
    return make("output-size-show-all", m, {
        at(1, { { 100, 100, red, 2, "stage centre at double size" }, { 60, 60, red, 2, "inside the doubled square" }, { 40, 40, white, 2, "outside the doubled square" }, { 170, 170, white, 2, "beyond its far corner" } }, QSize(200, 200)),
        at(1, { { 150, 100, red, 2, "stage centre, centred horizontally" }, { 110, 60, red, 2, "inside the square, 50 px in from the left" }, { 90, 100, white, 2, "left of the square inside the stage" }, { 210, 100, white, 2, "right of the square inside the stage" } }, QSize(300, 200)),
    });
}

Case transformedSprite()
{
    Movie m(8, 200, 100, 12);
    m.setBackgroundColor(kWhite);
    m.defineShape(1, rectShape(kRed, 0, 0, 40, 10), 1);
    Sprite holder;
    holder.placeObject2(Placement::place(1, 1));
    holder.showFrame();
    m.defineSprite(2, holder);
    m.defineShape(3, rectShape(kBlue, 0, 0, 10, 10), 1);
    // Turned 90°: x' = 50 - y, y' = x + 10, so the bar covers x 40..50, y 10..50.
    m.placeObject2(Placement::place(1, 2, Matrix::rotate(90, px(50), px(10))));
    // Scaled 2 × 3 at (100, 0): 100..120 by 0..30.
    m.placeObject2(Placement::place(2, 3, Matrix::scale(2, 3, px(100), 0)));
    m.showFrame();
    const QColor white = qc(255, 255, 255);
    return make("matrix-rotate-scale", m, { at(1, {
        { 45, 30, qc(255, 0, 0), 2, "inside the turned bar" },
        { 30, 15, white, 2, "where the unturned bar would be" },
        { 110, 25, qc(0, 0, 255), 2, "inside the scaled square" },
        { 125, 5, white, 2, "right of the scaled square" },
        { 110, 35, white, 2, "below the scaled square" },
    }) });
}

Case nestedSprites()
{
    Movie m(8, 200, 100, 12);
    m.setBackgroundColor(kWhite);
    m.defineShape(1, rectShape(kRed, 0, 0, 40, 40), 1);
    m.defineShape(2, rectShape(kGreen, 0, 0, 40, 40), 1);
    Sprite inner;
    inner.placeObject2(Placement::place(1, 1));
    inner.showFrame();
    inner.placeObject2(Placement::place(2, 2));
    inner.showFrame();
    m.defineSprite(3, inner);
    Sprite outer;
    outer.placeObject2(Placement::place(1, 3, Matrix::translate(px(100), px(50))));
    outer.showFrame();
    m.defineSprite(4, outer);
    m.placeObject2(Placement::place(1, 4, Matrix::translate(px(20), px(0))));
    m.showFrame();
    m.showFrame();
    // The inner clip sits at 120..160 × 50..90 through both translations.
    return make("nested-sprites", m, {
        at(1, { { 140, 70, qc(255, 0, 0), 2, "inner frame 1 through two translations" }, { 20, 20, qc(255, 255, 255), 2, "the untranslated place is empty" } }),
        at(2, { { 140, 70, qc(0, 255, 0), 2, "inner frame 2: green over red" } }),
    });
}

std::vector<Case> containers()
{
    std::vector<Case> cases;
    const std::pair<const char*, Compression> kinds[] = { { "container-fws", Compression::None }, { "container-cws", Compression::Zlib }, { "container-zws", Compression::Lzma } };
    for (auto [name, compression] : kinds) {
        Movie m(13, 100, 100, 30);
        m.setBackgroundColor({ 10, 200, 30 });
        m.defineShape(1, rectShape(kBlue, 50, 0, 50, 100), 1);
        m.placeObject2(Placement::place(1, 1));
        m.showFrame();
        cases.push_back(make(name, m, { at(1, {
            { 25, 50, qc(10, 200, 30), 2, "the background colour" },
            { 75, 50, qc(0, 0, 255), 2, "the shape" },
        }) }, compression));
    }
    return cases;
}

Case strokes()
{
    Movie m(8, 200, 100, 12);
    m.setBackgroundColor(kWhite);
    Shape thin;
    thin.line(thin.addLineStyle(LineStyle::solid(px(10), { 0, 0, 0 }))).moveTo(px(10), px(25)).lineTo(px(190), px(25));
    m.defineShape(1, thin, 1);
    Shape wide;
    LineStyle capped = LineStyle::solid(px(20), { 0, 0, 255, 255 });
    capped.startCap = capped.endCap = 1; // no caps: the stroke ends at its end points
    wide.line(wide.addLineStyle(capped)).moveTo(px(50), px(70)).lineTo(px(150), px(70));
    m.defineShape(2, wide, 4);
    m.placeObject2(Placement::place(1, 1));
    m.placeObject2(Placement::place(2, 2));
    m.showFrame();
    return make("line-styles", m, { at(1, {
        { 100, 25, qc(0, 0, 0), 2, "the middle of a 10 px black line" },
        { 100, 40, qc(255, 255, 255), 2, "beyond the line's half width" },
        { 100, 70, qc(0, 0, 255), 2, "the middle of the 20 px blue line" },
        { 100, 77, qc(0, 0, 255), 2, "within its half width" },
        { 44, 70, qc(255, 255, 255), 2, "before its uncapped start (a round cap would cover it)" },
    }) });
}

Case curvedCircle()
{
    Movie m(8, 100, 100, 12);
    m.setBackgroundColor(kWhite);
    Shape s;
    s.fill1(s.addFillStyle(FillStyle::solid({ 0, 128, 255 })));
    // Four quadratic curves about (50, 50), each from one axis point to the next
    // with its control point on the corner of the 80 px square.
    s.moveTo(px(90), px(50)).curveTo(px(90), px(90), px(50), px(90)).curveTo(px(10), px(90), px(10), px(50));
    s.curveTo(px(10), px(10), px(50), px(10)).curveTo(px(90), px(10), px(90), px(50));
    m.defineShape(1, s, 1);
    m.placeObject2(Placement::place(1, 1));
    m.showFrame();
    // Each curve passes through (80, 80) at its middle: 0.25·90 + 0.5·90 + 0.25·50.
    return make("quadratic-curves", m, { at(1, {
        { 50, 50, qc(0, 128, 255), 2, "the centre" },
        { 75, 75, qc(0, 128, 255), 2, "inside the curve near its middle" },
        { 85, 85, qc(255, 255, 255), 2, "outside the curve near its middle" },
        { 3, 3, qc(255, 255, 255), 2, "the stage corner" },
    }) });
}

} // namespace

std::vector<Case> generatedCases()
{
    std::vector<Case> cases = {
        shapeVersions(), alphaFill(), linearGradient(), radialGradient(), losslessBitmapFill(),
        losslessAlphaBitmap(), jpegBitmap(), spriteTimeline(), placeMoveRemove(), depthOrder(),
        clipDepthMask(), colourTransforms(), nestedColourTransform(), morphRatio(), outputSize(),
        transformedSprite(), nestedSprites(), strokes(), curvedCircle(),
    };
    for (Case& c : containers())
        cases.push_back(std::move(c));
    return cases;
}

} // namespace conformance
