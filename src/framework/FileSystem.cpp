#include "framework/FileSystem.h"

#include <windows.h>

bool PathExists(const std::wstring& path, bool directoryOnly)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    if (directoryOnly)
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return true;
}

std::wstring OwnModulePath()
{
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::wstring(buffer, length == MAX_PATH ? MAX_PATH : 0);
    return std::wstring(buffer, length);
}

std::wstring ExecutableBaseName()
{
    const std::wstring path = OwnModulePath();
    const size_t slash = path.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos && dot > 0)
        name.erase(dot);
    return name;
}

std::wstring DirectoryOf(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}
