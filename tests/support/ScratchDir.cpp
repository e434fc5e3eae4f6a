#include "support/ScratchDir.h"

#include <windows.h>

#include <atomic>
#include <string>

namespace testsupport {

namespace {

void RemoveTree(const std::wstring& dir)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((dir + L"*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring full = dir + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(full + L"\\");
            } else {
                SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(full.c_str());
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(dir.c_str());
}

} // namespace

ScratchDir::ScratchDir()
{
    static std::atomic<unsigned> counter{0};
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    for (;;) {
        path_ = std::wstring(temp) + L"covelin-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(counter++) + L"\\";
        if (CreateDirectoryW(path_.c_str(), nullptr))
            break;
    }
}

ScratchDir::~ScratchDir()
{
    RemoveTree(path_);
}

bool WriteBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

bool ReadBytes(const std::wstring& path, std::string* bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bytes->clear();
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes->append(buffer, got);
    CloseHandle(file);
    return true;
}

bool FolderTakingNoNewFile::Lock(bool locked)
{
    using UnixName = char*(CDECL*)(const wchar_t*);
    // Runs a Linux program; with `wait` it returns the program's exit code.
    using UnixSpawn = LONG(CDECL*)(char* const argv[], int wait);
    const auto unixName = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
    const auto unixSpawn = reinterpret_cast<UnixSpawn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll"), "__wine_unix_spawnvp")));
    char* name = unixName ? unixName(dir_.c_str()) : nullptr;
    if (!name || !unixSpawn) {
        HeapFree(GetProcessHeap(), 0, name);
        return false;
    }
    std::string program = "chattr";
    std::string flag = locked ? "+i" : "-i";
    char* argv[] = {program.data(), flag.data(), name, nullptr};
    // Waited for, so no chattr is still on its way when the test goes on
    // or the folder is removed; a lock that may have been set is always
    // taken off again.
    attempted_ = attempted_ || locked;
    const LONG exitCode = unixSpawn(argv, TRUE);
    HeapFree(GetProcessHeap(), 0, name);
    if (exitCode != 0)
        return false;
    const std::wstring probe = dir_ + L"probe.tmp";
    const bool created = WriteBytes(probe, "") && DeleteFileW(probe.c_str());
    return created != locked;
}

} // namespace testsupport
