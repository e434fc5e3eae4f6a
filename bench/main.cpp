// covelin_bench: measures the costs that the program pays again and again,
// each beside the bare Win32 floor measured in the same run.
//
//   covelin_bench [section...]     run the named sections (all by default)
//   covelin_bench --list           list the sections
#include "Bench.h"

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "catalogue/Catalogues.h"
#include "hiding/Hiding.h"
#include "system/OwnProcess.h"

namespace bench {

std::vector<Section>& Sections()
{
    static std::vector<Section> sections;
    return sections;
}

Catalogues& TheCatalogues()
{
    static Catalogues catalogues;
    return catalogues;
}

namespace {

double Ms(LONGLONG ticks)
{
    static LONGLONG frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f.QuadPart;
    }();
    return 1000.0 * static_cast<double>(ticks) / static_cast<double>(frequency);
}

} // namespace

double NowMs()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return Ms(now.QuadPart);
}

void BareEnumWindows(std::vector<HWND>& seen)
{
    seen.clear();
    EnumWindows(
        [](HWND window, LPARAM p) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(p)->push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&seen));
}

std::vector<double> TimeRuns(int runs, const std::function<void()>& body, int warmups)
{
    for (int i = 0; i < warmups; ++i)
        body();
    std::vector<double> samples;
    for (int i = 0; i < runs; ++i) {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        body();
        QueryPerformanceCounter(&end);
        samples.push_back(Ms(end.QuadPart - start.QuadPart));
    }
    return samples;
}

std::pair<std::vector<double>, std::vector<double>> TimeAlternately(int runs, const std::function<void()>& first,
                                                                    const std::function<void()>& second, int warmups,
                                                                    const std::function<void()>& before)
{
    auto prepare = [&] {
        if (before)
            before();
    };
    for (int i = 0; i < warmups; ++i) {
        prepare();
        first();
        prepare();
        second();
    }
    std::pair<std::vector<double>, std::vector<double>> samples;
    for (int i = 0; i < runs; ++i) {
        prepare();
        samples.first.push_back(TimeRuns(1, first, 0).front());
        prepare();
        samples.second.push_back(TimeRuns(1, second, 0).front());
    }
    return samples;
}

double Median(std::vector<double> samples)
{
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

double Minimum(const std::vector<double>& samples)
{
    return samples.empty() ? 0 : *std::min_element(samples.begin(), samples.end());
}

void Report(const char* label, const std::vector<double>& samples)
{
    std::printf("  %-44s median %8.3f ms  (min %8.3f ms, %zu runs)\n", label, Median(samples), Minimum(samples),
                samples.size());
}

void Ratio(const char* label, double ours, double floor, double target)
{
    double ratio = floor > 0 ? ours / floor : 0;
    std::printf("  %-44s %6.2f x   (target %.2f x: %s)\n", label, ratio, target, ratio <= target ? "met" : "NOT met");
}

std::wstring OwnPath()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

namespace {

std::vector<std::string> BenchWindows(int count)
{
    if (count <= 0)
        return {};
    return {testsupport::WindowsOfClass(count, "CovelinBenchHost", "bench window")};
}

// Showing a top-level window costs Wine and the X server some 20 to 30 ms
// on a busy machine: 3,000 of them take a minute or more to open.
DWORD StartLimitMs(int windows)
{
    return 30000 + 50 * static_cast<DWORD>(windows > 0 ? windows : 0);
}

} // namespace

HostProcess::HostProcess(int windows) : testsupport::WindowHost(BenchWindows(windows), L"", StartLimitMs(windows))
{
}

void HostProcess::Settle() const
{
    for (HWND window : Windows()) {
        DWORD_PTR answer = 0;
        SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer);
    }
    Sleep(500);
}

namespace {

int TopLevelWindowCount()
{
    int count = 0;
    EnumWindows([](HWND, LPARAM p) -> BOOL { return ++*reinterpret_cast<int*>(p), TRUE; },
                reinterpret_cast<LPARAM>(&count));
    return count;
}

int ProcessCount()
{
    DWORD ids[1024];
    DWORD bytes = 0;
    return EnumProcesses(ids, sizeof(ids), &bytes) ? static_cast<int>(bytes / sizeof(DWORD)) : 0;
}

} // namespace

} // namespace bench

// ---- sections ----------------------------------------------------------------------

BENCH_SECTION("window-catalogue", "one window-catalogue rebuild with 300 windows of another process present")
{
    bench::HostProcess host(300);
    if (!host.Ready()) {
        std::printf("  could not start the window host\n");
        return;
    }
    host.Settle();
    std::printf("  top-level windows present: %d\n", bench::TopLevelWindowCount());

    std::vector<HWND> seen;
    seen.reserve(4096);
    int listed = 0;
    auto [bare, ours] = bench::TimeAlternately(
        200, [&] { bench::BareEnumWindows(seen); },
        [&] {
            std::lock_guard<CCriticalSection> guard(bench::TheCatalogues().windowLock);
            listed = bench::TheCatalogues().windowCatalogue.Refresh();
        });
    std::printf("  windows catalogued: %d\n", listed);
    bench::Report("bare EnumWindows", bare);
    bench::Report("windowCatalogue.Refresh() (steady state)", ours);
    bench::Ratio("rebuild / EnumWindows (medians)", bench::Median(ours), bench::Median(bare), 2.0);
    bench::Ratio("rebuild / EnumWindows (minima)", bench::Minimum(ours), bench::Minimum(bare), 2.0);
    std::lock_guard<CCriticalSection> guard(bench::TheCatalogues().windowLock);
    bench::TheCatalogues().windowCatalogue.RemoveAll();
}

BENCH_SECTION("window-calls", "cost of single window-manager calls on 300 windows of another process")
{
    bench::HostProcess host(300);
    if (!host.Ready()) {
        std::printf("  could not start the window host\n");
        return;
    }
    const std::vector<HWND>& windows = host.Windows();
    volatile LONG_PTR sink = 0;
    auto each = [&](const char* label, const std::function<LONG_PTR(HWND)>& call) {
        bench::Report(label, bench::TimeRuns(30, [&] {
                          for (HWND window : windows)
                              sink = sink + call(window);
                      }));
    };
    each("IsWindow x300", [](HWND w) { return static_cast<LONG_PTR>(IsWindow(w)); });
    each("IsWindowVisible x300", [](HWND w) { return static_cast<LONG_PTR>(IsWindowVisible(w)); });
    each("GetWindowLongW(GWL_STYLE) x300", [](HWND w) { return static_cast<LONG_PTR>(GetWindowLongW(w, GWL_STYLE)); });
    each("GetWindowLongPtrW(GWLP_USERDATA) x300", [](HWND w) { return GetWindowLongPtrW(w, GWLP_USERDATA); });
    each("GetClassNameW x300", [](HWND w) {
        wchar_t name[256];
        return static_cast<LONG_PTR>(GetClassNameW(w, name, 256));
    });
    bench::Report("FindWindowW(Shell_TrayWnd) x1", bench::TimeRuns(30, [&] {
                      sink = sink + reinterpret_cast<LONG_PTR>(FindWindowW(L"Shell_TrayWnd", nullptr));
                  }));
    bench::Report("300 window records made and freed", bench::TimeRuns(30, [&] {
                      CCvWndArray records;
                      for (HWND window : windows)
                          records.Add(std::make_unique<CCvWnd>(window, CCvWnd::Seen{}));
                  }));
    each("GetWindowThreadProcessId x300",
         [](HWND w) { return static_cast<LONG_PTR>(GetWindowThreadProcessId(w, nullptr)); });
}

BENCH_SECTION("process-catalogue", "one process-catalogue rebuild with 60 processes, cold and warm")
{
    std::vector<std::unique_ptr<bench::HostProcess>> extra;
    while (bench::ProcessCount() < 60 && extra.size() < 80) {
        extra.push_back(std::make_unique<bench::HostProcess>(0));
        if (!extra.back()->Ready())
            break;
    }
    Sleep(1000); // let the new processes finish starting
    std::printf("  processes present: %d\n", bench::ProcessCount());

    int listed = 0;
    auto cold = bench::TimeRuns(20, [&] {
        ForgetResolvedProcesses();
        std::lock_guard<CCriticalSection> guard(bench::TheCatalogues().processLock);
        listed = bench::TheCatalogues().processCatalogue.Refresh();
    });
    int warmListed = 0;
    auto warm = bench::TimeRuns(100, [&] {
        std::lock_guard<CCriticalSection> guard(bench::TheCatalogues().processLock);
        warmListed = bench::TheCatalogues().processCatalogue.Refresh();
    });
    std::printf("  processes catalogued: cold %d, warm %d\n", listed, warmListed);
    bench::Report("cold rebuild (nothing remembered)", cold);
    bench::Report("warm rebuild (steady state)", warm);
    bench::Ratio("warm / cold", bench::Median(warm), bench::Median(cold), 0.2);
    std::lock_guard<CCriticalSection> guard(bench::TheCatalogues().processLock);
    bench::TheCatalogues().processCatalogue.RemoveAll();
}

void bench::BareShowHideLoop(const std::vector<HWND>& windows)
{
    for (HWND window : windows)
        ShowWindow(window, SW_HIDE);
    // Shown as the restore shows them, without activating each: an
    // activation per window is work the restore never does, and its cost
    // swings fourfold with what was in front.
    for (HWND window : windows)
        ShowWindow(window, SW_SHOWNA);
}

HWND bench::OwnTopWindow(const wchar_t* className, const wchar_t* title, int x, int y, int width, int height)
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = className;
    RegisterClassExW(&wc);
    HWND window = CreateWindowExW(0, className, title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y, width, height, nullptr,
                                  nullptr, wc.hInstance, nullptr);
    MarkOwnWindow(window);
    return window;
}

void bench::BenchWindowInFront()
{
    static HWND front = OwnTopWindow(L"CovelinBenchFront", L"bench", 0, 0, 160, 80);
    SetForegroundWindow(front);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
}

BENCH_SECTION("hide-restore", "hide + restore of 100 windows of another process")
{
    bench::HostProcess host(100);
    if (!host.Ready() || host.Windows().size() != 100) {
        std::printf("  could not start the window host\n");
        return;
    }
    host.Settle();
    const std::vector<HWND>& windows = host.Windows();
    auto bareLoop = [&] { bench::BareShowHideLoop(windows); };

    HiddenWindows hiddenWindows;
    int hidden = 0, shown = 0;
    // One hide + restore through `hide`, timed against the bare loop.
    auto timeAgainstBare = [&](int (*hide)(const EngineTargets&, HiddenWindows&), const EngineTargets& targets) {
        return bench::TimeAlternately(
            15, bareLoop,
            [&] {
                {
                    std::lock_guard<CCriticalSection> catalogue(bench::TheCatalogues().windowLock);
                    hidden = hide(targets, hiddenWindows);
                }
                shown = RestoreHidden(hiddenWindows);
            },
            2, bench::BenchWindowInFront);
    };
    EngineTargets targets;
    targets.windows = windows;
    auto [bare, chosen] = timeAgainstBare(HideChosenWindows, targets);
    std::printf("  chosen windows: %d hidden, %d shown per run\n", hidden, shown);

    {
        std::lock_guard<CCriticalSection> guard(bench::TheCatalogues().windowLock);
        bench::TheCatalogues().windowCatalogue.Refresh();
    }
    EngineTargets byProcessTargets;
    byProcessTargets.catalogues = &bench::TheCatalogues();
    byProcessTargets.processes.push_back(host.ProcessId());
    auto [bare2, byProcess] = timeAgainstBare(HideProcessWindows, byProcessTargets);
    std::printf("  process windows: %d hidden, %d shown per run\n", hidden, shown);

    bench::Report("bare ShowWindow x100 hide + x100 show", bare);
    bench::Report("HideChosenWindows + RestoreHidden", chosen);
    bench::Report("HideProcessWindows + RestoreHidden", byProcess);
    bench::Ratio("chosen windows / bare", bench::Median(chosen), bench::Median(bare), 1.3);
    bench::Ratio("process windows / bare", bench::Median(byProcess), bench::Median(bare2), 1.3);
    std::lock_guard<CCriticalSection> guard(bench::TheCatalogues().windowLock);
    bench::TheCatalogues().windowCatalogue.RemoveAll();
}

int main(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "--bare-poller") == 0)
        return bench::RunBarePoller();
    if (argc >= 2 && std::strcmp(argv[1], "--bare-dialog") == 0)
        return bench::RunBareDialog();
    if (argc >= 2 && std::strcmp(argv[1], "--bare-template-dialog") == 0)
        return bench::RunBareTemplateDialog();

    auto& sections = bench::Sections();
    if (argc >= 2 && std::strcmp(argv[1], "--list") == 0) {
        for (const auto& section : sections)
            std::printf("%-20s %s\n", section.name, section.summary);
        return 0;
    }
    int ran = 0;
    for (const auto& section : sections) {
        bool wanted = argc < 2;
        for (int a = 1; a < argc && !wanted; ++a)
            wanted = std::strcmp(argv[a], section.name) == 0;
        if (!wanted)
            continue;
        std::printf("[%s] %s\n", section.name, section.summary);
        std::fflush(stdout);
        section.run();
        std::fflush(stdout);
        ++ran;
    }
    if (!ran) {
        std::fprintf(stderr, "no such section; try --list\n");
        return 1;
    }
    return 0;
}
