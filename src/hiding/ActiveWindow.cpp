#include "hiding/ActiveWindow.h"

#include "catalogue/WindowCatalogue.h"
#include "hiding/Hiding.h"
#include "hiding/ShowBatch.h"

HWND ActiveWindowToHide(const EngineTargets& targets)
{
    HWND front = GetForegroundWindow();
    if (front == nullptr || !IsWindow(front))
        return nullptr;
    // A dialog in front counts as the program's window that owns it: up
    // the owner chain (GetAncestor's root owner passes over the owner of a
    // window that is not a pop-up).
    HWND root = GetAncestor(front, GA_ROOT);
    if (root == nullptr)
        root = front;
    for (int depth = 0; depth < 32; ++depth) {
        HWND owner = GetWindow(root, GW_OWNER);
        if (owner == nullptr)
            break;
        root = owner;
    }
    if (targets.IsTopWindow(root) || targets.IsTopWindow(front))
        return nullptr;
    DWORD processId = 0;
    GetWindowThreadProcessId(root, &processId);
    if (processId == 0 || processId == GetCurrentProcessId())
        return nullptr;
    // The catalogue's own test leaves out the desktop, the taskbar, the
    // shell's other windows, windows not on screen and windows marked ours.
    if (root == GetDesktopWindow() || !IsCataloguedWindow(root, FindWindowW(L"Shell_TrayWnd", nullptr)))
        return nullptr;
    return root;
}

int HideActiveWindow(const EngineTargets& targets, HiddenWindows& hidden)
{
    HWND window = ActiveWindowToHide(targets);
    if (window == nullptr)
        return 0;
    ShowBatch batch(SW_HIDE);
    hidden.Push(window);
    batch.Issue(window);
    hidden.hiddenJournal.Save();
    const std::vector<HWND> late = batch.Settle();
    hidden.unsettled.insert(hidden.unsettled.end(), late.begin(), late.end());
    // The hide's own check: the windows it owns go with it, and a window
    // that refused is minimised instead or let be.
    const HideCheck check = FinishHide(targets, hidden);
    return 1 + check.ownedHidden - check.pushesNotHidden;
}
