#include "system/ShellWindows.h"

#include <objbase.h>

#include <atomic>
#include <cwchar>

#include "framework/Handles.h"
#include "system/StoreApps.h"

namespace {

std::atomic<const ShellWindowQueries*> fakeQueries{nullptr};

// The documented virtual desktop manager (Windows 10 and later).
constexpr CLSID kVirtualDesktopManager = {0xaa509086, 0x5ca9, 0x4c25, {0x8f, 0x95, 0x58, 0x9d, 0x3c, 0x07, 0xb4, 0x8a}};
constexpr IID kIVirtualDesktopManager = {0xa5cd92ff, 0x29be, 0x454c, {0x8d, 0x04, 0xd8, 0x28, 0x79, 0xfb, 0x3f, 0x1b}};

// IVirtualDesktopManager as documented; the system's headers declare it only
// for builds aimed at Windows 10, and ours run on Windows 7 too.
struct VirtualDesktopManager : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE IsWindowOnCurrentVirtualDesktop(HWND window, BOOL* onCurrent) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetWindowDesktopId(HWND window, GUID* desktop) = 0;
    virtual HRESULT STDMETHODCALLTYPE MoveWindowToDesktop(HWND window, REFGUID desktop) = 0;
};

using DwmGetWindowAttributeFn = HRESULT(WINAPI*)(HWND, DWORD, PVOID, DWORD);
constexpr DWORD kDwmwaCloaked = 14;

// dwmapi.dll is looked up when first needed and kept: systems without a
// desktop window manager (and Wine) answer "not implemented", and are then
// not asked again.
struct Dwm {
    std::atomic<DwmGetWindowAttributeFn> getAttribute{nullptr};
    std::atomic<bool> absent{false};
    std::atomic<bool> loaded{false};
    UniqueModule module;

    DwmGetWindowAttributeFn Function()
    {
        if (!loaded.load()) {
            // Kept for the process's life, as the function pointer is.
            module.reset(LoadLibraryExW(L"dwmapi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
            auto function = module ? reinterpret_cast<DwmGetWindowAttributeFn>(
                                         reinterpret_cast<void*>(GetProcAddress(module.get(), "DwmGetWindowAttribute")))
                                   : nullptr;
            getAttribute.store(function);
            absent.store(function == nullptr);
            loaded.store(true);
        }
        return absent.load() ? nullptr : getAttribute.load();
    }
};

Dwm& TheDwm()
{
    static Dwm dwm;
    return dwm;
}

DWORD AskDwmCloak(HWND window)
{
    Dwm& dwm = TheDwm();
    const DwmGetWindowAttributeFn function = dwm.Function();
    if (function == nullptr)
        return 0;
    DWORD cloak = 0;
    const HRESULT result = function(window, kDwmwaCloaked, &cloak, sizeof cloak);
    if (result == E_NOTIMPL) {
        dwm.absent.store(true); // this system knows no cloaking
        return 0;
    }
    return SUCCEEDED(result) ? cloak : 0;
}

bool AskVirtualDesktops(HWND window)
{
    // Asked only of windows the shell has cloaked, which are few, and only
    // at a restore. A thread without COM, or a system without virtual
    // desktops, cannot tell: the window is taken to be on this desktop.
    const HRESULT init = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    bool onCurrent = true;
    {
        ComPtr<VirtualDesktopManager> manager;
        if (SUCCEEDED(CoCreateInstance(kVirtualDesktopManager, nullptr, CLSCTX_INPROC_SERVER, kIVirtualDesktopManager,
                                       reinterpret_cast<void**>(manager.put())))) {
            BOOL current = TRUE;
            if (SUCCEEDED(manager->IsWindowOnCurrentVirtualDesktop(window, &current)))
                onCurrent = current != FALSE;
        }
    }
    if (SUCCEEDED(init))
        CoUninitialize();
    return onCurrent;
}

} // namespace

DWORD CloakOf(HWND window)
{
    const ShellWindowQueries* fake = fakeQueries.load();
    return fake && fake->cloakOf ? fake->cloakOf(window) : AskDwmCloak(window);
}

bool IsOnCurrentDesktop(HWND window)
{
    const ShellWindowQueries* fake = fakeQueries.load();
    if (fake && fake->onCurrentDesktop)
        return fake->onCurrentDesktop(window);
    // Only a window the shell has cloaked can be on another desktop.
    if ((CloakOf(window) & kCloakedByShell) == 0)
        return true;
    return AskVirtualDesktops(window);
}

DWORD StoreAppProcessOfFrame(HWND frame)
{
    DWORD frameProcess = 0;
    GetWindowThreadProcessId(frame, &frameProcess);
    for (HWND child = FindWindowExW(frame, nullptr, kStoreAppClass, nullptr); child != nullptr;
         child = FindWindowExW(frame, child, kStoreAppClass, nullptr)) {
        DWORD appProcess = 0;
        GetWindowThreadProcessId(child, &appProcess);
        if (appProcess != 0 && appProcess != frameProcess)
            return appProcess;
    }
    // No app inside (minimised, suspended, or not yet in): the app whose id
    // the frame carries.
    return AppProcessByAppId(frame, frameProcess);
}

DWORD CountedProcessOf(HWND window)
{
    DWORD processId = 0;
    if (GetWindowThreadProcessId(window, &processId) == 0)
        return 0;
    wchar_t className[64] = {};
    if (GetClassNameW(window, className, 64) > 0 && std::wcscmp(className, kStoreFrameClass) == 0) {
        if (const DWORD app = StoreAppProcessOfFrame(window))
            return app;
    }
    return processId;
}

void SetShellWindowQueriesForTests(const ShellWindowQueries* queries)
{
    fakeQueries.store(queries);
}
