#include "catalogue/ProcessRecord.h"

#include <cwchar>
#include <string>

#include "catalogue/Executable.h"
#include "system/ProcessInfo.h"

CProcess::CProcess(unsigned long processId, const wchar_t* path) : processId_(processId)
{
    if (path && *path)
        SetPath(path);
}

void CProcess::SetPath(const wchar_t* path)
{
    wcsncpy_s(path_, kPathSize, path, _TRUNCATE);
    const wchar_t* slash = std::wcsrchr(path_, L'\\');
    wcsncpy_s(name_, kPathSize, slash ? slash + 1 : path_, _TRUNCATE);
}

const wchar_t* CProcess::GetPath()
{
    if (!path_[0]) {
        std::wstring path;
        if (!ExecutablePathOfProcess(processId_, path))
            return nullptr;
        SetPath(path.c_str());
    }
    return path_;
}

const wchar_t* CProcess::GetName()
{
    if (name_[0])
        return name_;
    return GetPath() && name_[0] ? name_ : nullptr;
}

HICON CProcess::GetIcon()
{
    const wchar_t* path = GetPath();
    return path ? ExecutableIcon(path) : nullptr;
}
