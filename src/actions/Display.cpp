#include "actions/Display.h"

#include <cstring>
#include <string>

#include "framework/Log.h"

namespace {

DisplayChangeFunction displayChange = nullptr;
DisplayModeReader displayModeReader = &ReadCurrentDisplayMode;

constexpr DWORD kDisplayModeFields = DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY;
static_assert(kDisplayModeFields == 0x580000);
static_assert(sizeof(DEVMODEW) == 220, "the record handed to the system is 220 bytes");
static_assert(sizeof(DisplayMode) == 16);

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

bool ReadCurrentDisplayMode(DisplayMode& mode)
{
    // One question to the system: no graphics library for it.
    DEVMODEW current;
    std::memset(&current, 0, sizeof(current));
    current.dmSize = sizeof(current);
    if (!EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &current))
        return false;
    mode.Width = current.dmPelsWidth;
    mode.Height = current.dmPelsHeight;
    mode.RefreshRate = current.dmDisplayFrequency;
    mode.Format = DisplayFormatOfDepth(current.dmBitsPerPel);
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
    displayModeReader = reader != nullptr ? reader : &ReadCurrentDisplayMode;
}

DEVMODEW MakeDisplayModeRecord(const DisplayMode& mode)
{
    DEVMODEW record;
    std::memset(&record, 0, sizeof(record));
    record.dmSize = sizeof(record);
    record.dmFields = kDisplayModeFields;
    record.dmPelsWidth = mode.Width;
    record.dmPelsHeight = mode.Height;
    record.dmDisplayFrequency = mode.RefreshRate;
    return record;
}

LONG ApplyStoredDisplayMode(const DisplayMode& storedDisplayMode)
{
    // Nothing was captured (or the capture failed): a 0 x 0 mode is no
    // mode to go back to.
    if (!storedDisplayMode.Known())
        return DISP_CHANGE_BADMODE;
    DEVMODEW record = MakeDisplayModeRecord(storedDisplayMode);
    // No flags: a dynamic change of the primary display, not stored in the
    // system's settings.
    const LONG result = displayChange != nullptr ? displayChange(nullptr, &record, nullptr, 0, nullptr)
                                                 : ChangeDisplaySettingsExW(nullptr, &record, nullptr, 0, nullptr);
    if (result != DISP_CHANGE_SUCCESSFUL) {
        // The line carries the DISP_CHANGE_* code itself.
        Log::Failure(L"Switching the display back to " + std::to_wstring(storedDisplayMode.Width) + L" x " +
                         std::to_wstring(storedDisplayMode.Height) + L", " +
                         std::to_wstring(storedDisplayMode.RefreshRate) + L"Hz",
                     static_cast<DWORD>(result));
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
