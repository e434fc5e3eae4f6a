#pragma once
// What one instance has hidden: the windows in the order it hid them and the
// journal that keeps the same list on disk for whoever restores after our
// death. Its owner guards it with one lock (the engine's engineLock).
#include <windows.h>

#include "catalogue/EnArray.h"
#include "recovery/HiddenJournal.h"

struct HiddenWindows {
    // Handles hidden since the last restore, in the order they were hidden;
    // a handle may appear more than once.
    CEnArray<HWND> hiddenStack;
    HiddenJournal hiddenJournal;

    // Marks and journals `window`, then stacks it: a window we hide is never
    // unknown to whoever restores after our death.
    void Push(HWND window)
    {
        hiddenJournal.NoteHiding(window);
        hiddenStack.Add(window);
    }
    bool IsEmpty() const { return hiddenStack.IsEmpty(); }
};
