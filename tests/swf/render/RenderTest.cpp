#include "support/TestSupport.h"

#include "swf/movie/Shapes.h"
#include "swf/runtime/Stage.h"

using namespace testing_support;

namespace {

QColor at(const QImage& image, int x, int y)
{
    return QColor::fromRgba(image.pixel(x, y));
}

swfw::Movie movie100()
{
    swfw::Movie movie(8, 100, 100, 12);
    movie.setBackgroundColor(White);
    return movie;
}

} // namespace

TEST(Render, BothSidesOfEdgesBuildClosedFills)
{
    // A square split on its diagonal: the diagonal carries red on one side and
    // blue on the other, the outer edges one colour each, drawn in a scattered order.
    swfw::Shape shape;
    int red = shape.addFillStyle(swfw::FillStyle::solid(Red));
    int blue = shape.addFillStyle(swfw::FillStyle::solid(Blue));
    const int s = 2000; // 100 px
    shape.fill0(0).fill1(red).moveTo(0, 0).lineTo(s, 0);
    shape.fill0(blue).fill1(red).moveTo(s, 0).lineTo(0, s); // diagonal: blue left of travel, red right
    shape.fill0(0).fill1(blue).moveTo(s, 0).lineTo(s, s).lineTo(0, s);
    shape.fill0(red).fill1(0).moveTo(0, s).lineTo(0, 0); // drawn against the contour's direction
    auto movie = movie100();
    movie.defineShape(1, shape, 2);
    movie.placeObject2(swfw::Placement::place(1, 1));
    movie.showFrame();
    auto p = load(movie.bytes());
    ASSERT_TRUE(p);
    QImage image = renderStage(*p);
    EXPECT_EQ(at(image, 20, 20), QColor(Qt::red));  // upper-left triangle
    EXPECT_EQ(at(image, 80, 80), QColor(Qt::blue)); // lower-right triangle
}

TEST(Render, ShapeLayersJoinContoursPerStyle)
{
    // Checked on the built paths: a ring (outer and inner square of the same
    // fill) must leave the hole empty under the even-odd rule.
    swfw::Shape shape;
    int fill = shape.addFillStyle(swfw::FillStyle::solid(Green));
    shape.fill1(fill).rect(0, 0, 2000, 2000);
    shape.fill1(0).fill0(fill).rect(500, 500, 1000, 1000);
    auto movie = movie100();
    movie.defineShape(1, shape, 3);
    movie.placeObject2(swfw::Placement::place(1, 1));
    movie.showFrame();
    auto p = load(movie.bytes());
    ASSERT_TRUE(p);
    const auto* def = p->stage().movie().characterAs<swf::ShapeDef>(1, swf::CharacterKind::Shape);
    ASSERT_TRUE(def);
    ASSERT_EQ(def->layers.size(), 1u);
    ASSERT_EQ(def->layers[0].fills.size(), 1u);
    const QPainterPath& path = def->layers[0].fills[0].second;
    EXPECT_TRUE(path.contains(QPointF(200, 200)));
    EXPECT_FALSE(path.contains(QPointF(1000, 1000))); // the hole
    QImage image = renderStage(*p);
    EXPECT_EQ(at(image, 5, 5), QColor(Qt::green));
    EXPECT_EQ(at(image, 50, 50), QColor(Qt::white));
}

TEST(Render, ColorTransformsReachSolidsGradientsAndNestedSprites)
{
    swfw::Shape gradient;
    int g = gradient.addFillStyle(swfw::FillStyle::linear(swfw::FillStyle::gradientBox(0, 0, 2000, 1000),
        { { 0, Red }, { 255, Red } }));
    gradient.fill1(g).rect(0, 0, 2000, 1000);
    swfw::Sprite inner;
    auto placeInner = swfw::Placement::place(1, 1);
    placeInner.cxform = swfw::CxForm { 0.5, 1, 1, 1, 0, 0, 0, 0 }; // red halved
    inner.placeObject2(placeInner);
    inner.showFrame();
    auto movie = movie100();
    movie.defineShape(1, rectShape(Red, 0, 0, 2000, 1000), 3);
    movie.defineShape(2, gradient, 3);
    movie.defineSprite(3, inner);
    auto outer = swfw::Placement::place(1, 3);
    outer.cxform = swfw::CxForm { 1, 1, 1, 1, 0, 0, 100, 0 }; // blue raised
    movie.placeObject2(outer);
    auto second = swfw::Placement::place(2, 2, swfw::Matrix::translate(0, 1000));
    second.cxform = swfw::CxForm { 1, 1, 1, 0.5, 0, 0, 0, 0 }; // half transparent over white
    movie.placeObject2(second);
    movie.showFrame();
    auto p = load(movie.bytes());
    ASSERT_TRUE(p);
    QImage image = renderStage(*p);
    QColor nested = at(image, 50, 25);
    EXPECT_NEAR(nested.red(), 127, 1);
    EXPECT_EQ(nested.blue(), 100);
    QColor faded = at(image, 50, 75);
    EXPECT_EQ(faded.red(), 255);
    EXPECT_NEAR(faded.green(), 128, 2);
}

TEST(Render, ClipDepthMasksAndNestedMasks)
{
    auto movie = movie100();
    movie.defineShape(1, rectShape(Red, 0, 0, 2000, 2000), 3);        // content
    movie.defineShape(2, rectShape(Blue, 0, 0, 1000, 2000), 3);       // mask: left half
    movie.defineShape(3, rectShape(Green, 0, 0, 2000, 1000), 3);      // inner mask: top half
    auto mask = swfw::Placement::place(1, 2);
    mask.clipDepth = 10;
    movie.placeObject2(mask);
    auto innerMask = swfw::Placement::place(2, 3);
    innerMask.clipDepth = 5;
    movie.placeObject2(innerMask);
    movie.placeObject2(swfw::Placement::place(3, 1));  // under both masks
    movie.placeObject2(swfw::Placement::place(7, 1, swfw::Matrix::translate(0, 0))); // under the outer mask only
    movie.showFrame();
    auto p = load(movie.bytes());
    ASSERT_TRUE(p);
    QImage image = renderStage(*p);
    EXPECT_EQ(at(image, 25, 25), QColor(Qt::red));   // inside both masks
    EXPECT_EQ(at(image, 25, 75), QColor(Qt::red));   // depth 7 shows through the outer mask
    EXPECT_EQ(at(image, 75, 25), QColor(Qt::white)); // right half: masked out
    EXPECT_EQ(at(image, 75, 75), QColor(Qt::white));

    // With the depth-7 object gone, only the inner mask's quarter stays red.
    p->stage().root().removeChild(7);
    image = renderStage(*p);
    EXPECT_EQ(at(image, 25, 25), QColor(Qt::red));
    EXPECT_EQ(at(image, 25, 75), QColor(Qt::white));
}

TEST(Render, DegenerateMatricesDrawNothing)
{
    auto movie = movie100();
    movie.defineShape(1, rectShape(Red, 0, 0, 2000, 2000), 3);
    movie.placeObject2(swfw::Placement::place(1, 1, swfw::Matrix::scale(0, 1)));
    movie.placeObject2(swfw::Placement::place(2, 1, swfw::Matrix { 1, 1, 1, 1, 0, 0 })); // rank one
    swfw::Shape squashedGradient;
    int g = squashedGradient.addFillStyle(swfw::FillStyle::linear(swfw::Matrix::scale(0, 0), { { 0, Blue }, { 255, Green } }));
    squashedGradient.fill1(g).rect(0, 0, 1000, 1000);
    movie.defineShape(2, squashedGradient, 3);
    movie.placeObject2(swfw::Placement::place(3, 2));
    movie.showFrame();
    auto p = load(movie.bytes());
    ASSERT_TRUE(p);
    QImage image = renderStage(*p);
    EXPECT_EQ(at(image, 75, 75), QColor(Qt::white));
    EXPECT_EQ(at(image, 25, 25), QColor(Qt::green)); // a squeezed gradient shows its last colour
}

TEST(Render, LosslessBitmapFillsStayInsideTheBitmap)
{
    QImage pixels(2, 2, QImage::Format_ARGB32);
    pixels.setPixel(0, 0, qRgb(255, 0, 0));
    pixels.setPixel(1, 0, qRgb(0, 255, 0));
    pixels.setPixel(0, 1, qRgb(0, 0, 255));
    pixels.setPixel(1, 1, qRgba(0, 0, 0, 0)); // transparent corner
    swfw::Shape shape;
    // 20 twips per bitmap pixel, scaled 25x: each pixel 25x25 screen pixels.
    int fill = shape.addFillStyle(swfw::FillStyle::bitmap(5, swfw::Matrix::scale(500, 500), false, false));
    shape.fill1(fill).rect(0, 0, 2000, 2000); // larger than the 50x50 image
    auto movie = movie100();
    movie.defineBitsLossless(5, pixels, true);
    movie.defineShape(1, shape, 3);
    movie.placeObject2(swfw::Placement::place(1, 1));
    movie.showFrame();
    auto p = load(movie.bytes());
    ASSERT_TRUE(p);
    QImage image = renderStage(*p);
    EXPECT_EQ(at(image, 10, 10), QColor(Qt::red));
    EXPECT_EQ(at(image, 40, 10), QColor(Qt::green));
    EXPECT_EQ(at(image, 10, 40), QColor(Qt::blue));
    EXPECT_EQ(at(image, 40, 40), QColor(Qt::white)); // transparent pixel shows the stage
    EXPECT_EQ(at(image, 80, 80), QColor(Qt::white)); // clipped fill: nothing past the image
}

TEST(Render, MorphShapesFollowTheRatio)
{
    swfw::MorphShape morph;
    int fill = morph.addFillStyle({ swfw::FillStyle::solid(Red), swfw::FillStyle::solid(Blue) });
    morph.start.fill1(fill).rect(0, 0, 1000, 1000);
    morph.end.fill1(fill).rect(1000, 1000, 1000, 1000);
    auto movie = movie100();
    movie.defineMorphShape(1, morph, 1);
    auto place = swfw::Placement::place(1, 1);
    place.ratio = 0;
    movie.placeObject2(place);
    movie.showFrame();
    auto half = swfw::Placement::modify(1);
    half.ratio = 32768;
    movie.placeObject2(half);
    movie.showFrame();
    auto p = load(movie.bytes());
    ASSERT_TRUE(p);
    QImage start = renderStage(*p);
    EXPECT_EQ(at(start, 25, 25), QColor(Qt::red));
    EXPECT_EQ(at(start, 75, 75), QColor(Qt::white));
    p->nextFrame();
    QImage middle = renderStage(*p);
    QColor c = at(middle, 50, 50); // the square now spans 25..75
    EXPECT_NEAR(c.red(), 127, 2);
    EXPECT_NEAR(c.blue(), 128, 2);
    EXPECT_EQ(at(middle, 10, 10), QColor(Qt::white));
}

TEST(Render, GradientStopsThatGoBackwardsMakeAHardEdge)
{
    // red at ratio 127, then green at ratio 0 and blue at 0: the later stops
    // take over just past 127, and only the last of them shows.
    swfw::Shape shape;
    int fill = shape.addFillStyle(swfw::FillStyle::linear(swfw::FillStyle::gradientBox(0, 0, 2000, 2000),
        { { 127, Red }, { 0, Green }, { 0, Blue } }));
    shape.fill1(fill).rect(0, 0, 2000, 2000);
    auto movie = movie100();
    movie.defineShape(1, shape, 3);
    movie.placeObject2(swfw::Placement::place(1, 1));
    movie.showFrame();
    auto p = load(movie.bytes());
    ASSERT_TRUE(p);
    QImage image = renderStage(*p);
    EXPECT_EQ(at(image, 10, 50), QColor(Qt::red));
    EXPECT_EQ(at(image, 45, 50), QColor(Qt::red));
    EXPECT_EQ(at(image, 55, 50), QColor(Qt::blue));
    EXPECT_EQ(at(image, 95, 50), QColor(Qt::blue));
}

TEST(Render, LayerBlendModeKeepsChildBlendsInsideTheLayer)
{
    // Stage red. A sprite drawn as a layer holds a green square over its left
    // half, then a blue square in multiply mode over everything and a square
    // in erase mode over the bottom.
    swfw::Sprite inner;
    inner.placeObject2(swfw::Placement::place(1, 1));
    auto multiply = swfw::Placement::place(2, 2);
    multiply.blendMode = 3;
    inner.placeObject3(multiply);
    auto erase = swfw::Placement::place(3, 3);
    erase.blendMode = 12;
    inner.placeObject3(erase);
    inner.showFrame();
    swfw::Movie movie(8, 100, 100, 12);
    movie.setBackgroundColor(Red);
    movie.defineShape(1, rectShape(Green, 0, 0, 1000, 2000), 3);
    movie.defineShape(2, rectShape(Blue, 0, 0, 2000, 2000), 3);
    movie.defineShape(3, rectShape(White, 0, 1000, 2000, 1000), 3);
    movie.defineSprite(4, inner);
    auto layer = swfw::Placement::place(1, 4);
    layer.blendMode = 2;
    movie.placeObject3(layer);
    movie.showFrame();
    auto p = load(movie.bytes());
    ASSERT_TRUE(p);
    QImage image = renderStage(*p);
    EXPECT_EQ(at(image, 25, 25), QColor(Qt::black)); // blue multiplied with green
    EXPECT_EQ(at(image, 75, 25), QColor(Qt::blue));  // nothing under it in the layer: blue stays
    EXPECT_EQ(at(image, 25, 75), QColor(Qt::red));   // erased: the stage shows through
    EXPECT_EQ(at(image, 75, 75), QColor(Qt::red));
}

TEST(Render, EachShapeLeavesThePainterAsItFoundIt)
{
    // A stroked square scaled up three times and moved right inside a clip,
    // then a plain square placed on the root: the second must be drawn with
    // the root's mapping and no outline, not with what the first one set.
    swfw::Shape outlined;
    outlined.line(outlined.addLineStyle(swfw::LineStyle::solid(40, { 0, 0, 0, 255 })));
    outlined.fill1(outlined.addFillStyle(swfw::FillStyle::solid(Red))).rect(0, 0, 200, 200); // 10 px
    swfw::Shape plain;
    plain.fill1(plain.addFillStyle(swfw::FillStyle::solid(Blue))).rect(0, 0, 200, 200);
    auto movie = movie100();
    movie.defineShape(1, outlined, 3);
    movie.defineShape(2, plain, 3);
    swfw::Sprite clip;
    clip.placeObject2(swfw::Placement::place(1, 1, swfw::Matrix::scale(3, 3)));
    clip.showFrame();
    movie.defineSprite(3, clip);
    movie.placeObject2(swfw::Placement::place(1, 3, swfw::Matrix::translate(1000, 0))); // clip at x 50..80 px
    movie.placeObject2(swfw::Placement::place(2, 2, swfw::Matrix::translate(200, 1200))); // square at 10..20, 60..70
    movie.showFrame();
    auto p = load(movie.bytes());
    ASSERT_TRUE(p);
    QImage image = renderStage(*p);
    EXPECT_EQ(at(image, 65, 15), QColor(Qt::red));  // inside the scaled square
    EXPECT_EQ(at(image, 15, 65), QColor(Qt::blue)); // the plain square where the root puts it
    EXPECT_EQ(at(image, 10, 65), QColor(Qt::blue)); // its left edge column, no black outline over it
    EXPECT_EQ(at(image, 8, 65), QColor(Qt::white)); // left of it: nothing
    // Drawn with the clip's mapping it would lie at 80..110 px, 180.. : off
    // to the right; with the first square's pen it would wear a black rim.
    EXPECT_EQ(at(image, 19, 69), QColor(Qt::blue));
}

TEST(Render, UpToVersionFiveASecondPlacementOnADepthGoesBeneath)
{
    // Frame 1 puts a red square (0..50 px) at depth 1, frame 2 a blue one
    // (25..75 px) at the same depth without moving it. Version 5 keeps both,
    // the newcomer under the red; later versions ignore the second placement.
    for (int version : { 5, 6 }) {
        swfw::Movie movie(version, 100, 100, 12);
        movie.setBackgroundColor(White);
        movie.defineShape(1, rectShape(Red, 0, 0, 1000, 1000), 3);
        movie.defineShape(2, rectShape(Blue, 500, 500, 1000, 1000), 3);
        movie.placeObject2(swfw::Placement::place(1, 1));
        movie.showFrame();
        movie.placeObject2(swfw::Placement::place(1, 2));
        movie.showFrame();
        auto p = load(movie.bytes());
        ASSERT_TRUE(p);
        p->nextFrame();
        QImage image = renderStage(*p);
        EXPECT_EQ(at(image, 10, 10), QColor(Qt::red)) << version;
        EXPECT_EQ(at(image, 40, 40), QColor(Qt::red)) << version; // both: the red stays on top
        EXPECT_EQ(at(image, 60, 60), version == 5 ? QColor(Qt::blue) : QColor(Qt::white)) << version;
        // Going back to frame 1 leaves only the red.
        p->gotoFrame(1);
        image = renderStage(*p);
        EXPECT_EQ(at(image, 60, 60), QColor(Qt::white)) << version;
    }
}
