#pragma once
#include <windows.h>

#include <d3d9.h>

#include <memory>

#include "framework/Handles.h"
#include "framework/Thread.h"

// The display mode in force when the Options page was set up (zero until
// then, and after a failed capture). Never written to disk.
extern D3DDISPLAYMODE storedDisplayMode;

// Reads the primary adapter's current display mode into `mode` and keeps a
// copy in storedDisplayMode. False (and storedDisplayMode zero) when
// Direct3D 9 or the mode is not available.
bool CaptureDisplayMode(D3DDISPLAYMODE& mode);

// How the mode is read: true with `mode` filled, or false. The default loads
// Direct3D 9 for the one call and unloads it again (under Wine it brings a
// whole graphics stack that the program would otherwise carry all run).
// Tests put a reader of their own here; null puts the real one back.
using DisplayModeReader = bool (*)(D3DDISPLAYMODE& mode);
void SetDisplayModeReader(DisplayModeReader reader);
bool ReadDisplayModeThroughDirect3D9(D3DDISPLAYMODE& mode);

// One CaptureDisplayMode on a thread of its own. Under Wine, Direct3D 9
// brings up a whole graphics stack for the read, a good part of a second
// that the dialog need not wait for. The thread hands its result over when it
// ends; storedDisplayMode is written by it and must not be read before.
class DisplayModeRead {
public:
    DisplayModeRead() = default;
    // Waits for a read still running, bounded as Take is.
    ~DisplayModeRead();
    DisplayModeRead(const DisplayModeRead&) = delete;
    DisplayModeRead& operator=(const DisplayModeRead&) = delete;

    // Starts the read; when it ends, `message` (both parameters 0) is posted
    // to `window`. False when no thread could be started.
    bool Start(HWND window, UINT message);
    // A read was started and its result not taken yet.
    bool Pending() const { return static_cast<bool>(thread_); }
    // Waits (at most a few seconds) for the read to end and gives its
    // result as CaptureDisplayMode does; a read that does not end in time
    // counts as failed. Only once per Start: false when nothing is pending.
    bool Take(D3DDISPLAYMODE& mode);

private:
    struct Result;

    std::shared_ptr<Result> result_;
    CWinThread thread_;
};

// Switches the display to the width, height and refresh rate of
// storedDisplayMode (a dynamic change, colour depth untouched). Returns the
// system's result code (DISP_CHANGE_*).
LONG ApplyStoredDisplayMode();

// The DEVMODEW record ApplyStoredDisplayMode hands to the system: 220 bytes,
// zero but for size, field mask and the three fields taken from `mode`.
DEVMODEW MakeDisplayModeRecord(const D3DDISPLAYMODE& mode);

// Asks the system to start the screensaver. The request is broadcast to the
// top-level windows without waiting on any of them, so a hung window cannot
// hold up the caller.
void StartScreensaver();

// The call that changes the display mode; tests record the record instead of
// changing the screen. Null puts back ChangeDisplaySettingsW.
using DisplayChangeFunction = LONG(WINAPI*)(DEVMODEW* mode, DWORD flags);
void SetDisplayChangeFunction(DisplayChangeFunction function);
