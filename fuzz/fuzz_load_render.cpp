// Loads arbitrary bytes as a movie (or as a loaded picture, wrapped as a
// movie, when they start like one) and, when they load, draws its first frames
// onto a small image, steps back once, and draws again. Any crash, leak,
// sanitizer report or hang here is a fault in the engine.

#include "swf/Playback.h"
#include "swf/archive/ImageMovie.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace {

constexpr int kFrames = 4;

QTransform fitInto(const QRectF& stage, const QSize& target)
{
    if (!(stage.width() > 0) || !(stage.height() > 0))
        return QTransform();
    const double scale = std::min(target.width() / stage.width(), target.height() / stage.height());
    return QTransform(scale, 0, 0, scale, -stage.left() * scale, -stage.top() * scale);
}

void draw(const swf::Playback& playback, QImage& image)
{
    image.fill(playback.backgroundColor());
    QPainter painter(&image);
    playback.render(painter, fitInto(playback.stageRect(), image.size()));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    // The loader and the renderer only; scripts have a fuzzer of their own.
    swf::PlaybackOptions timelineOnly;
    timelineOnly.scripts = false;
    // A picture a movie loads is wrapped as a one-frame movie first
    // (loadMovie of a JPEG, PNG or GIF): the wrapped bytes go the same way.
    const QByteArray picture = swf::archive::movieFromImage(bytes);
    auto opened = swf::Playback::fromBytes(picture.isEmpty() ? bytes : picture, timelineOnly);
    if (!opened)
        return 0;
    std::unique_ptr<swf::Playback> playback = opened.release();
    QImage image(64, 48, QImage::Format_ARGB32_Premultiplied);
    for (int i = 0; i < kFrames; ++i) {
        draw(*playback, image);
        playback->nextFrame();
    }
    playback->previousFrame();
    draw(*playback, image);
    return 0;
}
