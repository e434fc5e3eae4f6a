// How the recurring costs grow with the desktop: a window-catalogue rebuild,
// a Windows-page tick with nothing changed and with a tenth of the windows
// replaced, and a hide + restore, each with 100, 1,000 and 3,000 windows of
// another program, beside the bare floor at the same count. The cost per
// window must stay flat: the ratio at 3,000 within 1.2x the ratio at 100.
#include "Bench.h"

#include <cstdio>
#include <mutex>
#include <vector>

#include "catalogue/Catalogues.h"
#include "hiding/Hiding.h"
#include "ui/WindowsDlg.h"
#include "ui/res/resource.h"

namespace {

constexpr int kCounts[] = {100, 1000, 3000};
constexpr int kCurves = 4;
const char* const kCurveNames[kCurves] = {"catalogue rebuild / EnumWindows", "page tick, unchanged / EnumWindows",
                                          "page tick, 10% changed / EnumWindows", "hide + restore / ShowWindow"};

void RefreshCatalogue()
{
    std::lock_guard<CCriticalSection> guard(bench::TheCatalogues().windowLock);
    bench::TheCatalogues().windowCatalogue.Refresh();
}

void PumpMessages()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
}

// Fewer runs where one run costs more, so that each count takes seconds.
int RunsAt(int windows, int atHundred)
{
    const int runs = windows <= 100 ? atHundred : windows <= 1000 ? atHundred / 3 : atHundred / 8;
    return runs < 3 ? 3 : runs;
}

// A top-level window of ours holding the Windows page, as the main dialog
// does; it carries our mark, so it is never catalogued itself.
class PageHost {
public:
    PageHost() { host_.Attach(bench::OwnTopWindow(L"CovelinBenchPageHost", L"page host", 20, 20, 440, 440)); }
    ~PageHost()
    {
        if (host_.m_hWnd != nullptr)
            DestroyWindow(host_.Detach());
    }
    PageHost(const PageHost&) = delete;
    PageHost& operator=(const PageHost&) = delete;

    bool Open(CDialog& page)
    {
        if (!page.Create(IDD_WINDOWS_PAGE, &host_))
            return false;
        page.MoveWindow(10, 35, 380, 325);
        page.ShowWindow(SW_SHOW);
        PumpMessages();
        return true;
    }

private:
    CWnd host_;
};

// Puts the windows where nothing else is: a pile of thousands of windows
// on one screen makes every hide and show repaint the ones under it, which
// no desktop has and which would drown both the floor and our own figure.
void MoveOffScreen(const std::vector<HWND>& windows)
{
    for (HWND window : windows)
        SetWindowPos(window, nullptr, -4000, -4000, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
}

// The host's one thread has dealt with everything sent to its windows once
// it answers one more (sent messages are taken in order); then the window
// system settles. One question, where asking every window costs seconds.
void Settle(const std::vector<HWND>& windows)
{
    DWORD_PTR answer = 0;
    if (!windows.empty())
        SendMessageTimeoutW(windows.front(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 30000, &answer);
    Sleep(300);
}

// Closes every tenth window of the host (never its first: that one ends
// it) and opens as many new ones, which come to the top of the order.
void ReplaceATenth(bench::HostProcess& host, std::vector<HWND>& live, int round)
{
    std::vector<HWND> kept;
    kept.reserve(live.size());
    int closed = 0;
    for (size_t i = 0; i < live.size(); ++i) {
        if (i > 0 && (i + static_cast<size_t>(round)) % 10 == 0) {
            DWORD_PTR answer = 0;
            SendMessageTimeoutW(live[i], WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer);
            ++closed;
        } else {
            kept.push_back(live[i]);
        }
    }
    std::vector<HWND> opened;
    for (int i = 0; i < closed; ++i) {
        if (HWND window = host.OpenWindow())
            opened.push_back(window);
    }
    MoveOffScreen(opened);
    Settle(opened);
    kept.insert(kept.end(), opened.begin(), opened.end());
    live.swap(kept);
}

// Ratios of one count, in the order of kCurveNames (0 where not measured).
using Ratios = std::vector<double>;

Ratios MeasureAt(int count)
{
    Ratios ratios(kCurves, 0.0);
    bench::HostProcess host(count);
    if (!host.Ready() || static_cast<int>(host.Windows().size()) != count) {
        std::printf("  could not start a host of %d windows\n", count);
        return ratios;
    }
    std::vector<HWND> live = host.Windows();
    MoveOffScreen(live);
    Settle(live);
    std::vector<HWND> seen;
    seen.reserve(static_cast<size_t>(count) + 256);
    auto bareEnum = [&] { bench::BareEnumWindows(seen); };
    char label[96];

    auto [enumFloor, rebuild] = bench::TimeAlternately(RunsAt(count, 120), bareEnum, RefreshCatalogue);
    std::snprintf(label, sizeof(label), "%d: bare EnumWindows", count);
    bench::Report(label, enumFloor);
    std::snprintf(label, sizeof(label), "%d: windowCatalogue.Refresh()", count);
    bench::Report(label, rebuild);
    ratios[0] = bench::Median(rebuild) / bench::Median(enumFloor);

    {
        PageHost pageHost;
        HideChoices choices;
        CWindowsDlg page{bench::TheCatalogues(), choices};
        RefreshCatalogue();
        const auto opened = bench::TimeRuns(
            1, [&] { pageHost.Open(page); }, 0);
        std::snprintf(label, sizeof(label), "%d: Windows page opened (%d rows)", count, page.allList.GetItemCount());
        bench::Report(label, opened);
        // The ticks measured are the bench's own: the page's timer must not
        // take the changes in first.
        KillTimer(page.m_hWnd, PAGE_TIMER_ID);

        auto [idleFloor, idleTick] =
            bench::TimeAlternately(RunsAt(count, 120), bareEnum, [&] { page.SyncWithCatalogue(); });
        std::snprintf(label, sizeof(label), "%d: page tick, nothing changed", count);
        bench::Report(label, idleTick);
        ratios[1] = bench::Median(idleTick) / bench::Median(idleFloor);
        std::snprintf(label, sizeof(label), "%d: page tick unchanged / EnumWindows", count);
        bench::Ratio(label, bench::Median(idleTick), bench::Median(idleFloor), 2.0);

        std::vector<double> changeFloor, changeTick;
        const int rounds = RunsAt(count, 24);
        for (int round = 0; round < rounds; ++round) {
            ReplaceATenth(host, live, round);
            RefreshCatalogue();
            PumpMessages();
            // The floor thrice a round: a desktop that has just changed is
            // slow to settle, and one sample would weigh it alone.
            for (double sample : bench::TimeRuns(3, bareEnum, 0))
                changeFloor.push_back(sample);
            changeTick.push_back(bench::TimeRuns(
                                     1, [&] { page.SyncWithCatalogue(); }, 0)
                                     .front());
            PumpMessages();
        }
        std::snprintf(label, sizeof(label), "%d: page tick, 10%% of windows replaced", count);
        bench::Report(label, changeTick);
        ratios[2] = bench::Median(changeTick) / bench::Median(changeFloor);
        if (page.allList.GetItemCount() < static_cast<int>(live.size()))
            std::printf("  (the page lists %d rows for %zu windows)\n", page.allList.GetItemCount(), live.size());
    }
    std::lock_guard<CCriticalSection> guard(bench::TheCatalogues().windowLock);
    bench::TheCatalogues().windowCatalogue.RemoveAll();
    return ratios;
}

// The hide + restore on a host of its own, started afresh: the windows the
// page's rounds closed and opened would weigh on one count and not another.
double HideRestoreRatio(int count)
{
    bench::HostProcess host(count);
    if (!host.Ready() || static_cast<int>(host.Windows().size()) != count) {
        std::printf("  could not start a host of %d windows\n", count);
        return 0.0;
    }
    const std::vector<HWND>& live = host.Windows();
    MoveOffScreen(live);
    Settle(live);
    EngineTargets targets;
    targets.windows = live;
    HiddenWindows hiddenWindows;
    // A hide + show of thousands of windows takes seconds (a minute when
    // the machine is busy): fewer runs there, but enough for a median, and
    // a first run not counted (the first hide of a fresh host costs twice).
    auto [showFloor, hideRestore] = bench::TimeAlternately(
        count <= 100 ? 12 : 5, [&] { bench::BareShowHideLoop(live); },
        [&] {
            {
                std::lock_guard<CCriticalSection> catalogue(bench::TheCatalogues().windowLock);
                HideChosenWindows(targets, hiddenWindows);
                // The engine's check after the hides: owned windows, and
                // what did not take.
                FinishHide(targets, hiddenWindows);
            }
            RestoreHidden(hiddenWindows);
        },
        1, bench::BenchWindowInFront);
    char label[96];
    std::snprintf(label, sizeof(label), "%d: bare ShowWindow hide + show", count);
    bench::Report(label, showFloor);
    std::snprintf(label, sizeof(label), "%d: HideChosenWindows + FinishHide + RestoreHidden", count);
    bench::Report(label, hideRestore);
    return bench::Median(hideRestore) / bench::Median(showFloor);
}

} // namespace

BENCH_SECTION("scale", "catalogue, Windows page and hide + restore at 100, 1,000 and 3,000 windows")
{
    std::vector<Ratios> byCount;
    for (int count : kCounts) {
        byCount.push_back(MeasureAt(count));
        byCount.back()[3] = HideRestoreRatio(count);
        std::fflush(stdout);
    }
    std::printf("  ratio to the floor at 100 / 1,000 / 3,000 windows:\n");
    for (int curve = 0; curve < kCurves; ++curve) {
        std::printf("  %-44s %6.2f / %6.2f / %6.2f\n", kCurveNames[curve], byCount[0][curve], byCount[1][curve],
                    byCount[2][curve]);
    }
    char label[96];
    for (int curve = 0; curve < kCurves; ++curve) {
        std::snprintf(label, sizeof(label), "flat: %s", kCurveNames[curve]);
        // A count that could not be measured is said so, never passed.
        if (byCount[2][curve] <= 0.0 || byCount[0][curve] <= 0.0)
            std::printf("  %-44s not measured\n", label);
        else
            bench::Ratio(label, byCount[2][curve], byCount[0][curve], 1.2);
    }
}
