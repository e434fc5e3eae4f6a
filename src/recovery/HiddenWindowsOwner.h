#pragma once
// What the guards need of whoever hides windows (the engine, which
// implements this): the journal of what it hid, and the one way back.
#include "recovery/HiddenJournal.h"

class HiddenWindowsOwner {
public:
    virtual ~HiddenWindowsOwner() = default;

    // The journal of the windows hidden now, kept beside "setting.dat".
    virtual HiddenJournal& Journal() = 0;

    // Undoes the side actions in force and shows every hidden window.
    // `onHelperThread`: unmute on a thread of its own (for callers whose COM
    // apartment must stay untouched). The number of windows shown. Any thread.
    virtual int RestoreEverything(bool onHelperThread) = 0;
};
