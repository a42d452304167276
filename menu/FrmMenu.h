#pragma once

// The menu holder: a hidden form that holds the pop-up menu. Only the submenu
// of its single top-level item, mnuFile, is ever shown, popped up by the main
// window at the pointer.

#include "app/Form.h"

class QAction;
class QMenu;

class FrmMenu : public forms::Form {
    Q_OBJECT

public:
    FrmMenu();
    ~FrmMenu() override;

    QMenu* mnuFile = nullptr;
    QAction* mnuOpen = nullptr;
    QAction* mnuLine = nullptr;
    QAction* mnuPlay = nullptr;
    QAction* mnuPause = nullptr;
    QAction* mnuLineijoi = nullptr;
    QAction* mnuBack = nullptr;
    QAction* mnuForward = nullptr;
    QAction* mnuLineasdf = nullptr;
    QAction* mnuZoonOut = nullptr;
    QAction* mnuZoomIn = nullptr;
    QAction* mnuFull = nullptr;
    QAction* mnuLinearqawef = nullptr;
    QAction* mnuAbout = nullptr;
    QAction* mnuLineoijao = nullptr;
    QAction* mnuExit = nullptr;

    void mnuOpen_Click();
    void mnuPlay_Click();
    void mnuPause_Click();
    void mnuBack_Click();
    void mnuForward_Click();
    void mnuAbout_Click();
    void mnuExit_Click();

    // The About text: name and version, CR LF, the home-page line.
    static QString aboutText();
};
