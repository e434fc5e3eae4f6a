#include "framework/Controls.h"

#include <vector>

namespace {

// The window property that leads from a window to its wrapper object.
const wchar_t kObjectProperty[] = L"Covelin.CWnd";

} // namespace

CWnd::~CWnd()
{
    if (m_hWnd == nullptr)
        return;
    if (oldProc_ != nullptr)
        UnsubclassWindow();
    else if (FromHandlePermanent(m_hWnd) == this)
        UnbindHandle();
    m_hWnd = nullptr;
}

void CWnd::BindHandle(HWND hWnd)
{
    m_hWnd = hWnd;
    ::SetPropW(hWnd, kObjectProperty, reinterpret_cast<HANDLE>(this));
}

void CWnd::UnbindHandle()
{
    if (m_hWnd != nullptr && ::IsWindow(m_hWnd))
        ::RemovePropW(m_hWnd, kObjectProperty);
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd)
{
    if (hWnd == nullptr)
        return nullptr;
    return reinterpret_cast<CWnd*>(::GetPropW(hWnd, kObjectProperty));
}

bool CWnd::Attach(HWND hWnd)
{
    if (hWnd == nullptr || m_hWnd != nullptr)
        return false;
    m_hWnd = hWnd;
    return true;
}

HWND CWnd::Detach()
{
    HWND hWnd = m_hWnd;
    if (oldProc_ != nullptr)
        return UnsubclassWindow();
    m_hWnd = nullptr;
    return hWnd;
}

bool CWnd::SubclassWindow(HWND hWnd)
{
    if (hWnd == nullptr || !::IsWindow(hWnd) || m_hWnd != nullptr)
        return false;
    // A window belongs to at most one wrapper.
    if (FromHandlePermanent(hWnd) != nullptr)
        return false;
    BindHandle(hWnd);
    oldProc_ = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::SubclassProc)));
    if (oldProc_ == nullptr) {
        UnbindHandle();
        m_hWnd = nullptr;
        return false;
    }
    PreSubclassWindow();
    return true;
}

bool CWnd::SubclassDlgItem(int id, HWND parent)
{
    return SubclassWindow(::GetDlgItem(parent, id));
}

HWND CWnd::UnsubclassWindow()
{
    HWND hWnd = m_hWnd;
    if (hWnd == nullptr)
        return nullptr;
    if (oldProc_ != nullptr && ::IsWindow(hWnd))
        ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(oldProc_));
    oldProc_ = nullptr;
    UnbindHandle();
    m_hWnd = nullptr;
    return hWnd;
}

LRESULT CALLBACK CWnd::SubclassProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* self = FromHandlePermanent(hWnd);
    if (self == nullptr || self->oldProc_ == nullptr)
        return ::DefWindowProcW(hWnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        // The window goes away: hand it back to its own procedure first so
        // that it can clean up, and forget it.
        WNDPROC oldProc = self->oldProc_;
        self->UnsubclassWindow();
        LRESULT result = ::CallWindowProcW(oldProc, hWnd, message, wParam, lParam);
        self->PostNcDestroy();
        return result;
    }
    return self->WindowProc(message, wParam, lParam);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (OnMessage(message, wParam, lParam, result))
        return result;
    if (message == WM_TIMER) {
        OnTimer(wParam);
        return 0;
    }
    return Default(message, wParam, lParam);
}

LRESULT CWnd::Default(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (oldProc_ != nullptr)
        return ::CallWindowProcW(oldProc_, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PreTranslateMessage(MSG*)
{
    return FALSE;
}

bool CWnd::OnMessage(UINT, WPARAM, LPARAM, LRESULT&)
{
    return false;
}

bool CWnd::OnReflectedMessage(UINT, WPARAM, LPARAM, LRESULT&)
{
    return false;
}

void CWnd::OnTimer(UINT_PTR)
{
}

std::wstring CWnd::GetWindowText() const
{
    int length = ::GetWindowTextLengthW(m_hWnd);
    if (length <= 0)
        return std::wstring();
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
    int got = ::GetWindowTextW(m_hWnd, buffer.data(), length + 1);
    return std::wstring(buffer.data(), got > 0 ? static_cast<size_t>(got) : 0);
}

std::wstring CWnd::GetDlgItemText(int id) const
{
    HWND item = ::GetDlgItem(m_hWnd, id);
    if (item == nullptr)
        return std::wstring();
    int length = ::GetWindowTextLengthW(item);
    if (length <= 0)
        return std::wstring();
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
    int got = ::GetWindowTextW(item, buffer.data(), length + 1);
    return std::wstring(buffer.data(), got > 0 ? static_cast<size_t>(got) : 0);
}

void CWnd::ScreenToClient(RECT* rect) const
{
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(rect), 2);
}

bool CWnd::DestroyWindow()
{
    if (m_hWnd == nullptr)
        return false;
    return ::DestroyWindow(m_hWnd);
}

bool ReflectToChild(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    HWND child = nullptr;
    switch (message) {
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_COMMAND: // null for menus and accelerators
        child = reinterpret_cast<HWND>(lParam);
        break;
    case WM_NOTIFY:
        if (lParam != 0)
            child = reinterpret_cast<const NMHDR*>(lParam)->hwndFrom;
        break;
    case WM_DRAWITEM:
        if (wParam != 0 && lParam != 0)
            child = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)->hwndItem;
        break;
    default:
        return false;
    }
    CWnd* control = CWnd::FromHandlePermanent(child);
    if (control == nullptr)
        return false;
    return control->OnReflectedMessage(message, wParam, lParam, result);
}

int CTabCtrl::InsertItem(int index, const std::wstring& text, LPARAM param)
{
    TCITEMW item{};
    item.mask = TCIF_TEXT | TCIF_PARAM;
    item.pszText = const_cast<wchar_t*>(text.c_str());
    item.lParam = param;
    return (int)SendMessage(TCM_INSERTITEMW, index, (LPARAM)&item);
}

int CComboBoxEx::InsertItem(int index, const std::wstring& text, int image, LPARAM param)
{
    COMBOBOXEXITEMW item{};
    item.mask = CBEIF_TEXT | CBEIF_IMAGE | CBEIF_SELECTEDIMAGE | CBEIF_LPARAM;
    item.iItem = index;
    item.pszText = const_cast<wchar_t*>(text.c_str());
    item.iImage = image;
    item.iSelectedImage = image;
    item.lParam = param;
    return InsertItem(&item);
}
