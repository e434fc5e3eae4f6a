// What Covelin costs while it waits: the real program, armed (dialog hidden,
// engine asleep until a chord's key goes down, both refreshers resting),
// against a bare program whose only work is polling two keys every 20 ms and
// a bare dialog that only waits for its messages; the same while someone
// types keys that belong to no chord; and its peak memory against a bare
// dialog, and against a bare dialog that also reads the display mode through
// Direct3D 9 (what that one question costs when asked of a graphics library
// instead of EnumDisplaySettingsW). The programs run one after the other
// under the same wineserver, whose own CPU time is read from Linux's /proc
// (Z:\proc under Wine), as are the programs' own and their threads' context
// switches.
#include "Bench.h"
#include "Programs.h"

#include <psapi.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <map>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/Keyboard.h"

using namespace bench;

namespace {

constexpr DWORD kSampleMs = 30000;
// Typing: a key that belongs to neither default chord, ten times a second.
constexpr WORD kTypedKey = 'K';
constexpr DWORD kKeyPeriodMs = 100;

// Wine opens files in the wineserver, so Z:\proc\self is the wineserver
// that serves this prefix; but it lists directories itself, so the server
// is named by its id for the walk over its threads.
std::wstring WineserverProcDir()
{
    const std::string stat = ReadSmallFile(L"Z:\\proc\\self\\stat");
    const unsigned long id = std::strtoul(stat.c_str(), nullptr, 10);
    return id ? L"Z:\\proc\\" + std::to_wstring(id) + L"\\" : L"Z:\\proc\\self\\";
}

const std::wstring kWineserverProc = WineserverProcDir();

// utime + stime of a Linux process or thread, in milliseconds (100 ticks a
// second). The kernel charges a whole tick to whoever runs when it falls, so
// a program that wakes briefly 50 times a second is measured coarsely.
double LinuxTickMs(const std::wstring& procDir)
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

// The scheduler's own count of the time a thread ran, in milliseconds, or a
// negative value where the kernel does not keep it.
double LinuxRunMs(const std::wstring& taskDir)
{
    const std::string text = ReadSmallFile(taskDir + L"schedstat");
    if (text.empty())
        return -1;
    return std::strtoull(text.c_str(), nullptr, 10) / 1e6;
}

// Voluntary and involuntary context switches of a Linux thread so far.
double LinuxSwitches(const std::wstring& taskDir)
{
    const std::string status = ReadSmallFile(taskDir + L"status");
    double switches = 0;
    for (const char* field : {"voluntary_ctxt_switches:", "nonvoluntary_ctxt_switches:"}) {
        // "nonvoluntary_..." holds "voluntary_...": look at line starts only.
        const std::string key = std::string("\n") + field;
        const size_t at = status.find(key);
        if (at != std::string::npos)
            switches += std::strtod(status.c_str() + at + key.size(), nullptr);
    }
    return switches;
}

// One look at every thread of a Linux process.
struct ThreadTimes {
    struct Thread {
        std::string name;
        double runMs;
        double switches;
    };
    std::map<unsigned long, Thread> threads; // by Linux thread id, oldest first
    double tickMs = 0;                       // the whole process, from ticks
};

ThreadTimes ReadThreadTimes(const std::wstring& procDir)
{
    ThreadTimes times;
    times.tickMs = LinuxTickMs(procDir);
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((procDir + L"task\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return times;
    do {
        if (entry.cFileName[0] < L'0' || entry.cFileName[0] > L'9')
            continue;
        const std::wstring dir = procDir + L"task\\" + entry.cFileName + L"\\";
        std::string name = ReadSmallFile(dir + L"comm");
        while (!name.empty() && (name.back() == '\n' || name.back() == '\0'))
            name.pop_back();
        times.threads[std::wcstoul(entry.cFileName, nullptr, 10)] = {name, LinuxRunMs(dir), LinuxSwitches(dir)};
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    return times;
}

// What a process and the wineserver used over one sampling period.
struct Sample {
    double processMs = 0; // scheduler time, or ticks where it is not kept
    double processTickMs = 0;
    double wineserverMs = 0;
    double switchesPerSecond = 0; // all the process's threads together
    bool precise = true;
    std::vector<std::pair<unsigned long, ThreadTimes::Thread>> threads; // time and switches per thread
};

double RunTotal(const ThreadTimes& times, bool& precise)
{
    double total = 0;
    for (const auto& [id, thread] : times.threads) {
        if (thread.runMs < 0)
            precise = false;
        total += thread.runMs;
    }
    return total;
}

Sample SampleCpu(const std::wstring& process)
{
    const ThreadTimes process0 = ReadThreadTimes(process);
    const ThreadTimes server0 = ReadThreadTimes(kWineserverProc);
    Sleep(kSampleMs);
    const ThreadTimes process1 = ReadThreadTimes(process);
    const ThreadTimes server1 = ReadThreadTimes(kWineserverProc);

    Sample sample;
    sample.processTickMs = process1.tickMs - process0.tickMs;
    const double seconds = kSampleMs / 1000.0;
    for (const auto& [id, thread] : process1.threads) {
        auto before = process0.threads.find(id);
        const bool old = before != process0.threads.end();
        const double used = thread.runMs - (old ? before->second.runMs : 0);
        const double switches = (thread.switches - (old ? before->second.switches : 0)) / seconds;
        sample.threads.push_back({id, {thread.name, used, switches}});
        sample.switchesPerSecond += switches;
    }
    // Threads that ended during the period are not counted: in the steady
    // state measured here none do.
    sample.processMs = RunTotal(process1, sample.precise) - RunTotal(process0, sample.precise);
    sample.wineserverMs = RunTotal(server1, sample.precise) - RunTotal(server0, sample.precise);
    if (!sample.precise) {
        sample.processMs = sample.processTickMs;
        sample.wineserverMs = server1.tickMs - server0.tickMs;
    }
    return sample;
}

void Line(const char* label, const Sample& ours, const Sample& bare)
{
    std::printf("  %s: Covelin %.1f ms CPU, bare poller %.1f ms CPU in %lu s (%s; in ticks %.0f and %.0f ms)\n", label,
                ours.processMs, bare.processMs, kSampleMs / 1000,
                ours.precise && bare.precise ? "scheduler time" : "ticks only", ours.processTickMs, bare.processTickMs);
    std::printf("  wineserver: with Covelin %.1f ms, with the bare poller %.1f ms\n", ours.wineserverMs,
                bare.wineserverMs);
    // Covelin's threads in the order they were made: main, the two
    // refreshers, the program's helpers and the system's, the engine last.
    std::printf("  Covelin by thread (CPU, context switches a second):");
    for (const auto& [id, thread] : ours.threads)
        if (thread.runMs >= 0.5 || thread.switches >= 0.05)
            std::printf(" %lu %s %.1f ms %.2f/s;", id, thread.name.c_str(), thread.runMs, thread.switches);
    std::printf("\n  context switches a second, all threads: Covelin %.2f, bare poller %.2f\n", ours.switchesPerSecond,
                bare.switchesPerSecond);
}

// Measures `process` while a thread of ours types kTypedKey ten times a
// second into a window of its own in front (Wine hands injected keys on, raw
// input too, only while one of its windows has the focus).
Sample SampleWhileTyping(const std::wstring& process)
{
    std::atomic<bool> typing{true};
    std::atomic<bool> ready{false};
    std::thread typist([&] {
        testsupport::ForegroundWindow front;
        ready = true;
        MSG message;
        while (typing.load()) {
            testsupport::SendKey(kTypedKey, true);
            testsupport::SendKey(kTypedKey, false);
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&message);
            Sleep(kKeyPeriodMs);
        }
    });
    while (!ready.load())
        Sleep(10);
    Sleep(500);
    const Sample sample = SampleCpu(process);
    typing = false;
    typist.join();
    return sample;
}

SIZE_T PeakOfBareDialog(const wchar_t* options)
{
    Child bareDialog;
    if (!bareDialog.Start(L"\"" + bench::OwnPath() + L"\" --bare-dialog" + options))
        return 0;
    if (!WaitForDialog(bareDialog.info.dwProcessId, nullptr, 15000))
        return 0;
    Sleep(2000);
    return PeakWorkingSet(bareDialog.info.hProcess);
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
// "--bare-dialog d3d9": the same after reading the display mode through
// Direct3D 9, for comparison.
int RunBareDialog()
{
    if (std::wcsstr(GetCommandLineW(), L" d3d9")) {
        using Create = void*(WINAPI*)(UINT);
        HMODULE d3d9 = LoadLibraryW(L"d3d9.dll");
        auto create =
            d3d9 ? reinterpret_cast<Create>(reinterpret_cast<void*>(GetProcAddress(d3d9, "Direct3DCreate9"))) : nullptr;
        // IDirect3D9 without the SDK headers: Release is slot 2, and
        // GetAdapterDisplayMode(adapter, D3DDISPLAYMODE*) slot 8.
        if (void* direct3d = create ? create(32) : nullptr) { // D3D_SDK_VERSION
            void** table = *static_cast<void***>(direct3d);
            UINT mode[4] = {};
            reinterpret_cast<HRESULT(WINAPI*)(void*, UINT, void*)>(table[8])(direct3d, 0, mode);
            reinterpret_cast<ULONG(WINAPI*)(void*)>(table[2])(direct3d);
        }
    }
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

    if (!ArmCovelin(dialog)) {
        std::printf("  Covelin did not arm\n");
        return;
    }
    Sleep(1500); // the last rebuilds before the refreshers rest
    const std::wstring covelinProc = FindLinuxProcess("covelin-idle-bench");
    if (covelinProc.empty()) {
        std::printf("  Covelin's Linux process not found\n");
        return;
    }
    const Sample ours = SampleCpu(covelinProc);
    const Sample oursTyping = SampleWhileTyping(covelinProc);
    // The wineserver serves whatever runs: Covelin must be gone before the
    // bare programs are measured.
    TerminateProcess(covelin.info.hProcess, 0);
    WaitForSingleObject(covelin.info.hProcess, 5000);
    Sleep(1500);

    Sample bare;
    {
        Child poller;
        poller.Start(L"\"" + bench::OwnPath() + L"\" --bare-poller");
        Sleep(1500);
        bare = SampleCpu(FindLinuxProcess("--bare-poller"));
    }
    Sample waiting;
    {
        Child dialog;
        dialog.Start(L"\"" + bench::OwnPath() + L"\" --bare-dialog");
        if (!WaitForDialog(dialog.info.dwProcessId, nullptr, 15000)) {
            std::printf("  the bare dialog did not appear\n");
            return;
        }
        Sleep(1500);
        waiting = SampleCpu(FindLinuxProcess("--bare-dialog"));
    }
    Line("armed and idle", ours, bare);
    std::printf("  bare dialog waiting for messages: %.1f ms CPU, %.2f context switches a second\n", waiting.processMs,
                waiting.switchesPerSecond);
    bench::Ratio("Covelin CPU / bare poller CPU", ours.processMs, bare.processMs, 0.25);
    const double above = ours.switchesPerSecond - waiting.switchesPerSecond;
    std::printf("  %-44s %6.2f /s (target 2.00 /s: %s)\n", "switches a second above the bare dialog's", above,
                above <= 2.0 ? "met" : "NOT met");
    std::printf("  wineserver with Covelin / with the bare poller: %.2f x\n",
                bare.wineserverMs > 0 ? ours.wineserverMs / bare.wineserverMs : 0);
    // Both default chords are registered: nothing watches the keys.
    std::printf("  %-44s %6.2f /s (both chords registered, target 0.20 /s: %s)\n", "", above,
                above <= 0.2 ? "met" : "MISSED");
    Line("typing 10 keys a second, none of a chord", oursTyping, bare);
    bench::Ratio("Covelin CPU typing / bare poller CPU", oursTyping.processMs, bare.processMs, 0.05);
    std::printf("  before the registered hotkeys: 1.50 switches a second above the bare dialog, CPU 0.01x idle "
                "and 0.55x typing\n");

    const SIZE_T barePeak = PeakOfBareDialog(L"");
    const SIZE_T d3dPeak = PeakOfBareDialog(L" d3d9");
    std::printf("  peak working set: Covelin %.1f MB, bare dialog %.1f MB, difference %.1f MB (target 3 MB)\n",
                Mb(covelinPeak), Mb(barePeak), Mb(covelinPeak) - Mb(barePeak));
    std::printf("  bare dialog that reads the display mode through Direct3D 9: %.1f MB; Covelin beyond it %.1f MB\n",
                Mb(d3dPeak), Mb(covelinPeak) - Mb(d3dPeak));
}
