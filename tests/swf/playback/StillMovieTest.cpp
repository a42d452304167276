// Which movies need no frame clock: nothing in them moves with time, so
// frames past the first show the same picture and run nothing.

#include "swf/Playback.h"
#include "tools/swfwriter/Movie.h"
#include "tools/swfwriter/Shape.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace {

enum class Extra { None, SecondRootFrame, TwoFrameClip, FrameScript, Sound };

// A one-frame movie with a square and a one-frame clip holding another,
// plus one thing that may make it move.
QByteArray movieWith(Extra extra)
{
    swfw::Movie movie(8, 100, 100, 24);
    swfw::Shape square;
    square.fill1(square.addFillStyle(swfw::FillStyle::solid({ 200, 0, 0, 255 }))).rect(0, 0, 400, 400);
    movie.defineShape(1, square, 1);
    swfw::Sprite clip;
    clip.placeObject2(swfw::Placement::place(1, 1));
    clip.showFrame();
    if (extra == Extra::TwoFrameClip) {
        swfw::Placement move = swfw::Placement::modify(1);
        move.matrix = swfw::Matrix::translate(200, 0);
        clip.placeObject2(move);
        clip.showFrame();
    }
    movie.defineSprite(2, clip);
    if (extra == Extra::Sound)
        movie.defineSound(3, 3, 1, true, false, 4410, QByteArray(8820, '\0')); // 0.4 s of silence, 11 kHz
    movie.placeObject2(swfw::Placement::place(1, 1, swfw::Matrix::translate(100, 100)));
    movie.placeObject2(swfw::Placement::place(2, 2, swfw::Matrix::translate(1000, 1000)));
    if (extra == Extra::FrameScript)
        movie.doAction(QByteArray(1, '\0')); // an empty action block: End
    if (extra == Extra::Sound)
        movie.startSound(3);
    movie.showFrame();
    if (extra == Extra::SecondRootFrame)
        movie.showFrame();
    return movie.bytes();
}

QImage picture(swf::Playback& playback)
{
    QImage image(100, 100, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    playback.render(painter, QTransform());
    return image;
}

} // namespace

TEST(StillMovie, OnlyMoviesWithNothingThatMovesAreStill)
{
    const struct {
        Extra extra;
        bool still;
        const char* what;
    } rows[] = {
        { Extra::None, true, "shapes and a one-frame clip" },
        { Extra::SecondRootFrame, false, "a second frame on the root" },
        { Extra::TwoFrameClip, false, "a clip with two frames" },
        { Extra::FrameScript, false, "a frame script" },
        { Extra::Sound, false, "a sound started" },
    };
    for (const auto& row : rows) {
        swf::PlaybackOptions options;
        options.sound = true;
        auto opened = swf::Playback::fromBytes(movieWith(row.extra), options);
        ASSERT_TRUE(opened.ok()) << row.what;
        EXPECT_EQ(opened.value()->isStill(), row.still) << row.what;
    }
}

TEST(StillMovie, AStillMovieShowsTheSamePictureFrameAfterFrame)
{
    // What lets a player skip the clock: later frames change nothing drawn.
    auto opened = swf::Playback::fromBytes(movieWith(Extra::None));
    ASSERT_TRUE(opened.ok());
    swf::Playback& playback = *opened.value();
    ASSERT_TRUE(playback.isStill());
    const QImage first = picture(playback);
    EXPECT_EQ(QColor(first.pixel(7, 7)), QColor(200, 0, 0)); // the square at 5..25 px
    EXPECT_FALSE(playback.changedArea(QTransform(), QSize(100, 100)).isEmpty()); // the first look: all of it
    for (int i = 0; i < 5; ++i)
        playback.nextFrame();
    EXPECT_TRUE(playback.changedArea(QTransform(), QSize(100, 100)).isEmpty());
    EXPECT_EQ(picture(playback), first);
}
