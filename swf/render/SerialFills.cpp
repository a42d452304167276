#include "swf/render/SerialFills.h"

#include <QPaintDevice>
#include <QSemaphore>
#include <QThread>
#include <QThreadPool>

namespace swf {

void runWithSerialFills(const QPaintDevice* device, const std::function<void()>& work)
{
    // Only an image may be painted from another thread; a widget or a
    // pixmap stays on the thread it belongs to.
    QThreadPool* pool = QThreadPool::globalInstance();
    if (!device || device->devType() != QInternal::Image || !pool || pool->contains(QThread::currentThread())) {
        work();
        return;
    }
    QSemaphore done;
    // tryStart refuses when every pool thread is busy (with another caller's
    // long task, say): then the frame is drawn here rather than queued.
    const bool started = pool->tryStart([&] {
        work();
        done.release();
    });
    if (!started) {
        work();
        return;
    }
    done.acquire();
}

} // namespace swf
