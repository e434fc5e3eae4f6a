#include "soak/HungWindows.h"

#include <algorithm>
#include <atomic>
#include <cstdio>

#include "hiding/Hiding.h"
#include "soak/SoakWorld.h"

namespace soak {

namespace {

constexpr int kLiveWindows = 95;
constexpr int kHungWindows = 5;
constexpr int kRounds = 10;
constexpr DWORD kHangMs = 120000;

// Set on the engine's thread by the timed operations below.
std::atomic<long long> lastHideMicroseconds{0};
std::atomic<long long> lastRestoreMicroseconds{0};

long long Microseconds()
{
    static const LONGLONG frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f.QuadPart;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart * 1000000 / frequency;
}

EngineOperations TimedOperations()
{
    EngineOperations ops = QuickOperations();
    ops.hide.hideChosenWindows = [](const EngineTargets& targets, HiddenWindows& hidden) {
        const long long start = Microseconds();
        const int count = HideChosenWindows(targets, hidden);
        lastHideMicroseconds = Microseconds() - start;
        return count;
    };
    ops.hide.restoreHidden = [](HiddenWindows& hidden) {
        const long long start = Microseconds();
        const int count = RestoreHidden(hidden);
        lastRestoreMicroseconds = Microseconds() - start;
        ++restoresDone;
        return count;
    };
    return ops;
}

double BareLoop(const std::vector<HWND>& windows, int command)
{
    const long long start = Microseconds();
    for (HWND window : windows)
        ShowWindow(window, command);
    return static_cast<double>(Microseconds() - start) / 1000.0;
}

bool Toggle(CEngine& engine, std::atomic<int>& done)
{
    const int before = done.load();
    return engine.PostCommand(UM_TOGGLE_HIDE) && PumpUntil([&] { return done.load() != before; }, 10000);
}

} // namespace

HungFigures MeasureHungWindows()
{
    HungFigures figures;
    testsupport::WindowHost live({testsupport::WindowsOfClass(kLiveWindows, "CovelinSoakLive", "live window")}, L"",
                                 30000);
    testsupport::WindowHost stuck({testsupport::WindowsOfClass(kHungWindows, "CovelinSoakHung", "hung window")});
    if (!live.Ready() || !stuck.Ready())
        return figures;
    // Hung as the system sees it: no message taken for several seconds.
    stuck.Hang(kHangMs);
    if (!PumpUntil([&] { return IsHungAppWindow(stuck.Window(0)) != FALSE; }, 15000))
        return figures;

    // The hung windows spread among the others, one of them hidden first
    // (and so brought to the front last).
    EngineTargets targets;
    for (int i = 0; i < kLiveWindows; ++i) {
        if (i % (kLiveWindows / kHungWindows) == 0)
            targets.windows.push_back(stuck.Window(static_cast<size_t>(i / (kLiveWindows / kHungWindows))));
        targets.windows.push_back(live.Window(static_cast<size_t>(i)));
    }
    figures.chosen = static_cast<int>(targets.windows.size());
    figures.hung = kHungWindows;

    CEngine engine;
    engine.operations = TimedOperations();
    if (!engine.Start(MakeDefaultSettings(), targets, nullptr))
        return figures;
    figures.ready = true;
    for (int round = 0; round < kRounds; ++round) {
        // The floor is taken just before and just after the engine's turn,
        // so that a machine busy with other work weighs on both alike.
        double bareHide = BareLoop(live.Windows(), SW_HIDE);
        double bareShow = BareLoop(live.Windows(), SW_SHOW);
        if (!Toggle(engine, hidesDone) || !Toggle(engine, restoresDone)) {
            figures.ready = false;
            break;
        }
        bareHide = (bareHide + BareLoop(live.Windows(), SW_HIDE)) / 2;
        bareShow = (bareShow + BareLoop(live.Windows(), SW_SHOW)) / 2;
        const double hide = static_cast<double>(lastHideMicroseconds.load()) / 1000.0;
        const double restore = static_cast<double>(lastRestoreMicroseconds.load()) / 1000.0;
        if (hide > figures.longestHide)
            figures.longestHide = hide, figures.bareHide = bareHide;
        if (restore > figures.longestRestore)
            figures.longestRestore = restore, figures.bareShow = bareShow;
        const double above = std::max(hide - bareHide, restore - bareShow);
        figures.mostAboveFloor = figures.rounds == 0 ? above : std::max(figures.mostAboveFloor, above);
        ++figures.rounds;
    }
    engine.RequestStop();
    engine.WaitEnded(GetTickCount64() + 5000);
    figures.met = figures.ready && figures.rounds == kRounds && figures.mostAboveFloor <= kHungAllowanceMs;
    stuck.Terminate();
    return figures;
}

void PrintHungFigures(const HungFigures& figures)
{
    if (!figures.ready) {
        std::printf("hung: could not be measured (the windows did not come up, hang, or answer the engine)\n");
        return;
    }
    std::printf("hung: %d of %d chosen windows hung, %d rounds: hide at most %.1f ms (bare loop %.1f ms), restore at "
                "most %.1f ms (bare loop %.1f ms); at most %+.1f ms against the floor (limit +%.0f ms)\n",
                figures.hung, figures.chosen, figures.rounds, figures.longestHide, figures.bareHide,
                figures.longestRestore, figures.bareShow, figures.mostAboveFloor, kHungAllowanceMs);
}

} // namespace soak
