#include "ui/HyperLink.h"

#include <shellapi.h>

#include "app/Messages.h"
#include "engine/SettingFile.h"
#include "framework/Dpi.h"
#include "framework/WinApp.h"

namespace {

CHyperLink::ShellOpenFunction shellOpen = &::ShellExecuteW;

// Arial, italic and underlined, 15 x 6 pixels at 96 DPI.
HFONT CreateLinkFont(UINT dpi)
{
    return ::CreateFontW(ScaleForDpi(15, dpi), ScaleForDpi(6, dpi), 0, 0, FW_NORMAL, TRUE, TRUE, FALSE,
                         DEFAULT_CHARSET, OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                         DEFAULT_PITCH | FF_DONTCARE, L"Arial");
}

} // namespace

void CHyperLink::SetShellOpenFunction(ShellOpenFunction function)
{
    shellOpen = function != nullptr ? function : &::ShellExecuteW;
}

CHyperLink::CHyperLink() : colour_(RGB(0, 0, 255)), cursor_(::LoadCursorW(nullptr, MAKEINTRESOURCEW(32649)))
{
    background_.CreateHollowBrush();
    // Before there is a window the best guess of its scale is the system's.
    fontDpi_ = SystemDpi();
    font_.Attach(CreateLinkFont(fontDpi_));
}

void CHyperLink::SetDpi(UINT dpi)
{
    if (dpi != fontDpi_) {
        CFont font;
        font.Attach(CreateLinkFont(dpi));
        if (font.GetSafeHandle() == nullptr)
            return;
        if (m_hWnd != nullptr)
            SetFont(font, TRUE);
        // The control has let go of the old font only now.
        font_ = std::move(font);
        fontDpi_ = dpi;
    }
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
    SetDpi(DpiForWindow(m_hWnd));
}

void CHyperLink::OpenLink()
{
    if (link_.empty())
        return;
    HINSTANCE result = shellOpen(nullptr, L"open", link_.c_str(), nullptr, moduleDirectory.c_str(), SW_SHOWNORMAL);
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
