#include "ui/HyperLink.h"

#include <shellapi.h>

#include "framework/Dpi.h"
#include "framework/WinApp.h"
#include "ui/Texts.h"

namespace {

CHyperLink::ShellOpenFunction shellOpen = &::ShellExecuteW;

} // namespace

namespace {

HFONT CreateArialOfHeight(int height, int weight, BOOL italic, BOOL underline)
{
    return ::CreateFontW(height, ::MulDiv(height, 6, 15), 0, 0, weight, italic, underline, FALSE, DEFAULT_CHARSET,
                         OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Arial");
}

// The height the font draws its lines with, which the font mapper may
// round up from the height asked for.
int LineHeightOf(HFONT font)
{
    const CClientDC screen(nullptr);
    const CSelectObject selected(screen, font);
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(screen, &metrics);
    return metrics.tmHeight;
}

} // namespace

int ArialFontHeight(UINT dpi, int lineHeight)
{
    const int height = ScaleForDpi(15, dpi);
    return lineHeight > 0 && height > lineHeight ? lineHeight : height;
}

HFONT CreateArialFont(UINT dpi, int lineHeight, int weight, BOOL italic, BOOL underline)
{
    int height = ArialFontHeight(dpi, lineHeight);
    CFont font;
    font.Attach(CreateArialOfHeight(height, weight, italic, underline));
    // A pixel or two smaller where the font mapper rounds up past the line.
    while (font.GetSafeHandle() != nullptr && lineHeight > 0 && height > lineHeight - 2 &&
           LineHeightOf(font) > lineHeight)
        font.Attach(CreateArialOfHeight(--height, weight, italic, underline));
    return font.Detach();
}

void CHyperLink::SetShellOpenFunction(ShellOpenFunction function)
{
    shellOpen = function != nullptr ? function : &::ShellExecuteW;
}

CHyperLink::CHyperLink() : colour_(RGB(0, 0, 255)), cursor_(::LoadCursorW(nullptr, MAKEINTRESOURCEW(32649)))
{
    background_.CreateHollowBrush();
    // Before there is a window the best guess of its scale is the system's.
    fontHeight_ = ArialFontHeight(SystemDpi(), 0);
    font_.Attach(CreateArialFont(SystemDpi(), 0, FW_NORMAL, TRUE, TRUE));
}

void CHyperLink::SetScale(UINT dpi, int lineHeight)
{
    if (ArialFontHeight(dpi, lineHeight) == fontHeight_)
        return;
    CFont font;
    font.Attach(CreateArialFont(dpi, lineHeight, FW_NORMAL, TRUE, TRUE));
    if (font.GetSafeHandle() == nullptr)
        return;
    if (m_hWnd != nullptr)
        SetFont(font, TRUE);
    // The control has let go of the old font only now.
    font_ = std::move(font);
    fontHeight_ = ArialFontHeight(dpi, lineHeight);
}

void CHyperLink::SetLink(const wchar_t* target)
{
    if (target != nullptr)
        link_ = target;
}

void CHyperLink::PreSubclassWindow()
{
    // The colour request selects the link font as well, but a static control
    // may select its own font after asking for colours; giving it the font
    // makes the link look the same either way. The font is ours at every
    // scale: the system must not swap in the dialog's at a DPI change.
    KeepControlFontAtDpiChange(m_hWnd);
    SetFont(font_, FALSE);
    RECT client{};
    GetClientRect(&client);
    SetScale(DpiForWindow(m_hWnd), client.bottom);
}

void CHyperLink::OpenLink()
{
    if (link_.empty())
        return;
    HINSTANCE result = shellOpen(nullptr, L"open", link_.c_str(), nullptr, directory_.c_str(), SW_SHOWNORMAL);
    if (reinterpret_cast<INT_PTR>(result) <= 32)
        AfxMessageBox(kMsgOpenLinkFailed, MB_OK | MB_ICONERROR);
}

bool CHyperLink::OnMessage(UINT message, WPARAM, LPARAM, LRESULT& result)
{
    switch (message) {
    case WM_SETCURSOR:
        // Without this the class cursor (an arrow) comes back between moves.
        ::SetCursor(cursor_);
        result = TRUE;
        return true;
    case WM_MOUSEMOVE:
        ::SetCursor(cursor_);
        return false; // and the control's own handling
    case WM_LBUTTONUP:
        OpenLink();
        result = 0;
        return true;
    default:
        return false;
    }
}

bool CHyperLink::OnReflectedMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result)
{
    if (message != WM_CTLCOLORSTATIC)
        return false;
    HDC dc = reinterpret_cast<HDC>(wParam);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, colour_);
    ::SelectObject(dc, font_);
    result = reinterpret_cast<LRESULT>(static_cast<HBRUSH>(background_));
    return true;
}
