#pragma once
// Dialogs from resource templates: modal ones that run their own message loop,
// and child pages created inside another dialog.
//
// The modal loop offers every queued message first to PreTranslateMessage of
// each wrapper object from the target window up to the dialog (so a control
// such as a hotkey field sees WM_KEYDOWN for Tab, Enter and Escape), and only
// then to the dialog manager (IsDialogMessage).
//
// Message handling of a dialog, in order: notifications reflected to the
// child control that sent them (a link colours itself), then OnMessage (the
// handler hook), then the built-in routes: WM_COMMAND -> OnCommand (IDOK ->
// OnOK, IDCANCEL -> OnCancel), WM_NOTIFY -> OnNotify, WM_TIMER -> OnTimer.
#include "framework/Controls.h"
#include "framework/Dpi.h"

class CDialog;

// Data exchange, light: binding controls to wrapper objects and moving check
// box states. `m_bSaveAndValidate` is true when reading from the controls.
class CDataExchange {
public:
    CDataExchange(CDialog* dialog, bool saveAndValidate) : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}
    CDialog* m_pDlgWnd;
    bool m_bSaveAndValidate;
};

// Subclasses control `id` of the dialog with `control` the first time.
void DDX_Control(CDataExchange* pDX, int id, CWnd& control);
// Check box state to or from `value` (reading gives 0 or 1; writing ticks
// the box for any non-zero value).
void DDX_Check(CDataExchange* pDX, int id, int& value);

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId = 0, CWnd* parent = nullptr);
    ~CDialog() override;

    UINT GetTemplateId() const { return templateId_; }

    // Runs the dialog modally; returns the value given to EndDialog, or -1
    // when the dialog could not be created.
    INT_PTR DoModal();
    // Same, from a template in memory.
    INT_PTR DoModalIndirect(const DLGTEMPLATE* dialogTemplate);

    // Creates the dialog modeless: a child page when the template has the
    // child style. The page becomes a control parent so that Tab moves
    // through its controls as part of the parent dialog.
    bool Create(UINT templateId, CWnd* parent = nullptr);
    bool CreateIndirect(const DLGTEMPLATE* dialogTemplate, CWnd* parent = nullptr);

    // Ends the modal loop with `result` (destroys a modeless dialog).
    void EndDialog(int result);
    bool IsModal() const { return modal_; }

    // DoDataExchange runs with the direction given; false fills the controls.
    bool UpdateData(bool saveAndValidate = true);

    // Creates the bindings (UpdateData(false)); TRUE lets the dialog
    // manager put the focus on the first control.
    virtual BOOL OnInitDialog();
    virtual void OnOK();     // UpdateData(true), then EndDialog(IDOK)
    virtual void OnCancel(); // EndDialog(IDCANCEL)
    virtual void DoDataExchange(CDataExchange* pDX);
    // WM_COMMAND; the default maps IDOK and IDCANCEL. TRUE when handled.
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    // WM_NOTIFY; TRUE when handled, with *result as the answer.
    virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result);

    // The DPI the dialog is laid out for: its window's when it was created,
    // then the one of each DPI change.
    UINT GetDpi() const { return dpi_; }
    // The dialog now shows at `dpi` (a top-level dialog has already taken
    // the size the system suggested): make again what was made for the old
    // scale. Only top-level dialogs hear of it by themselves; they pass it on
    // to their pages. The base stores the DPI.
    virtual void OnDpiChanged(UINT dpi);

    BOOL PreTranslateMessage(MSG* pMsg) override;

protected:
    // For WM_CTLCOLORSTATIC: when the static asking is `controlId`, draws its
    // text in `colour` over the dialog's own background and returns true with
    // the brush in `result`; otherwise returns false and changes nothing.
    bool ColourStaticText(int controlId, COLORREF colour, WPARAM wParam, LPARAM lParam, LRESULT& result);

    void PostNcDestroy() override;

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // Creates the dialog from `dialogTemplate`, or from the template id
    // when that is null, and runs it modally.
    INT_PTR DoModalFrom(const DLGTEMPLATE* dialogTemplate);
    INT_PTR RunModalLoop(HWND owner);
    bool RoutePreTranslate(MSG* msg);
    void TakeDpiChange(WPARAM wParam, LPARAM lParam);

    UINT templateId_;
    CWnd* parent_;
    bool modal_ = false;
    bool endModal_ = false;
    int modalResult_ = -1;
    UINT dpi_ = kBaseDpi;
};
