#include "settings/Registry.h"

#include "framework/Handles.h"

namespace {

// Read, create-sub-key and set-value: enough to read our values and write
// the Run value, nothing more.
constexpr REGSAM kOpenAccess = 0x2001F;

HKEY RootOfIndex(int rootIndex)
{
    switch (rootIndex) {
    case 0:
        return HKEY_CLASSES_ROOT;
    case 1:
        return HKEY_CURRENT_CONFIG;
    case 2:
        return HKEY_CURRENT_USER;
    case 3:
        return HKEY_LOCAL_MACHINE;
    case 4:
        return HKEY_USERS;
    default:
        return nullptr;
    }
}

// What a write needs: a key, a name and data. Only numbers and text are
// ever written; a made-up type code would turn a value into something no
// reader understands.
bool IsWritable(HKEY key, const wchar_t* name, int kind, const void* data, DWORD size)
{
    return key != nullptr && name != nullptr && data != nullptr && size != 0 &&
           (kind == kRegKindNumber || kind == kRegKindText);
}

// OpenRegKey's key, owned: closed when the caller is done with it.
RegKey OpenOwnedKey(int rootIndex, const wchar_t* subKey)
{
    RegKey key;
    HKEY root = RootOfIndex(rootIndex);
    if (root != nullptr && subKey != nullptr && *subKey != L'\0')
        key.Open(root, subKey, kOpenAccess);
    return key;
}

DWORD RegTypeOfKind(int kind)
{
    switch (kind) {
    case kRegKindNumber:
        return REG_DWORD;
    case kRegKindText:
        return REG_SZ;
    default:
        return static_cast<DWORD>(-1);
    }
}

int RegKindOfType(DWORD type)
{
    switch (type) {
    case REG_DWORD:
        return kRegKindNumber;
    case REG_SZ:
    case REG_EXPAND_SZ:
        return kRegKindText;
    default:
        return kRegKindOther;
    }
}

// The key is the caller's: written through, not taken over.
bool SetValue(HKEY key, const wchar_t* name, int kind, const void* data, DWORD size)
{
    return RegSetValueExW(key, name, 0, RegTypeOfKind(kind), static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
}

} // namespace

HKEY OpenRegKey(int rootIndex, const wchar_t* subKey)
{
    return OpenOwnedKey(rootIndex, subKey).release();
}

bool ReadRegValue(HKEY key, const wchar_t* name, int& kind, void* data, DWORD& size)
{
    if (key == nullptr || name == nullptr)
        return false;
    DWORD storedType = 0;
    DWORD storedSize = 0;
    if (RegQueryValueExW(key, name, nullptr, &storedType, nullptr, &storedSize) != ERROR_SUCCESS)
        return false;
    if (data == nullptr) {
        kind = RegKindOfType(storedType);
        size = storedSize;
        return true;
    }
    if (RegKindOfType(storedType) != kind || storedSize != size)
        return false;
    // The system writes at most `size` bytes; a value that grew since the
    // first question gives ERROR_MORE_DATA and the read fails.
    DWORD readType = 0;
    DWORD readSize = size;
    if (RegQueryValueExW(key, name, nullptr, &readType, static_cast<BYTE*>(data), &readSize) != ERROR_SUCCESS)
        return false;
    return RegKindOfType(readType) == kind && readSize == size;
}

bool OverwriteRegValue(HKEY key, const wchar_t* name, int kind, const void* data, DWORD size)
{
    if (!IsWritable(key, name, kind, data, size))
        return false;
    int storedKind = kRegKindOther;
    DWORD storedSize = 0;
    if (!ReadRegValue(key, name, storedKind, nullptr, storedSize) || storedKind != kind)
        return false;
    return SetValue(key, name, kind, data, size);
}

bool WriteRegValue(HKEY key, const wchar_t* name, int kind, const void* data, DWORD size)
{
    if (!IsWritable(key, name, kind, data, size))
        return false;
    // An existing value is OverwriteRegValue's: it writes only over the same kind.
    int storedKind = kRegKindOther;
    DWORD storedSize = 0;
    if (ReadRegValue(key, name, storedKind, nullptr, storedSize))
        return OverwriteRegValue(key, name, kind, data, size);
    return SetValue(key, name, kind, data, size);
}

bool DeleteRegValue(HKEY key, const wchar_t* name)
{
    if (key == nullptr || name == nullptr)
        return false;
    LONG result = RegDeleteValueW(key, name);
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

bool CloseRegKey(HKEY key)
{
    if (key == nullptr)
        return false;
    return RegKey(key).Close() == ERROR_SUCCESS;
}

std::wstring RunCommandFor(const std::wstring& executablePath)
{
    return L"\"" + executablePath + L"\"";
}

bool ApplyStartWithWindows(bool on, const std::wstring& ownExecutablePath)
{
    RegKey key = OpenOwnedKey(kRegRootCurrentUser, kRunKey);
    if (!key)
        return false;
    bool result = false;
    if (on) {
        // Without our own path there is nothing sensible to start.
        if (!ownExecutablePath.empty()) {
            std::wstring command = RunCommandFor(ownExecutablePath);
            DWORD size = static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t));
            result = WriteRegValue(key.get(), kRunValueName, kRegKindText, command.c_str(), size);
        }
    } else {
        result = DeleteRegValue(key.get(), kRunValueName);
    }
    return result;
}

bool IsStartWithWindows()
{
    RegKey key = OpenOwnedKey(kRegRootCurrentUser, kRunKey);
    if (!key)
        return false;
    int kind = kRegKindOther;
    DWORD size = 0;
    return ReadRegValue(key.get(), kRunValueName, kind, nullptr, size);
}
