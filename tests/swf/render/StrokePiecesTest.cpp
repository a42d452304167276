#include "swf/render/StrokePieces.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace {

// A zig-zag polyline of `segments` segments starting at `start`.
void addZigZag(QPainterPath& path, QPointF start, int segments)
{
    path.moveTo(start);
    for (int i = 1; i <= segments; ++i)
        path.lineTo(start + QPointF(i * 3.0, (i % 2) * 7.0));
}

int segmentsIn(const std::vector<QPainterPath>& pieces)
{
    int n = 0;
    for (const QPainterPath& piece : pieces) {
        for (int i = 0; i < piece.elementCount(); ++i)
            n += piece.elementAt(i).type == QPainterPath::LineToElement;
    }
    return n;
}

QImage stroked(const std::vector<QPainterPath>& paths, const QPen& pen)
{
    QImage image(200, 120, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    for (const QPainterPath& path : paths)
        painter.strokePath(path, pen);
    return image;
}

} // namespace

TEST(StrokePieces, ShortPathsStayWhole)
{
    QPainterPath path;
    addZigZag(path, QPointF(0, 0), swf::StrokePieceElements);
    EXPECT_TRUE(swf::strokePieces(path).empty());
}

TEST(StrokePieces, CutsOnlyAtSubPathStarts)
{
    // Ten sub-paths of 20 segments and one of 100: each piece holds whole
    // sub-paths, and every one of the 300 segments is kept once.
    QPainterPath path;
    for (int s = 0; s < 10; ++s)
        addZigZag(path, QPointF(5, 5 + s * 10), 20);
    addZigZag(path, QPointF(5, 110), 100);
    const auto pieces = swf::strokePieces(path);
    ASSERT_GT(pieces.size(), 5u);
    EXPECT_EQ(segmentsIn(pieces), 300);
    EXPECT_EQ(pieces.back().elementCount(), 101); // the long one alone, uncut
    for (std::size_t i = 0; i + 1 < pieces.size(); ++i)
        EXPECT_EQ(pieces[i].elementCount(), 21); // one short sub-path fills a piece
}

TEST(StrokePieces, SubPathsThatMeetStayTogether)
{
    // Thirty short runs, each starting where the last ended: one chain, never cut.
    QPainterPath path;
    QPointF at(0, 0);
    for (int s = 0; s < 30; ++s) {
        path.moveTo(at);
        at += QPointF(3, s % 2 ? 4 : -4);
        path.lineTo(at);
    }
    EXPECT_GT(path.elementCount(), 2 * swf::StrokePieceElements);
    const auto pieces = swf::strokePieces(path);
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_EQ(pieces.front().elementCount(), path.elementCount());
}

TEST(StrokePieces, CurvesKeepTheirControlPoints)
{
    QPainterPath path;
    for (int s = 0; s < 12; ++s) {
        path.moveTo(0, s * 30);
        for (int i = 0; i < 4; ++i)
            path.quadTo(i * 4 + 2, s * 30 + ((i % 2) ? 10 : -10), i * 4 + 4, s * 30);
    }
    const auto pieces = swf::strokePieces(path);
    ASSERT_GT(pieces.size(), 1u);
    QPainterPath joined;
    for (const QPainterPath& piece : pieces)
        joined.addPath(piece);
    ASSERT_EQ(joined.elementCount(), path.elementCount());
    for (int i = 0; i < path.elementCount(); ++i) {
        EXPECT_EQ(joined.elementAt(i).type, path.elementAt(i).type) << i;
        EXPECT_EQ(QPointF(joined.elementAt(i)), QPointF(path.elementAt(i))) << i;
    }
}

TEST(StrokePieces, OpaqueStrokesDrawTheSamePicture)
{
    // Horizontal zig-zags crossed by vertical lines, drawn whole and in
    // pieces: the same pixels but for the anti-aliased rims where pieces
    // cross, at most a quarter apart.
    QPainterPath path;
    for (int s = 0; s < 6; ++s)
        addZigZag(path, QPointF(4, 8 + s * 17), 60);
    for (int x = 10; x < 190; x += 9) {
        path.moveTo(x, 2);
        path.lineTo(x + 3, 115);
    }
    QPen pen(QColor(20, 90, 160), 4.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    const auto pieces = swf::strokePieces(path);
    ASSERT_GT(pieces.size(), 4u);
    const QImage whole = stroked({ path }, pen);
    const QImage cut = stroked(pieces, pen);
    int differing = 0, inked = 0;
    for (int y = 0; y < whole.height(); ++y) {
        for (int x = 0; x < whole.width(); ++x) {
            const QRgb a = whole.pixel(x, y), b = cut.pixel(x, y);
            inked += a != qRgb(255, 255, 255);
            if (a == b)
                continue;
            ++differing;
            // Where two rims share a pixel, coverages a and b blend to
            // a + b - ab instead of adding up: at most a quarter apart.
            EXPECT_LE(std::max({ std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b)) }), 64)
                << x << "," << y;
        }
    }
    EXPECT_GT(inked, 4000);
    EXPECT_LT(differing, inked / 10);
}
