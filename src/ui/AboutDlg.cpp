#include "ui/AboutDlg.h"

#include "framework/WinApp.h"
#include "ui/res/resource.h"

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUT_PAGE)
{
    HINSTANCE module = AfxGetApp() != nullptr ? AfxGetApp()->m_hInstance : ::GetModuleHandleW(nullptr);
    largeIcon_.reset(static_cast<HICON>(
        ::LoadImageW(module, MAKEINTRESOURCEW(IDI_ABOUT_PICTURE), IMAGE_ICON, 200, 200, LR_DEFAULTCOLOR)));
    captionFont_.CreateFont(15, 6, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_TT_PRECIS,
                            CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Arial");
}

void CAboutDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_ABOUT_VERSION, versionLabel_);
    DDX_Control(pDX, IDC_ABOUT_PICTURE, links_[0]);
    for (int i = 1; i < 6; ++i)
        DDX_Control(pDX, IDC_ABOUT_SITE_LINK + i - 1, links_[i]);
}

BOOL CAboutDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    links_[0].SetLink(kWebSiteAddress);
    links_[1].SetLink(kWebSiteAddress);
    links_[2].SetLink(kSupportAddress);
    links_[3].SetLink(kFeedbackAddress);
    links_[4].SetLink(kSalesAddress);
    links_[5].SetLink(kSupportFormAddress);
    versionLabel_.SetWindowText(kProductVersion);
    // The captions' own font too, in case the static control picks its font
    // after the colour request (see the colour handler).
    for (int id = IDC_ABOUT_NAME_CAPTION; id <= IDC_ABOUT_FORM_CAPTION; ++id) {
        if (HWND caption = GetDlgItem(id))
            ::SendMessageW(caption, WM_SETFONT, reinterpret_cast<WPARAM>(static_cast<HFONT>(captionFont_)), FALSE);
    }
    return TRUE;
}

void CAboutDlg::OnPaint()
{
    CPaintDC dc(m_hWnd);
    RECT area{};
    if (HWND picture = GetDlgItem(IDC_ABOUT_PICTURE))
        ::GetClientRect(picture, &area);
    if (largeIcon_) {
        // The icon's top rows hold only margin: drawn 25 pixels higher and
        // squeezed to 200 x 150 it fills the picture area.
        ::DrawIconEx(dc, area.left, area.top - 25, largeIcon_.get(), 200, 150, 0, nullptr, DI_NORMAL);
    }
}

bool CAboutDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_PAINT:
        OnPaint();
        result = 0;
        return true;
    case WM_CTLCOLORSTATIC: {
        const int id = ::GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
        if (id < IDC_ABOUT_NAME_CAPTION || id > IDC_ABOUT_FORM_CAPTION)
            return false;
        result = ::DefWindowProcW(m_hWnd, message, wParam, lParam);
        ::SelectObject(reinterpret_cast<HDC>(wParam), captionFont_);
        return true;
    }
    default:
        return false;
    }
}
