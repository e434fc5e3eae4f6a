#include "settings/HideActiveChord.h"

#include <windows.h>

#include <string>

#include "framework/Log.h"
#include "framework/Profile.h"

HotkeyChord LoadHideActiveChord()
{
    HotkeyChord chord{};
    const std::wstring key = ProfileKeyPath();
    if (key.empty())
        return chord;
    HotkeyChord stored{};
    DWORD size = sizeof(stored.keys);
    // RRF_RT_REG_BINARY refuses any other type; a value of another size
    // fails with ERROR_MORE_DATA or is caught below.
    const LSTATUS status = RegGetValueW(HKEY_CURRENT_USER, key.c_str(), kHideActiveChordValue, RRF_RT_REG_BINARY,
                                        nullptr, stored.keys, &size);
    if (status == ERROR_SUCCESS && size == sizeof(stored.keys))
        chord = stored;
    else if (status == ERROR_SUCCESS)
        Log::Line(L"The value HideActiveChord holds " + std::to_wstring(size) +
                  L" bytes, not 256; no chord hides the active window");
    else if (status != ERROR_FILE_NOT_FOUND)
        Log::Failure(L"Reading the value HideActiveChord; no chord hides the active window",
                     static_cast<DWORD>(status));
    return chord;
}

bool SaveHideActiveChord(const HotkeyChord& chord)
{
    const std::wstring key = ProfileKeyPath();
    if (key.empty())
        return false;
    const LSTATUS status = RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), kHideActiveChordValue, REG_BINARY,
                                           chord.keys, sizeof(chord.keys));
    if (status != ERROR_SUCCESS)
        Log::Failure(L"Saving HideActiveChord", static_cast<DWORD>(status));
    return status == ERROR_SUCCESS;
}
