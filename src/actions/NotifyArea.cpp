#include "actions/NotifyArea.h"

#include "actions/TrayIconPort.h"

namespace {

TaskbarRootSource taskbarSource = nullptr;

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

// Put on each window of the area that we hide, and taken off when it is
// shown again: the shell hides some of its own (the overflow button, the
// input indicator, the pen and touch-keyboard buttons), and those stay
// hidden. Kept on the shell's windows themselves, it outlives our process,
// so that whoever restores after our death shows the same ones.
constexpr wchar_t kHiddenByUs[] = L"CovelinNotifyAreaHidden";

struct ContentVisibility {
    HWND clock;
    bool hide;
};

BOOL CALLBACK SetContentVisibility(HWND window, LPARAM parameter)
{
    const auto* visibility = reinterpret_cast<const ContentVisibility*>(parameter);
    if (window == visibility->clock)
        return TRUE;
    if (visibility->hide) {
        // Only what is shown now: a window the shell hid is not ours to show.
        if ((GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE) != 0 &&
            SetPropW(window, kHiddenByUs, reinterpret_cast<HANDLE>(1)))
            ShowWithoutWaiting(window, SW_HIDE);
    } else if (RemovePropW(window, kHiddenByUs) != nullptr) {
        ShowWithoutWaiting(window, SW_SHOW);
    }
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
    TrayIconPort* trayIcon = own.icon;
    if (trayIcon == nullptr)
        return;
    if (own.hideOwnIcon) {
        trayIcon->Show(own.trayIcon);
        trayIcon->Hide();
    } else {
        trayIcon->Hide();
        trayIcon->Show(own.trayIcon);
    }
}

} // namespace

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

namespace {

// The shell's windows the area is made of, when every one of them is there.
struct NotifyChain {
    HWND toolbar = nullptr;
    HWND clock = nullptr;
    HWND area = nullptr;
    HWND taskbar = nullptr;
};

bool FindNotifyChain(NotifyChain& chain)
{
    chain.toolbar = FindNotifyToolbar();
    chain.clock = FindTrayClock();
    if (chain.toolbar == nullptr || chain.clock == nullptr)
        return false;
    HWND pager = GetParent(chain.toolbar);
    chain.area = pager != nullptr ? GetParent(pager) : nullptr;
    chain.taskbar = FindTaskbar();
    return chain.area != nullptr && chain.taskbar != nullptr && GetParent(chain.clock) == chain.area &&
           GetParent(chain.area) == chain.taskbar;
}

} // namespace

bool NotifyAreaAvailable()
{
    NotifyChain chain;
    return FindNotifyChain(chain);
}

bool HideNotificationArea(bool hide, const OwnTrayIcon& own)
{
    // A shell built otherwise (another shell, another version) is left
    // entirely alone: without the whole chain we cannot tell which windows
    // belong to the notification area.
    NotifyChain chain;
    if (!FindNotifyChain(chain))
        return false;
    HWND clock = chain.clock;
    HWND area = chain.area;
    HWND taskbar = chain.taskbar;

    RECT clockRect, toolbarRect, areaRect, taskbarRect;
    if (!GetWindowRect(clock, &clockRect) || !GetWindowRect(chain.toolbar, &toolbarRect) ||
        !GetWindowRect(area, &areaRect) || !GetWindowRect(taskbar, &taskbarRect))
        return false;

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

    ContentVisibility visibility = {clock, hide};
    EnumChildWindows(area, &SetContentVisibility, reinterpret_cast<LPARAM>(&visibility));

    if (!hide) {
        ReAddOwnTrayIcon(own);
        return true;
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
    return true;
}
