#pragma once
// What one instance has hidden: the windows in the order it hid them and the
// journal that keeps the same list on disk for whoever restores after our
// death. Its owner guards it with one lock (the engine's engineLock).
#include <windows.h>

#include <functional>
#include <unordered_set>
#include <vector>

#include "framework/EnArray.h"
#include "recovery/HiddenJournal.h"

struct HiddenWindows {
    // Handles hidden since the last restore, in the order they were hidden;
    // a handle may appear more than once.
    CEnArray<HWND> hiddenStack;
    HiddenJournal hiddenJournal;

    // Windows of the stack that stayed in view and were minimised instead:
    // they come back from minimised.
    std::unordered_set<HWND> minimised;
    // Windows that could be neither hidden nor minimised: left as they are,
    // and no longer on the stack.
    std::unordered_set<HWND> leftInView;
    // Windows on the stack because their owner was hidden: shown after it.
    std::unordered_set<HWND> owned;
    // Windows whose hide had not taken when the hide stopped waiting: the
    // hide's check looks at them again.
    std::vector<HWND> unsettled;
    // Told of the process of each window the watch hides after the hide,
    // outside the lock (the owner mutes that program's sound too). Set once
    // by the owner before any hide.
    std::function<void(DWORD processId)> programHidden;

    // Marks and journals `window`, then stacks it: a window we hide is never
    // unknown to whoever restores after our death.
    void Push(HWND window)
    {
        hiddenJournal.NoteHiding(window);
        hiddenStack.Add(window);
    }
    bool IsEmpty() const { return hiddenStack.IsEmpty(); }
    // After a restore: nothing is hidden any more.
    void Forget()
    {
        hiddenStack.RemoveAll();
        minimised.clear();
        leftInView.clear();
        owned.clear();
        unsettled.clear();
    }
};
