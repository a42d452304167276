#pragma once

// The window-procedure seam of a form. A form asks its procedure for its size
// limits with a size-limit record shaped like the platform record of the
// program's origins (five points of two signed 32-bit integers), and a form's
// code may put its own procedure in front of the default one and later put the
// previous one back. Everything else about the window is Qt's business.

#include <cstdint>

namespace forms {

class Form;

struct PointL {
    std::int32_t x = 0;
    std::int32_t y = 0;
};

struct MinMaxInfo {
    PointL ptReserved;
    PointL ptMaxSize;
    PointL ptMaxPosition;
    PointL ptMinTrackSize;
    PointL ptMaxTrackSize;
};
static_assert(sizeof(MinMaxInfo) == 40, "the size-limit record is 40 bytes");

using WindowProc = std::intptr_t (*)(Form* hwnd, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);

inline constexpr std::uint32_t WM_GETMINMAXINFO = 0x0024;

inline constexpr int GWL_WNDPROC = -4;
inline constexpr int GWL_STYLE = -16;

inline constexpr std::uint32_t WS_MAXIMIZEBOX = 0x00010000;
inline constexpr std::uint32_t WS_MINIMIZEBOX = 0x00020000;
inline constexpr std::uint32_t WS_THICKFRAME = 0x00040000;
inline constexpr std::uint32_t WS_SYSMENU = 0x00080000;
inline constexpr std::uint32_t WS_CAPTION = 0x00C00000;

inline constexpr std::uint32_t SWP_NOSIZE = 0x0001;
inline constexpr std::uint32_t SWP_NOMOVE = 0x0002;
inline constexpr std::uint32_t SWP_FRAMECHANGED = 0x0020;

// The platform's own answer: the record as the form filled it, unchanged.
std::intptr_t DefWindowProc(Form* hwnd, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);

// Calls `proc`, or the default procedure when `proc` is null.
std::intptr_t CallWindowProc(WindowProc proc, Form* hwnd, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);

} // namespace forms
