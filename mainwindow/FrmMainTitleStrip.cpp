// The title strip: moving the window by it, and the double-click toggle.

#include "mainwindow/FrmMain.h"

#include "app/TestHooks.h"
#include "app/modMain.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#ifdef VANTREL_HAVE_XCB
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
#endif

namespace {

// Gives up the mouse so that the window manager's move can take it.
void ReleaseCapture()
{
    if (QWidget* grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
}

// The longest a move may keep the press handler waiting; a guard against a
// window manager that never lets go, not a limit anyone should meet.
constexpr int kMoveTimeoutMs = 5 * 60 * 1000;

#ifdef VANTREL_HAVE_XCB
// Whether any mouse button is down, asked of the X server itself: the window
// manager holds the pointer during the move, so no release reaches us.
std::optional<bool> x11ButtonsDown()
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return std::nullopt;
    xcb_connection_t* connection = x11->connection();
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    if (!screen)
        return std::nullopt;
    xcb_query_pointer_reply_t* reply = xcb_query_pointer_reply(connection, xcb_query_pointer(connection, screen->root), nullptr);
    if (!reply)
        return std::nullopt;
    const bool down = reply->mask & (XCB_BUTTON_MASK_1 | XCB_BUTTON_MASK_2 | XCB_BUTTON_MASK_3);
    free(reply);
    return down;
}
#else
std::optional<bool> x11ButtonsDown()
{
    return std::nullopt;
}
#endif

// Ends a waiting loop at the first mouse event the application sees: where
// the pointer cannot be asked, that is the sign that the move is over.
class MouseActivityWatcher : public QObject {
public:
    explicit MouseActivityWatcher(QEventLoop* loop)
        : m_loop(loop)
    {
        qApp->installEventFilter(this);
    }
    ~MouseActivityWatcher() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonPress:
        case QEvent::MouseMove:
        case QEvent::Enter:
            m_loop->quit();
            break;
        default:
            break;
        }
        return false;
    }

private:
    QEventLoop* m_loop;
};

} // namespace

void FrmMain::runSystemMove()
{
    QWindow* window = windowHandle();
    if (!window)
        return;
    // A press that is already over (a quick click) has nothing to drag. Asking
    // the window manager to move anyway would leave it waiting for a release
    // that already happened, and it would swallow the next press.
    if (!x11ButtonsDown().value_or(true))
        return;
    if (!window->startSystemMove())
        return;

    QEventLoop loop;
    QElapsedTimer elapsed;
    elapsed.start();
    QTimer poll;
    std::unique_ptr<MouseActivityWatcher> watcher;
    if (x11ButtonsDown().has_value()) {
        connect(&poll, &QTimer::timeout, &loop, [&] {
            const auto down = x11ButtonsDown();
            if (!down.value_or(false) || elapsed.elapsed() > kMoveTimeoutMs)
                loop.quit();
        });
        poll.start(15);
    } else {
        watcher = std::make_unique<MouseActivityWatcher>(&loop);
        connect(&poll, &QTimer::timeout, &loop, [&] {
            if (elapsed.elapsed() > kMoveTimeoutMs)
                loop.quit();
        });
        poll.start(1000);
    }
    loop.exec();
}

void FrmMain::ImaBar_MouseDown(int button, int, float, float)
{
    if (button == forms::vbLeftButton) {
        ReleaseCapture();
        vantrel::testhooks::log({ QStringLiteral("move"), QStringLiteral("begin") });
        runSystemMove();
        vantrel::testhooks::log({ QStringLiteral("move"), QStringLiteral("end") });
    }
    modMain::LastTitleButton = std::int16_t(button);
}

void FrmMain::ImaBar_DblClick()
{
    if (modMain::LastTitleButton == forms::vbLeftButton)
        modMain::ToggleMaximize(*this);
}
