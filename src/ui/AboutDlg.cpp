#include "ui/AboutDlg.h"

#include "framework/Dpi.h"
#include "framework/WinApp.h"
#include "ui/res/resource.h"

namespace {

HINSTANCE ResourceModule()
{
    return AfxGetApp() != nullptr ? AfxGetApp()->m_hInstance : ::GetModuleHandleW(nullptr);
}

// The large picture: 200 x 200 pixels at 96 DPI.
HICON LoadLargeIcon(UINT dpi)
{
    const int size = ScaleForDpi(200, dpi);
    return static_cast<HICON>(
        ::LoadImageW(ResourceModule(), MAKEINTRESOURCEW(IDI_ABOUT_PICTURE), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

HFONT CreateCaptionFont(UINT dpi, int lineHeight)
{
    return CreateArialFont(dpi, lineHeight, FW_BOLD, FALSE, FALSE);
}

} // namespace

CAboutDlg::CAboutDlg(const std::wstring& moduleDirectory) : CDialog(IDD_ABOUT_PAGE)
{
    // The picture and the caption font come with the window, at its scale:
    // the page is made after the dialog is on screen. The links need only
    // where to open.
    for (CHyperLink& link : links_)
        link.SetDirectory(moduleDirectory);
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
    MakeScaledResources(CaptionLineHeight());
    return TRUE;
}

void CAboutDlg::OnDpiChanged(UINT dpi)
{
    // The captions are still as high as the old scale made them: their line
    // at the new one is in proportion.
    const int lineHeight = ::MulDiv(CaptionLineHeight(), static_cast<int>(dpi), static_cast<int>(GetDpi()));
    CDialog::OnDpiChanged(dpi);
    MakeScaledResources(lineHeight);
    Invalidate();
}

int CAboutDlg::CaptionLineHeight() const
{
    RECT line{};
    ::GetClientRect(GetDlgItem(IDC_ABOUT_SITE_CAPTION), &line);
    return line.bottom;
}

void CAboutDlg::MakeScaledResources(int lineHeight)
{
    const UINT dpi = GetDpi();
    for (CHyperLink& link : links_)
        link.SetScale(dpi, lineHeight);
    CFont font;
    font.Attach(CreateCaptionFont(dpi, lineHeight));
    if (dpi != resourceDpi_) {
        if (HICON icon = LoadLargeIcon(dpi))
            largeIcon_.reset(icon);
    }
    // The captions' own font too, in case the static control picks its font
    // after the colour request (see the colour handler). The font is ours at
    // every scale: the system must not swap in the dialog's.
    const HFONT captions = font.GetSafeHandle() != nullptr ? font.GetSafeHandle() : captionFont_.GetSafeHandle();
    for (int id = IDC_ABOUT_NAME_CAPTION; id <= IDC_ABOUT_FORM_CAPTION; ++id) {
        if (HWND caption = GetDlgItem(id)) {
            KeepControlFontAtDpiChange(caption);
            ::SendMessageW(caption, WM_SETFONT, reinterpret_cast<WPARAM>(captions), TRUE);
        }
    }
    // The captions have let go of the old font only now.
    if (font.GetSafeHandle() != nullptr)
        captionFont_ = std::move(font);
    resourceDpi_ = dpi;
}

void CAboutDlg::OnPaint()
{
    CPaintDC dc(m_hWnd);
    RECT area{};
    if (HWND picture = GetDlgItem(IDC_ABOUT_PICTURE))
        ::GetClientRect(picture, &area);
    if (largeIcon_) {
        // The icon's top rows hold only margin: drawn 25 pixels higher and
        // squeezed to 200 x 150 (at 96 DPI) it fills the picture area.
        const UINT dpi = GetDpi();
        ::DrawIconEx(dc, area.left, area.top - ScaleForDpi(25, dpi), largeIcon_.get(), ScaleForDpi(200, dpi),
                     ScaleForDpi(150, dpi), 0, nullptr, DI_NORMAL);
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
