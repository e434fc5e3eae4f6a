#include "system/OwnProcess.h"

#include "framework/FileSystem.h"
#include "system/ProcessInfo.h"

std::wstring ReadOwnExecutablePath()
{
    std::wstring path;
    if (!ExecutablePathOfProcess(GetCurrentProcessId(), path))
        path = OwnModulePath(); // the same file, asked of the loader instead
    return UpperCasePath(path);
}

bool IsOwnExecutableName(const wchar_t* fileName)
{
    return fileName != nullptr && EqualsIgnoringAsciiCase(fileName, kOwnExecutableName);
}

bool IsOwnExecutablePath(const std::wstring& path, const std::wstring& ownExecutablePath)
{
    return !ownExecutablePath.empty() &&
           CompareStringOrdinal(path.c_str(), -1, ownExecutablePath.c_str(), -1, TRUE) == CSTR_EQUAL;
}

void MarkOwnWindow(HWND window)
{
    SetWindowLongPtrW(window, GWLP_USERDATA, OWN_WINDOW_MARK);
}

bool IsOwnWindow(HWND window)
{
    return GetWindowLongPtrW(window, GWLP_USERDATA) == OWN_WINDOW_MARK;
}
