// BitmapData, Bitmap and ColorTransform as scripts use them. Each movie is a
// document class whose constructor runs the rows; the expected numbers are
// worked out by hand from the pixel rules (unpremultiplied ARGB reads,
// alpha kept by setPixel, opaque bitmaps reading alpha 255, rectangles
// clipped to the bitmap) and from the minimal standard generator for noise.

#include "DocumentRows.h"

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>

using namespace avm2test;

using BitmapRows = DocumentRows;


// Reads come back unpremultiplied; setPixel keeps the alpha, an opaque
// bitmap reads alpha 255 whatever it was given, reads outside give 0, and
// fillRect paints only the part of its rectangle inside the bitmap.
TEST(BitmapData, PixelsReadWriteAndFill)
{
    BitmapRows r;
    r.newBitmapData(1, 3, 2, true, 0x80FF0000);
    r.traceGet(1, "width");                // 3
    r.traceGet(1, "height");               // 2
    r.traceCall(1, "getPixel32", { 0, 0 }); // 0x80FF0000
    r.traceCall(1, "getPixel", { 0, 0 });   // 0xFF0000
    r.call(1, "setPixel", { 1, 1, 0x00FF00 });
    r.traceCall(1, "getPixel32", { 1, 1 }); // 0x8000FF00
    r.traceCall(1, "getPixel32", { 5, 5 }); // 0
    r.c.op(Op::GetLocal, 1);
    r.rect(-1, -1, 2, 2);
    r.nums({ 0xFF0000FF });
    r.c.op(Op::CallPropVoid, r.name("fillRect"), 2);
    r.traceCall(1, "getPixel32", { 0, 0 }); // 0xFF0000FF
    r.traceCall(1, "getPixel32", { 1, 0 }); // untouched
    r.newBitmapData(2, 2, 2, false, 0x00123456);
    r.traceCall(2, "getPixel32", { 1, 1 }); // 0xFF123456
    r.call(2, "setPixel32", { 0, 0, 0x00ABCDEF });
    r.traceCall(2, "getPixel32", { 0, 0 }); // 0xFFABCDEF
    r.traceGet(2, "transparent");
    EXPECT_EQ(r.run(), (QStringList { "3", "2", "2164195328", "16711680", "2147548928", "0", "4278190335", "2164195328",
                           "4279383126", "4289449455", "false" }));
}

// floodFill stops at pixels of another colour (4-connected), and noise draws
// red, green then blue from r = r * 16807 mod (2^31 - 1) starting at the seed:
// seed 1 gives 16807, 282475249, 1622650073, whose low bytes are 167, 241, 217.
TEST(BitmapData, FloodFillAndSeededNoise)
{
    BitmapRows r;
    r.newBitmapData(1, 3, 3, false, 0xFFFFFF);
    r.c.op(Op::GetLocal, 1);
    r.rect(1, 0, 1, 2);
    r.nums({ 0 });
    r.c.op(Op::CallPropVoid, r.name("fillRect"), 2); // a wall down x = 1, open at the bottom
    r.call(1, "floodFill", { 0, 0, 0xFF0000 });
    r.traceCall(1, "getPixel", { 0, 1 }); // red
    r.traceCall(1, "getPixel", { 2, 0 }); // reached round the wall's end: red
    r.traceCall(1, "getPixel", { 1, 1 }); // the wall: 0
    r.newBitmapData(2, 2, 2, true, 0xFFFFFFFF);
    r.call(2, "noise", { 1 });
    r.traceCall(2, "getPixel32", { 0, 0 }); // 0xFFA7F1D9
    EXPECT_EQ(r.run(), (QStringList { "16711680", "16711680", "0", "4289196505" }));
}

// Bytes are big-endian ARGB with the cursor left after them; setVector
// refuses a vector too short for its rectangle before writing anything.
TEST(BitmapData, TransfersToBytesAndVectors)
{
    BitmapRows r;
    r.newBitmapData(1, 2, 1, true, 0xFF020304);
    r.c.op(Op::GetLocal, 1);
    r.rect(0, 0, 10, 10);
    r.c.op(Op::CallProperty, r.name("getPixels"), 1).op(Op::SetLocal, 2);
    r.traceGet(2, "length");   // 8: clipped to the bitmap
    r.traceGet(2, "position"); // 8
    r.t.begin(r.c);
    r.c.op(Op::GetLocal, 2).op(Op::PushByte, 5).op(Op::GetProperty, r.w.multinameL(r.w.nsSet({ r.w.publicNs() })));
    r.t.end(r.c); // byte 5 is the second pixel's red: 2
    r.c.op(Op::GetLocal, 1);
    r.rect(0, 0, 2, 1);
    r.c.op(Op::CallProperty, r.name("getVector"), 1).op(Op::SetLocal, 3);
    r.traceGet(3, "length"); // 2
    r.c.op(Op::GetLocal, 1);
    r.rect(0, 0, 2, 1);
    r.nums({ 0xFFFFFFFF });
    r.c.op(Op::NewArray, 1); // one element for two pixels
    r.c.op(Op::CallPropVoid, r.name("setVector"), 2);
    r.traceCall(1, "getPixel32", { 0, 0 }); // not reached
    QStringList trace = r.run();
    ASSERT_GE(trace.size(), 5);
    EXPECT_EQ(trace.mid(0, 4), (QStringList { "8", "8", "2", "2" }));
    EXPECT_EQ(trace[4].section(QLatin1Char('\n'), 0, 0), "RangeError: Error #2006: The supplied index is out of bounds.");
}

// A Bitmap keeps the size it took from its data when the data is disposed;
// set again, the disposed data shows nothing, and reading the disposed
// data's size is an error.
TEST(BitmapData, DisposeAndBitmapSize)
{
    BitmapRows r;
    r.newBitmapData(1, 5, 6, true, 0);
    r.c.op(Op::FindPropStrict, r.bitmap).op(Op::GetLocal, 1).op(Op::ConstructProp, r.bitmap, 1).op(Op::SetLocal, 2);
    r.traceGet(2, "width"); // 5
    r.call(1, "dispose", {});
    r.traceGet(2, "height"); // 6
    r.c.op(Op::GetLocal, 2).op(Op::GetLocal, 1).op(Op::SetProperty, r.name("bitmapData"));
    r.traceGet(2, "width"); // 0
    r.traceGet(1, "width"); // throws
    QStringList trace = r.run();
    ASSERT_GE(trace.size(), 4);
    EXPECT_EQ(trace.mid(0, 3), (QStringList { "5", "6", "0" }));
    EXPECT_EQ(trace[3].section(QLatin1Char('\n'), 0, 0), "ArgumentError: Error #2015: Invalid BitmapData.");
}

// ColorTransform prints its eight fields; applied to pixels each channel is
// floor(value * multiplier + offset) clamped to 0..255:
// red 0x80 * 0.5 + 10 = 74, green 0x40 * 2 = 128, blue 0x20 - 40 < 0 gives 0.
TEST(BitmapData, ColorTransformOfPixels)
{
    BitmapRows r;
    r.make(2, r.colorTransform, { 0.5, 2, 1, 1, 10, 0, -40, 0 });
    r.t.begin(r.c);
    r.c.op(Op::GetLocal, 2).op(Op::CallProperty, r.name("toString"), 0);
    r.t.end(r.c);
    r.newBitmapData(1, 2, 1, false, 0x804020);
    r.c.op(Op::GetLocal, 1);
    r.rect(0, 0, 1, 1);
    r.c.op(Op::GetLocal, 2).op(Op::CallPropVoid, r.name("colorTransform"), 2);
    r.traceCall(1, "getPixel", { 0, 0 }); // 0x4A8000
    r.traceCall(1, "getPixel", { 1, 0 }); // outside the rectangle: 0x804020
    EXPECT_EQ(r.run(), (QStringList { "(redMultiplier=0.5, greenMultiplier=2, blueMultiplier=1, alphaMultiplier=1, "
                                      "redOffset=10, greenOffset=0, blueOffset=-40, alphaOffset=0)",
                           "4882432", "8405024" }));
}

// Sizes outside 1..8191 are refused with the player's error.
TEST(BitmapData, RefusesImpossibleSizes)
{
    BitmapRows r;
    r.newBitmapData(1, 0, 4, true, 0);
    QStringList trace = r.run();
    ASSERT_FALSE(trace.isEmpty());
    EXPECT_EQ(trace[0].section(QLatin1Char('\n'), 0, 0), "ArgumentError: Error #2015: Invalid BitmapData.");
}

// A pixel hits when its alpha reaches the threshold, and a threshold of 0
// still needs some alpha. The bitmap stands at the first point; a second
// bitmap stands at its own point and must hit at the same place.
TEST(BitmapData, HitTestAgainstPointsRectanglesAndBitmaps)
{
    BitmapRows r;
    r.newBitmapData(1, 4, 4, true, 0);
    r.c.op(Op::GetLocal, 1);
    r.rect(1, 1, 2, 2);
    r.nums({ 0xA0FFFFFF });
    r.c.op(Op::CallPropVoid, r.name("fillRect"), 2);
    r.newBitmapData(2, 1, 1, false, 0);
    auto hit = [&](double fx, double fy, double threshold, const std::function<void()>& second) {
        r.t.begin(r.c);
        r.c.op(Op::GetLocal, 1);
        r.pointAt(fx, fy);
        r.nums({ threshold });
        second();
        r.c.op(Op::CallProperty, r.name("hitTest"), 4);
        r.t.end(r.c);
    };
    auto point = [&](double x, double y) { return [&r, x, y] { r.pointAt(x, y); r.c.op(Op::PushNull); }; };
    hit(0, 0, 0xA0, point(1, 1));   // alpha 0xA0 reaches 0xA0: true
    hit(0, 0, 0xA1, point(1, 1));   // false
    hit(0, 0, 0, point(0, 0));      // alpha 0: false
    hit(10, 10, 1, point(11, 11));  // the bitmap moved with its point: true
    hit(0, 0, 1, [&] { r.rect(3, 3, 5, 5); r.c.op(Op::PushNull); }); // only the clear corner: false
    hit(0, 0, 1, [&] { r.c.op(Op::GetLocal, 2); r.pointAt(2, 2); });  // over the square: true
    hit(0, 0, 1, [&] { r.c.op(Op::GetLocal, 2); r.pointAt(0, 0); });  // over the clear corner: false
    EXPECT_EQ(r.run(), (QStringList { "true", "false", "false", "true", "false", "true", "false" }));
}

// Colours are kept premultiplied, so a colour written at partial alpha comes
// back with the remainder of its scaling dropped: 0xC0 at alpha 0x80 is
// stored as 96 and read as 96 * 255 / 128 = 191.
TEST(BitmapData, PartialAlphaReadsDropTheRemainder)
{
    BitmapRows r;
    r.newBitmapData(1, 1, 1, true, 0);
    r.call(1, "setPixel32", { 0, 0, 0x80C0C0C0 });
    r.traceCall(1, "getPixel32", { 0, 0 });
    EXPECT_EQ(r.run(), (QStringList { "2160050111" }));
}
