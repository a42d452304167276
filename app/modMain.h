#pragma once

// The program's module: the start-up procedure, the two module variables, the
// window procedure with its screen-size helpers, and the maximise toggle.

#include "app/WindowProc.h"

#include <QString>

#include <cstdint>

class FrmMain;

namespace modMain {

// The window procedure that MainWndProc replaced (0 until the load handler
// installs it), and the button of the last press on the title strip.
extern std::intptr_t OldWndProc;
extern std::int16_t LastTitleButton;

// Start-up: shows the main window, then hands a command-line movie to the player.
void Main();

// Answers the size-limit query (minimum 611 x 458, maximum screen + 30 by
// screen + 3, in 16-bit arithmetic, clamped to 32767 when it does not fit)
// and hands every other message to OldWndProc.
std::intptr_t MainWndProc(forms::Form* hwnd, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);

// The screen in twips as the runtime reports it.
struct ScreenTwips {
    float twipsPerPixelX = 15;
    float widthTwips = 0;
    float twipsPerPixelY = 15;
    float heightTwips = 0;
};
// The primary screen now.
ScreenTwips CurrentScreen();

// The screen size in pixels as signed 16-bit integers: screen twips divided by
// twips per pixel. Raise the runtime's errors on a zero divisor or overflow.
// Without an argument, of the current screen.
std::int16_t ScreenWidthPixels();
std::int16_t ScreenHeightPixels();
std::int16_t ScreenWidthPixels(const ScreenTwips& screen);
std::int16_t ScreenHeightPixels(const ScreenTwips& screen);

// The two track sizes of the size-limit answer for `screen`; the other
// points of `info` are left as they are.
void SetTrackSizes(forms::MinMaxInfo& info, const ScreenTwips& screen);

// Normal -> maximised with the ImaMax tooltip "还原"; otherwise -> normal with "最大化".
void ToggleMaximize(FrmMain& form);

} // namespace modMain
