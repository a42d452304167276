#pragma once

// The lightweight controls of the forms layer: labels and image controls.
// Both report Click (a press and release of the left or right button over the
// control), DblClick and MouseDown with the runtime's button values; their
// positions are in the form's scale (pixels), read and set as floats.

#include <QImage>
#include <QLabel>
#include <QWidget>

#include <functional>

namespace forms {

// Mouse button values in press events.
inline constexpr int vbLeftButton = 1;
inline constexpr int vbRightButton = 2;
inline constexpr int vbMiddleButton = 4;

// The runtime's value for a Qt button (0 for any other button).
int buttonValue(Qt::MouseButton button);
// The runtime's shift state: 1 Shift, 2 Ctrl, 4 Alt.
int shiftValue(Qt::KeyboardModifiers modifiers);

// Container geometry of any control, in the form's scale. A negative size or
// a value that is not a number raises a run-time error and changes nothing.
void setControlLeft(QWidget* control, float left);
void setControlTop(QWidget* control, float top);
void setControlWidth(QWidget* control, float width);
void setControlHeight(QWidget* control, float height);

using MouseHandler = std::function<void(int button, int shift, float x, float y)>;
using EventHandler = std::function<void()>;

// The parts of a control's mouse handling that labels and images share.
class MouseEvents {
public:
    MouseHandler MouseDown;
    EventHandler Click;
    EventHandler DblClick;

protected:
    void handlePress(QMouseEvent* event);
    void handleRelease(QWidget* self, QMouseEvent* event);
    void handleDoubleClick(QMouseEvent* event);

private:
    Qt::MouseButton m_pressed = Qt::NoButton;
    Qt::MouseButton m_lastPressButton = Qt::NoButton;
    quint64 m_lastPressTime = 0;
    QPoint m_lastPressAt;
};

class Label : public QLabel, public MouseEvents {
    Q_OBJECT

public:
    Label(const QString& name, QWidget* parent);

    float Left() const { return float(x()); }
    float Top() const { return float(y()); }
    float Width() const { return float(width()); }
    float Height() const { return float(height()); }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

class Image : public QWidget, public MouseEvents {
    Q_OBJECT

public:
    Image(const QString& name, QWidget* parent);

    float Left() const { return float(x()); }
    float Top() const { return float(y()); }
    float Width() const { return float(width()); }
    float Height() const { return float(height()); }
    void setLeft(float v) { setControlLeft(this, v); }
    void setTop(float v) { setControlTop(this, v); }
    void setWidth(float v) { setControlWidth(this, v); }
    void setHeight(float v) { setControlHeight(this, v); }

    // The picture; with `stretch` it is drawn squeezed into the control,
    // otherwise the control takes the picture's size.
    const QImage& Picture() const { return m_picture; }
    void setPicture(const QImage& picture, bool stretch);

    QString ToolTipText() const { return toolTip(); }
    // Set at run time: observable through the test log.
    void setToolTipText(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QImage m_picture;
    bool m_stretch = false;
};

} // namespace forms
