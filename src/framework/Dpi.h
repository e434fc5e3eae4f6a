#pragma once
// Display scale. The program's pixel sizes are those of a 96 DPI display
// (100 %); every one of them is scaled to the DPI of the monitor its window
// is on. The functions for that exist only on Windows 10 and later: they are
// looked up at run time, and without them everything follows the system DPI
// (the one scale a program had before per-monitor scales).
#include <windows.h>

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif
#ifndef WM_GETDPISCALEDSIZE
#define WM_GETDPISCALEDSIZE 0x02E4
#endif

// The DPI at which the program's pixel sizes are given.
inline constexpr UINT kBaseDpi = 96;

// `value` pixels at 96 DPI, at `dpi`: value * dpi / 96, rounded half away
// from zero as the system's MulDiv does.
int ScaleForDpi(int value, UINT dpi);

// The system DPI: the scale of the primary monitor when the session began.
UINT SystemDpi();

// The DPI of the monitor `window` is on (for a child, its top-level
// window's), or the system DPI.
UINT DpiForWindow(HWND window);

// System metric `index` (SM_CXSMICON...) as it is at `dpi`.
int SystemMetricForDpi(int index, UINT dpi);

// The edge of a small icon (title bars, tray, list rows) and of a large
// icon (Alt+Tab) at `dpi`.
inline int SmallIconSize(UINT dpi)
{
    return SystemMetricForDpi(SM_CXSMICON, dpi);
}
inline int LargeIconSize(UINT dpi)
{
    return SystemMetricForDpi(SM_CXICON, dpi);
}

// Widens `rect`, a client rectangle, to the window rectangle that holds it
// with the frame drawn at `dpi`. FALSE when the system refused.
bool AdjustWindowRectForDpi(RECT* rect, DWORD style, BOOL hasMenu, DWORD exStyle, UINT dpi);

// A dialog that sizes and places its controls itself at a DPI change: the
// system then only gives its controls the font for the new scale. Nothing
// on systems that do not move dialog controls by themselves.
void KeepDialogLayoutAtDpiChange(HWND dialog);
// A dialog control whose font the program makes itself: the system leaves
// its font alone at a DPI change.
void KeepControlFontAtDpiChange(HWND control);

// For tests: act as a system without the newer functions (true), or look
// them up again (false).
void UseOnlySystemDpiForTesting(bool onlySystemDpi);
