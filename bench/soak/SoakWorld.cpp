#include "soak/SoakWorld.h"

#include <algorithm>

#include "choices/HideSets.h"
#include "hiding/Hiding.h"
#include "system/OwnProcess.h"
#include "ui/res/resource.h"

namespace soak {

std::atomic<int> hidesDone{0};
std::atomic<int> restoresDone{0};

namespace {

std::atomic<DWORD> fakeTick{0};

const wchar_t kPageHostClass[] = L"CovelinSoakPageHost";

HWND MakePageHost()
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kPageHostClass;
    RegisterClassExW(&wc);
    HWND window = CreateWindowExW(0, kPageHostClass, L"Covelin soak", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 600, 20, 440,
                                  440, nullptr, nullptr, wc.hInstance, nullptr);
    // As the main dialog: never offered for hiding.
    MarkOwnWindow(window);
    return window;
}

void ClickButton(CDialog& page, int id)
{
    page.SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(page.GetDlgItem(id)));
}

void SelectOnly(CListCtrl& list, int row)
{
    list.SetItemState(-1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    if (row >= 0)
        list.SetItemState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

} // namespace

EngineOperations QuickOperations()
{
    EngineOperations ops = DefaultEngineOperations();
    ops.input.chordIsDown = [](const HotkeyChord&) { return 0; };
    ops.input.tickCount = []() -> DWORD { return fakeTick += 1000; };
    ops.input.sleep = [](DWORD) { Sleep(1); };
    ops.hide.bringTopWindow = [](const EngineTargets& targets) {
        const int brought = BringTopWindow(targets);
        ++hidesDone;
        return brought;
    };
    ops.hide.restoreHidden = [](HiddenWindows& hidden) {
        const int shown = RestoreHidden(hidden);
        ++restoresDone;
        return shown;
    };
    ops.sideActions.setVolumeMute = [](VolumeMute&, bool) {};
    ops.sideActions.lockWorkStation = []() -> BOOL { return TRUE; };
    ops.sideActions.startScreensaver = [] {};
    ops.sideActions.muteHiddenPrograms = [](VolumeMute&, const std::vector<std::wstring>&) { return true; };
    ops.sideActions.applyStoredDisplayMode = [](const DisplayMode&) -> LONG { return DISP_CHANGE_SUCCESSFUL; };
    ops.sideActions.hideNotificationArea = [](bool, const OwnTrayIcon&) { return true; };
    ops.postToDialog = [](HWND, UINT) {};
    return ops;
}

SoakWorld::SoakWorld(int hosts, int windowsPerHost)
{
    hostProgram_ = testsupport::HelperProgramPath(L"window_host.exe");
    for (int i = 0; i < hosts; ++i) {
        hosts_.push_back(std::make_unique<testsupport::WindowHost>(
            std::vector<std::string>{
                testsupport::WindowsOfClass(windowsPerHost, "CovelinSoakHost" + std::to_string(i), "soak window")},
            hostProgram_));
    }
    engine.operations = QuickOperations();
    engine.Journal().Open(journalDir_.File(L"hidden.dat"));

    windowRefresher_ = catalogues.windowRefresher.Start();
    processRefresher_ = catalogues.processRefresher.Start();
    pageHost_.Attach(MakePageHost());
    SyncPages();
    windowsPage_.Create(IDD_WINDOWS_PAGE, &pageHost_);
    processPage_.Create(IDD_PROCESS_PAGE, &pageHost_);
    windowsPage_.MoveWindow(10, 35, 380, 325);
    processPage_.MoveWindow(10, 35, 380, 325);
    windowsPage_.ShowWindow(SW_SHOW);
    processPage_.ShowWindow(SW_SHOW);
}

SoakWorld::~SoakWorld()
{
    engine.RequestStop();
    engine.WaitEnded(GetTickCount64() + 5000);
    engine.RestoreEverything(false);
    catalogues.RequestRefreshersStop();
    PumpUntil(
        [this] { return catalogues.windowRefresher.done.load() != 0 && catalogues.processRefresher.done.load() != 0; },
        5000);
    windowRefresher_.Close();
    processRefresher_.Close();
    if (pageHost_.m_hWnd != nullptr)
        DestroyWindow(pageHost_.Detach());
    choices.hideWindowSet.RemoveAll();
    choices.hideProcessSet.RemoveAll();
    choices.hideFileSet.RemoveAll();
    choices.topWindow.reset();
}

bool SoakWorld::Ready() const
{
    return std::all_of(hosts_.begin(), hosts_.end(), [](const auto& host) { return host->Ready(); }) &&
           windowsPage_.m_hWnd != nullptr && processPage_.m_hWnd != nullptr;
}

std::vector<HWND> SoakWorld::HostWindows() const
{
    std::vector<HWND> windows;
    for (const auto& host : hosts_) {
        for (HWND window : host->Windows()) {
            if (IsWindow(window))
                windows.push_back(window);
        }
    }
    return windows;
}

void SoakWorld::CloseAndOpenWindow(int index, unsigned pick)
{
    testsupport::WindowHost& host = *hosts_[static_cast<size_t>(index)];
    std::vector<HWND> closable;
    for (size_t i = 1; i < host.Windows().size(); ++i) {
        if (IsWindow(host.Window(i)))
            closable.push_back(host.Window(i));
    }
    if (!closable.empty()) {
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(closable[pick % closable.size()], WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, 2000, &ignored);
    }
    host.OpenWindow();
}

void SoakWorld::SyncPages()
{
    {
        std::lock_guard<CCriticalSection> lock(catalogues.windowLock);
        catalogues.windowCatalogue.Refresh();
    }
    {
        std::lock_guard<CCriticalSection> lock(catalogues.processLock);
        catalogues.processCatalogue.Refresh();
    }
    if (windowsPage_.m_hWnd != nullptr)
        windowsPage_.SyncWithCatalogue();
    if (processPage_.m_hWnd != nullptr)
        processPage_.SyncWithCatalogue();
}

void SoakWorld::DoubleClickRow(CDialog& page, CListCtrl& list, int row)
{
    SelectOnly(list, row);
    list.SetSelectionMark(row);
    list.SendMessage(LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
    RECT rect{};
    list.GetItemRect(row, &rect, LVIR_BOUNDS);
    POINT centre{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    ClientToScreen(list.m_hWnd, &centre);
    SetCursorPos(centre.x, centre.y);
    NMHDR header{list.m_hWnd, static_cast<UINT_PTR>(GetDlgCtrlID(list.m_hWnd)), static_cast<UINT>(NM_DBLCLK)};
    page.SendMessage(WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
}

void SoakWorld::ChangeWindowChoices(int round)
{
    CWindowsDlg& page = windowsPage_;
    const std::vector<HWND> ours = HostWindows();
    auto isHostWindow = [&](HWND window) { return std::find(ours.begin(), ours.end(), window) != ours.end(); };
    auto isTop = [this](HWND window) {
        return choices.topWindow != nullptr && choices.topWindow->GetHandle() == window;
    };
    switch (round % 4) {
    case 0:
        ClickButton(page, IDC_REVERSE_SELECT);
        break;
    case 1: {
        ClickButton(page, IDC_CLEAR_HIDE_LIST);
        int added = 0;
        for (int row = round % 3; row < page.rowHandles.GetSize() && added < 8; row += 2) {
            const HWND window = page.rowHandles[row];
            if (isHostWindow(window) && !isTop(window) && choices.hideWindowSet.Find(window) < 0) {
                DoubleClickRow(page, page.allList, row);
                ++added;
            }
        }
        break;
    }
    case 2: {
        // A window that is not chosen becomes the top window.
        int chosenRow = -1;
        for (int row = round % 5; row < page.rowHandles.GetSize() && chosenRow < 0; ++row) {
            if (isHostWindow(page.rowHandles[row]) && choices.hideWindowSet.Find(page.rowHandles[row]) < 0)
                chosenRow = row;
        }
        SelectOnly(page.allList, chosenRow);
        ClickButton(page, IDC_SET_TOP_WINDOW);
        break;
    }
    default:
        SelectOnly(page.allList, -1); // nothing selected: no top window
        ClickButton(page, IDC_SET_TOP_WINDOW);
        break;
    }
}

void SoakWorld::ChangeProcessChoices(int round)
{
    CProcessDlg& page = processPage_;
    if (round % 3 == 0) {
        ClickButton(page, IDC_CLEAR_HIDE_LIST);
        return;
    }
    const unsigned long processId = hosts_[static_cast<size_t>(round / 3) % hosts_.size()]->ProcessId();
    const int row = page.rowPids.Find(processId);
    if (row >= 0 && choices.hideProcessSet.Find(processId) < 0)
        DoubleClickRow(page, page.allList, row);
}

void SoakWorld::ChangeChoices(int round)
{
    ChangeWindowChoices(round);
    ChangeProcessChoices(round);
    if (round % 5 == 0 && choices.hideFileSet.FindPath(hostProgram_) < 0)
        choices.hideFileSet.AddPath(hostProgram_);
    else if (round % 5 == 2)
        choices.hideFileSet.RemoveAll();
}

} // namespace soak
