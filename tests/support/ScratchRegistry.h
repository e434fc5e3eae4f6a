#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace testsupport {

// A fresh key HKCU\Software\CovelinTest\<unique>, removed with everything
// below it when the object goes out of scope. Tests that need keys of their
// own work under it and never touch real settings.
class ScratchRegKey {
public:
    ScratchRegKey();
    ~ScratchRegKey();
    ScratchRegKey(const ScratchRegKey&) = delete;
    ScratchRegKey& operator=(const ScratchRegKey&) = delete;

    // Path below HKEY_CURRENT_USER, without a trailing backslash.
    const std::wstring& Path() const { return path_; }
    // A unique name usable as a company key: Software\<Company()> is this key.
    std::wstring Company() const;

private:
    std::wstring path_;
};

// Remembers whether a key existed; if it did not, whatever part of its path
// the test (or the system on the test's behalf) created is removed when the
// object goes out of scope.
class RegKeyGuard {
public:
    RegKeyGuard(HKEY root, const std::wstring& subKey);
    ~RegKeyGuard();
    RegKeyGuard(const RegKeyGuard&) = delete;
    RegKeyGuard& operator=(const RegKeyGuard&) = delete;

    bool Existed() const { return firstMissingKey_.empty(); }

private:
    HKEY root_;
    std::wstring firstMissingKey_;
};

// Remembers one value (and whether its key existed) and puts that back when
// the object goes out of scope: for tests that must use a fixed place such
// as the Run key.
class RegValueGuard {
public:
    RegValueGuard(HKEY root, std::wstring subKey, std::wstring name);
    ~RegValueGuard();
    RegValueGuard(const RegValueGuard&) = delete;
    RegValueGuard& operator=(const RegValueGuard&) = delete;

private:
    RegKeyGuard keyGuard_;
    HKEY root_;
    std::wstring subKey_;
    std::wstring name_;
    bool existed_ = false;
    DWORD type_ = 0;
    std::vector<BYTE> data_;
};

// Sets a whole key aside for the test: remembers its values (and whether it
// existed), removes it, and puts it back as it was when the object goes out
// of scope. For a program that keeps a list of its own in a fixed place.
class RegKeySetAside {
public:
    RegKeySetAside(HKEY root, std::wstring subKey);
    ~RegKeySetAside();
    RegKeySetAside(const RegKeySetAside&) = delete;
    RegKeySetAside& operator=(const RegKeySetAside&) = delete;

private:
    struct Value {
        std::wstring name;
        DWORD type;
        std::vector<BYTE> data;
    };
    HKEY root_;
    std::wstring subKey_;
    bool existed_ = false;
    std::vector<Value> values_;
};

// Raw access for checks and set-up, independent of the code under test.
// SetRawValue creates the key when needed.
bool SetRawValue(HKEY root, const std::wstring& subKey, const std::wstring& name, DWORD type, const void* data,
                 DWORD size);
bool SetRawText(HKEY root, const std::wstring& subKey, const std::wstring& name, const std::wstring& text,
                DWORD type = REG_SZ);
bool GetRawValue(HKEY root, const std::wstring& subKey, const std::wstring& name, DWORD* type, std::vector<BYTE>* data);
// A REG_SZ value as text; false when it is missing or of another type.
bool GetRawText(HKEY root, const std::wstring& subKey, const std::wstring& name, std::wstring* text);
bool RawValueExists(HKEY root, const std::wstring& subKey, const std::wstring& name);
bool DeleteRawValue(HKEY root, const std::wstring& subKey, const std::wstring& name);
bool KeyExists(HKEY root, const std::wstring& subKey);

// The bytes of `text` with its terminating zero, as REG_SZ stores them.
std::vector<BYTE> TextBytes(const std::wstring& text);

} // namespace testsupport
