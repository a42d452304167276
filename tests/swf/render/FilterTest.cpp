#include "swf/render/Filters.h"

#include <QPainter>

#include <gtest/gtest.h>

using namespace swf;

namespace {

QImage squareLayer()
{
    QImage layer(60, 60, QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    QPainter(&layer).fillRect(20, 20, 20, 20, Qt::white);
    return layer;
}

int alphaAt(const QImage& image, int x, int y)
{
    return qAlpha(image.pixel(x, y));
}

} // namespace

TEST(Filters, BoxBlurSpreadsCoverageSymmetricallyAndKeepsIt)
{
    QImage layer = squareLayer();
    boxBlur(layer, 1, 1, 3);
    EXPECT_EQ(layer, squareLayer()); // a one-pixel box changes nothing

    boxBlur(layer, 9, 1, 1);
    EXPECT_EQ(alphaAt(layer, 30, 30), 255);             // the middle stays solid
    EXPECT_GT(alphaAt(layer, 17, 30), 0);               // coverage leaks left...
    EXPECT_EQ(alphaAt(layer, 17, 30), alphaAt(layer, 42, 30)); // ...and right alike
    EXPECT_EQ(alphaAt(layer, 30, 17), 0);               // but not vertically
    long total = 0;
    for (int x = 0; x < 60; ++x)
        total += alphaAt(layer, x, 30);
    EXPECT_NEAR(total, 20 * 255, 20); // a box blur moves coverage, it does not add any
}

TEST(Filters, AnEvenBoxCoversHalfAPixelAtEachEnd)
{
    // The square's left edge is at x = 20, the rows left of it are empty.
    struct Case {
        double width;
        int passes;
        std::vector<int> alphas; // x = 17 .. 22
    };
    const Case cases[] = {
        // Weights 1/4, 1/2, 1/4: 255 / 4 = 63.75 cut to 63; 191.25 to 191.
        { 2, 1, { 0, 0, 63, 191, 255, 255 } },
        // Weights 1/8, 1/4, 1/4, 1/4, 1/8: 31.875, 95.625, 159.375, 223.125.
        { 4, 1, { 0, 31, 95, 159, 223, 255 } },
        // The second pass blurs the first's cut values: 63 / 4 = 15.75,
        // 63 / 2 + 191 / 4 = 79.25, 63 / 4 + 191 / 2 + 255 / 4 = 175, 239.
        { 2, 2, { 0, 15, 79, 175, 239, 255 } },
        // An odd box has whole pixels only: thirds, 85 and 170.
        { 3, 1, { 0, 0, 85, 170, 255, 255 } },
    };
    for (const Case& c : cases) {
        QImage layer = squareLayer();
        boxBlur(layer, c.width, c.width, c.passes);
        std::vector<int> row;
        for (int x = 17; x <= 22; ++x)
            row.push_back(alphaAt(layer, x, 30));
        EXPECT_EQ(row, c.alphas) << "width " << c.width << ", passes " << c.passes;
    }
    // All horizontal passes come before the vertical ones. Three passes of
    // 1/4, 1/2, 1/4 across the left edge give 3, 27, 87, 167, 227, 251 from
    // x = 17; column 19 is then 87 from row 20 down, and its three vertical
    // passes give 21, 65 / 5, 26, 59 / 29 at row 19. Column 22 (251) gives
    // 62, 188 / 15, 78 / 27 at row 18. Passes taken in turns give 28 and 26.
    QImage layer = squareLayer();
    boxBlur(layer, 2, 2, 3);
    EXPECT_EQ(alphaAt(layer, 19, 19), 29);
    EXPECT_EQ(alphaAt(layer, 22, 18), 27);
}

TEST(Filters, DropShadowFallsAtItsAngleUnderTheObject)
{
    Filter shadow;
    shadow.type = 0;
    shadow.color = Rgba { 0, 0, 0, 255 };
    shadow.distance = 10;
    shadow.angle = 0; // to the right
    shadow.strength = 1;
    QImage layer = squareLayer();
    applyFilters(layer, { shadow }, 1.0);
    EXPECT_EQ(layer.pixel(30, 30), qRgb(255, 255, 255)); // the object stays on top
    EXPECT_EQ(layer.pixel(45, 30), qRgb(0, 0, 0));       // shadow past its right edge
    EXPECT_EQ(alphaAt(layer, 15, 30), 0);                // nothing to the left

    shadow.knockout = true;
    layer = squareLayer();
    applyFilters(layer, { shadow }, 1.0);
    EXPECT_EQ(alphaAt(layer, 30, 30), 0); // knockout: only the shadow is left
    EXPECT_EQ(alphaAt(layer, 45, 30), 255);
}

TEST(Filters, ShadowShowsThroughAHalfTransparentObject)
{
    // A red square at half alpha over its own shadow moved 4 px right (black
    // at the object's alpha, 128): where both are, the object over the shadow
    // keeps red 128 (premultiplied) at alpha 128 + 128 * 127 / 255 = 192; a
    // shadow drawn over the object would leave red 64.
    QImage layer(40, 20, QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    QPainter(&layer).fillRect(10, 5, 10, 10, QColor(255, 0, 0, 128));
    Filter shadow;
    shadow.type = 0;
    shadow.color = Rgba { 0, 0, 0, 255 };
    shadow.distance = 4;
    shadow.strength = 1;
    applyFilters(layer, { shadow }, 1.0);
    EXPECT_EQ(layer.pixel(16, 10), qRgba(128, 0, 0, 192)); // object over shadow
    EXPECT_EQ(qAlpha(layer.pixel(11, 10)), 128);            // the object alone
    EXPECT_EQ(layer.pixel(22, 10), qRgba(0, 0, 0, 128));    // the shadow alone
    EXPECT_EQ(qAlpha(layer.pixel(30, 10)), 0);              // neither
}

TEST(Filters, ColorMatrixWorksOnStraightColour)
{
    Filter swap;
    swap.type = 6;
    // Red takes green's value, green takes red's, blue and alpha unchanged.
    swap.colorMatrix = { 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0 };
    QImage layer(1, 1, QImage::Format_ARGB32_Premultiplied);
    layer.setPixel(0, 0, qPremultiply(qRgba(200, 40, 10, 128)));
    applyFilters(layer, { swap }, 1.0);
    QRgb out = qUnpremultiply(layer.pixel(0, 0));
    EXPECT_NEAR(qRed(out), 40, 2);
    EXPECT_NEAR(qGreen(out), 200, 2);
    EXPECT_EQ(qAlpha(out), 128);
}
