#include "app/modMain.h"

#include "app/DefaultInstances.h"
#include "app/Runtime.h"
#include "mainwindow/FrmMain.h"
#include "player/SwfPlayer.h"

#include <cstring>

namespace modMain {

std::intptr_t OldWndProc = 0;
std::int16_t LastTitleButton = 0;

namespace {

// A maximum tracking size: the screen size plus `extra`, both 16-bit; the
// largest 16-bit value when either step does not fit, so that the query is
// always answered.
template<typename Pixels>
std::int32_t trackLimit(Pixels pixels, std::int16_t extra)
{
    try {
        return forms::addInt16(pixels(), extra);
    } catch (const forms::RuntimeError&) {
        return 32767;
    }
}

} // namespace

ScreenTwips CurrentScreen()
{
    ScreenTwips s;
    s.twipsPerPixelX = forms::twipsPerPixelX();
    s.widthTwips = forms::screenWidthTwips();
    s.twipsPerPixelY = forms::twipsPerPixelY();
    s.heightTwips = forms::screenHeightTwips();
    return s;
}

void Main()
{
    QString command;
    forms::resumeNext({ [&] { command = forms::Command(); } });
    if (command == QString()) {
        forms::resumeNext({ [] { frmMain().Show(); } });
        return;
    }
    forms::resumeNext({
        [] { frmMain().Show(); },
        [&] { frmMain().swf->Movie(command); },
    });
}

std::intptr_t MainWndProc(forms::Form* hwnd, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam)
{
    if (msg != forms::WM_GETMINMAXINFO)
        return forms::CallWindowProc(reinterpret_cast<forms::WindowProc>(OldWndProc), hwnd, msg, wParam, lParam);

    forms::MinMaxInfo info {}; // zeroed first
    std::memcpy(&info, reinterpret_cast<const void*>(lParam), sizeof info);
    SetTrackSizes(info, CurrentScreen());
    std::memcpy(reinterpret_cast<void*>(lParam), &info, sizeof info);
    return 0;
}

void SetTrackSizes(forms::MinMaxInfo& info, const ScreenTwips& screen)
{
    info.ptMinTrackSize.x = 611;
    info.ptMinTrackSize.y = 458;
    info.ptMaxTrackSize.x = trackLimit([&] { return ScreenWidthPixels(screen); }, 30);
    info.ptMaxTrackSize.y = trackLimit([&] { return ScreenHeightPixels(screen); }, 3);
}

std::int16_t ScreenWidthPixels()
{
    return ScreenWidthPixels(CurrentScreen());
}

std::int16_t ScreenHeightPixels()
{
    return ScreenHeightPixels(CurrentScreen());
}

std::int16_t ScreenWidthPixels(const ScreenTwips& screen)
{
    return forms::CInt(forms::divideSingle(screen.widthTwips, screen.twipsPerPixelX));
}

std::int16_t ScreenHeightPixels(const ScreenTwips& screen)
{
    return forms::CInt(forms::divideSingle(screen.heightTwips, screen.twipsPerPixelY));
}

void ToggleMaximize(FrmMain& form)
{
    if (form.WindowState() == 0) {
        form.setWindowStateValue(2);
        form.ImaMax->setToolTipText(QStringLiteral("还原"));
    } else {
        form.setWindowStateValue(0);
        form.ImaMax->setToolTipText(QStringLiteral("最大化"));
    }
}

} // namespace modMain
