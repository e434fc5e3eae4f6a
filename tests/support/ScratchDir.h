#pragma once
#include <string>

namespace testsupport {

// A fresh directory under %TEMP% that is removed with everything in it when
// the object goes out of scope. Path() ends with a backslash.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::wstring& Path() const { return path_; }
    std::wstring File(const std::wstring& name) const { return path_ + name; }

private:
    std::wstring path_;
};

// Whole-file helpers for tests that check bytes on disk.
bool WriteBytes(const std::wstring& path, const std::string& bytes);
bool ReadBytes(const std::wstring& path, std::string* bytes);

} // namespace testsupport
