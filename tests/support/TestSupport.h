#pragma once

#include "swf/Playback.h"
#include "tools/swfwriter/Movie.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace testing_support {

// The timeline alone, without the script machine: what the loader, runtime
// and render tests look at.
inline swf::PlaybackOptions timelineOnly()
{
    swf::PlaybackOptions options;
    options.scripts = false;
    return options;
}

inline std::unique_ptr<swf::Playback> load(const QByteArray& bytes, const swf::PlaybackOptions& options = timelineOnly())
{
    auto result = swf::Playback::fromBytes(bytes, options);
    EXPECT_TRUE(result.ok()) << (result.ok() ? "" : qPrintable(result.error().detail));
    return result.ok() ? result.release() : nullptr;
}

// The stage at its own pixel size, anti-aliasing off so pixel checks are exact.
inline QImage renderStage(swf::Playback& playback, bool antialias = false)
{
    QRectF stage = playback.stageRect();
    QImage image(int(stage.width()), int(stage.height()), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::magenta);
    QPainter painter(&image);
    playback.setQuality(antialias ? swf::Quality::High : swf::Quality::Low);
    playback.render(painter, QTransform());
    painter.end();
    return image;
}

inline swfw::Shape rectShape(swfw::Rgba color, int x, int y, int w, int h)
{
    swfw::Shape shape;
    int fill = shape.addFillStyle(swfw::FillStyle::solid(color));
    shape.fill1(fill).rect(x, y, w, h);
    return shape;
}

constexpr swfw::Rgba Red { 255, 0, 0, 255 };
constexpr swfw::Rgba Green { 0, 255, 0, 255 };
constexpr swfw::Rgba Blue { 0, 0, 255, 255 };
constexpr swfw::Rgba White { 255, 255, 255, 255 };

} // namespace testing_support
