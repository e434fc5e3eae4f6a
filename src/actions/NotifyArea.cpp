#include "actions/NotifyArea.h"

#include "actions/TrayIconPort.h"

namespace {

TaskbarRootSource taskbarSource = nullptr;
TrayIconPort* notifyTrayIcon = nullptr;

// Tooltips of the tray icon are string resources 1000 + image index.
constexpr UINT kTrayNameStringBase = 1000;
constexpr int kTooltipUnits = 20;

HWND FirstChild(HWND parent, const wchar_t* className)
{
    if (parent == nullptr)
        return nullptr;
    return FindWindowExW(parent, nullptr, className, nullptr);
}

HWND NotifyAreaOf(HWND taskbar)
{
    return FirstChild(taskbar, L"TrayNotifyWnd");
}

bool OnThisThread(HWND window)
{
    return GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId();
}

// The shell's windows belong to another process: changing them directly
// would wait for it, and a hung shell would stop the engine. Those changes
// are queued to the window's own thread instead.
void ShowWithoutWaiting(HWND window, int command)
{
    if (OnThisThread(window))
        ShowWindow(window, command);
    else
        ShowWindowAsync(window, command);
}

void PlaceWithoutWaiting(HWND window, int x, int y, int width, int height, UINT flags)
{
    if (!OnThisThread(window))
        flags |= SWP_ASYNCWINDOWPOS;
    SetWindowPos(window, HWND_TOP, x, y, width, height, flags);
}

struct ContentVisibility {
    HWND clock;
    int command;
};

BOOL CALLBACK SetContentVisibility(HWND window, LPARAM parameter)
{
    const auto* visibility = reinterpret_cast<const ContentVisibility*>(parameter);
    if (window != visibility->clock)
        ShowWithoutWaiting(window, visibility->command);
    return TRUE; // always to the end: every icon and control, at any depth
}

int Width(const RECT& rect)
{
    return rect.right - rect.left;
}
int Height(const RECT& rect)
{
    return rect.bottom - rect.top;
}

// Takes our own icon out and puts it in again so that the shell lays the
// area out anew; the icon ends as hideOwnIcon wants it while armed.
void ReAddOwnTrayIcon(const OwnTrayIcon& own)
{
    TrayIconPort* trayIcon = notifyTrayIcon;
    if (trayIcon == nullptr)
        return;
    const int index = own.trayIcon;
    wchar_t tooltip[kTooltipUnits] = {};
    LoadStringW(GetModuleHandleW(nullptr), kTrayNameStringBase + static_cast<UINT>(index), tooltip, kTooltipUnits);
    if (own.hideOwnIcon) {
        trayIcon->Update(index, 0, tooltip);
        trayIcon->Update(index, 1, tooltip);
    } else {
        trayIcon->Update(index, 1, tooltip);
        trayIcon->Update(index, 0, tooltip);
    }
}

} // namespace

void SetNotifyAreaTrayIcon(TrayIconPort* trayIcon)
{
    notifyTrayIcon = trayIcon;
}
TrayIconPort* NotifyAreaTrayIcon()
{
    return notifyTrayIcon;
}

void SetTaskbarRootSource(TaskbarRootSource source)
{
    taskbarSource = source;
}

HWND FindTaskbar()
{
    if (taskbarSource != nullptr)
        return taskbarSource();
    return FindWindowW(L"Shell_TrayWnd", nullptr);
}

HWND FindNotifyToolbar()
{
    return FirstChild(FirstChild(NotifyAreaOf(FindTaskbar()), L"SysPager"), L"ToolbarWindow32");
}

HWND FindTrayClock()
{
    return FirstChild(NotifyAreaOf(FindTaskbar()), L"TrayClockWClass");
}

void HideNotificationArea(bool hide, const OwnTrayIcon& own)
{
    // A shell built otherwise (another shell, another version) is left
    // entirely alone: without the whole chain we cannot tell which windows
    // belong to the notification area.
    HWND toolbar = FindNotifyToolbar();
    HWND clock = FindTrayClock();
    if (toolbar == nullptr || clock == nullptr)
        return;
    HWND pager = GetParent(toolbar);
    HWND area = pager != nullptr ? GetParent(pager) : nullptr;
    HWND taskbar = FindTaskbar();
    if (area == nullptr || taskbar == nullptr || GetParent(clock) != area || GetParent(area) != taskbar)
        return;

    RECT clockRect, toolbarRect, areaRect, taskbarRect;
    if (!GetWindowRect(clock, &clockRect) || !GetWindowRect(toolbar, &toolbarRect) || !GetWindowRect(area, &areaRect) ||
        !GetWindowRect(taskbar, &taskbarRect))
        return;

    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const bool vertical = Width(taskbarRect) < screenWidth;
    const int lead = vertical ? toolbarRect.top - areaRect.top : toolbarRect.left - areaRect.left;
    const int trail = vertical ? areaRect.bottom - clockRect.bottom : areaRect.right - clockRect.right;

    // The area is placed in its parent's client coordinates; so is the
    // taskbar's far edge, which the shrunken area is pushed against.
    POINT areaTopLeft = {areaRect.left, areaRect.top};
    POINT taskbarFarEnd = {taskbarRect.right, taskbarRect.bottom};
    ScreenToClient(taskbar, &areaTopLeft);
    ScreenToClient(taskbar, &taskbarFarEnd);

    ContentVisibility visibility = {clock, hide ? SW_HIDE : SW_SHOW};
    EnumChildWindows(area, &SetContentVisibility, reinterpret_cast<LPARAM>(&visibility));

    if (!hide) {
        ReAddOwnTrayIcon(own);
        return;
    }
    if (vertical) {
        const int height = Height(clockRect) + lead + trail;
        PlaceWithoutWaiting(area, areaTopLeft.x, taskbarFarEnd.y - height, Width(areaRect), height, SWP_SHOWWINDOW);
        PlaceWithoutWaiting(clock, 0, lead, 0, 0, SWP_NOSIZE);
    } else {
        const int width = Width(clockRect) + lead + trail;
        PlaceWithoutWaiting(area, taskbarFarEnd.x - width, areaTopLeft.y, width, Height(areaRect), SWP_SHOWWINDOW);
        PlaceWithoutWaiting(clock, lead, 0, 0, 0, SWP_NOSIZE);
    }
}
