#pragma once
// The window base class of the framework and thin wrappers over the standard
// controls. A wrapper either just refers to a window (Attach) or subclasses it
// (SubclassWindow, done by DDX_Control), in which case the window's messages
// reach the object's virtual WindowProc/OnMessage and the modal loop offers
// it PreTranslateMessage.
//
// The object belonging to a window is kept in a window property, never in
// GWLP_USERDATA: the main dialog stores its own mark there.
#include <windows.h>

#include <commctrl.h>

#include <string>

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;

    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // Refers to a window without taking over its messages.
    bool Attach(HWND hWnd);
    HWND Detach();

    // Takes over the window's messages: they go to WindowProc, which offers
    // them to OnMessage and passes the rest to the window's own procedure.
    bool SubclassWindow(HWND hWnd);
    bool SubclassDlgItem(int id, HWND parent);
    HWND UnsubclassWindow();

    // The object that subclassed or created `hWnd` with this framework, or
    // null for a window nobody here owns.
    static CWnd* FromHandlePermanent(HWND hWnd);

    // Offered every queued message aimed at this window or a descendant
    // before the dialog manager sees it; TRUE means "consumed".
    virtual BOOL PreTranslateMessage(MSG* pMsg);

    // Handler hook: return true when the message is handled, with `result`
    // as its result. The default handles nothing.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // A notification the parent got from this control, handed back to the
    // control first (WM_CTLCOLOR*, WM_COMMAND, WM_NOTIFY, WM_DRAWITEM).
    // Return true with `result` set to answer the parent's message.
    virtual bool OnReflectedMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // Timer ticks of SetTimer, when OnMessage did not take WM_TIMER.
    virtual void OnTimer(UINT_PTR nIDEvent);

    // The message procedure of subclassed windows.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // The window's own procedure (the one before subclassing).
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);

    // Plain helpers over the window functions.
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
    HWND GetParent() const { return ::GetParent(m_hWnd); }
    void SetWindowText(const std::wstring& text) { ::SetWindowTextW(m_hWnd, text.c_str()); }
    std::wstring GetWindowText() const;
    void SetDlgItemText(int id, const std::wstring& text) { ::SetDlgItemTextW(m_hWnd, id, text.c_str()); }
    std::wstring GetDlgItemText(int id) const;
    UINT IsDlgButtonChecked(int id) const { return ::IsDlgButtonChecked(m_hWnd, id); }
    void CheckDlgButton(int id, UINT check) { ::CheckDlgButton(m_hWnd, id, check); }
    LRESULT SendDlgItemMessage(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::SendDlgItemMessageW(m_hWnd, id, message, wParam, lParam);
    }
    BOOL ShowWindow(int cmd) { return ::ShowWindow(m_hWnd, cmd); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    BOOL EnableWindow(BOOL enable = TRUE) { return ::EnableWindow(m_hWnd, enable); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    void MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE)
    {
        ::MoveWindow(m_hWnd, x, y, width, height, repaint);
    }
    void MoveWindow(const RECT& rect, BOOL repaint = TRUE)
    {
        MoveWindow(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, repaint);
    }
    void GetWindowRect(RECT* rect) const { ::GetWindowRect(m_hWnd, rect); }
    void GetClientRect(RECT* rect) const { ::GetClientRect(m_hWnd, rect); }
    void ScreenToClient(RECT* rect) const;
    void Invalidate(BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, erase); }
    void UpdateWindow() { ::UpdateWindow(m_hWnd); }
    HWND SetFocus() { return ::SetFocus(m_hWnd); }
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::SendMessageW(m_hWnd, message, wParam, lParam);
    }
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::PostMessageW(m_hWnd, message, wParam, lParam);
    }
    UINT_PTR SetTimer(UINT_PTR id, UINT elapseMs) { return ::SetTimer(m_hWnd, id, elapseMs, nullptr); }
    BOOL KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }
    void SetFont(HFONT font, BOOL redraw = TRUE) { SendMessage(WM_SETFONT, (WPARAM)font, redraw); }
    HFONT GetFont() const { return (HFONT)SendMessage(WM_GETFONT); }
    HICON SetIcon(HICON icon, BOOL big)
    {
        return (HICON)SendMessage(WM_SETICON, big ? ICON_BIG : ICON_SMALL, (LPARAM)icon);
    }
    LONG_PTR GetStyle() const { return ::GetWindowLongPtrW(m_hWnd, GWL_STYLE); }
    bool DestroyWindow();

protected:
    // Called after the window got WM_NCDESTROY and the object let go of it.
    virtual void PostNcDestroy() {}
    // Called once SubclassWindow has taken the window over.
    virtual void PreSubclassWindow() {}

    // Makes the window find this object (window property).
    void BindHandle(HWND hWnd);
    void UnbindHandle();

private:
    static LRESULT CALLBACK SubclassProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    WNDPROC oldProc_ = nullptr;
};

// Asks the child control behind a parent's notification to answer it
// first (see CWnd::OnReflectedMessage). True when the child answered.
bool ReflectToChild(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

class CStatic : public CWnd {
public:
    HICON SetIcon(HICON icon) { return (HICON)SendMessage(STM_SETICON, (WPARAM)icon); }
    HBITMAP SetBitmap(HBITMAP bitmap) { return (HBITMAP)SendMessage(STM_SETIMAGE, IMAGE_BITMAP, (LPARAM)bitmap); }
};

class CButton : public CWnd {
public:
    int GetCheck() const { return (int)SendMessage(BM_GETCHECK); }
    void SetCheck(int check) { SendMessage(BM_SETCHECK, check); }
};

class CEdit : public CWnd {
public:
    void SetSel(int start, int end) { SendMessage(EM_SETSEL, start, end); }
    void SetReadOnly(BOOL readOnly = TRUE) { SendMessage(EM_SETREADONLY, readOnly); }
    void SetLimitText(UINT max) { SendMessage(EM_SETLIMITTEXT, max); }
};

class CTabCtrl : public CWnd {
public:
    // Inserts a text item at `index` with `param` as item data; the index
    // it got, or -1.
    int InsertItem(int index, const std::wstring& text, LPARAM param = 0);
    int GetCurSel() const { return (int)SendMessage(TCM_GETCURSEL); }
    int SetCurSel(int index) { return (int)SendMessage(TCM_SETCURSEL, index); }
    int GetItemCount() const { return (int)SendMessage(TCM_GETITEMCOUNT); }
    bool GetItemRect(int index, RECT* rect) const { return SendMessage(TCM_GETITEMRECT, index, (LPARAM)rect) != 0; }
};

class CComboBoxEx : public CWnd {
public:
    int InsertItem(const COMBOBOXEXITEMW* item) { return (int)SendMessage(CBEM_INSERTITEMW, 0, (LPARAM)item); }
    // Inserts text with one image for all its states; the index it got or -1.
    int InsertItem(int index, const std::wstring& text, int image, LPARAM param = 0);
    HIMAGELIST SetImageList(HIMAGELIST images) { return (HIMAGELIST)SendMessage(CBEM_SETIMAGELIST, 0, (LPARAM)images); }
    int GetCurSel() const { return (int)SendMessage(CB_GETCURSEL); }
    int SetCurSel(int index) { return (int)SendMessage(CB_SETCURSEL, index); }
    int GetCount() const { return (int)SendMessage(CB_GETCOUNT); }
    void ResetContent() { SendMessage(CB_RESETCONTENT); }
};
