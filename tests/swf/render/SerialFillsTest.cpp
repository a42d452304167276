// Drawing a frame on a thread of the global pool, where the painter fills
// serially: same pixels, done when the call returns, and never stuck
// behind a pool that is busy.

#include "support/TestSupport.h"

#include "swf/render/SerialFills.h"

#include <QPainter>
#include <QPainterPath>
#include <QSemaphore>
#include <QThread>
#include <QThreadPool>

namespace {

// Many anti-aliased spans (far more than the painter fills in one piece),
// filled as the engine fills: solid colours, and an image brush moved by
// a fraction of a pixel (a gradient's pixels) or turned and scaled (a
// bitmap fill).
void drawBusyPicture(QImage& image)
{
    QImage texture(16, 16, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            texture.setPixel(x, y, qPremultiply(qRgba(x * 16, y * 16, 255 - x * 8, 128 + y * 8)));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < 12; ++i) {
        QPainterPath path;
        path.addEllipse(QRectF(3.3 * i, 2.7 * i, 250 - 7.1 * i, 180 - 5.3 * i));
        QBrush brush(texture);
        if (i % 3 == 0)
            brush = QBrush(QColor(20 * i, 255 - 20 * i, 90, 100 + 10 * i));
        else if (i % 3 == 1)
            brush.setTransform(QTransform::fromTranslate(i + 0.25, i + 0.5));
        else
            brush.setTransform(QTransform().rotate(10.0 * i).scale(1.7, 2.3));
        painter.setRenderHint(QPainter::SmoothPixmapTransform, i % 2 == 0);
        painter.fillPath(path, brush);
    }
}

} // namespace

TEST(SerialFills, ImageDrawnOnAPoolThreadIsTheSameAndFinished)
{
    QImage direct(300, 200, QImage::Format_ARGB32_Premultiplied);
    direct.fill(Qt::white);
    drawBusyPicture(direct);

    QImage serial(300, 200, QImage::Format_ARGB32_Premultiplied);
    serial.fill(Qt::white);
    QThread* ranOn = nullptr;
    swf::runWithSerialFills(&serial, [&] {
        ranOn = QThread::currentThread();
        drawBusyPicture(serial);
    });
    ASSERT_NE(ranOn, nullptr); // the work has run by the time the call returns
    EXPECT_NE(ranOn, QThread::currentThread());
    EXPECT_TRUE(QThreadPool::globalInstance()->contains(ranOn));
    EXPECT_EQ(serial, direct);
}

TEST(SerialFills, BusyPoolOrNoImageDrawsHere)
{
    // Every pool thread held by a task that waits: the frame must not queue
    // behind them.
    QThreadPool* pool = QThreadPool::globalInstance();
    QSemaphore started, release;
    const int threads = pool->maxThreadCount();
    for (int i = 0; i < threads; ++i) {
        pool->start([&] {
            started.release();
            release.acquire();
        });
    }
    started.acquire(threads);
    QImage image(10, 10, QImage::Format_ARGB32_Premultiplied);
    QThread* ranOn = nullptr;
    swf::runWithSerialFills(&image, [&] { ranOn = QThread::currentThread(); });
    release.release(threads);
    pool->waitForDone();
    EXPECT_EQ(ranOn, QThread::currentThread());

    // Without a device (or with one that is not an image) the work runs here too.
    ranOn = nullptr;
    swf::runWithSerialFills(nullptr, [&] { ranOn = QThread::currentThread(); });
    EXPECT_EQ(ranOn, QThread::currentThread());
}
