#include "actions/Display.h"

#include <cstring>
#include <string>

#include "framework/Log.h"

namespace {

DisplayChangeFunction displayChange = nullptr;
DisplayModeReader displayModeReader = &ReadDesktopDisplayMode;
DisplayEnumeration displayEnumeration = {&EnumDisplayDevicesW, &EnumDisplaySettingsW};

static_assert(sizeof(DisplayMode) == 16);

DEVMODEW EmptyRecord()
{
    DEVMODEW record;
    std::memset(&record, 0, sizeof(record));
    record.dmSize = sizeof(record);
    return record;
}

std::wstring Describe(const DEVMODEW& mode)
{
    return std::to_wstring(mode.dmPelsWidth) + L" x " + std::to_wstring(mode.dmPelsHeight) + L", " +
           std::to_wstring(mode.dmDisplayFrequency) + L"Hz";
}

bool SameMode(const DEVMODEW& a, const DEVMODEW& b)
{
    return a.dmPelsWidth == b.dmPelsWidth && a.dmPelsHeight == b.dmPelsHeight &&
           a.dmDisplayFrequency == b.dmDisplayFrequency;
}

} // namespace

DWORD DisplayFormatOfDepth(DWORD bitsPerPixel)
{
    // Direct3D 9's codes: X8R8G8B8, R8G8B8, R5G6B5, X1R5G5B5, P8.
    switch (bitsPerPixel) {
    case 32:
        return 22;
    case 24:
        return 20;
    case 16:
        return 23;
    case 15:
        return 24;
    case 8:
        return 41;
    default:
        return 0;
    }
}

bool ReadDesktopDisplayMode(DisplayMode& mode)
{
    // One question to the system: no graphics library for it. The desktop's
    // own mode, not one a full-screen program holds for now.
    DEVMODEW desktop = EmptyRecord();
    if (!displayEnumeration.settings(nullptr, ENUM_REGISTRY_SETTINGS, &desktop))
        return false;
    mode.Width = desktop.dmPelsWidth;
    mode.Height = desktop.dmPelsHeight;
    mode.RefreshRate = desktop.dmDisplayFrequency;
    mode.Format = DisplayFormatOfDepth(desktop.dmBitsPerPel);
    return true;
}

bool CaptureDisplayMode(DisplayMode& mode)
{
    DisplayMode read;
    if (!displayModeReader(read) || !read.Known()) {
        mode = DisplayMode{};
        return false;
    }
    mode = read;
    return true;
}

void SetDisplayModeReader(DisplayModeReader reader)
{
    displayModeReader = reader != nullptr ? reader : &ReadDesktopDisplayMode;
}

LONG ApplyStoredDisplayMode(const DisplayMode& storedDisplayMode)
{
    // Nothing was captured (or the capture failed): the option is off.
    if (!storedDisplayMode.Known())
        return DISP_CHANGE_BADMODE;
    LONG result = DISP_CHANGE_SUCCESSFUL;
    DISPLAY_DEVICEW device;
    for (DWORD index = 0;; ++index) {
        std::memset(&device, 0, sizeof(device));
        device.cb = sizeof(device);
        if (!displayEnumeration.devices(nullptr, index, &device, 0))
            break;
        if ((device.StateFlags & DISPLAY_DEVICE_ATTACHED_TO_DESKTOP) == 0)
            continue;
        DEVMODEW current = EmptyRecord();
        DEVMODEW desktop = EmptyRecord();
        if (!displayEnumeration.settings(device.DeviceName, ENUM_CURRENT_SETTINGS, &current) ||
            !displayEnumeration.settings(device.DeviceName, ENUM_REGISTRY_SETTINGS, &desktop) ||
            SameMode(current, desktop))
            continue;
        // No mode and no flags: back to what the registry holds for it.
        const LONG changed = displayChange != nullptr
                                 ? displayChange(device.DeviceName, nullptr, nullptr, 0, nullptr)
                                 : ChangeDisplaySettingsExW(device.DeviceName, nullptr, nullptr, 0, nullptr);
        const std::wstring what = std::wstring(L"Returning the display ") + device.DeviceName + L" from " +
                                  Describe(current) + L" to " + Describe(desktop);
        if (changed == DISP_CHANGE_SUCCESSFUL) {
            Log::Line(what);
        } else {
            // The line carries the DISP_CHANGE_* code itself.
            Log::Failure(what, static_cast<DWORD>(changed));
            if (result == DISP_CHANGE_SUCCESSFUL)
                result = changed;
        }
    }
    return result;
}

void StartScreensaver()
{
    // Every top-level window gets the request, as with a broadcast send, but
    // without waiting for any of them: a single hung window would otherwise
    // stop the engine for good.
    SendNotifyMessageW(HWND_BROADCAST, WM_SYSCOMMAND, SC_SCREENSAVE, 0);
}

void SetDisplayChangeFunction(DisplayChangeFunction function)
{
    displayChange = function;
}

void SetDisplayEnumeration(const DisplayEnumeration* enumeration)
{
    displayEnumeration.devices =
        enumeration != nullptr && enumeration->devices != nullptr ? enumeration->devices : &EnumDisplayDevicesW;
    displayEnumeration.settings =
        enumeration != nullptr && enumeration->settings != nullptr ? enumeration->settings : &EnumDisplaySettingsW;
}
