// What keeping the hidden-window journal adds to a hide and restore.
#include "Bench.h"

#include <cstdio>
#include <mutex>

#include "catalogue/Catalogues.h"
#include "hiding/Hiding.h"

BENCH_SECTION("hide-restore-journal", "hide + restore of 100 windows, with and without the journal")
{
    bench::HostProcess host(100);
    if (!host.Ready() || host.Windows().size() != 100) {
        std::printf("  could not start the window host\n");
        return;
    }
    host.Settle();
    const std::vector<HWND>& windows = host.Windows();
    auto bareLoop = [&] { bench::BareShowHideLoop(windows); };
    EngineTargets targets;
    targets.windows = windows;
    auto hideAndRestore = [&](HiddenWindows& hidden) {
        {
            std::lock_guard<CCriticalSection> catalogue(bench::TheCatalogues().windowLock);
            HideChosenWindows(targets, hidden);
            // The engine's check after the hides, where the journal is written.
            FinishHide(targets, hidden);
        }
        RestoreHidden(hidden);
    };

    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring path = std::wstring(temp) + L"covelin_bench_hidden.dat";
    HiddenWindows plain, journalled;
    journalled.hiddenJournal.Open(path);
    // With and without the journal side by side, so that a machine that
    // slows down or speeds up weighs on both alike.
    auto [without, with] = bench::TimeAlternately(
        25, [&] { hideAndRestore(plain); }, [&] { hideAndRestore(journalled); }, 2, bench::BenchWindowInFront);
    auto [with2, bare] = bench::TimeAlternately(
        15, [&] { hideAndRestore(journalled); }, bareLoop, 2, bench::BenchWindowInFront);
    journalled.hiddenJournal.Open(L"");
    DeleteFileW(path.c_str());

    bench::Report("bare ShowWindow x100 hide + x100 show", bare);
    bench::Report("hide + restore, no journal", without);
    bench::Report("hide + restore, journal kept", with);
    bench::Ratio("journal kept / bare", bench::Median(with2), bench::Median(bare), 1.3);
    bench::Ratio("journal kept / no journal", bench::Median(with), bench::Median(without), 1.1);
}
