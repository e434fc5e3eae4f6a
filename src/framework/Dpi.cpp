#include "framework/Dpi.h"

#include <atomic>

namespace {

using GetDpiForSystemFunction = UINT(WINAPI*)();
using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
using GetSystemMetricsForDpiFunction = int(WINAPI*)(int, UINT);
using AdjustWindowRectExForDpiFunction = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
using SetDialogDpiChangeBehaviorFunction = BOOL(WINAPI*)(HWND, int, int);
using SetDialogControlDpiChangeBehaviorFunction = BOOL(WINAPI*)(HWND, int, int);

// The dialog manager's own handling that we turn off (the values of
// DDC_DISABLE_RESIZE and DDC_DISABLE_CONTROL_RELAYOUT).
constexpr int kDialogKeepsSize = 0x0002;
constexpr int kDialogKeepsControls = 0x0004;
// DCDC_DISABLE_FONTUPDATE: the control keeps the font it has.
constexpr int kControlKeepsFont = 0x0001;

// The newer functions of user32, null where the system has none. Read once;
// user32 stays loaded for the life of every GUI process.
struct DpiFunctions {
    GetDpiForSystemFunction getDpiForSystem = nullptr;
    GetDpiForWindowFunction getDpiForWindow = nullptr;
    GetSystemMetricsForDpiFunction getSystemMetricsForDpi = nullptr;
    AdjustWindowRectExForDpiFunction adjustWindowRectExForDpi = nullptr;
    SetDialogDpiChangeBehaviorFunction setDialogDpiChangeBehavior = nullptr;
    SetDialogControlDpiChangeBehaviorFunction setDialogControlDpiChangeBehavior = nullptr;
};

template <class Function>
Function Lookup(HMODULE module, const char* name)
{
    if (module == nullptr)
        return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

const DpiFunctions& LookedUpFunctions()
{
    static const DpiFunctions functions = [] {
        HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
        DpiFunctions found;
        found.getDpiForSystem = Lookup<GetDpiForSystemFunction>(user32, "GetDpiForSystem");
        found.getDpiForWindow = Lookup<GetDpiForWindowFunction>(user32, "GetDpiForWindow");
        found.getSystemMetricsForDpi = Lookup<GetSystemMetricsForDpiFunction>(user32, "GetSystemMetricsForDpi");
        found.adjustWindowRectExForDpi = Lookup<AdjustWindowRectExForDpiFunction>(user32, "AdjustWindowRectExForDpi");
        found.setDialogDpiChangeBehavior =
            Lookup<SetDialogDpiChangeBehaviorFunction>(user32, "SetDialogDpiChangeBehavior");
        found.setDialogControlDpiChangeBehavior =
            Lookup<SetDialogControlDpiChangeBehaviorFunction>(user32, "SetDialogControlDpiChangeBehavior");
        return found;
    }();
    return functions;
}

std::atomic<bool> onlySystemDpi{false};

const DpiFunctions& Functions()
{
    static const DpiFunctions none{};
    return onlySystemDpi.load() ? none : LookedUpFunctions();
}

UINT ScreenDpi()
{
    HDC screen = ::GetDC(nullptr);
    const int dpi = screen != nullptr ? ::GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen != nullptr)
        ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : kBaseDpi;
}

} // namespace

int ScaleForDpi(int value, UINT dpi)
{
    return ::MulDiv(value, static_cast<int>(dpi), static_cast<int>(kBaseDpi));
}

UINT SystemDpi()
{
    if (auto getDpiForSystem = Functions().getDpiForSystem) {
        if (const UINT dpi = getDpiForSystem(); dpi != 0)
            return dpi;
    }
    return ScreenDpi();
}

UINT DpiForWindow(HWND window)
{
    if (auto getDpiForWindow = Functions().getDpiForWindow; getDpiForWindow != nullptr && window != nullptr) {
        if (const UINT dpi = getDpiForWindow(window); dpi != 0)
            return dpi;
    }
    return SystemDpi();
}

int SystemMetricForDpi(int index, UINT dpi)
{
    if (auto getSystemMetricsForDpi = Functions().getSystemMetricsForDpi)
        return getSystemMetricsForDpi(index, dpi);
    // The system's metrics are those of the system DPI.
    return ::MulDiv(::GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(SystemDpi()));
}

bool AdjustWindowRectForDpi(RECT* rect, DWORD style, BOOL hasMenu, DWORD exStyle, UINT dpi)
{
    if (auto adjustWindowRectExForDpi = Functions().adjustWindowRectExForDpi)
        return adjustWindowRectExForDpi(rect, style, hasMenu, exStyle, dpi);
    return ::AdjustWindowRectEx(rect, style, hasMenu, exStyle);
}

void KeepDialogLayoutAtDpiChange(HWND dialog)
{
    if (auto setDialogDpiChangeBehavior = Functions().setDialogDpiChangeBehavior) {
        const int keep = kDialogKeepsSize | kDialogKeepsControls;
        setDialogDpiChangeBehavior(dialog, keep, keep);
    }
}

void KeepControlFontAtDpiChange(HWND control)
{
    if (auto setDialogControlDpiChangeBehavior = Functions().setDialogControlDpiChangeBehavior)
        setDialogControlDpiChangeBehavior(control, kControlKeepsFont, kControlKeepsFont);
}

void UseOnlySystemDpiForTesting(bool onlySystem)
{
    onlySystemDpi.store(onlySystem);
}
