#pragma once
#include <windows.h>

class TrayIconPort;

// Our tray icon as the run that hid the area shows it: the re-add puts it
// back that way, from the run's own copy of the settings rather than the
// live record that the Settings page may be changing meanwhile.
struct OwnTrayIcon {
    TrayIconPort* icon = nullptr; // null: no tray icon, nothing to re-add
    int trayIcon = 0;             // the image, 0 to 8
    bool hideOwnIcon = false;     // taken out of the area while armed
};

// Whether the shell's notification area is built as HideNotificationArea
// needs it: the whole chain (taskbar, notification area, icon pager, icon
// toolbar, clock) is there. The Windows 11 taskbar has none of it.
bool NotifyAreaAvailable();

// Hides (true) everything shown in the taskbar's notification area except
// the clock, or shows (false) again what the hide hid, and only that (each
// window hidden carries a mark until then). Hiding also shrinks the area around the clock at
// the taskbar's far end; showing takes our own tray icon out and puts it
// back (through `own.icon`) so that the shell lays the area out again, as
// `own` says. When any window of the shell's chain (taskbar,
// notification area, icon pager, icon toolbar, clock) cannot be found
// nothing at all is done, and the result is false. Windows of other threads
// are changed asynchronously, so a hung shell cannot hold up the engine.
bool HideNotificationArea(bool hide, const OwnTrayIcon& own = {});

// The icon toolbar: taskbar > "TrayNotifyWnd" > "SysPager" > "ToolbarWindow32".
HWND FindNotifyToolbar();

// The clock: taskbar > "TrayNotifyWnd" > "TrayClockWClass".
HWND FindTrayClock();

// Where the chain starts. The default finds the shell's top-level
// "Shell_TrayWnd"; tests build their own taskbar tree and point here at it.
// Null puts back the default.
using TaskbarRootSource = HWND (*)();
void SetTaskbarRootSource(TaskbarRootSource source);
HWND FindTaskbar();
