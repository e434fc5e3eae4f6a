// The pages open at once: the Windows page with 100 windows of another
// program beside a bare list view filled with the same 100 titles and one
// shared icon, the page with 3,000 windows, and a tick of the page where a
// tenth of 3,000 windows were replaced, each as the dialog's thread sees it
// (created, shown and painted).
#include "Bench.h"

#include <commctrl.h>

#include <cstdio>
#include <mutex>
#include <vector>

#include "catalogue/Catalogues.h"
#include "choices/HideSets.h"
#include "ui/WindowsDlg.h"
#include "ui/res/resource.h"

namespace {

void Pump()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
}

void Refresh()
{
    std::lock_guard<CCriticalSection> guard(bench::TheCatalogues().windowLock);
    bench::TheCatalogues().windowCatalogue.Refresh();
}

// The floor: a list view like the page's, filled with `titles` and one
// shared icon, shown and painted.
void BareListView(HWND host, const std::vector<std::wstring>& titles, HIMAGELIST images)
{
    HWND list =
        CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_BORDER | LVS_REPORT | LVS_SINGLESEL | LVS_SHAREIMAGELISTS,
                        10, 50, 190, 220, host, nullptr, GetModuleHandleW(nullptr), nullptr);
    ListView_SetImageList(list, images, LVSIL_SMALL);
    LVCOLUMNW column{LVCF_WIDTH | LVCF_FMT, LVCFMT_IMAGE, 20};
    ListView_InsertColumn(list, 0, &column);
    column = LVCOLUMNW{LVCF_WIDTH | LVCF_TEXT, LVCFMT_LEFT, 150, const_cast<wchar_t*>(L"Window Title")};
    ListView_InsertColumn(list, 1, &column);
    for (size_t i = 0; i < titles.size(); ++i) {
        LVITEMW item{LVIF_IMAGE, static_cast<int>(i)};
        item.iImage = 0;
        const int row = ListView_InsertItem(list, &item);
        ListView_SetItemText(list, row, 1, const_cast<wchar_t*>(titles[i].c_str()));
    }
    ShowWindow(list, SW_SHOW);
    UpdateWindow(list);
    Pump();
    DestroyWindow(list);
}

// Opens the Windows page on `host`, painted, and closes it again.
void OpenPage(HWND host)
{
    CWnd parent;
    parent.Attach(host);
    {
        HideChoices choices;
        CWindowsDlg page{bench::TheCatalogues(), choices};
        page.Create(IDD_WINDOWS_PAGE, &parent);
        page.MoveWindow(10, 35, 380, 325);
        page.ShowWindow(SW_SHOW);
        UpdateWindow(page.m_hWnd);
        Pump();
        page.DestroyWindow();
    }
    parent.Detach();
}

std::vector<std::wstring> TitlesOf(const std::vector<HWND>& windows)
{
    std::vector<std::wstring> titles;
    for (HWND window : windows) {
        wchar_t title[256] = {};
        GetWindowTextW(window, title, 256);
        titles.emplace_back(title);
    }
    return titles;
}

} // namespace

BENCH_SECTION("pages", "the Windows page opened with 100 and 3,000 windows, and a tick with a tenth replaced")
{
    HWND host = bench::OwnTopWindow(L"CovelinPageBenchHost", L"page bench", 20, 20, 440, 440);
    HIMAGELIST images = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 1, 1);
    ImageList_AddIcon(images, LoadIconW(nullptr, IDI_APPLICATION));
    char label[96];
    for (int count : {100, 3000}) {
        bench::HostProcess windows(count);
        if (!windows.Ready()) {
            std::printf("  could not start a host of %d windows\n", count);
            continue;
        }
        windows.Settle();
        Refresh();
        const std::vector<std::wstring> titles = TitlesOf(windows.Windows());
        const int runs = count <= 100 ? 15 : 3;
        auto [floor, page] = bench::TimeAlternately(
            runs, [&] { BareListView(host, titles, images); }, [&] { OpenPage(host); }, 1);
        std::snprintf(label, sizeof(label), "%d: bare list view, same titles, one icon", count);
        bench::Report(label, floor);
        std::snprintf(label, sizeof(label), "%d: Windows page opened", count);
        bench::Report(label, page);
        if (count == 100) {
            bench::Ratio("100: page open / bare list view", bench::Median(page), bench::Median(floor), 2.0);
        } else {
            std::printf("  3000: page open %.1f ms (target at most 1000 ms)\n", bench::Median(page));
            // A tick with a tenth of the windows replaced, on the page left open.
            CWnd parent;
            parent.Attach(host);
            HideChoices choices;
            CWindowsDlg tickPage{bench::TheCatalogues(), choices};
            tickPage.Create(IDD_WINDOWS_PAGE, &parent);
            tickPage.ShowWindow(SW_SHOW);
            KillTimer(tickPage.m_hWnd, PAGE_TIMER_ID);
            Pump();
            std::vector<double> ticks;
            std::vector<HWND> live = windows.Windows();
            for (int round = 0; round < 4; ++round) {
                for (size_t i = static_cast<size_t>(round) + 1; i < live.size(); i += 10) {
                    DWORD_PTR answer = 0;
                    SendMessageTimeoutW(live[i], WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer);
                    if (HWND opened = windows.OpenWindow())
                        live[i] = opened;
                }
                windows.Settle();
                Refresh();
                ticks.push_back(bench::TimeRuns(
                                    1,
                                    [&] {
                                        tickPage.SyncWithCatalogue();
                                        UpdateWindow(tickPage.allList.m_hWnd);
                                        Pump();
                                    },
                                    0)
                                    .front());
            }
            bench::Report("3000: page tick, a tenth replaced", ticks);
            std::printf("  3000: tick %.1f ms (target at most 100 ms)\n", bench::Median(ticks));
            tickPage.DestroyWindow();
            parent.Detach();
        }
        std::lock_guard<CCriticalSection> guard(bench::TheCatalogues().windowLock);
        bench::TheCatalogues().windowCatalogue.RemoveAll();
    }
    ImageList_Destroy(images);
    DestroyWindow(host);
}
