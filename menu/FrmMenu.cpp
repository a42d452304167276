#include "menu/FrmMenu.h"

#include "app/DefaultInstances.h"
#include "app/Runtime.h"
#include "mainwindow/FrmMain.h"
#include "player/Commands.h"
#include "player/PlayerControl.h"

#include <QAction>
#include <QIcon>
#include <QMenu>

FrmMenu::FrmMenu()
    : forms::Form(QStringLiteral("frmMenu"))
{
    setWindowTitle(QStringLiteral("菜单"));
    setWindowIcon(QIcon(QStringLiteral(":/vantrel/icon.png")));

    mnuFile = new QMenu(QStringLiteral("文件(&F)"), this);
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    // Tooltips and focus: a plain pop-up, no item drawn as the default.
    mnuFile->setSeparatorsCollapsible(false);

    auto item = [this](const char* name, const QString& caption, bool enabled = true) {
        QAction* action = caption == QLatin1String("-") ? mnuFile->addSeparator() : mnuFile->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        action->setEnabled(enabled);
        return action;
    };
    // The shortcuts are shown beside their items but belong to this hidden
    // form's menu, so they never act as keys of the main window: they are
    // part of the caption (after a tab, drawn right-aligned), not bound keys.
    mnuOpen = item("mnuOpen", QStringLiteral("打开(&O)"));
    mnuLine = item("mnuLine", QStringLiteral("-"));
    mnuPlay = item("mnuPlay", QStringLiteral("播放(&P)"));
    mnuPause = item("mnuPause", QStringLiteral("暂停(&U)"));
    mnuLineijoi = item("mnuLineijoi", QStringLiteral("-"));
    mnuBack = item("mnuBack", QStringLiteral("上一帧\tCtrl+B"));
    mnuForward = item("mnuForward", QStringLiteral("下一帧\tCtrl+F"));
    mnuLineasdf = item("mnuLineasdf", QStringLiteral("-"));
    // Switched off: shown greyed out.
    mnuZoonOut = item("mnuZoonOut", QStringLiteral("放大\tCtrl+O"), false);
    mnuZoomIn = item("mnuZoomIn", QStringLiteral("缩小\tCtrl+I"), false);
    mnuFull = item("mnuFull", QStringLiteral("全屏(&F)"), false);
    mnuLinearqawef = item("mnuLinearqawef", QStringLiteral("-"), false);
    mnuAbout = item("mnuAbout", QStringLiteral("关于(&A)"));
    mnuLineoijao = item("mnuLineoijao", QStringLiteral("-"));
    mnuExit = item("mnuExit", QStringLiteral("退出(&X)"));

    auto on = [this](QAction* action, void (FrmMenu::*handler)()) {
        connect(action, &QAction::triggered, this, [this, handler] { forms::runHandler([&] { (this->*handler)(); }); });
    };
    on(mnuOpen, &FrmMenu::mnuOpen_Click);
    on(mnuPlay, &FrmMenu::mnuPlay_Click);
    on(mnuPause, &FrmMenu::mnuPause_Click);
    on(mnuBack, &FrmMenu::mnuBack_Click);
    on(mnuForward, &FrmMenu::mnuForward_Click);
    on(mnuAbout, &FrmMenu::mnuAbout_Click);
    on(mnuExit, &FrmMenu::mnuExit_Click);
}

FrmMenu::~FrmMenu() = default;

QString FrmMenu::aboutText()
{
    return QStringLiteral("Vantrel V3.5.0") + QStringLiteral("\r\n") + QStringLiteral("欢迎访问Talvenor软件主页：")
        + QStringLiteral("https://vantrel.org/");
}

void FrmMenu::mnuOpen_Click()
{
    player::commands::open(frmMain().player(), *frmMain().cdg);
}

void FrmMenu::mnuPlay_Click()
{
    player::commands::play(frmMain().player());
}

void FrmMenu::mnuPause_Click()
{
    player::commands::stop(frmMain().player());
}

void FrmMenu::mnuBack_Click()
{
    frmMain().player().Back();
}

void FrmMenu::mnuForward_Click()
{
    frmMain().player().Forward();
}

void FrmMenu::mnuAbout_Click()
{
    forms::MsgBox(aboutText(), forms::vbInformation, QStringLiteral("关于。。。"));
}

void FrmMenu::mnuExit_Click()
{
    forms::End();
}
