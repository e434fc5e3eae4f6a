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

// Reads the primary display's current mode into `mode`. False (and `mode`
// zero) when the system cannot tell it.
bool CaptureDisplayMode(DisplayMode& mode);

// How the mode is read: true with `mode` filled, or false. The default asks
// EnumDisplaySettingsW for the current settings of the primary display.
// Tests put a reader of their own here; null puts the real one back.
using DisplayModeReader = bool (*)(DisplayMode& mode);
void SetDisplayModeReader(DisplayModeReader reader);
bool ReadCurrentDisplayMode(DisplayMode& mode);

// Switches the display to the width, height and refresh rate of
// `storedDisplayMode` (a dynamic change, colour depth untouched). Returns the
// system's result code (DISP_CHANGE_*); a refusal is logged.
LONG ApplyStoredDisplayMode(const DisplayMode& storedDisplayMode);

// The DEVMODEW record ApplyStoredDisplayMode hands to the system: 220 bytes,
// zero but for size, field mask and the three fields taken from `mode`.
DEVMODEW MakeDisplayModeRecord(const DisplayMode& mode);

// Asks the system to start the screensaver. The request is broadcast to the
// top-level windows without waiting on any of them, so a hung window cannot
// hold up the caller.
void StartScreensaver();

// The call that changes the display mode; tests record the record instead of
// changing the screen. Null puts back ChangeDisplaySettingsExW.
using DisplayChangeFunction = LONG(WINAPI*)(LPCWSTR device, DEVMODEW* mode, HWND window, DWORD flags, LPVOID param);
void SetDisplayChangeFunction(DisplayChangeFunction function);
