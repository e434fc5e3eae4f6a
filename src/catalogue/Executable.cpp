#include "catalogue/Executable.h"

#include <shellapi.h>

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
    // copy so that the caller may always destroy what it got.
    HICON shared = LoadIconW(instance, MAKEINTRESOURCEW(DEFAULT_APP_ICON));
    if (!shared) // a program built without our resources (tests)
        shared = LoadIconW(nullptr, IDI_APPLICATION);
    return shared ? CopyIcon(shared) : nullptr;
}
