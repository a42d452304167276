#pragma once

// The main window: its design-time definition (the fifteen controls, their
// positions, captions, tooltips, pointers and stacking), its load and unload
// handlers, the skin painting and layout on every resize, the title strip and
// window buttons, the command labels, and movies dropped on the window.

#include "app/Controls.h"
#include "app/Form.h"

#include <memory>

namespace player {
class CommonDialog;
class PlayerControl;
class SwfPlayer;
}

class FrmMain : public forms::Form {
    Q_OBJECT

public:
    // `commands` is the player the commands call; by default (nullptr) the
    // window's own `swf`.
    explicit FrmMain(player::PlayerControl* commands = nullptr);
    ~FrmMain() override;

    // Controls, in stacking order from front to back.
    player::SwfPlayer* swf = nullptr;
    std::unique_ptr<player::CommonDialog> cdg;
    forms::Label* lblOpen = nullptr;
    forms::Label* lblFullScreen = nullptr;
    forms::Label* lblXiao = nullptr;
    forms::Label* lblDa = nullptr;
    forms::Label* lblStop = nullptr;
    forms::Label* lblPlay = nullptr;
    forms::Label* Label1 = nullptr;
    forms::Image* ImaMin = nullptr;
    forms::Image* ImaMax = nullptr;
    forms::Image* ImaClose = nullptr;
    forms::Image* ImaIcon = nullptr;
    forms::Image* ImaBar = nullptr;
    forms::Image* ImaMain = nullptr;

    // Unloads this form and the menu form, then ends the program.
    void ExitApp();

    // The player the commands call: `swf` itself unless another was given.
    player::PlayerControl& player();

    // Event handlers.
    void ImaBar_MouseDown(int button, int shift, float x, float y);
    void ImaBar_DblClick();
    void ImaMax_MouseDown(int button, int shift, float x, float y);
    void ImaMin_MouseDown(int button, int shift, float x, float y);
    void ImaClose_MouseDown(int button, int shift, float x, float y);
    void ImaIcon_Click();
    void Label1_Click();
    void lblOpen_Click();
    void lblPlay_Click();
    void lblStop_Click();
    void lblDa_Click();
    void lblXiao_Click();
    void lblFullScreen_Click();

    // Places the title-strip controls and repaints the skin for the current
    // size. Called by the resize handler only (public for the tests).
    void DrawSkin();

protected:
    void Form_Load() override;
    void Form_Resize() override;
    void Form_Unload(int& cancel) override;
    void showEvent(QShowEvent* event) override;
    // A movie dropped anywhere on the window opens as one chosen with 打开;
    // a drag that carries no movie is not accepted.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void createControls();
    // The platform's interactive move of the window from the pointer; returns
    // when the move has ended.
    void runSystemMove();

    player::PlayerControl* m_commands = nullptr;
    // The movie the drag now over the window carries, from its enter event.
    QString m_draggedMovie;
};
