#include "system/OwnProcess.h"

#include "framework/FileSystem.h"
#include "system/ProcessInfo.h"

std::wstring ownExecutablePath;

std::wstring ReadOwnExecutablePath()
{
    std::wstring path;
    if (!ExecutablePathOfProcess(GetCurrentProcessId(), path))
        path = OwnModulePath(); // the same file, asked of the loader instead
    return UpperCasePath(path);
}

bool IsOwnExecutableName(const wchar_t* fileName)
{
    if (fileName == nullptr)
        return false;
    for (const wchar_t* own = kOwnExecutableName;; ++own, ++fileName) {
        const wchar_t a = *fileName >= L'a' && *fileName <= L'z' ? static_cast<wchar_t>(*fileName - 32) : *fileName;
        const wchar_t b = *own >= L'a' && *own <= L'z' ? static_cast<wchar_t>(*own - 32) : *own;
        if (a != b)
            return false;
        if (a == L'\0')
            return true;
    }
}

bool IsOwnExecutablePath(const std::wstring& path)
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
