#include "actions/Screensaver.h"

#include <windows.h>

#include <string>
#include <vector>

#include "framework/Handles.h"
#include "settings/Registry.h"

namespace {

constexpr wchar_t kDesktopKey[] = L"Control Panel\\Desktop";
constexpr wchar_t kDesktopPolicyKey[] = L"Software\\Policies\\Microsoft\\Windows\\Control Panel\\Desktop";

// "ScreenSaveActive" holds "0" or "1"; anything much larger is not a
// setting we understand and is not read at all.
constexpr DWORD kDesktopTextMaxBytes = 4096;

// The text value `name` of one key: true with `text` when it is there as
// text of a sensible size.
bool ReadTextValue(const wchar_t* keyPath, const wchar_t* name, std::wstring& text)
{
    RegKey key(OpenRegKey(kRegRootCurrentUser, keyPath));
    if (!key)
        return false;
    int kind = kRegKindOther;
    DWORD size = 0;
    if (!ReadRegValue(key.get(), name, kind, nullptr, size) || kind != kRegKindText || size > kDesktopTextMaxBytes)
        return false;
    // Room for every stored byte (an odd count included) plus one zero
    // unit, so text stored without its terminator still ends here.
    std::vector<wchar_t> stored((size + 1) / sizeof(wchar_t) + 1, L'\0');
    if (!ReadRegValue(key.get(), name, kind, stored.data(), size))
        return false;
    text = stored.data();
    return true;
}

// A desktop setting as the system applies it: a policy's value wins over
// the user's own.
bool ReadDesktopSetting(const wchar_t* name, std::wstring& text)
{
    return ReadTextValue(kDesktopPolicyKey, name, text) || ReadTextValue(kDesktopKey, name, text);
}

} // namespace

bool IsScreensaverChosen()
{
    // The system counts a screensaver as active by default, with no program
    // named: only a program that is there would start.
    std::wstring active;
    if (!ReadDesktopSetting(L"ScreenSaveActive", active) || active == L"0")
        return false;
    std::wstring program;
    if (!ReadDesktopSetting(L"SCRNSAVE.EXE", program) || program.empty())
        return false;
    wchar_t expanded[MAX_PATH] = {};
    const DWORD length = ExpandEnvironmentStringsW(program.c_str(), expanded, MAX_PATH);
    if (length == 0 || length > MAX_PATH)
        return false;
    const DWORD attributes = GetFileAttributesW(expanded);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}
