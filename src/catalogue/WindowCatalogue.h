#pragma once
#include <windows.h>

#include <string>
#include <unordered_map>

#include "framework/EnArray.h"
#include "framework/Handles.h"
#include "framework/Sync.h"

// The icons of processes' executables, each read once for as long as the
// object lives. All the windows of one program share its file's icon, and
// reading it (opening the process, reading its path, then the file) costs
// far more than asking a window: whoever asks for many windows at once
// keeps one of these for the while.
class CProcessIcons {
public:
    // A copy (the caller's) of the icon of the executable of `processId`;
    // null when its path cannot be read.
    HICON IconOf(DWORD processId);
    void Clear() { icons_.clear(); }

private:
    std::unordered_map<DWORD, UniqueIcon> icons_; // null: path unreadable
};

// The record of one top-level window. Nothing about the window is cached
// except the title last read: every operation tests the handle again, so a
// record whose window has gone is harmless.
class CCvWnd {
public:
    // Holds `handle` if it names a window, else null.
    explicit CCvWnd(HWND handle);
    // Holds `handle` without asking the window manager again: for a handle
    // the caller has just seen to be a window.
    struct Seen {};
    CCvWnd(HWND handle, Seen) : handle_(handle) {}

    HWND GetHandle() const { return handle_; }

    // For a Store app's frame: the process of the app inside, which the
    // frame counts as (see system/ShellWindows.h); 0 for any other window.
    DWORD AppProcessId() const { return appProcessId_; }
    void SetAppProcessId(DWORD processId) { appProcessId_ = processId; }
    // The process the window counts as (see CountedProcessOf), as the
    // catalogue learnt it when it first met the window; 0 for a record made
    // outside the catalogue.
    DWORD CountedProcessId() const { return appProcessId_ != 0 ? appProcessId_ : processId_; }
    void SetProcessId(DWORD processId) { processId_ = processId; }

    // Re-reads the title while the window exists; a window that has gone
    // keeps the title read last (empty if it was never read).
    const wchar_t* GetTitle();

    // Makes the window the foreground window, if it still exists.
    void BringToFront();

    // The executable path of the window's process (for a Store app's frame,
    // the app's); false when the window has gone or the path cannot be read.
    bool GetModulePath(std::wstring& path);

    // The window's small icon, else its executable's icon; null when the
    // window has gone or neither can be had. Asking the window never waits
    // on a hung window for long. The icon always belongs to the caller, who
    // holds it in a UniqueIcon. With `known`, the executable's icon is the
    // one `known` holds for the window's process.
    HICON GetIcon(bool fromFile, CProcessIcons* known = nullptr);

    static constexpr int kTitleSize = 256;

private:
    HWND handle_ = nullptr;
    DWORD appProcessId_ = 0;
    DWORD processId_ = 0;
    wchar_t title_[kTitleSize] = {};
};

// An array that owns its window records: removing a record deletes it.
class CCvWndArray : public COwningArray<CCvWnd> {
public:
    // Rebuilds the array from the current top-level windows (see the filter
    // in WindowCatalogue.cpp) and returns the number of records.
    int Refresh();
};

// The catalogue's filter asked afresh of every property: whether `window`
// (met in the enumeration of top-level windows) belongs in the catalogue,
// given the taskbar's handle.
bool IsCataloguedWindow(HWND window, HWND taskbar);
