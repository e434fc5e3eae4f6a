#include "framework/Dialog.h"

#include <mutex>

#include "framework/Dpi.h"

namespace {

// The template controls (tab strip, extended combo box, list views) need
// their window classes registered before a dialog is built from a template.
void EnsureCommonControls()
{
    static std::once_flag once;
    std::call_once(once, [] {
        INITCOMMONCONTROLSEX init{sizeof(init), ICC_WIN95_CLASSES | ICC_TAB_CLASSES | ICC_USEREX_CLASSES |
                                                    ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
        ::InitCommonControlsEx(&init);
    });
}

HINSTANCE ResourceInstance()
{
    return ::GetModuleHandleW(nullptr);
}

bool IsColourMessage(UINT message)
{
    return message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC;
}

// Messages whose answer a dialog procedure returns directly instead of
// through DWLP_MSGRESULT.
bool ReturnsDirectly(UINT message)
{
    return IsColourMessage(message) || message == WM_COMPAREITEM || message == WM_VKEYTOITEM ||
           message == WM_CHARTOITEM || message == WM_QUERYDRAGICON || message == WM_INITDIALOG;
}

} // namespace

void DDX_Control(CDataExchange* pDX, int id, CWnd& control)
{
    if (control.m_hWnd != nullptr)
        return;
    control.SubclassDlgItem(id, pDX->m_pDlgWnd->m_hWnd);
}

void DDX_Check(CDataExchange* pDX, int id, int& value)
{
    CDialog* dialog = pDX->m_pDlgWnd;
    if (pDX->m_bSaveAndValidate)
        value = dialog->IsDlgButtonChecked(id) == BST_CHECKED ? 1 : 0;
    else
        dialog->CheckDlgButton(id, value != 0 ? BST_CHECKED : BST_UNCHECKED);
}

CDialog::CDialog(UINT templateId, CWnd* parent) : templateId_(templateId), parent_(parent)
{
}

CDialog::~CDialog()
{
    // The derived parts are gone: the window's last messages must not
    // reach them, so the object lets go of the window before destroying it.
    const HWND hWnd = m_hWnd;
    if (hWnd == nullptr)
        return;
    UnbindHandle();
    m_hWnd = nullptr;
    if (::IsWindow(hWnd))
        ::DestroyWindow(hWnd);
}

INT_PTR CDialog::DoModal()
{
    return DoModalFrom(nullptr);
}

INT_PTR CDialog::DoModalIndirect(const DLGTEMPLATE* dialogTemplate)
{
    if (dialogTemplate == nullptr)
        return -1;
    return DoModalFrom(dialogTemplate);
}

INT_PTR CDialog::DoModalFrom(const DLGTEMPLATE* dialogTemplate)
{
    if (m_hWnd != nullptr)
        return -1;
    EnsureCommonControls();
    HWND owner = parent_ != nullptr ? parent_->m_hWnd : nullptr;
    modal_ = true;
    endModal_ = false;
    modalResult_ = -1;
    const LPARAM self = reinterpret_cast<LPARAM>(this);
    HWND hWnd = dialogTemplate != nullptr ? ::CreateDialogIndirectParamW(ResourceInstance(), dialogTemplate, owner,
                                                                         &CDialog::DialogProc, self)
                                          : ::CreateDialogParamW(ResourceInstance(), MAKEINTRESOURCEW(templateId_),
                                                                 owner, &CDialog::DialogProc, self);
    if (hWnd == nullptr) {
        modal_ = false;
        return -1;
    }
    return RunModalLoop(owner);
}

INT_PTR CDialog::RunModalLoop(HWND owner)
{
    bool ownerDisabled = false;
    if (owner != nullptr && ::IsWindowEnabled(owner)) {
        ::EnableWindow(owner, FALSE);
        ownerDisabled = true;
    }
    if (!endModal_ && m_hWnd != nullptr && !::IsWindowVisible(m_hWnd))
        ::ShowWindow(m_hWnd, SW_SHOWNORMAL);

    MSG msg;
    while (!endModal_ && m_hWnd != nullptr) {
        BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1)
            break;
        if (got == 0) {
            // Someone asked the thread to quit: leave the loop and pass the
            // request on to whoever runs the loop outside this one.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (!RoutePreTranslate(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }

    if (ownerDisabled)
        ::EnableWindow(owner, TRUE);
    if (m_hWnd != nullptr && ::IsWindow(m_hWnd)) {
        if (owner != nullptr && ::GetActiveWindow() == m_hWnd)
            ::SetActiveWindow(owner);
        ::DestroyWindow(m_hWnd);
    }
    modal_ = false;
    return modalResult_;
}

bool CDialog::RoutePreTranslate(MSG* msg)
{
    // From the target window up to its top-level window: controls first,
    // then the pages that hold them, then the dialog (whose turn runs the
    // dialog manager).
    for (HWND hWnd = msg->hwnd; hWnd != nullptr;) {
        CWnd* wnd = CWnd::FromHandlePermanent(hWnd);
        if (wnd != nullptr && wnd->PreTranslateMessage(msg))
            return true;
        if ((::GetWindowLongPtrW(hWnd, GWL_STYLE) & WS_CHILD) == 0)
            break;
        hWnd = ::GetParent(hWnd);
    }
    return false;
}

BOOL CDialog::PreTranslateMessage(MSG* pMsg)
{
    // Only the top-level dialog runs the dialog manager; its pages are
    // control parents inside it, so keyboard navigation covers them too.
    if (m_hWnd == nullptr || (GetStyle() & WS_CHILD) != 0)
        return FALSE;
    return ::IsDialogMessageW(m_hWnd, pMsg);
}

bool CDialog::Create(UINT templateId, CWnd* parent)
{
    if (m_hWnd != nullptr)
        return false;
    EnsureCommonControls();
    templateId_ = templateId;
    parent_ = parent;
    modal_ = false;
    HWND hWnd = ::CreateDialogParamW(ResourceInstance(), MAKEINTRESOURCEW(templateId),
                                     parent != nullptr ? parent->m_hWnd : nullptr, &CDialog::DialogProc,
                                     reinterpret_cast<LPARAM>(this));
    if (hWnd == nullptr)
        return false;
    if ((::GetWindowLongPtrW(hWnd, GWL_STYLE) & WS_CHILD) != 0)
        ::SetWindowLongPtrW(hWnd, GWL_EXSTYLE, ::GetWindowLongPtrW(hWnd, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
    return true;
}

bool CDialog::CreateIndirect(const DLGTEMPLATE* dialogTemplate, CWnd* parent)
{
    if (m_hWnd != nullptr || dialogTemplate == nullptr)
        return false;
    EnsureCommonControls();
    parent_ = parent;
    modal_ = false;
    HWND hWnd =
        ::CreateDialogIndirectParamW(ResourceInstance(), dialogTemplate, parent != nullptr ? parent->m_hWnd : nullptr,
                                     &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    if (hWnd == nullptr)
        return false;
    if ((::GetWindowLongPtrW(hWnd, GWL_STYLE) & WS_CHILD) != 0)
        ::SetWindowLongPtrW(hWnd, GWL_EXSTYLE, ::GetWindowLongPtrW(hWnd, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
    return true;
}

void CDialog::EndDialog(int result)
{
    if (modal_) {
        modalResult_ = result;
        endModal_ = true;
        // Wake the loop if it is waiting for a message.
        if (m_hWnd != nullptr)
            ::PostMessageW(m_hWnd, WM_NULL, 0, 0);
        return;
    }
    DestroyWindow();
}

bool CDialog::UpdateData(bool saveAndValidate)
{
    if (m_hWnd == nullptr)
        return false;
    CDataExchange dx(this, saveAndValidate);
    DoDataExchange(&dx);
    return true;
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(false);
    return TRUE;
}

void CDialog::OnOK()
{
    if (!UpdateData(true))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

void CDialog::DoDataExchange(CDataExchange*)
{
}

BOOL CDialog::OnCommand(WPARAM wParam, LPARAM)
{
    if (HIWORD(wParam) != BN_CLICKED && HIWORD(wParam) != 1 /* accelerator */)
        return FALSE;
    // Enter and Escape belong to the top-level dialog; a page inside it is
    // never ended by them.
    if ((GetStyle() & WS_CHILD) != 0)
        return FALSE;
    switch (LOWORD(wParam)) {
    case IDOK:
        OnOK();
        return TRUE;
    case IDCANCEL:
        OnCancel();
        return TRUE;
    default:
        return FALSE;
    }
}

BOOL CDialog::OnNotify(WPARAM, LPARAM, LRESULT*)
{
    return FALSE;
}

void CDialog::PostNcDestroy()
{
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<CDialog*>(lParam);
        if (self == nullptr)
            return TRUE;
        self->BindHandle(hWnd);
        self->dpi_ = DpiForWindow(hWnd);
        return self->OnInitDialog();
    }
    auto* self = static_cast<CDialog*>(CWnd::FromHandlePermanent(hWnd));
    if (self == nullptr)
        return FALSE;
    if (message == WM_NCDESTROY) {
        self->UnbindHandle();
        self->m_hWnd = nullptr;
        self->endModal_ = true;
        self->PostNcDestroy();
        return FALSE;
    }
    return self->HandleMessage(message, wParam, lParam);
}

INT_PTR CDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND hWnd = m_hWnd;
    LRESULT result = 0;
    // A control answers its own notifications first (a link colours itself).
    bool handled = ReflectToChild(message, wParam, lParam, result);
    if (!handled)
        handled = OnMessage(message, wParam, lParam, result);
    if (!handled) {
        switch (message) {
        case WM_COMMAND:
            handled = OnCommand(wParam, lParam) != FALSE;
            result = 0;
            break;
        case WM_NOTIFY:
            handled = OnNotify(wParam, lParam, &result) != FALSE;
            break;
        case WM_TIMER:
            OnTimer(wParam);
            handled = true;
            break;
        case WM_DPICHANGED:
            // Left unhandled as well, so that the dialog manager still gives
            // the controls their font for the new scale.
            if ((GetStyle() & WS_CHILD) == 0)
                TakeDpiChange(wParam, lParam);
            break;
        default:
            break;
        }
    }
    if (!handled)
        return FALSE;
    if (ReturnsDirectly(message))
        return static_cast<INT_PTR>(result);
    if (::IsWindow(hWnd))
        ::SetWindowLongPtrW(hWnd, DWLP_MSGRESULT, result);
    return TRUE;
}

void CDialog::OnDpiChanged(UINT dpi)
{
    dpi_ = dpi;
}

void CDialog::TakeDpiChange(WPARAM wParam, LPARAM lParam)
{
    // The system suggests where the window goes so that it stays under the
    // mouse on the new monitor; both halves of wParam carry the same DPI.
    if (const auto* suggested = reinterpret_cast<const RECT*>(lParam)) {
        ::SetWindowPos(m_hWnd, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                       suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    const UINT dpi = HIWORD(wParam);
    if (dpi != 0)
        OnDpiChanged(dpi);
}

bool CDialog::ColourStaticText(int controlId, COLORREF colour, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (::GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) != controlId)
        return false;
    result = ::DefWindowProcW(m_hWnd, WM_CTLCOLORSTATIC, wParam, lParam);
    ::SetTextColor(reinterpret_cast<HDC>(wParam), colour);
    return true;
}
