#include "support/ScratchRegistry.h"

#include <atomic>
#include <cstring>
#include <cwchar>

namespace testsupport {

namespace {

constexpr wchar_t kScratchParent[] = L"Software\\CovelinTest";

} // namespace

ScratchRegKey::ScratchRegKey()
{
    static std::atomic<unsigned> counter{0};
    path_ = std::wstring(kScratchParent) + L"\\" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(counter++);
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) ==
        ERROR_SUCCESS)
        RegCloseKey(key);
}

ScratchRegKey::~ScratchRegKey()
{
    RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
    // The parent goes too once the last scratch key is gone.
    RegDeleteKeyW(HKEY_CURRENT_USER, kScratchParent);
}

std::wstring ScratchRegKey::Company() const
{
    return path_.substr(std::wstring(L"Software\\").size());
}

RegKeyGuard::RegKeyGuard(HKEY root, const std::wstring& subKey) : root_(root)
{
    // The shallowest part of the path that does not exist yet: everything
    // from there down appears during the test.
    size_t start = 0;
    for (;;) {
        size_t slash = subKey.find(L'\\', start);
        std::wstring prefix = subKey.substr(0, slash);
        if (!KeyExists(root_, prefix)) {
            firstMissingKey_ = prefix;
            break;
        }
        if (slash == std::wstring::npos)
            break;
        start = slash + 1;
    }
}

RegKeyGuard::~RegKeyGuard()
{
    if (!firstMissingKey_.empty())
        RegDeleteTreeW(root_, firstMissingKey_.c_str());
}

RegValueGuard::RegValueGuard(HKEY root, std::wstring subKey, std::wstring name)
    : keyGuard_(root, subKey), root_(root), subKey_(std::move(subKey)), name_(std::move(name))
{
    existed_ = GetRawValue(root_, subKey_, name_, &type_, &data_);
}

RegValueGuard::~RegValueGuard()
{
    // A key that did not exist goes with keyGuard_, value and all.
    if (!keyGuard_.Existed())
        return;
    if (existed_)
        SetRawValue(root_, subKey_, name_, type_, data_.data(), static_cast<DWORD>(data_.size()));
    else
        DeleteRawValue(root_, subKey_, name_);
}

RegKeySetAside::RegKeySetAside(HKEY root, std::wstring subKey) : root_(root), subKey_(std::move(subKey))
{
    HKEY key = nullptr;
    existed_ = RegOpenKeyExW(root_, subKey_.c_str(), 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS;
    if (!existed_)
        return;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256;
        DWORD size = 0;
        Value value{};
        if (RegEnumValueW(key, i, name, &nameLength, nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS)
            break;
        value.name.assign(name, nameLength);
        value.data.resize(size);
        nameLength = 256;
        if (RegEnumValueW(key, i, name, &nameLength, nullptr, &value.type, value.data.data(), &size) == ERROR_SUCCESS)
            values_.push_back(std::move(value));
    }
    RegCloseKey(key);
    RegDeleteTreeW(root_, subKey_.c_str());
}

RegKeySetAside::~RegKeySetAside()
{
    RegDeleteTreeW(root_, subKey_.c_str());
    if (!existed_)
        return;
    HKEY key = nullptr;
    if (RegCreateKeyExW(root_, subKey_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    for (const Value& value : values_)
        RegSetValueExW(key, value.name.c_str(), 0, value.type, value.data.data(),
                       static_cast<DWORD>(value.data.size()));
    RegCloseKey(key);
}

bool SetRawValue(HKEY root, const std::wstring& subKey, const std::wstring& name, DWORD type, const void* data,
                 DWORD size)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, subKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    LONG status = RegSetValueExW(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

bool SetRawText(HKEY root, const std::wstring& subKey, const std::wstring& name, const std::wstring& text, DWORD type)
{
    std::vector<BYTE> bytes = TextBytes(text);
    return SetRawValue(root, subKey, name, type, bytes.data(), static_cast<DWORD>(bytes.size()));
}

bool GetRawValue(HKEY root, const std::wstring& subKey, const std::wstring& name, DWORD* type, std::vector<BYTE>* data)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, subKey.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    DWORD size = 0;
    LONG status = RegQueryValueExW(key, name.c_str(), nullptr, type, nullptr, &size);
    if (status == ERROR_SUCCESS) {
        data->assign(size, 0);
        status = RegQueryValueExW(key, name.c_str(), nullptr, type, data->data(), &size);
        data->resize(size);
    }
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

bool GetRawText(HKEY root, const std::wstring& subKey, const std::wstring& name, std::wstring* text)
{
    DWORD type = 0;
    std::vector<BYTE> data;
    if (!GetRawValue(root, subKey, name, &type, &data) || type != REG_SZ)
        return false;
    text->assign(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
    // Stored with its terminating zero, or without one by a careless writer.
    text->resize(std::wcslen(text->c_str()));
    return true;
}

bool RawValueExists(HKEY root, const std::wstring& subKey, const std::wstring& name)
{
    DWORD type = 0;
    std::vector<BYTE> data;
    return GetRawValue(root, subKey, name, &type, &data);
}

bool DeleteRawValue(HKEY root, const std::wstring& subKey, const std::wstring& name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, subKey.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return false;
    LONG status = RegDeleteValueW(key, name.c_str());
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

bool KeyExists(HKEY root, const std::wstring& subKey)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, subKey.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::vector<BYTE> TextBytes(const std::wstring& text)
{
    std::vector<BYTE> bytes((text.size() + 1) * sizeof(wchar_t), 0);
    std::memcpy(bytes.data(), text.c_str(), bytes.size());
    return bytes;
}

} // namespace testsupport
