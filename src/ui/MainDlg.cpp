#include "ui/MainDlg.h"

#include "app/Messages.h"
#include "catalogue/WindowCatalogue.h"
#include "engine/Engine.h"
#include "engine/SettingFile.h"
#include "framework/Foreground.h"
#include "framework/Gdi.h"
#include "framework/WinApp.h"
#include "ui/TrayTarget.h"

namespace {

const wchar_t* const kTabTexts[CMainDlg::kPageCount] = {L"Windows", L"Processes", L"Executable Files",
                                                        L"Options", L"Settings", L"About"};

} // namespace

CMainDlg::CMainDlg(CEngine* engine) : CDialog(IDD_COVELIN_DIALOG), engine_(engine != nullptr ? *engine : TheEngine())
{
    HINSTANCE module = AfxGetApp() != nullptr ? AfxGetApp()->m_hInstance : ::GetModuleHandleW(nullptr);
    icon_ = static_cast<HICON>(
        ::LoadImageW(module, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
}

CMainDlg::~CMainDlg()
{
    if (m_hWnd != nullptr && ::IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
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
    SetIcon(icon_, TRUE);
    SetIcon(icon_, FALSE);
    // The window catalogue leaves out windows that carry this mark, so the
    // user can never choose to hide this dialog.
    ::SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, OWN_WINDOW_MARK);

    for (int i = 0; i < kPageCount; ++i)
        tabs_.InsertItem(i, kTabTexts[i], 0);
    for (int i = 0; i < kPageCount; ++i) {
        CDialog* page = GetPage(i);
        page->Create(page->GetTemplateId(), this);
    }
    ArrangeControls();

    tabs_.SetCurSel(0);
    currentPage = 0;
    GetPage(0)->ShowWindow(SW_SHOW);
    UpdateTitle();
    return TRUE;
}

void CMainDlg::ArrangeControls()
{
    // The client area is 400 x 400 pixels whatever the dialog units come to.
    RECT window{}, client{};
    GetWindowRect(&window);
    GetClientRect(&client);
    const int frameWidth = (window.right - window.left) - (client.right - client.left);
    const int frameHeight = (window.bottom - window.top) - (client.bottom - client.top);
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, frameWidth + kClientSize, frameHeight + kClientSize,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Invalidate();

    GetClientRect(&client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    // The strip holds only the tabs; the pages sit below it, not inside it.
    tabs_.MoveWindow(RECT{10, 10, width - 10, 35});
    for (int i = 0; i < kPageCount; ++i) {
        if (CDialog* page = GetPage(i); page->m_hWnd != nullptr)
            page->MoveWindow(RECT{10, 35, width - 10, height - 40});
    }

    RECT exit{}, start{};
    exitButton_.GetWindowRect(&exit);
    startButton_.GetWindowRect(&start);
    const int exitWidth = exit.right - exit.left;
    exitButton_.MoveWindow(10, height - 30, exitWidth, exit.bottom - exit.top);
    startButton_.MoveWindow(width - 10 - exitWidth, height - 30, start.right - start.left, start.bottom - start.top);
}

void CMainDlg::UpdateTitle()
{
    SetWindowText(kMainDialogTitle);
}

void CMainDlg::OnTabSelChange()
{
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
    if (!settingPage_.SaveSettings())
        return;
    optionPage_.SaveOptions();
    ShowWindow(SW_MINIMIZE);
    ShowWindow(SW_HIDE);
    // The engine works on a copy of the choices: the pages stay free to
    // change their lists while it runs.
    // Without an engine no hotkey could bring the dialog back: stay shown.
    if (!engine_.Start(*settingFile.Data(), CaptureTargets(), m_hWnd)) {
        ShowWindow(SW_RESTORE);
        ::SetForegroundWindow(m_hWnd);
    }
}

void CMainDlg::OnCancel()
{
    if (!settingPage_.SaveSettings())
        return;
    optionPage_.SaveOptions();
    CDialog::OnCancel();
}

void CMainDlg::OnShowWindow(BOOL show)
{
    const SettingData* data = settingFile.Data();
    if (show) {
        // Shown again: the engine has ended or is ending by itself.
        engine_.ForgetRun();
        if (data->hideOwnIcon)
            DialogTrayIcon().Update(data->trayIcon, 0, nullptr);
    } else if (data->hideOwnIcon) {
        DialogTrayIcon().Update(data->trayIcon, 1, nullptr);
    }
}

bool CMainDlg::OnPaint()
{
    if (!IsIconic())
        return false;
    CPaintDC dc(m_hWnd);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(static_cast<HDC>(dc)), 0);
    RECT client{};
    GetClientRect(&client);
    const int x = (client.right - client.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
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
