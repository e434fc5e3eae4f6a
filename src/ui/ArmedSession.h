#pragma once
// The armed session as the main dialog sees it. The dialog saves its pages
// and hides or shows itself; what being armed means for the rest of the
// program (the engine's run, the refreshers at rest, the tray icon out or
// in) is the application's, which hands the dialog its own.
#include <windows.h>

class ArmedSessionPort {
public:
    virtual ~ArmedSessionPort() = default;

    // Starts the engine on the saved settings and the choices of the moment;
    // its requests go to `dialog`. False when no engine could start: then no
    // hotkey could bring the dialog back.
    virtual bool Arm(HWND dialog) = 0;

    // The dialog is being shown (true: the run, ended or ending, is let go)
    // or hidden (false).
    virtual void DialogShown(bool shown) = 0;
};
