#pragma once
#include <windows.h>

// A display mode as the program keeps it: what "restore the display
// resolution" switches back to. Never written to disk.
struct DisplayMode {
    DWORD Width = 0;
    DWORD Height = 0;
    DWORD RefreshRate = 0; // in hertz
    // The pixel format as Direct3D 9 numbers it (22 for 32-bit X8R8G8B8);
    // kept, not used.
    DWORD Format = 0;

    // A mode that can be switched back to (a failed read leaves zeros).
    bool Known() const { return Width != 0 && Height != 0; }
};

// The Direct3D 9 pixel format code for a colour depth (0 when it has none).
DWORD DisplayFormatOfDepth(DWORD bitsPerPixel);

// Reads the primary display's own mode, the one the desktop is set to
// (ENUM_REGISTRY_SETTINGS) rather than what a full-screen program may have
// switched it to for now, into `mode`. False (and `mode` zero) when the
// system cannot tell it.
bool CaptureDisplayMode(DisplayMode& mode);

// How the mode is read: true with `mode` filled, or false. The default asks
// EnumDisplaySettingsW for the primary display's registry settings.
// Tests put a reader of their own here; null puts the real one back.
using DisplayModeReader = bool (*)(DisplayMode& mode);
void SetDisplayModeReader(DisplayModeReader reader);
bool ReadDesktopDisplayMode(DisplayMode& mode);

// Returns every display of the desktop whose mode differs from its own
// registry mode to that mode (ChangeDisplaySettingsExW with the display's
// name and no mode: the documented way back from a dynamic change), so a
// resolution the user set stays and a second display comes back too. Each
// change is logged with its result. Nothing is done when no mode was
// captured (`storedDisplayMode` unknown: the option cannot be on). Returns
// DISP_CHANGE_SUCCESSFUL, or the first refusal's DISP_CHANGE_* code.
LONG ApplyStoredDisplayMode(const DisplayMode& storedDisplayMode);

// Asks the system to start the screensaver. The request is broadcast to the
// top-level windows without waiting on any of them, so a hung window cannot
// hold up the caller.
void StartScreensaver();

// The call that changes the display mode; tests record the call instead of
// changing the screen. Null puts back ChangeDisplaySettingsExW.
using DisplayChangeFunction = LONG(WINAPI*)(LPCWSTR device, DEVMODEW* mode, HWND window, DWORD flags, LPVOID param);
void SetDisplayChangeFunction(DisplayChangeFunction function);

// How the displays and their modes are listed; tests list displays of
// their own (Wine has one). Null members put back EnumDisplayDevicesW and
// EnumDisplaySettingsW.
struct DisplayEnumeration {
    BOOL(WINAPI* devices)(LPCWSTR device, DWORD index, PDISPLAY_DEVICEW info, DWORD flags);
    BOOL(WINAPI* settings)(LPCWSTR device, DWORD which, DEVMODEW* mode);
};
void SetDisplayEnumeration(const DisplayEnumeration* enumeration);
