#include "framework/Handles.h"

RegKey& RegKey::operator=(RegKey&& other) noexcept
{
    if (this != &other) {
        Close();
        key_ = std::exchange(other.key_, nullptr);
    }
    return *this;
}

LONG RegKey::Open(HKEY root, const wchar_t* subKey, REGSAM access)
{
    Close();
    HKEY key = nullptr;
    LONG status = RegOpenKeyExW(root, subKey, 0, access, &key);
    if (status == ERROR_SUCCESS)
        key_ = key;
    return status;
}

LONG RegKey::Create(HKEY root, const wchar_t* subKey, REGSAM access)
{
    Close();
    HKEY key = nullptr;
    LONG status = RegCreateKeyExW(root, subKey, 0, nullptr, 0, access, nullptr, &key, nullptr);
    if (status == ERROR_SUCCESS)
        key_ = key;
    return status;
}

LONG RegKey::Close()
{
    if (key_ == nullptr)
        return ERROR_INVALID_HANDLE;
    return RegCloseKey(std::exchange(key_, nullptr));
}

LONG RegKey::QueryValueInfo(const wchar_t* name, DWORD& type, DWORD& size) const
{
    if (key_ == nullptr)
        return ERROR_INVALID_HANDLE;
    size = 0;
    return RegQueryValueExW(key_, name, nullptr, &type, nullptr, &size);
}

LONG RegKey::ReadRaw(const wchar_t* name, DWORD& type, void* data, DWORD& size) const
{
    if (key_ == nullptr)
        return ERROR_INVALID_HANDLE;
    return RegQueryValueExW(key_, name, nullptr, &type, static_cast<BYTE*>(data), &size);
}

LONG RegKey::WriteRaw(const wchar_t* name, DWORD type, const void* data, DWORD size)
{
    if (key_ == nullptr)
        return ERROR_INVALID_HANDLE;
    return RegSetValueExW(key_, name, 0, type, static_cast<const BYTE*>(data), size);
}

LONG RegKey::ReadString(const wchar_t* name, std::wstring& value, DWORD maxBytes) const
{
    // The value may change between asking for its size and reading it; ask
    // again a few times rather than read a part of it.
    for (int attempt = 0; attempt < 3; ++attempt) {
        DWORD type = 0;
        DWORD size = 0;
        LONG status = QueryValueInfo(name, type, size);
        if (status != ERROR_SUCCESS)
            return status;
        if ((type != REG_SZ && type != REG_EXPAND_SZ) || size > maxBytes)
            return ERROR_INVALID_DATA;
        // Every stored byte fits, plus a zero unit for text stored without one.
        std::vector<wchar_t> text((size + 1) / sizeof(wchar_t) + 1, L'\0');
        DWORD readSize = size;
        status = ReadRaw(name, type, text.data(), readSize);
        if (status == ERROR_MORE_DATA)
            continue;
        if (status != ERROR_SUCCESS)
            return status;
        if (type != REG_SZ && type != REG_EXPAND_SZ)
            return ERROR_INVALID_DATA;
        value = text.data();
        return ERROR_SUCCESS;
    }
    return ERROR_MORE_DATA;
}

LONG RegKey::WriteString(const wchar_t* name, const wchar_t* value)
{
    if (value == nullptr)
        return ERROR_INVALID_PARAMETER;
    const DWORD size = static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t));
    return WriteRaw(name, REG_SZ, value, size);
}

LONG RegKey::ReadDword(const wchar_t* name, DWORD& value) const
{
    DWORD type = 0;
    DWORD stored = 0;
    DWORD size = sizeof stored;
    LONG status = ReadRaw(name, type, &stored, size);
    if (status == ERROR_MORE_DATA)
        return ERROR_INVALID_DATA; // larger than a number, so not one
    if (status != ERROR_SUCCESS)
        return status;
    if (type != REG_DWORD || size != sizeof stored)
        return ERROR_INVALID_DATA;
    value = stored;
    return ERROR_SUCCESS;
}

LONG RegKey::WriteDword(const wchar_t* name, DWORD value)
{
    return WriteRaw(name, REG_DWORD, &value, sizeof value);
}

LONG RegKey::DeleteValue(const wchar_t* name)
{
    if (key_ == nullptr)
        return ERROR_INVALID_HANDLE;
    return RegDeleteValueW(key_, name);
}

std::vector<std::wstring> RegKey::ValueNames() const
{
    // The registry's own limit for a value name, in characters.
    constexpr size_t kLongestValueName = 16384;
    std::vector<std::wstring> names;
    if (key_ == nullptr)
        return names;
    DWORD longest = 0;
    if (RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longest, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS)
        return names;
    std::vector<wchar_t> name(longest + 1);
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(name.size());
        LONG status = RegEnumValueW(key_, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_MORE_DATA && name.size() < kLongestValueName) {
            // A longer name was added while we looked: make room, ask again.
            name.resize(name.size() * 2);
            --index;
            continue;
        }
        if (status != ERROR_SUCCESS)
            break;
        names.emplace_back(name.data(), length);
    }
    return names;
}
