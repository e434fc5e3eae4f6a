#include "framework/Profile.h"

#include <windows.h>

#include <vector>

#include "framework/FileSystem.h"

namespace {

// A profile string is a path or a short setting; anything larger is not
// ours and reads as absent.
constexpr DWORD kMaxProfileBytes = 65536;

std::wstring& CompanyKey() {
    static std::wstring company;
    return company;
}

std::wstring& ApplicationOverride() {
    static std::wstring application;
    return application;
}

std::wstring SectionPath(const wchar_t* section) {
    std::wstring base = ProfileKeyPath();
    if (base.empty() || section == nullptr || *section == L'\0') return std::wstring();
    return base + L"\\" + section;
}

} // namespace

void ProfileSetKey(const wchar_t* company, const wchar_t* application) {
    CompanyKey() = company != nullptr ? company : L"";
    ApplicationOverride() = application != nullptr ? application : L"";
}

std::wstring ProfileApplicationName() {
    if (!ApplicationOverride().empty()) return ApplicationOverride();
    return ExecutableBaseName();
}

std::wstring ProfileKeyPath() {
    if (CompanyKey().empty()) return std::wstring();
    std::wstring application = ProfileApplicationName();
    if (application.empty()) return std::wstring();
    return L"Software\\" + CompanyKey() + L"\\" + application;
}

std::wstring ProfileReadString(const wchar_t* section, const wchar_t* entry, const wchar_t* defaultValue) {
    std::wstring fallback = defaultValue != nullptr ? defaultValue : L"";
    std::wstring path = SectionPath(section);
    if (path.empty() || entry == nullptr) return fallback;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return fallback;
    std::wstring result = fallback;
    // The value may change between asking for its size and reading it; ask
    // again a few times rather than read a part of it.
    for (int attempt = 0; attempt < 3; ++attempt) {
        DWORD type = 0;
        DWORD size = 0;
        if (RegQueryValueExW(key, entry, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
        if ((type != REG_SZ && type != REG_EXPAND_SZ) || size > kMaxProfileBytes) break;
        // Every stored byte fits, plus a zero unit for text stored without one.
        std::vector<wchar_t> text((size + 1) / sizeof(wchar_t) + 1, L'\0');
        DWORD readSize = size;
        LONG status = RegQueryValueExW(key, entry, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &readSize);
        if (status == ERROR_MORE_DATA) continue;
        if (status == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ)) result = text.data();
        break;
    }
    RegCloseKey(key);
    return result;
}

int ProfileWriteString(const wchar_t* section, const wchar_t* entry, const wchar_t* value) {
    std::wstring path = SectionPath(section);
    if (path.empty()) return 0;
    if (entry == nullptr) {
        // Removes the section key itself along with everything in it.
        return RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str()) == ERROR_SUCCESS ? 1 : 0;
    }
    if (value == nullptr) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return 0;
        LONG status = RegDeleteValueW(key, entry);
        RegCloseKey(key);
        return status == ERROR_SUCCESS ? 1 : 0;
    }
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return 0;
    DWORD size = static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t));
    LONG status = RegSetValueExW(key, entry, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? 1 : 0;
}
