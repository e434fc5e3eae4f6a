#include "Programs.h"

#include <psapi.h>

#include <cwchar>

#include "Bench.h"
#include "settings/SettingFile.h"
#include "ui/res/resource.h"

namespace bench {

bool Child::Start(const std::wstring& commandLine, const std::wstring& dir)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::wstring line = commandLine;
    return CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          dir.empty() ? nullptr : dir.c_str(), &startup, &info) != 0;
}

void Child::End()
{
    if (!info.hProcess)
        return;
    TerminateProcess(info.hProcess, 0);
    WaitForSingleObject(info.hProcess, 5000);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    info = PROCESS_INFORMATION{};
}

namespace {

struct WindowQuery {
    DWORD pid;
    const wchar_t* title;
    HWND found;
};

} // namespace

HWND FindDialogOf(DWORD pid, const wchar_t* title)
{
    WindowQuery query{pid, title, nullptr};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* q = reinterpret_cast<WindowQuery*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            wchar_t className[64] = {}, text[128] = {};
            GetClassNameW(window, className, 64);
            GetWindowTextW(window, text, 128);
            if (owner == q->pid && std::wcscmp(className, L"#32770") == 0 && IsWindowVisible(window) &&
                (!q->title || std::wcscmp(text, q->title) == 0)) {
                q->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&query));
    return query.found;
}

HWND WaitForDialog(DWORD pid, const wchar_t* title, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (GetTickCount64() < deadline) {
        if (HWND found = FindDialogOf(pid, title))
            return found;
        Sleep(50);
    }
    return nullptr;
}

bool ArmCovelin(HWND dialog)
{
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_START, BN_CLICKED), 0);
    const ULONGLONG deadline = GetTickCount64() + 5000;
    while (IsWindowVisible(dialog) && GetTickCount64() < deadline)
        Sleep(20);
    return !IsWindowVisible(dialog);
}

SIZE_T PeakWorkingSet(HANDLE process)
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    return GetProcessMemoryInfo(process, &counters, sizeof counters) ? counters.PeakWorkingSetSize : 0;
}

double Mb(SIZE_T bytes)
{
    return static_cast<double>(bytes) / 1048576.0;
}

namespace {

std::wstring DirectoryOf(const std::wstring& path)
{
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

} // namespace

std::wstring InstallCovelin(const std::wstring& scratch, bool withSettings)
{
    const std::wstring built = DirectoryOf(OwnPath()) + L"..\\Covelin.exe";
    CreateDirectoryW(scratch.c_str(), nullptr);
    const std::wstring copy = scratch + L"Covelin.exe";
    DeleteFileW((scratch + L"setting.dat").c_str());
    if (!CopyFileW(built.c_str(), copy.c_str(), FALSE))
        return {};
    if (withSettings) {
        SettingFile file(scratch + L"setting.dat");
        *file.Data() = MakeDefaultSettings();
        if (!file.Save())
            return {};
    }
    return copy;
}

std::wstring ScratchPath(const wchar_t* name)
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + name + L"\\";
}

std::string ReadSmallFile(const std::wstring& path, size_t maxBytes)
{
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    // /proc files tell no size: read until the end.
    std::string text;
    char chunk[65536];
    DWORD got = 0;
    while (text.size() < maxBytes && ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0)
        text.append(chunk, got);
    CloseHandle(file);
    if (text.size() > maxBytes)
        text.resize(maxBytes);
    return text;
}

std::wstring FindLinuxProcess(const std::string& needle)
{
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW(L"Z:\\proc\\*", &entry);
    if (find == INVALID_HANDLE_VALUE)
        return {};
    std::wstring found;
    do {
        if (entry.cFileName[0] < L'0' || entry.cFileName[0] > L'9')
            continue;
        const std::wstring dir = std::wstring(L"Z:\\proc\\") + entry.cFileName + L"\\";
        std::string commandLine = ReadSmallFile(dir + L"cmdline");
        for (char& c : commandLine)
            if (c == '\0')
                c = ' ';
        if (commandLine.find(needle) != std::string::npos)
            found = dir;
    } while (found.empty() && FindNextFileW(find, &entry));
    FindClose(find);
    return found;
}

} // namespace bench
