#include "engine/HideSession.h"

#include <algorithm>
#include <mutex>
#include <utility>
#include <vector>

#include "actions/Display.h"
#include "actions/NotifyArea.h"
#include "actions/TrayIconPort.h"
#include "actions/Unmute.h"
#include "catalogue/Catalogues.h"
#include "hiding/ActiveWindow.h"
#include "hiding/Hiding.h"
#include "system/ProcessInfo.h"

HideOperations DefaultHideOperations()
{
    HideOperations ops{};
    // A refresher at work keeps the catalogue current; a resting one leaves
    // it to the hide.
    ops.rebuildWindowCatalogue = [](Catalogues& catalogues) {
        if (catalogues.windowRefresher.Resting())
            catalogues.windowCatalogue.Refresh();
    };
    ops.hideChosenWindows = HideChosenWindows;
    ops.hideProcessWindows = HideProcessWindows;
    ops.hideFileWindows = HideFileWindows;
    ops.hideRuleWindows = HideRuleWindows;
    ops.hideActiveWindow = HideActiveWindow;
    ops.bringTopWindow = BringTopWindow;
    ops.restoreHidden = RestoreHidden;
    ops.finishHide = FinishHide;
    ops.watchHidden = WatchWhileHidden;
    ops.noteNotHidden = [](TrayIconPort* trayIcon, int windows) {
        if (trayIcon != nullptr)
            trayIcon->NoteNotHidden(windows);
    };
    return ops;
}

SideActionOperations DefaultSideActionOperations()
{
    SideActionOperations ops{};
    ops.setVolumeMute = [](VolumeMute& volume, bool mute) { volume.SetVolumeMute(mute); };
    ops.muteHiddenPrograms = [](VolumeMute& volume, const std::vector<std::wstring>& executables) {
        return volume.MuteSessionsOf(executables);
    };
    ops.lockWorkStation = []() -> BOOL { return LockWorkStation(); };
    ops.startScreensaver = [] { StartScreensaver(); };
    ops.applyStoredDisplayMode = [](const DisplayMode& mode) -> LONG { return ApplyStoredDisplayMode(mode); };
    ops.hideNotificationArea = [](bool hide, const OwnTrayIcon& own) { return HideNotificationArea(hide, own); };
    ops.executablesOfWindows = [](const std::vector<HWND>& windows) {
        std::vector<DWORD> processes;
        std::vector<std::wstring> paths;
        for (HWND window : windows) {
            DWORD processId = 0;
            if (GetWindowThreadProcessId(window, &processId) == 0 ||
                std::find(processes.begin(), processes.end(), processId) != processes.end())
                continue;
            processes.push_back(processId);
            std::wstring path;
            if (ExecutablePathOfProcess(processId, path)) {
                path = UpperCasePath(path);
                if (std::find(paths.begin(), paths.end(), path) == paths.end())
                    paths.push_back(std::move(path));
            }
        }
        return paths;
    };
    return ops;
}

CHideSession::CHideSession(const HideOperations& hide, const SideActionOperations& sideActions, TrayIconPort* trayIcon)
    : hide_(hide), sideActions_(sideActions), trayIcon_(trayIcon), volume_(std::make_shared<VolumeMute>())
{
    // A program the watch hides later goes quiet too, when only the hidden
    // programs are muted.
    hidden_.programHidden = [volume = volume_](DWORD processId) { volume->AddHiddenProgram(processId); };
}

void CHideSession::Hide(const SettingData& settings, const RunChoices& choices, const EngineTargets& targets)
{
    int count = 0;
    HideCheck check;
    unsigned restoresSeen = 0;
    {
        // The refresher must not rebuild the catalogue while it is walked.
        std::lock_guard<CCriticalSection> engineGuard(engineLock);
        std::unique_lock<CCriticalSection> windowGuard;
        if (targets.catalogues != nullptr) {
            windowGuard = std::unique_lock<CCriticalSection>(targets.catalogues->windowLock);
            // The catalogue rests while the dialog is hidden: rebuilt here,
            // for this hide alone, before it is walked.
            hide_.rebuildWindowCatalogue(*targets.catalogues);
        }
        count += hide_.hideChosenWindows(targets, hidden_);
        count += hide_.hideProcessWindows(targets, hidden_);
        count += hide_.hideFileWindows(targets, hidden_);
        if (hide_.hideRuleWindows)
            count += hide_.hideRuleWindows(targets, hidden_);
        if (hide_.finishHide)
            check = hide_.finishHide(targets, hidden_);
        restoresSeen = restores_;
    }
    // A window still in view is not counted as hidden.
    count += check.ownedHidden - check.pushesNotHidden;
    hide_.bringTopWindow(targets);
    if (hide_.noteNotHidden && check.NotHidden() > 0) {
        hide_.noteNotHidden(trayIcon_, check.NotHidden());
        notHiddenNoted_.store(true);
    }
    if (hide_.watchHidden &&
        (count > 0 || !targets.processes.empty() || !targets.files.empty() || !targets.rules.empty()))
        hide_.watchHidden(watch_, targets, hidden_, engineLock);
    // Locking or blanking the screen only makes sense when something was
    // hidden, or at least minimised.
    if (count + check.minimised > 0)
        ApplySideActions(settings, choices, restoresSeen);
}

int CHideSession::HideWindowInFront(const EngineTargets& targets)
{
    if (hide_.hideActiveWindow == nullptr)
        return 0;
    std::lock_guard<CCriticalSection> guard(engineLock);
    return hide_.hideActiveWindow(targets, hidden_);
}

void CHideSession::ApplySideActions(const SettingData& settings, const RunChoices& choices, unsigned restoresSeen)
{
    // Asked before the lock is taken: it opens every hidden window's process.
    std::vector<std::wstring> executables;
    if (settings.muteVolume && choices.muteHiddenOnly) {
        std::vector<HWND> windows;
        {
            std::lock_guard<CCriticalSection> guard(engineLock);
            for (int i = 0; i < hidden_.hiddenStack.GetSize(); ++i)
                windows.push_back(hidden_.hiddenStack[i]);
        }
        executables = sideActions_.executablesOfWindows(windows);
    }

    // The mute is taken under engineLock and noted under it once done: a
    // restore from another thread (the session's end) finds it either taken
    // or not begun and never to begin. The audio service may keep us
    // waiting, so the mute itself runs without engineLock; a restore
    // meanwhile waits for the mute's own lock and undoes it.
    if (settings.muteVolume) {
        {
            std::lock_guard<CCriticalSection> guard(engineLock);
            if (restores_ != restoresSeen)
                return; // the windows are back already
            muteRequested_ = true;
        }
        if (!choices.muteHiddenOnly || !sideActions_.muteHiddenPrograms(*volume_, executables))
            sideActions_.setVolumeMute(*volume_, true);
        bool restoredMeanwhile = false;
        {
            std::lock_guard<CCriticalSection> guard(engineLock);
            restoredMeanwhile = restores_ != restoresSeen;
            if (!restoredMeanwhile)
                NoteSideActions();
        }
        if (restoredMeanwhile) {
            // Its unmute may have come before our mute: undone here, once more.
            sideActions_.setVolumeMute(*volume_, false);
            return;
        }
    }

    // The notification area is taken and noted under engineLock in one
    // step; it waits on nobody (the shell's windows are changed
    // asynchronously).

    // The calls that may wait on the system (the lock, the screensaver, a
    // display mode change) run without engineLock, so that the session's end
    // or the tray is never held up by them. None of them is undone.
    if (settings.lockComputer)
        sideActions_.lockWorkStation();
    if (settings.startScreensaver)
        sideActions_.startScreensaver();
    if (settings.restoreResolution)
        sideActions_.applyStoredDisplayMode(choices.storedDisplayMode != nullptr ? *choices.storedDisplayMode
                                                                                 : DisplayMode{});

    if (settings.hideNotifyArea) {
        std::lock_guard<CCriticalSection> guard(engineLock);
        if (restores_ != restoresSeen)
            return;
        // A shell without the area's windows: nothing done, nothing noted.
        const OwnTrayIcon own{trayIcon_, settings.trayIcon, settings.hideOwnIcon != 0};
        if (sideActions_.hideNotificationArea(true, own)) {
            notifyAreaHidden_ = true;
            notifyAreaTray_ = own;
            NoteSideActions();
        }
    }
}

void CHideSession::NoteSideActions()
{
    // Whoever restores after our death must know what to undo.
    hidden_.hiddenJournal.NoteSideActions(volume_->State(), notifyAreaHidden_);
    hidden_.hiddenJournal.Save();
}

int CHideSession::RestoreEverything(bool onHelperThread)
{
    // Nothing may be hidden behind the restore's back.
    watch_.Stop();
    // Each side action is taken over under the lock and undone once, by
    // whichever thread restores first; a hide still busy with its side
    // actions sees the count change and adds none after this.
    bool unmute = false;
    bool showNotifyArea = false;
    OwnTrayIcon own;
    {
        std::lock_guard<CCriticalSection> guard(engineLock);
        ++restores_;
        std::swap(unmute, muteRequested_);
        std::swap(showNotifyArea, notifyAreaHidden_);
        own = notifyAreaTray_;
    }
    if (unmute) {
        if (onHelperThread)
            UndoOwnMute(volume_, sideActions_.setVolumeMute);
        else
            sideActions_.setVolumeMute(*volume_, false);
    }
    if (showNotifyArea)
        sideActions_.hideNotificationArea(false, own);
    if (notHiddenNoted_.exchange(false) && hide_.noteNotHidden)
        hide_.noteNotHidden(trayIcon_, 0);
    std::lock_guard<CCriticalSection> guard(engineLock);
    return hide_.restoreHidden(hidden_);
}

bool CHideSession::HoldsHiddenWindows()
{
    std::lock_guard<CCriticalSection> guard(engineLock);
    return !hidden_.IsEmpty();
}
