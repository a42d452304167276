#include "app/Form.h"

#include "app/Runtime.h"
#include "app/TestHooks.h"

#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cmath>

namespace forms {

// The client area: shows the form's persistent image; the form's controls are
// its children.
class ClientArea : public QWidget {
public:
    explicit ClientArea(Form* form)
        : QWidget(form)
        , m_form(form)
    {
        setObjectName(QStringLiteral("client"));
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), m_form->BackColor());
        painter.drawImage(0, 0, m_form->m_image);
    }

    void resizeEvent(QResizeEvent*) override { m_form->clientResized(); }

private:
    Form* m_form;
};

namespace {

void checkFinite(std::initializer_list<float> values)
{
    for (float v : values) {
        if (!std::isfinite(v))
            throw errors::overflow();
    }
}

} // namespace

Form::Form(const QString& name, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
    setObjectName(name);
    m_proc = &DefWindowProc;
    m_client = new ClientArea(this);
    // The border changes the form's own pointer to the sizing arrows; the
    // client area and its controls keep the plain arrow unless they set one.
    m_client->setCursor(Qt::ArrowCursor);
    setMouseTracking(true);
    layoutClient();
}

Form::~Form() = default;

void Form::Load()
{
    if (m_loaded)
        return;
    m_loaded = true;
    m_unloaded = false;
    vantrel::testhooks::log({ QStringLiteral("load"), name() });
    Form_Load();
}

void Form::Show()
{
    Load();
    if (!m_shownOnce) {
        // Start position: centred on the screen.
        if (QScreen* s = screen()) {
            const QRect area = s->availableGeometry();
            move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
        }
    }
    show();
}

void Form::Unload()
{
    if (!m_loaded)
        return;
    int cancel = 0;
    Form_Unload(cancel);
    if (cancel != 0)
        return;
    m_loaded = false;
    m_unloaded = true;
    vantrel::testhooks::log({ QStringLiteral("unload"), name() });
    hide();
}

float Form::Width() const
{
    return float(width()) * twipsPerPixelX();
}

float Form::Height() const
{
    return float(height()) * twipsPerPixelY();
}

float Form::ScaleWidth() const
{
    return float(m_client->width());
}

float Form::ScaleHeight() const
{
    return float(m_client->height());
}

void Form::setClientSize(int width, int height)
{
    resize(width + 2 * m_border, height + 2 * m_border);
    // A hidden window gets its resize event only when shown; the client is
    // placed now so that its size can be read back at once.
    layoutClient();
}

QColor Form::BackColor() const
{
    // The system colour of 3-D object faces.
    return palette().color(QPalette::Button);
}

int Form::WindowState() const
{
    const Qt::WindowStates state = windowState();
    if (state & Qt::WindowMinimized)
        return 1;
    if (state & (Qt::WindowMaximized | Qt::WindowFullScreen))
        return 2;
    return 0;
}

void Form::setWindowStateValue(int state)
{
    switch (state) {
    case 0: setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)); break;
    case 1: setWindowState((windowState() & ~Qt::WindowActive) | Qt::WindowMinimized); break;
    case 2: setWindowState((windowState() & ~(Qt::WindowMinimized | Qt::WindowFullScreen)) | Qt::WindowMaximized); break;
    default: throw errors::invalidPropertyValue();
    }
}

void Form::LineBF(float x1, float y1, float x2, float y2, const QColor& color)
{
    checkFinite({ x1, y1, x2, y2 });
    if (m_image.isNull())
        return;
    // Both corners belong to the box.
    const double left = std::min(x1, x2), right = std::max(x1, x2);
    const double top = std::min(y1, y2), bottom = std::max(y1, y2);
    QPainter painter(&m_image);
    painter.fillRect(QRectF(QPointF(left, top), QPointF(right + 1, bottom + 1)), color);
    m_client->update();
}

void Form::PaintPicture(const QImage& picture, float x1, float y1, float width1, float height1,
    float x2, float y2, float width2, float height2)
{
    checkFinite({ x1, y1, width1, height1, x2, y2, width2, height2 });
    if (picture.isNull())
        throw errors::invalidPropertyValue();
    if (m_image.isNull() || width1 <= 0 || height1 <= 0 || width2 <= 0 || height2 <= 0)
        return;
    // Only pixels inside the picture are copied: the source is clipped to the
    // picture and the destination shrinks in proportion.
    const QRectF source(x2, y2, width2, height2);
    const QRectF clipped = source.intersected(QRectF(picture.rect()));
    if (clipped.isEmpty())
        return;
    const double scaleX = double(width1) / width2;
    const double scaleY = double(height1) / height2;
    const QRectF target(x1 + (clipped.x() - source.x()) * scaleX, y1 + (clipped.y() - source.y()) * scaleY,
        clipped.width() * scaleX, clipped.height() * scaleY);
    QPainter painter(&m_image);
    // A plain copy, pixel for pixel, stretched by repeating pixels.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(target, picture, clipped);
    m_client->update();
}

void Form::PopupMenu(QMenu* menu)
{
    if (!menu)
        throw errors::invalidProcedureCall();
    const QPoint at = QCursor::pos();
    vantrel::testhooks::log({ QStringLiteral("popup"), QString::number(at.x()), QString::number(at.y()) });
    menu->exec(at);
}

std::uint32_t Form::setWindowStyle(std::uint32_t style)
{
    const std::uint32_t previous = m_style;
    m_style = style;
    return previous;
}

void Form::refreshFrame()
{
    const QSize clientSize = size() - QSize(2 * m_border, 2 * m_border);
    const bool caption = (m_style & WS_CAPTION) == WS_CAPTION;
    if (caption == bool(windowFlags() & Qt::FramelessWindowHint))
        setWindowFlag(Qt::FramelessWindowHint, !caption);
    // With a caption the window manager draws the frame; without one the
    // sizing border is ours.
    m_border = (!caption && (m_style & WS_THICKFRAME)) ? kSizingBorder : 0;
    if (!m_shownOnce)
        resize(clientSize + QSize(2 * m_border, 2 * m_border));
    layoutClient();
    update();
}

WindowProc Form::setWindowProc(WindowProc proc)
{
    const WindowProc previous = m_proc;
    m_proc = proc ? proc : &DefWindowProc;
    if (m_limitsApplied && isVisible())
        applySizeLimits();
    return previous;
}

std::intptr_t Form::SendMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam)
{
    return CallWindowProc(m_proc, this, msg, wParam, lParam);
}

MinMaxInfo Form::defaultMinMaxInfo() const
{
    MinMaxInfo info;
    if (QScreen* s = screen()) {
        const QRect area = s->availableGeometry();
        info.ptMaxSize = { area.width(), area.height() };
        info.ptMaxPosition = { area.x() - s->geometry().x(), area.y() - s->geometry().y() };
    }
    info.ptMinTrackSize = { 2 * m_border + 1, 2 * m_border + 1 };
    info.ptMaxTrackSize = { QWIDGETSIZE_MAX, QWIDGETSIZE_MAX };
    return info;
}

void Form::applySizeLimits()
{
    QWindow* window = windowHandle();
    if (!window)
        return;
    m_limitsApplied = true;
    MinMaxInfo info = defaultMinMaxInfo();
    SendMessage(WM_GETMINMAXINFO, 0, reinterpret_cast<std::intptr_t>(&info));
    auto fit = [](std::int32_t v) { return std::clamp<std::int32_t>(v, 0, QWIDGETSIZE_MAX); };
    // Set on the native window only: the widget itself stays free, so the
    // design size can be below the minimum that applies to the user's resizing.
    window->setMinimumSize(QSize(fit(info.ptMinTrackSize.x), fit(info.ptMinTrackSize.y)));
    window->setMaximumSize(QSize(fit(info.ptMaxTrackSize.x), fit(info.ptMaxTrackSize.y)));
}

void Form::layoutClient()
{
    m_client->setGeometry(rect().adjusted(m_border, m_border, -m_border, -m_border));
}

void Form::clientResized()
{
    // The persistent image follows the client area; what was drawn stays.
    const QSize size = m_client->size();
    if (size.isEmpty()) {
        // A minimised window may report an empty client area; keep the drawing.
    } else if (m_image.size() != size) {
        // Three bytes a pixel: the image holds only opaque colours, is drawn
        // into rarely and shown only where the form is exposed, and at a
        // maximised size the fourth byte would cost most of a megabyte.
        QImage image(size, QImage::Format_RGB888);
        image.fill(BackColor());
        if (!m_image.isNull()) {
            QPainter painter(&image);
            painter.drawImage(0, 0, m_image);
        }
        m_image = image;
    }
    runResizeHandler();
}

void Form::runResizeHandler()
{
    if (!m_loaded || !isVisible())
        return;
    runHandler([this] { Form_Resize(); });
}

void Form::paintEvent(QPaintEvent*)
{
    if (m_border <= 0)
        return;
    // The sizing border: the face colour with a light outer and dark inner edge.
    QPainter painter(this);
    const QColor face = BackColor();
    painter.fillRect(rect(), face);
    painter.setPen(face.lighter(130));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    painter.setPen(face.darker(160));
    painter.drawRect(rect().adjusted(m_border - 1, m_border - 1, -m_border, -m_border));
}

void Form::resizeEvent(QResizeEvent*)
{
    layoutClient();
}

Qt::Edges Form::edgesAt(const QPoint& pos) const
{
    if (m_border <= 0)
        return {};
    // Corners take the last 16 pixels of each edge, as platform frames do.
    const int corner = 16;
    Qt::Edges edges;
    const bool left = pos.x() < m_border, right = pos.x() >= width() - m_border;
    const bool top = pos.y() < m_border, bottom = pos.y() >= height() - m_border;
    if (!(left || right || top || bottom))
        return {};
    if (left || (pos.x() < corner && (top || bottom)))
        edges |= Qt::LeftEdge;
    if (right || (pos.x() >= width() - corner && (top || bottom)))
        edges |= Qt::RightEdge;
    if (top || (pos.y() < corner && (left || right)))
        edges |= Qt::TopEdge;
    if (bottom || (pos.y() >= height() - corner && (left || right)))
        edges |= Qt::BottomEdge;
    return edges;
}

void Form::mousePressEvent(QMouseEvent* event)
{
    const Qt::Edges edges = edgesAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && edges && windowHandle() && WindowState() == 0) {
        applySizeLimits();
        windowHandle()->startSystemResize(edges);
        return;
    }
    QWidget::mousePressEvent(event);
}

void Form::mouseMoveEvent(QMouseEvent* event)
{
    const Qt::Edges edges = edgesAt(event->position().toPoint());
    Qt::CursorShape shape = Qt::ArrowCursor;
    if (edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge))
        shape = Qt::SizeFDiagCursor;
    else if (edges == (Qt::RightEdge | Qt::TopEdge) || edges == (Qt::LeftEdge | Qt::BottomEdge))
        shape = Qt::SizeBDiagCursor;
    else if (edges & (Qt::LeftEdge | Qt::RightEdge))
        shape = Qt::SizeHorCursor;
    else if (edges & (Qt::TopEdge | Qt::BottomEdge))
        shape = Qt::SizeVerCursor;
    setCursor(shape);
    QWidget::mouseMoveEvent(event);
}

void Form::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::WindowStateChange) {
        const int state = WindowState();
        if (state != m_lastState) {
            m_lastState = state;
            vantrel::testhooks::log({ QStringLiteral("state"), QString::number(state) });
            // A state change is a resize for the form's code, even when the
            // client keeps its size (minimise, and restore from it).
            runResizeHandler();
        }
    }
    QWidget::changeEvent(event);
}

void Form::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_shownOnce)
        return;
    m_shownOnce = true;
    if (QWindow* window = windowHandle()) {
        connect(window, &QWindow::screenChanged, this, [this] {
            if (m_limitsApplied)
                applySizeLimits();
        });
    }
    // The limits are not handed to the window manager yet: they govern the
    // user's resizing, and a window manager that enforces them at once would
    // not let the window appear at its design size, which is below the
    // minimum. They are applied when a resize by the border begins.
}

void Form::closeEvent(QCloseEvent* event)
{
    // Closed by the window manager (a key or the task bar): unload as the
    // runtime does; with no window left the program then ends.
    if (m_loaded)
        runHandler([this] { Unload(); });
    event->accept();
}

std::intptr_t SetWindowLong(Form* hwnd, int index, std::intptr_t newValue)
{
    if (!hwnd)
        return 0;
    switch (index) {
    case GWL_STYLE: return std::intptr_t(hwnd->setWindowStyle(std::uint32_t(newValue)));
    case GWL_WNDPROC: return reinterpret_cast<std::intptr_t>(hwnd->setWindowProc(reinterpret_cast<WindowProc>(newValue)));
    default: return 0;
    }
}

void SetWindowPos(Form* hwnd, Form*, int x, int y, int cx, int cy, std::uint32_t flags)
{
    if (!hwnd)
        return;
    if (flags & SWP_FRAMECHANGED)
        hwnd->refreshFrame();
    if (!(flags & SWP_NOMOVE))
        hwnd->move(x, y);
    if (!(flags & SWP_NOSIZE))
        hwnd->resize(cx, cy);
    hwnd->raise();
}

std::intptr_t DefWindowProc(Form*, std::uint32_t, std::uintptr_t, std::intptr_t)
{
    return 0;
}

std::intptr_t CallWindowProc(WindowProc proc, Form* hwnd, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam)
{
    return proc ? proc(hwnd, msg, wParam, lParam) : DefWindowProc(hwnd, msg, wParam, lParam);
}

} // namespace forms
