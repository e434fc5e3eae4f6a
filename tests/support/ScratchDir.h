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

// While it lives, `dir` takes no new file while the files in it stay
// writable: a folder an administrator locked down. Wine as root ignores a
// folder's DACL and read-only attribute alike, so the folder is made
// immutable on the Linux side (chattr +i binds root too). Ready() is false
// where that cannot be done (not under Wine, no such flag). Each chattr is
// waited for, and the folder is unlocked on the way out however the test
// ended, so no run leaves an immutable folder behind.
class FolderTakingNoNewFile {
public:
    explicit FolderTakingNoNewFile(std::wstring dir) : dir_(std::move(dir)) { ready_ = Lock(true); }
    ~FolderTakingNoNewFile()
    {
        if (attempted_)
            Lock(false);
    }
    FolderTakingNoNewFile(const FolderTakingNoNewFile&) = delete;
    FolderTakingNoNewFile& operator=(const FolderTakingNoNewFile&) = delete;
    bool Ready() const { return ready_; }

private:
    bool Lock(bool locked);
    std::wstring dir_;
    bool attempted_ = false;
    bool ready_ = false;
};

// Whole-file helpers for tests that check bytes on disk.
bool WriteBytes(const std::wstring& path, const std::string& bytes);
bool ReadBytes(const std::wstring& path, std::string* bytes);

} // namespace testsupport
