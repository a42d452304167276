#pragma once

// A form of the forms layer: a top-level window whose client area holds the
// form's controls and shows a persistent drawing image. It gives the form's
// code the services it is written against: Load/Resize/Unload, outer size in
// twips and client size in pixels, window state 0/1/2, drawing (Line with a
// filled box, PaintPicture) into the persistent image, pop-up menus, and a
// window procedure that answers the size-limit query.

#include "app/WindowProc.h"

#include <QImage>
#include <QWidget>

#include <cstdint>

class QMenu;

namespace forms {

class Form : public QWidget {
    Q_OBJECT

public:
    explicit Form(const QString& name, QWidget* parent = nullptr);
    ~Form() override;

    QString name() const { return objectName(); }

    // The client area: controls are its children, its coordinates are the
    // form's scale (pixels).
    QWidget* client() const { return m_client; }
    Form* hWnd() { return this; }

    // Lifecycle. Load runs the load handler once; Show loads if needed, then
    // shows the window (the first resize follows); Unload runs the unload
    // handler, hides the window and marks the form unloaded.
    void Load();
    void Show();
    void Unload();
    bool isLoaded() const { return m_loaded; }

    // Geometry: outer size in twips; client size in pixels.
    float Width() const;
    float Height() const;
    float ScaleWidth() const;
    float ScaleHeight() const;
    // Sets the client area's size in pixels (the design size); the outer
    // size follows from the frame.
    void setClientSize(int width, int height);
    QColor BackColor() const;

    // Window state: 0 normal, 1 minimised, 2 maximised.
    int WindowState() const;
    void setWindowStateValue(int state);

    // Drawing into the persistent image, in client pixels.
    void LineBF(float x1, float y1, float x2, float y2, const QColor& color);
    void PaintPicture(const QImage& picture, float x1, float y1, float width1, float height1,
        float x2, float y2, float width2, float height2);
    const QImage& persistentImage() const { return m_image; }

    // Pops `menu` up at the pointer, modal: a chosen item's handler runs
    // before this returns.
    void PopupMenu(QMenu* menu);

    // Window style and procedure (see WindowProc.h).
    std::uint32_t windowStyle() const { return m_style; }
    std::uint32_t setWindowStyle(std::uint32_t style);
    // Recomputes the frame for the current style. The client keeps its size
    // until the window has been shown once, so the design size is the client's.
    void refreshFrame();
    WindowProc windowProc() const { return m_proc; }
    WindowProc setWindowProc(WindowProc proc);
    std::intptr_t SendMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);
    // Asks the window procedure for the size limits and applies them to the
    // whole window, frame included. Called when a resize by the border
    // begins and, from then on, when the window changes screens.
    void applySizeLimits();
    // The record as the platform fills it before the procedure sees it.
    MinMaxInfo defaultMinMaxInfo() const;
    int sizingBorder() const { return m_border; }

    static constexpr int kSizingBorder = 4;

protected:
    virtual void Form_Load() { }
    virtual void Form_Resize() { }
    virtual void Form_Unload(int& cancel) { }

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    friend class ClientArea;
    void clientResized();
    void runResizeHandler();
    Qt::Edges edgesAt(const QPoint& pos) const;
    void layoutClient();

    QWidget* m_client = nullptr;
    QImage m_image;
    bool m_loaded = false;
    bool m_unloaded = false;
    bool m_shownOnce = false;
    bool m_limitsApplied = false;
    int m_border = 0;
    std::uint32_t m_style = 0;
    WindowProc m_proc = nullptr;
    int m_lastState = 0;
};

// The runtime calls of the program's origins, over a form.
std::intptr_t SetWindowLong(Form* hwnd, int index, std::intptr_t newValue);
void SetWindowPos(Form* hwnd, Form* insertAfter, int x, int y, int cx, int cy, std::uint32_t flags);

} // namespace forms
