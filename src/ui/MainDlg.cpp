#include "ui/MainDlg.h"

#include <algorithm>
#include <iterator>

#include "catalogue/Catalogues.h"
#include "engine/WindowMessages.h"
#include "framework/Dpi.h"
#include "framework/Gdi.h"
#include "framework/WinApp.h"
#include "settings/SettingFile.h"
#include "system/Foreground.h"
#include "system/OwnProcess.h"
#include "ui/ArmedSession.h"
#include "ui/Texts.h"

static_assert(std::size(kTabTexts) == CMainDlg::kPageCount);

namespace {

HINSTANCE ResourceModule()
{
    return AfxGetApp() != nullptr ? AfxGetApp()->m_hInstance : ::GetModuleHandleW(nullptr);
}

// A window's size and its place in its parent's client area.
RECT RectInParent(HWND window)
{
    RECT rect{};
    ::GetWindowRect(window, &rect);
    ::MapWindowPoints(nullptr, ::GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// Dialog units do not grow exactly with the scale: the dialog font's
// metrics come in whole pixels, so at 125 % a dialog unit is a third wider
// than at 100 %, and a page template no longer fits the page's pixels. Its
// controls are then moved closer and narrowed in proportion until they fit,
// margins included; a page that fits is left as it is.
void FitControlsIntoPage(HWND page)
{
    RECT client{};
    ::GetClientRect(page, &client);
    RECT extent{client.right, client.bottom, 0, 0};
    for (HWND child = ::GetWindow(page, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
        const RECT rect = RectInParent(child);
        extent = RECT{std::min(extent.left, rect.left), std::min(extent.top, rect.top),
                      std::max(extent.right, rect.right), std::max(extent.bottom, rect.bottom)};
    }
    // The room the controls need: as much margin after them as before.
    const LONG neededWidth = extent.right + std::max(extent.left, 0L);
    const LONG neededHeight = extent.bottom + std::max(extent.top, 0L);
    if (neededWidth <= client.right && neededHeight <= client.bottom)
        return;
    const auto fit = [](LONG place, LONG room, LONG needed) {
        return needed > room ? ::MulDiv(place, room, needed) : place;
    };
    for (HWND child = ::GetWindow(page, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
        const RECT rect = RectInParent(child);
        const LONG left = fit(rect.left, client.right, neededWidth);
        const LONG top = fit(rect.top, client.bottom, neededHeight);
        ::MoveWindow(child, left, top, fit(rect.right, client.right, neededWidth) - left,
                     fit(rect.bottom, client.bottom, neededHeight) - top, FALSE);
    }
}

} // namespace

CMainDlg::CMainDlg(const DialogState& state)
    : CDialog(IDD_COVELIN_DIALOG), windowsPage_(state.catalogues, state.choices),
      processPage_(state.catalogues, state.choices),
      filePage_(state.choices.hideFileSet, state.home.ownExecutablePath, state.catalogues, state.choices.hideRules),
      optionPage_(state.home, state.storedDisplayMode), settingPage_(state.home, state.trayIcon),
      aboutPage_(state.home.moduleDirectory), session_(state.session)
{
    icon_ = static_cast<HICON>(
        ::LoadImageW(ResourceModule(), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
}

CDialog* CMainDlg::GetPage(int index)
{
    switch (index) {
    case 0:
        return &windowsPage_;
    case 1:
        return &processPage_;
    case 2:
        return &filePage_;
    case 3:
        return &optionPage_;
    case 4:
        return &settingPage_;
    case 5:
        return &aboutPage_;
    default:
        return nullptr;
    }
}

void CMainDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_MAIN_TAB, tabs_);
    DDX_Control(pDX, IDCANCEL, exitButton_);
    DDX_Control(pDX, IDC_START, startButton_);
}

BOOL CMainDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    // The dialog's size and control places are ours at every scale; the
    // system only gives the controls their font when the DPI changes.
    KeepDialogLayoutAtDpiChange(m_hWnd);
    LoadWindowIcons();
    // The window catalogue leaves out windows that carry this mark, so the
    // user can never choose to hide this dialog.
    MarkOwnWindow(m_hWnd);

    for (int i = 0; i < kPageCount; ++i)
        tabs_.InsertItem(i, kTabTexts[i], 0);
    // Only the page on show; the others come once the dialog is drawn.
    CreatePage(0);
    ArrangeControls();

    tabs_.SetCurSel(0);
    currentPage = 0;
    GetPage(0)->ShowWindow(SW_SHOW);
    UpdateTitle();
    PostMessage(UM_AFTER_SHOWN);
    return TRUE;
}

void CMainDlg::RunAfterShownWork()
{
    if (afterShownDone_)
        return;
    afterShownDone_ = true;
    CreateAllPages();
    if (afterShownWork_)
        afterShownWork_();
}

bool CMainDlg::CreatePage(int index)
{
    CDialog* page = GetPage(index);
    return page != nullptr && page->m_hWnd == nullptr && page->Create(page->GetTemplateId(), this);
}

void CMainDlg::CreateAllPages()
{
    // Placed once, at the arranged size: fitting a page into a smaller one
    // first would narrow its controls for good.
    for (int i = 0; i < kPageCount; ++i) {
        if (CreatePage(i))
            PlacePage(*GetPage(i));
    }
}

void CMainDlg::PlacePage(CDialog& page)
{
    RECT client{};
    GetClientRect(&client);
    const UINT dpi = GetDpi();
    const auto scaled = [dpi](int pixels) { return ScaleForDpi(pixels, dpi); };
    page.MoveWindow(RECT{scaled(10), scaled(35), client.right - scaled(10), client.bottom - scaled(40)});
    FitControlsIntoPage(page.m_hWnd);
}

void CMainDlg::ArrangeControls()
{
    // The client area is 400 x 400 pixels at 96 DPI, scaled to the dialog's
    // DPI, whatever the dialog units come to; so is every place below.
    const UINT dpi = GetDpi();
    const auto scaled = [dpi](int pixels) { return ScaleForDpi(pixels, dpi); };
    RECT window{}, client{};
    GetWindowRect(&window);
    GetClientRect(&client);
    const int frameWidth = (window.right - window.left) - (client.right - client.left);
    const int frameHeight = (window.bottom - window.top) - (client.bottom - client.top);
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, frameWidth + scaled(kClientSize), frameHeight + scaled(kClientSize),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Invalidate();

    GetClientRect(&client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    // The strip holds only the tabs; the pages sit below it, not inside it.
    tabs_.MoveWindow(RECT{scaled(10), scaled(10), width - scaled(10), scaled(35)});
    for (int i = 0; i < kPageCount; ++i) {
        if (CDialog* page = GetPage(i); page->m_hWnd != nullptr)
            PlacePage(*page);
    }

    RECT exit{}, start{};
    exitButton_.GetWindowRect(&exit);
    startButton_.GetWindowRect(&start);
    const int exitWidth = exit.right - exit.left;
    exitButton_.MoveWindow(scaled(10), height - scaled(30), exitWidth, exit.bottom - exit.top);
    startButton_.MoveWindow(width - scaled(10) - exitWidth, height - scaled(30), start.right - start.left,
                            start.bottom - start.top);
}

void CMainDlg::LoadWindowIcons()
{
    // Each drawn at its own size, so that neither the title bar nor the task
    // switcher shows a picture shrunk or blown up from another one.
    const UINT dpi = GetDpi();
    const auto load = [](int size) {
        return static_cast<HICON>(
            ::LoadImageW(ResourceModule(), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, size, size, 0));
    };
    UniqueIcon bigIcon(load(LargeIconSize(dpi)));
    UniqueIcon smallIcon(load(SmallIconSize(dpi)));
    SetIcon(bigIcon ? bigIcon.get() : icon_, TRUE);
    SetIcon(smallIcon ? smallIcon.get() : icon_, FALSE);
    // The window has let go of the previous pair only now.
    bigIcon_ = std::move(bigIcon);
    smallIcon_ = std::move(smallIcon);
}

SIZE CMainDlg::WindowSizeForDpi(UINT dpi) const
{
    const int edge = ScaleForDpi(kClientSize, dpi);
    RECT rect{0, 0, edge, edge};
    AdjustWindowRectForDpi(&rect, static_cast<DWORD>(GetStyle()), FALSE,
                           static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE)), dpi);
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

void CMainDlg::OnDpiChanged(UINT dpi)
{
    // The buttons keep the size their template gave them, at the new scale.
    const UINT previous = GetDpi();
    for (CButton* button : {&exitButton_, &startButton_}) {
        const RECT rect = RectInParent(button->m_hWnd);
        const auto rescaled = [dpi, previous](LONG pixels) {
            return ::MulDiv(pixels, static_cast<int>(dpi), static_cast<int>(previous));
        };
        button->MoveWindow(rect.left, rect.top, rescaled(rect.right - rect.left), rescaled(rect.bottom - rect.top));
    }
    CDialog::OnDpiChanged(dpi);
    LoadWindowIcons();
    ArrangeControls();
    for (int i = 0; i < kPageCount; ++i) {
        if (CDialog* page = GetPage(i); page->m_hWnd != nullptr)
            page->OnDpiChanged(dpi);
    }
}

void CMainDlg::UpdateTitle()
{
    SetWindowText(kMainDialogTitle);
}

void CMainDlg::OnTabSelChange()
{
    CreateAllPages();
    const int selected = tabs_.GetCurSel();
    CDialog* next = GetPage(selected);
    if (next == nullptr)
        return;
    next->ShowWindow(SW_SHOW);
    if (selected != currentPage) {
        if (CDialog* previous = GetPage(currentPage))
            previous->ShowWindow(SW_HIDE);
    }
    currentPage = selected;
}

void CMainDlg::OnStart()
{
    // The pages hold what is saved, and the engine counts on the tray icon
    // and the session watch.
    RunAfterShownWork();
    if (!settingPage_.SaveSettings())
        return;
    optionPage_.SaveOptions();
    ShowWindow(SW_MINIMIZE);
    ShowWindow(SW_HIDE);
    // Without an engine no hotkey could bring the dialog back: stay shown.
    if (!session_.Arm(m_hWnd)) {
        ShowWindow(SW_RESTORE);
        ::SetForegroundWindow(m_hWnd);
    }
}

void CMainDlg::OnCancel()
{
    // The pages hold what is saved.
    CreateAllPages();
    if (!settingPage_.SaveSettings())
        return;
    optionPage_.SaveOptions();
    CDialog::OnCancel();
}

void CMainDlg::OnShowWindow(BOOL show)
{
    // Only the pages look at the catalogues, and only while on screen.
    windowsPage_.FollowCatalogue(show != FALSE);
    processPage_.FollowCatalogue(show != FALSE);
    session_.DialogShown(show != FALSE);
}

bool CMainDlg::OnPaint()
{
    if (!IsIconic())
        return false;
    CPaintDC dc(m_hWnd);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(static_cast<HDC>(dc)), 0);
    RECT client{};
    GetClientRect(&client);
    const int x = (client.right - client.left - SystemMetricForDpi(SM_CXICON, GetDpi()) + 1) / 2;
    const int y = (client.bottom - client.top - SystemMetricForDpi(SM_CYICON, GetDpi()) + 1) / 2;
    ::DrawIcon(dc, x, y, icon_);
    return true;
}

void CMainDlg::OnEngineShowDialog()
{
    ShowWindow(SW_SHOW);
    ShowWindow(SW_RESTORE);
    BringToForeground(m_hWnd);
    Invalidate();
}

bool CMainDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case UM_ENGINE_SHOW_DIALOG:
        OnEngineShowDialog();
        result = 0;
        return true;
    case UM_AFTER_SHOWN:
        // Painted first: a posted message comes before the paint, and the
        // user should see the dialog while the rest is set up.
        ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        RunAfterShownWork();
        result = 0;
        return true;
    case WM_SYSCOMMAND:
        // The close box and Alt+F4 arm the engine like Start; they do not
        // end the program.
        if ((wParam & 0xFFF0) == SC_CLOSE) {
            OnStart();
            result = 0;
            return true;
        }
        return false;
    case WM_PAINT:
        if (OnPaint()) {
            result = 0;
            return true;
        }
        return false;
    case WM_QUERYDRAGICON:
        result = reinterpret_cast<LRESULT>(icon_);
        return true;
    case WM_GETDPISCALEDSIZE:
        // Before a move to a monitor of another scale: the size that keeps
        // the client area exact there, rather than the system's estimate.
        if (wParam != 0 && lParam != 0) {
            *reinterpret_cast<SIZE*>(lParam) = WindowSizeForDpi(static_cast<UINT>(wParam));
            result = TRUE;
            return true;
        }
        return false;
    case WM_SHOWWINDOW:
        OnShowWindow(static_cast<BOOL>(wParam));
        result = 0;
        return true;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header != nullptr && header->idFrom == IDC_MAIN_TAB && header->code == TCN_SELCHANGE) {
            OnTabSelChange();
            result = 0;
            return true;
        }
        return false;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_START && HIWORD(wParam) == BN_CLICKED) {
            OnStart();
            result = 0;
            return true;
        }
        return false;
    default:
        return false;
    }
}
