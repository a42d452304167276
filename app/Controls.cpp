#include "app/Controls.h"

#include "app/Runtime.h"
#include "app/TestHooks.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QStyleHints>
#include <QPainter>

#include <cmath>

namespace forms {

int buttonValue(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton: return vbLeftButton;
    case Qt::RightButton: return vbRightButton;
    case Qt::MiddleButton: return vbMiddleButton;
    default: return 0;
    }
}

int shiftValue(Qt::KeyboardModifiers modifiers)
{
    int value = 0;
    if (modifiers & Qt::ShiftModifier)
        value |= 1;
    if (modifiers & Qt::ControlModifier)
        value |= 2;
    if (modifiers & Qt::AltModifier)
        value |= 4;
    return value;
}

namespace {

int toPixels(float value)
{
    if (!std::isfinite(value) || std::fabs(value) > 1.0e7f)
        throw errors::overflow();
    return int(std::lround(value));
}

int toSize(float value)
{
    const int pixels = toPixels(value);
    if (pixels < 0)
        throw errors::invalidPropertyValue();
    return pixels;
}

} // namespace

void setControlLeft(QWidget* control, float left)
{
    control->move(toPixels(left), control->y());
}

void setControlTop(QWidget* control, float top)
{
    control->move(control->x(), toPixels(top));
}

void setControlWidth(QWidget* control, float width)
{
    control->resize(toSize(width), control->height());
}

void setControlHeight(QWidget* control, float height)
{
    control->resize(control->width(), toSize(height));
}

void MouseEvents::handlePress(QMouseEvent* event)
{
    // A second press soon after the first, close to it, is a double-click even
    // when Qt reports it as a plain press: that happens when the first press
    // handed the pointer to the window manager, so Qt never saw its release.
    const QPoint where = event->globalPosition().toPoint();
    const int distance = QGuiApplication::styleHints()->startDragDistance();
    if (DblClick && event->button() == m_lastPressButton && m_lastPressTime != 0
        && event->timestamp() - m_lastPressTime <= quint64(QGuiApplication::styleHints()->mouseDoubleClickInterval())
        && (where - m_lastPressAt).manhattanLength() <= distance) {
        handleDoubleClick(event);
        return;
    }
    m_lastPressButton = event->button();
    m_lastPressTime = event->timestamp();
    m_lastPressAt = where;

    const int button = buttonValue(event->button());
    m_pressed = event->button();
    if (button && MouseDown) {
        const QPointF at = event->position();
        const int shift = shiftValue(event->modifiers());
        runHandler([&] { MouseDown(button, shift, float(at.x()), float(at.y())); });
    }
}

void MouseEvents::handleRelease(QWidget* self, QMouseEvent* event)
{
    const Qt::MouseButton pressed = m_pressed;
    m_pressed = Qt::NoButton;
    // A click is a press and a release of the same (left or right) button,
    // ending over the control.
    if (pressed != event->button() || !(pressed == Qt::LeftButton || pressed == Qt::RightButton))
        return;
    if (!self->rect().contains(event->position().toPoint()))
        return;
    if (Click)
        runHandler([this] { Click(); });
}

void MouseEvents::handleDoubleClick(QMouseEvent* event)
{
    // A control that does not handle double-clicks hears the second press as
    // a press of its own, so two quick clicks on a command are two commands.
    if (!DblClick) {
        handlePress(event);
        return;
    }
    // Otherwise the second press is DblClick alone: no MouseDown, and its
    // release makes no Click.
    m_pressed = Qt::NoButton;
    m_lastPressTime = 0;
    if (DblClick)
        runHandler([this] { DblClick(); });
}

Label::Label(const QString& name, QWidget* parent)
    : QLabel(parent)
{
    setObjectName(name);
    setFocusPolicy(Qt::NoFocus);
    setAutoFillBackground(false);
    setAttribute(Qt::WA_TranslucentBackground);
    setWordWrap(false);
    setTextFormat(Qt::PlainText);
}

void Label::mousePressEvent(QMouseEvent* event)
{
    handlePress(event);
    event->accept();
}

void Label::mouseReleaseEvent(QMouseEvent* event)
{
    handleRelease(this, event);
    event->accept();
}

void Label::mouseDoubleClickEvent(QMouseEvent* event)
{
    handleDoubleClick(event);
    event->accept();
}

Image::Image(const QString& name, QWidget* parent)
    : QWidget(parent)
{
    setObjectName(name);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TranslucentBackground);
}

void Image::setPicture(const QImage& picture, bool stretch)
{
    m_picture = picture;
    m_stretch = stretch;
    if (!stretch && !picture.isNull())
        resize(picture.size());
    update();
}

void Image::setToolTipText(const QString& text)
{
    setToolTip(text);
    vantrel::testhooks::log({ QStringLiteral("tooltip"), objectName(), text });
}

void Image::paintEvent(QPaintEvent*)
{
    if (m_picture.isNull())
        return; // a hot area: shows nothing
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (m_stretch)
        painter.drawImage(rect(), m_picture);
    else
        painter.drawImage(0, 0, m_picture);
}

void Image::mousePressEvent(QMouseEvent* event)
{
    handlePress(event);
    event->accept();
}

void Image::mouseReleaseEvent(QMouseEvent* event)
{
    handleRelease(this, event);
    event->accept();
}

void Image::mouseDoubleClickEvent(QMouseEvent* event)
{
    handleDoubleClick(event);
    event->accept();
}

} // namespace forms
