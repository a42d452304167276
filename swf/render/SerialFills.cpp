#include "swf/render/SerialFills.h"

#include <QPaintDevice>
#include <QSemaphore>
#include <QThread>
#include <QThreadPool>

#include <exception>

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
    // What the work throws (memory refused, say) comes back to this thread,
    // whose caller handles it: on the pool's thread it would end the program.
    std::exception_ptr failed;
    // tryStart refuses when every pool thread is busy (with another caller's
    // long task, say): then the frame is drawn here rather than queued.
    const bool started = pool->tryStart([&] {
        try {
            work();
        } catch (...) {
            failed = std::current_exception();
        }
        done.release();
    });
    if (!started) {
        work();
        return;
    }
    done.acquire();
    if (failed)
        std::rethrow_exception(failed);
}

} // namespace swf
