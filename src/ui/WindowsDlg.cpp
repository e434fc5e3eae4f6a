#include "ui/WindowsDlg.h"

#include <mutex>
#include <new>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "framework/Dpi.h"
#include "framework/Handles.h"
#include "system/Elevation.h"
#include "system/ProcessInfo.h"
#include "system/ShellWindows.h"

namespace {

const CListPairDlg<HWND>::Layout kWindowsLayout{IDC_ALL_WINDOWS, IDC_HIDE_WINDOWS, kColumnWindowTitle,
                                                kMsgWindowAlreadyHidden};

HICON AskWindowRecordForIcon(HWND window, CProcessIcons& known)
{
    return CCvWnd(window).GetIcon(false, &known);
}

constexpr ULONGLONG kProcessIconsLifeMs = 1000;

} // namespace

CWindowsDlg::IconQuery CWindowsDlg::iconQuery = AskWindowRecordForIcon;

CWindowsDlg::CWindowsDlg(Catalogues& catalogues, HideChoices& choices)
    : CListPairDlg<HWND>(IDD_WINDOWS_PAGE, kWindowsLayout, choices.hideWindowSet), catalogues_(catalogues),
      choices_(choices)
{
}

CWindowsDlg::~CWindowsDlg()
{
    ReleaseTopWindowIcon();
}

void CWindowsDlg::DoDataExchange(CDataExchange* pDX)
{
    CListPairDlg<HWND>::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_TOP_WINDOW_TITLE, topWindowTitle);
}

void CWindowsDlg::SyncWithCatalogue()
{
    // Records of the catalogue live only while its lock is held: copy the
    // handles under it. Titles and icons are asked for as rows show: a
    // window of a hung program can keep the asker waiting, and the
    // refresher and the engine's hide wait for this lock.
    std::vector<std::pair<HWND, DWORD>> listed;
    bool changed = false;
    {
        std::lock_guard<CCriticalSection> lock(catalogues_.windowLock);
        changed = CatalogueDiffers(catalogues_.windowCatalogue, [](CCvWnd* record) { return record->GetHandle(); });
        if (changed) {
            listed.reserve(static_cast<size_t>(catalogues_.windowCatalogue.GetSize()));
            for (int i = 0; i < catalogues_.windowCatalogue.GetSize(); ++i) {
                if (CCvWnd* record = catalogues_.windowCatalogue[i])
                    listed.emplace_back(record->GetHandle(), record->CountedProcessId());
            }
        }
    }
    if (changed)
        ShowListedKeys(WindowsWithIcons(listed));
    // A title may change at any time: those on screen are read again.
    RefreshListedTexts();
    PruneHideList();
    if (choices_.topWindow != nullptr && !IsWindow(choices_.topWindow->GetHandle())) {
        choices_.topWindow.reset();
        RefreshTopWindowDisplay();
    }
}

std::wstring CWindowsDlg::TextOfKey(HWND window)
{
    // As a record made now would read it (empty once the window has gone),
    // in one question rather than its two.
    wchar_t text[CCvWnd::kTitleSize] = {};
    ::GetWindowTextW(window, text, CCvWnd::kTitleSize);
    std::wstring title = text;
    // The user learns before choosing it that it will stay in view.
    if (RunsAsAdministrator(window))
        title += kRowAdministratorSuffix;
    return title;
}

HICON CWindowsDlg::IconOfKey(HWND window)
{
    return iconQuery(window, RecentProcessIcons());
}

CProcessIcons& CWindowsDlg::RecentProcessIcons()
{
    const ULONGLONG now = GetTickCount64();
    if (now - processIconsSince_ >= kProcessIconsLifeMs) {
        processIcons_.Clear();
        outranksUs_.clear();
        pathFound_.clear();
        processIconsSince_ = now;
    }
    return processIcons_;
}

bool CWindowsDlg::RunsAsAdministrator(HWND window)
{
    if (!MayBeOutranked())
        return false;
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    RecentProcessIcons(); // keeps the answers as long as the icons
    auto [entry, isNew] = outranksUs_.try_emplace(processId, false);
    if (isNew)
        entry->second = ProcessOutranksUs(processId);
    return entry->second;
}

std::vector<HWND> CWindowsDlg::WindowsWithIcons(const std::vector<std::pair<HWND, DWORD>>& catalogued)
{
    // A window keeps its row while it is catalogued: its program, and so
    // its icon, stay what they were.
    const std::unordered_set<HWND> listed(rowHandles.begin(), rowHandles.end());
    std::vector<HWND> withIcons;
    withIcons.reserve(catalogued.size());
    for (const auto& [window, countedProcessId] : catalogued) {
        if (listed.count(window) != 0) {
            withIcons.push_back(window);
            continue;
        }
        // The catalogue learnt the process once; asking every window again
        // would cost a round trip to the window manager per row.
        const DWORD processId = countedProcessId != 0 ? countedProcessId : CountedProcessOf(window);
        RecentProcessIcons(); // keeps the answers as long as the icons
        auto [found, isNew] = pathFound_.try_emplace(processId, false);
        if (isNew) {
            std::wstring path;
            found->second = processId != 0 && ExecutablePathOfProcess(processId, path);
        }
        // A window gone since the catalogue met it yields no icon.
        if (found->second) {
            if (IsWindow(window))
                withIcons.push_back(window);
            continue;
        }
        // Without a file to take it from, only the window's own icon can
        // show; a window that has none is not listed.
        if (const UniqueIcon own{iconQuery(window, RecentProcessIcons())})
            withIcons.push_back(window);
    }
    return withIcons;
}

bool CWindowsDlg::StillPresent(HWND window)
{
    return IsWindow(window) != FALSE;
}

bool CWindowsDlg::IsTopWindow(HWND window) const
{
    return choices_.topWindow != nullptr && choices_.topWindow->GetHandle() == window;
}

bool CWindowsDlg::MayHide(HWND window)
{
    // The top window is the one window the hiding leaves on screen.
    if (IsTopWindow(window)) {
        AfxMessageBox(kMsgWindowIsTopWindow, MB_OK | MB_ICONINFORMATION);
        return false;
    }
    return true;
}

bool CWindowsDlg::KeptOutOfReverse(HWND window)
{
    return IsTopWindow(window);
}

BOOL CWindowsDlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == IDC_SET_TOP_WINDOW) {
        SetAsTopWindow();
        return TRUE;
    }
    return CListPairDlg<HWND>::OnCommand(wParam, lParam);
}

void CWindowsDlg::SetAsTopWindow()
{
    const int row = allList.GetFirstSelectedItem();
    if (row < 0 || row >= rowHandles.GetSize()) {
        choices_.topWindow.reset();
        RefreshTopWindowDisplay();
        return;
    }
    const HWND window = rowHandles[row];
    if (choices_.hideWindowSet.Find(window) >= 0) {
        AfxMessageBox(kMsgHiddenWindowNotTop, MB_OK | MB_ICONINFORMATION);
        return;
    }
    choices_.topWindow.reset(new (std::nothrow) CCvWnd(window));
    if (choices_.topWindow != nullptr)
        topWindowTitle.SetWindowText(choices_.topWindow->GetTitle());
    RefreshTopWindowDisplay();
}

RECT CWindowsDlg::ControlRect(int id) const
{
    RECT rect{};
    ::GetWindowRect(GetDlgItem(id), &rect);
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void CWindowsDlg::RefreshTopWindowDisplay()
{
    if (choices_.topWindow == nullptr)
        topWindowTitle.SetWindowText(L"");
    FetchTopWindowIcon();
    const RECT title = ControlRect(IDC_TOP_WINDOW_TITLE);
    const RECT icon = ControlRect(IDC_TOP_WINDOW_ICON);
    RECT both{};
    UnionRect(&both, &title, &icon);
    InvalidateRect(m_hWnd, &both, TRUE);
}

bool CWindowsDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (message == WM_PAINT && PaintTopWindowIcon()) {
        result = 0;
        return true;
    }
    return CListPairDlg<HWND>::OnMessage(message, wParam, lParam, result);
}

void CWindowsDlg::FetchTopWindowIcon()
{
    const HWND window = choices_.topWindow != nullptr ? choices_.topWindow->GetHandle() : nullptr;
    if (window == topWindowIconOf_)
        return;
    ReleaseTopWindowIcon();
    topWindowIconOf_ = window;
    if (window != nullptr)
        topWindowIcon_.reset(iconQuery(window, RecentProcessIcons()));
}

void CWindowsDlg::ReleaseTopWindowIcon()
{
    topWindowIcon_.reset();
    topWindowIconOf_ = nullptr;
}

bool CWindowsDlg::PaintTopWindowIcon()
{
    // The top window may also change outside the page (the application
    // clears it when the engine ends).
    FetchTopWindowIcon();
    if (!topWindowIcon_)
        return false;
    // Control 1006 is invisible: it only marks where the icon goes.
    const RECT place = ControlRect(IDC_TOP_WINDOW_ICON);
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(m_hWnd, &paint);
    const int size = SmallIconSize(GetDpi());
    DrawIconEx(dc, place.left, place.top, topWindowIcon_.get(), size, size, 0, nullptr, DI_NORMAL);
    EndPaint(m_hWnd, &paint);
    return true;
}
