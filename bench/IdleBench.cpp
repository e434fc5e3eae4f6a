// What Covelin costs while it waits: the real program, armed (dialog hidden,
// engine polling, both refreshers running), against a bare program whose only
// work is polling two keys every 20 ms; and its peak memory against a bare
// dialog. Both programs run under the same wineserver, whose own CPU time is
// read from Linux's /proc (Z:\proc under Wine).
#include "Bench.h"

#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr DWORD kSampleMs = 20000;
constexpr wchar_t kMainCaption[] = L"Covelin - Make your actions invisible";

std::string ReadSmallFile(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    std::string text(65536, '\0');
    DWORD got = 0;
    ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &got, nullptr);
    CloseHandle(file);
    text.resize(got);
    return text;
}

// Wine opens files in the wineserver, so Z:\proc\self is the wineserver
// that serves this prefix.
const std::wstring kWineserverProc = L"Z:\\proc\\self\\";

// Wine cannot tell the CPU time of another process: read it from Linux.
// Returns the /proc directory of the Linux process whose command line holds
// `needle`, or empty.
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

// utime + stime of a Linux process, in milliseconds (100 ticks a second).
double LinuxCpuMs(const std::wstring& procDir)
{
    const std::string stat = ReadSmallFile(procDir + L"stat");
    const size_t close = stat.rfind(')');
    if (close == std::string::npos)
        return 0;
    // Fields after the command: state is field 3; utime and stime are 14 and 15.
    const char* p = stat.c_str() + close + 2;
    unsigned long long values[13] = {};
    int field = 3;
    while (*p && field <= 15) {
        if (field >= 14)
            values[field - 14] = std::strtoull(p, nullptr, 10);
        p = std::strchr(p, ' ');
        if (!p)
            break;
        ++p;
        ++field;
    }
    return (values[0] + values[1]) * 10.0;
}

struct Sample {
    double processMs;
    double wineserverMs;
};

Sample SampleCpu(const std::wstring& process)
{
    const double process0 = LinuxCpuMs(process);
    const double server0 = LinuxCpuMs(kWineserverProc);
    Sleep(kSampleMs);
    return {LinuxCpuMs(process) - process0, LinuxCpuMs(kWineserverProc) - server0};
}

struct Child {
    PROCESS_INFORMATION info{};
    bool Start(const std::wstring& commandLine, const std::wstring& dir = L"")
    {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        std::wstring line = commandLine;
        return CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              dir.empty() ? nullptr : dir.c_str(), &startup, &info) != 0;
    }
    ~Child()
    {
        if (info.hProcess) {
            TerminateProcess(info.hProcess, 0);
            WaitForSingleObject(info.hProcess, 5000);
            CloseHandle(info.hProcess);
            CloseHandle(info.hThread);
        }
    }
};

struct WindowQuery {
    DWORD pid;
    const wchar_t* title;
    HWND found;
};

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

SIZE_T PeakWorkingSet(HANDLE process)
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    return GetProcessMemoryInfo(process, &counters, sizeof counters) ? counters.PeakWorkingSetSize : 0;
}

std::wstring DirectoryOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\') + 1); }

// A private copy of the built program, so that its settings are its own.
std::wstring InstallCovelin(const std::wstring& scratch)
{
    const std::wstring built = DirectoryOf(bench::OwnPath()) + L"..\\Covelin.exe";
    CreateDirectoryW(scratch.c_str(), nullptr);
    const std::wstring copy = scratch + L"Covelin.exe";
    DeleteFileW((scratch + L"setting.dat").c_str());
    return CopyFileW(built.c_str(), copy.c_str(), FALSE) ? copy : std::wstring();
}

void Line(const char* label, const Sample& ours, const Sample& bare)
{
    std::printf("  %s: Covelin %.0f ms CPU, bare %.0f ms CPU in %lu s\n", label, ours.processMs, bare.processMs,
                kSampleMs / 1000);
    std::printf("  wineserver: with Covelin %.0f ms, with the bare poller %.0f ms\n", ours.wineserverMs,
                bare.wineserverMs);
}

} // namespace

namespace bench {

// "--bare-poller": polls Ctrl+` and Ctrl+Left every 20 ms, nothing else.
int RunBarePoller()
{
    for (;;) {
        Sleep(20);
        volatile bool down = GetAsyncKeyState(VK_CONTROL) < 0 && GetAsyncKeyState(VK_OEM_3) < 0;
        volatile bool other = GetAsyncKeyState(VK_CONTROL) < 0 && GetAsyncKeyState(VK_LEFT) < 0;
        (void)down;
        (void)other;
    }
}

// "--bare-dialog": one empty modal dialog, the smallest Win32 dialog program.
int RunBareDialog()
{
    struct {
        DLGTEMPLATE header;
        WORD menu, windowClass, title;
    } dialog{};
    dialog.header.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | DS_MODALFRAME;
    dialog.header.cx = 200;
    dialog.header.cy = 200;
    return static_cast<int>(DialogBoxIndirectParamW(
        nullptr, &dialog.header, nullptr, [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0));
}

} // namespace bench

BENCH_SECTION("idle", "armed Covelin's CPU and peak memory against bare programs")
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring scratch = std::wstring(temp) + L"covelin-idle-bench\\";
    const std::wstring exe = InstallCovelin(scratch);
    Child covelin;
    if (exe.empty() || !covelin.Start(L"\"" + exe + L"\"", scratch)) {
        std::printf("  could not start Covelin.exe (build it first)\n");
        return;
    }
    // The first run warns that the settings were missing.
    if (HWND warning = WaitForDialog(covelin.info.dwProcessId, L"Covelin", 15000))
        PostMessageW(warning, WM_COMMAND, IDOK, 0);
    HWND dialog = WaitForDialog(covelin.info.dwProcessId, kMainCaption, 15000);
    if (!dialog) {
        std::printf("  Covelin's main dialog did not appear\n");
        return;
    }
    Sleep(2000);
    const SIZE_T covelinPeak = PeakWorkingSet(covelin.info.hProcess);

    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(3, BN_CLICKED), 0); // Start
    const ULONGLONG armDeadline = GetTickCount64() + 5000;
    while (IsWindowVisible(dialog) && GetTickCount64() < armDeadline)
        Sleep(20);
    if (IsWindowVisible(dialog)) {
        std::printf("  Covelin did not arm\n");
        return;
    }
    Sleep(1500); // the refreshers' first full rebuilds
    const std::wstring covelinProc = FindLinuxProcess("covelin-idle-bench");
    if (covelinProc.empty()) {
        std::printf("  Covelin's Linux process not found\n");
        return;
    }
    const Sample ours = SampleCpu(covelinProc);

    Child poller;
    poller.Start(L"\"" + bench::OwnPath() + L"\" --bare-poller");
    Sleep(1500);
    const Sample bare = SampleCpu(FindLinuxProcess("--bare-poller"));
    Line("armed and idle", ours, bare);
    bench::Ratio("Covelin CPU / bare poller CPU", ours.processMs, bare.processMs, 1.25);
    bench::Ratio("wineserver with Covelin / with bare poller", ours.wineserverMs, bare.wineserverMs, 1.5);

    Child bareDialog;
    bareDialog.Start(L"\"" + bench::OwnPath() + L"\" --bare-dialog");
    WaitForDialog(bareDialog.info.dwProcessId, nullptr, 15000);
    Sleep(2000);
    const SIZE_T barePeak = PeakWorkingSet(bareDialog.info.hProcess);
    std::printf("  peak working set: Covelin %.1f MB, bare dialog %.1f MB, difference %.1f MB (target 3 MB)\n",
                covelinPeak / 1048576.0, barePeak / 1048576.0,
                (static_cast<double>(covelinPeak) - static_cast<double>(barePeak)) / 1048576.0);
}
