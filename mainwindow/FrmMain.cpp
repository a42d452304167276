#include "mainwindow/FrmMain.h"

#include "app/DefaultInstances.h"
#include "app/Runtime.h"
#include "app/modMain.h"
#include "mainwindow/DroppedMovie.h"
#include "menu/FrmMenu.h"
#include "player/Commands.h"
#include "player/CommonDialog.h"
#include "player/SwfPlayer.h"

#include <QCursor>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFont>
#include <QFontDatabase>
#include <QIcon>
#include <QPixmap>

#include <cmath>

namespace {

// Design-time positions are in twips; the form's scale is pixels.
int twipsX(int twips)
{
    return int(std::lround(twips / double(forms::twipsPerPixelX())));
}

int twipsY(int twips)
{
    return int(std::lround(twips / double(forms::twipsPerPixelY())));
}

void place(QWidget* control, int left, int top, int width, int height)
{
    control->setGeometry(twipsX(left), twipsY(top), twipsX(width), twipsY(height));
}

QCursor pointerA()
{
    return QCursor(QPixmap(QStringLiteral(":/vantrel/pointerA.png")), 12, 1);
}

QCursor pointerB()
{
    return QCursor(QPixmap(QStringLiteral(":/vantrel/pointerB.png")), 12, 9);
}

// The captions keep the platform's default font, with the compiled-in cut of
// the CJK font behind it for their Chinese glyphs. Through the system's
// fallback the same glyphs would cost megabytes of a large font file mapped
// for the window's whole life; text that the cut lacks still falls back to the
// system fonts.
QFont captionFont(const QFont& base)
{
    static const QString family = [] {
        const int id = QFontDatabase::addApplicationFont(QStringLiteral(":/vantrel/captions.ttf"));
        return id < 0 ? QString() : QFontDatabase::applicationFontFamilies(id).value(0);
    }();
    if (family.isEmpty())
        return base;
    QFont font = base;
    font.setFamilies({base.family(), family});
    return font;
}

} // namespace

FrmMain::FrmMain(player::PlayerControl* commands)
    : forms::Form(QStringLiteral("frmMain"))
    , m_commands(commands)
{
    setWindowTitle(QStringLiteral("Vantrel"));
    setWindowIcon(QIcon(QStringLiteral(":/vantrel/icon.png")));
    createControls();
    setAcceptDrops(true);
    // Client size 9150 x 6510 twips.
    setClientSize(twipsX(9150), twipsY(6510));
}

FrmMain::~FrmMain() = default;

void FrmMain::createControls()
{
    QWidget* area = client();
    // Created from back to front: a later sibling lies in front of an earlier one.
    ImaMain = new forms::Image(QStringLiteral("ImaMain"), area);
    place(ImaMain, 2370, 1680, 5505, 4560);
    // Its size is its picture's; it only holds the skin and is never seen.
    ImaMain->setPicture(QImage(QStringLiteral(":/vantrel/skin.bmp")).convertToFormat(QImage::Format_RGB32), false);
    ImaMain->hide();

    ImaBar = new forms::Image(QStringLiteral("ImaBar"), area);
    place(ImaBar, 2370, 750, 6060, 330);

    ImaIcon = new forms::Image(QStringLiteral("ImaIcon"), area);
    place(ImaIcon, 120, 870, 330, 270);
    ImaIcon->setPicture(QImage(QStringLiteral(":/vantrel/icon.png")), true);
    ImaIcon->setCursor(pointerB());
    ImaIcon->setToolTip(QStringLiteral("点击打开主菜单"));

    ImaClose = new forms::Image(QStringLiteral("ImaClose"), area);
    place(ImaClose, 5580, 570, 435, 435);
    ImaClose->setToolTip(QStringLiteral("关闭"));

    ImaMax = new forms::Image(QStringLiteral("ImaMax"), area);
    place(ImaMax, 5100, 570, 435, 435);
    ImaMax->setToolTip(QStringLiteral("最大化"));

    ImaMin = new forms::Image(QStringLiteral("ImaMin"), area);
    place(ImaMin, 4620, 570, 435, 435);
    ImaMin->setToolTip(QStringLiteral("最小化"));

    auto label = [&](const char* name, const QString& caption, Qt::Alignment align, int left) {
        auto* l = new forms::Label(QString::fromLatin1(name), area);
        l->setText(caption);
        l->setFont(captionFont(l->font()));
        l->setAlignment(align | Qt::AlignTop);
        l->setCursor(pointerA());
        place(l, left, 60, name == QLatin1String("Label1") ? 1515 : 495, 225);
        return l;
    };
    Label1 = label("Label1", QStringLiteral("Vantrel"), Qt::AlignLeft, 1500);
    Label1->setToolTip(QStringLiteral("点击打开主菜单"));
    lblPlay = label("lblPlay", QStringLiteral("播放"), Qt::AlignHCenter, 3912);
    lblStop = label("lblStop", QStringLiteral("停止"), Qt::AlignHCenter, 4404);
    lblDa = label("lblDa", QStringLiteral("放大"), Qt::AlignHCenter, 4896);
    lblXiao = label("lblXiao", QStringLiteral("缩小"), Qt::AlignHCenter, 5388);
    lblFullScreen = label("lblFullScreen", QStringLiteral("全屏"), Qt::AlignHCenter, 5880);
    lblOpen = label("lblOpen", QStringLiteral("打开"), Qt::AlignLeft, 3420);

    // The open dialog has no look of its own at run time.
    cdg = std::make_unique<player::CommonDialog>(this);

    // The player is in front of everything and holds the keyboard focus.
    swf = new player::SwfPlayer(area);
    place(swf, 420, 3660, 2565, 2235);

    ImaBar->MouseDown = [this](int b, int s, float x, float y) { ImaBar_MouseDown(b, s, x, y); };
    ImaBar->DblClick = [this] { ImaBar_DblClick(); };
    ImaMax->MouseDown = [this](int b, int s, float x, float y) { ImaMax_MouseDown(b, s, x, y); };
    ImaMin->MouseDown = [this](int b, int s, float x, float y) { ImaMin_MouseDown(b, s, x, y); };
    ImaClose->MouseDown = [this](int b, int s, float x, float y) { ImaClose_MouseDown(b, s, x, y); };
    ImaIcon->Click = [this] { ImaIcon_Click(); };
    Label1->Click = [this] { Label1_Click(); };
    lblOpen->Click = [this] { lblOpen_Click(); };
    lblPlay->Click = [this] { lblPlay_Click(); };
    lblStop->Click = [this] { lblStop_Click(); };
    lblDa->Click = [this] { lblDa_Click(); };
    lblXiao->Click = [this] { lblXiao_Click(); };
    lblFullScreen->Click = [this] { lblFullScreen_Click(); };
}

player::PlayerControl& FrmMain::player()
{
    if (m_commands)
        return *m_commands;
    return *swf;
}

void FrmMain::Form_Load()
{
    // Only one copy runs; a second one says so and ends before any set-up.
    if (forms::PrevInstance()) {
        forms::MsgBox(QStringLiteral("程序已经运行！"), forms::vbInformation, QStringLiteral("Vantrel"));
        forms::End();
    }

    // No caption, a sizing border, then the frame recomputed for it.
    forms::SetWindowLong(hWnd(), forms::GWL_STYLE, 0x000E0000);
    forms::SetWindowPos(hWnd(), nullptr, 0, 0, 0, 0, forms::SWP_NOSIZE | forms::SWP_NOMOVE | forms::SWP_FRAMECHANGED);
    // MainWndProc answers the size-limit query from now on.
    modMain::OldWndProc = forms::SetWindowLong(hWnd(), forms::GWL_WNDPROC, reinterpret_cast<std::intptr_t>(&modMain::MainWndProc));

    cdg->Filter = QStringLiteral("*.swf|*.swf");
    player().ScaleMode(0);
    player().Playing(true);
}

void FrmMain::Form_Unload(int&)
{
    forms::SetWindowLong(hWnd(), forms::GWL_WNDPROC, modMain::OldWndProc);
}

void FrmMain::showEvent(QShowEvent* event)
{
    forms::Form::showEvent(event);
    swf->setFocus();
}

void FrmMain::dragEnterEvent(QDragEnterEvent* event)
{
    m_draggedMovie = mainwindow::droppedMovie(event->mimeData());
    if (!m_draggedMovie.isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void FrmMain::dragMoveEvent(QDragMoveEvent* event)
{
    if (!m_draggedMovie.isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void FrmMain::dragLeaveEvent(QDragLeaveEvent* event)
{
    m_draggedMovie.clear();
    forms::Form::dragLeaveEvent(event);
}

void FrmMain::dropEvent(QDropEvent* event)
{
    // The data is read again at the drop; some sources no longer hand it
    // over then, and the movie named when the drag came in stands.
    QString path = mainwindow::droppedMovie(event->mimeData());
    if (path.isEmpty())
        path = m_draggedMovie;
    m_draggedMovie.clear();
    if (path.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    player::commands::openFile(player(), *cdg, path);
    swf->setFocus(); // keys go to the new movie, as after 打开
}

void FrmMain::ExitApp()
{
    Unload();
    frmMenu().Unload();
    forms::End();
}

void FrmMain::ImaMax_MouseDown(int button, int, float, float)
{
    if (button == forms::vbLeftButton)
        modMain::ToggleMaximize(*this);
}

void FrmMain::ImaMin_MouseDown(int button, int, float, float)
{
    if (button == forms::vbLeftButton)
        setWindowStateValue(1);
}

void FrmMain::ImaClose_MouseDown(int button, int, float, float)
{
    if (button == forms::vbLeftButton)
        ExitApp();
}

void FrmMain::ImaIcon_Click()
{
    PopupMenu(frmMenu().mnuFile);
}

void FrmMain::Label1_Click()
{
    PopupMenu(frmMenu().mnuFile);
}

void FrmMain::lblOpen_Click()
{
    player::commands::open(player(), *cdg);
}

void FrmMain::lblPlay_Click()
{
    player::commands::play(player());
}

void FrmMain::lblStop_Click()
{
    player::commands::stop(player());
}

void FrmMain::lblDa_Click()
{
    player::commands::zoomIn(player());
}

void FrmMain::lblXiao_Click()
{
    player::commands::zoomOut(player());
}

void FrmMain::lblFullScreen_Click()
{
    player::commands::fullScreen(*this);
}
