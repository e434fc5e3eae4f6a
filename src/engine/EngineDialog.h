#pragma once
#include <windows.h>

// What the engine thread needs of the main dialog: bring it back when the
// show-dialog chord or the tray's "Setting..." ends the engine, and close it
// for "Restore && Exit". The main dialog implements DialogWindow(); the other
// operations default to the plain window calls on that handle and are
// virtual so that tests can watch them.
class EngineDialog {
public:
    virtual ~EngineDialog() = default;

    // The dialog's window, or null while it has none.
    virtual HWND DialogWindow() const = 0;

    // Called from the engine thread, in this order, when the engine hands the
    // user back the dialog.
    virtual void EngineShowDialog() { Call([](HWND w) { ShowWindow(w, SW_SHOW); }); }
    virtual void EngineRestoreDialog() { Call([](HWND w) { ShowWindow(w, SW_RESTORE); }); }
    virtual void EngineForegroundDialog() { Call([](HWND w) { SetForegroundWindow(w); }); }
    virtual void EngineRepaintDialog() { Call([](HWND w) { InvalidateRect(w, nullptr, TRUE); }); }

    // A close request, handled on the dialog's own thread as its Exit button.
    virtual void PostCloseDialog() { Call([](HWND w) { PostMessageW(w, WM_CLOSE, 0, 0); }); }

    // Whether the dialog is on screen (the tray greys its engine commands then).
    virtual bool DialogVisible() const
    {
        const HWND w = DialogWindow();
        return w && IsWindowVisible(w);
    }

private:
    template <class F>
    void Call(F f) const
    {
        if (const HWND w = DialogWindow())
            f(w);
    }
};

// The running main dialog, set by start-up for the modal loop's lifetime;
// null before and after.
extern EngineDialog* mainDialog;
