#include "framework/Profile.h"

#include <windows.h>

#include "framework/FileSystem.h"
#include "framework/Handles.h"

namespace {

// A profile string is a path or a short setting; anything larger is not
// ours and reads as absent.
constexpr DWORD kMaxProfileBytes = 65536;

std::wstring& CompanyKey()
{
    static std::wstring company;
    return company;
}

std::wstring& ApplicationOverride()
{
    static std::wstring application;
    return application;
}

std::wstring SectionPath(const wchar_t* section)
{
    std::wstring base = ProfileKeyPath();
    if (base.empty() || section == nullptr || *section == L'\0')
        return std::wstring();
    return base + L"\\" + section;
}

} // namespace

void ProfileSetKey(const wchar_t* company, const wchar_t* application)
{
    CompanyKey() = company != nullptr ? company : L"";
    ApplicationOverride() = application != nullptr ? application : L"";
}

std::wstring ProfileApplicationName()
{
    if (!ApplicationOverride().empty())
        return ApplicationOverride();
    return ExecutableBaseName();
}

std::wstring ProfileKeyPath()
{
    if (CompanyKey().empty())
        return std::wstring();
    std::wstring application = ProfileApplicationName();
    if (application.empty())
        return std::wstring();
    return L"Software\\" + CompanyKey() + L"\\" + application;
}

std::wstring ProfileReadString(const wchar_t* section, const wchar_t* entry, const wchar_t* defaultValue)
{
    std::wstring result = defaultValue != nullptr ? defaultValue : L"";
    std::wstring path = SectionPath(section);
    if (path.empty() || entry == nullptr)
        return result;
    RegKey key;
    if (key.Open(HKEY_CURRENT_USER, path.c_str(), KEY_QUERY_VALUE) == ERROR_SUCCESS)
        key.ReadString(entry, result, kMaxProfileBytes); // leaves the default on failure
    return result;
}

namespace {

bool Succeeded(LSTATUS status)
{
    if (status != ERROR_SUCCESS)
        SetLastError(static_cast<DWORD>(status));
    return status == ERROR_SUCCESS;
}

} // namespace

bool ProfileWriteString(const wchar_t* section, const wchar_t* entry, const wchar_t* value)
{
    std::wstring path = SectionPath(section);
    if (path.empty())
        return Succeeded(ERROR_INVALID_FUNCTION); // no profile until a company is set
    if (entry == nullptr) {
        // Removes the section key itself along with everything in it.
        return Succeeded(RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str()));
    }
    RegKey key;
    if (value == nullptr) {
        const LSTATUS opened = key.Open(HKEY_CURRENT_USER, path.c_str(), KEY_SET_VALUE);
        return Succeeded(opened != ERROR_SUCCESS ? opened : key.DeleteValue(entry));
    }
    const LSTATUS created = key.Create(HKEY_CURRENT_USER, path.c_str(), KEY_SET_VALUE);
    return Succeeded(created != ERROR_SUCCESS ? created : key.WriteString(entry, value));
}

DWORD ProfileReadNumber(const wchar_t* entry, DWORD defaultValue)
{
    const std::wstring path = ProfileKeyPath();
    if (path.empty() || entry == nullptr)
        return defaultValue;
    RegKey key;
    DWORD value = 0;
    if (key.Open(HKEY_CURRENT_USER, path.c_str(), KEY_QUERY_VALUE) != ERROR_SUCCESS ||
        key.ReadDword(entry, value) != ERROR_SUCCESS)
        return defaultValue;
    return value;
}

bool ProfileWriteNumber(const wchar_t* entry, DWORD value)
{
    const std::wstring path = ProfileKeyPath();
    if (path.empty() || entry == nullptr)
        return false;
    RegKey key;
    if (key.Create(HKEY_CURRENT_USER, path.c_str(), KEY_SET_VALUE) != ERROR_SUCCESS)
        return false;
    return key.WriteDword(entry, value) == ERROR_SUCCESS;
}
