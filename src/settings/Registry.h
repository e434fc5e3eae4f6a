#pragma once
#include <windows.h>

#include <string>

// The program's registry operations, on the owners of framework/Handles.h.
// A value is read or overwritten only when it has the kind (and, for reads
// with a buffer, the exact size) that the caller expects. Results: true on
// success. A null key or value name fails at once without touching the
// registry.

// The program's small code for registry types.
inline constexpr int kRegKindNumber = 0; // REG_DWORD
inline constexpr int kRegKindText = 1;   // REG_SZ, REG_EXPAND_SZ (written as REG_SZ)
inline constexpr int kRegKindOther = -1; // every other type

// Root keys by index: 0 HKEY_CLASSES_ROOT, 1 HKEY_CURRENT_CONFIG,
// 2 HKEY_CURRENT_USER, 3 HKEY_LOCAL_MACHINE, 4 HKEY_USERS.
inline constexpr int kRegRootCurrentUser = 2;

// Opens an existing key (never creates one) for reading and setting values.
// Null when the root index is unknown, `subKey` is null or empty, or the key
// cannot be opened.
HKEY OpenRegKey(int rootIndex, const wchar_t* subKey);

// data == null: stores the value's kind and size in bytes; fails when the
// value does not exist. data given: reads exactly `size` bytes into `data`,
// and only when the stored kind equals `kind` and the stored size equals
// `size`; `kind` and `size` are left alone. Text read this way is not
// guaranteed to end with a zero: the caller's buffer holds what is stored.
[[nodiscard]] bool ReadRegValue(HKEY key, const wchar_t* name, int& kind, void* data, DWORD& size);

// Creates the value with the type of `kind`, or overwrites it when it exists
// with the same kind; a value of another kind is left alone (fails).
[[nodiscard]] bool WriteRegValue(HKEY key, const wchar_t* name, int kind, const void* data, DWORD size);

// Overwrites an existing value of the same kind; fails otherwise.
[[nodiscard]] bool OverwriteRegValue(HKEY key, const wchar_t* name, int kind, const void* data, DWORD size);

// Deletes the value; succeeds also when there was none.
[[nodiscard]] bool DeleteRegValue(HKEY key, const wchar_t* name);

bool CloseRegKey(HKEY key);

// Start with Windows: the value "Covelin" in the current user's Run key, its
// data the quoted executable path. Its presence, whatever type or data, is
// the setting.
inline constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t kRunValueName[] = L"Covelin";

// Writes (on) or deletes (off) the Run value; true when that worked.
// Callers may ignore the result.
bool ApplyStartWithWindows(bool on, const std::wstring& ownExecutablePath);
// Whether the Run value exists.
[[nodiscard]] bool IsStartWithWindows();
// The Run value's data for an executable path: the path in double quotes,
// so that a path with spaces cannot start another program.
std::wstring RunCommandFor(const std::wstring& executablePath);
