#include "catalogue/Executable.h"

#include <psapi.h>
#include <shellapi.h>

#include <cwchar>

bool ExecutablePathOfProcess(unsigned long processId, std::wstring& path)
{
    // One unit more than we ask for, so the text is terminated even if the
    // system fills the whole buffer without a terminator.
    wchar_t buffer[MAX_PATH + 1] = {};
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    if (!process)
        return false;
    DWORD count = GetModuleFileNameExW(process, nullptr, buffer, MAX_PATH);
    // A count that disagrees with the text means a cut or failed read.
    bool ok = count != 0 && count < MAX_PATH && count == std::wcslen(buffer);
    if (ok)
        path.assign(buffer, count);
    CloseHandle(process);
    return ok;
}

HICON ExecutableIcon(const wchar_t* path)
{
    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (path && *path) {
        HICON icon = ExtractIconW(instance, path, 0);
        // 1 means "not an executable or icon file"; null, "no icon in it".
        if (icon && icon != reinterpret_cast<HICON>(1))
            return icon; // a new icon: already the caller's
    }
    // The default icon is shared by every user of the resource; hand out a
    // copy so that the caller's DestroyIcon is always right.
    HICON shared = LoadIconW(instance, MAKEINTRESOURCEW(DEFAULT_APP_ICON));
    if (!shared) // a program built without our resources (tests)
        shared = LoadIconW(nullptr, IDI_APPLICATION);
    return shared ? CopyIcon(shared) : nullptr;
}
