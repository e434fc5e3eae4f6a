#pragma once
// The hide session: what a hide leaves behind until the restore. It hides
// the chosen windows, carries out the side actions, undoes them and shows the
// windows again, and keeps the state they share: the hidden windows with
// their journal, the side actions in force and the watch that keeps hidden
// what appears while hidden.
//
// Threads: the engine thread hides and restores; the tray, the session's end
// and a fault restore from other threads. What they share is behind
// engineLock, which is held only around short work that never waits on
// another program for long. engineLock comes before the catalogues'
// windowLock (catalogue/Catalogues.h).
#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "actions/Display.h"
#include "actions/NotifyArea.h"
#include "actions/TrayIconPort.h"
#include "actions/Volume.h"
#include "framework/Sync.h"
#include "hiding/EngineTargets.h"
#include "hiding/HiddenWatch.h"
#include "hiding/HiddenWindows.h"
#include "hiding/Hiding.h"
#include "hiding/RuleHiding.h"
#include "settings/HotkeyChord.h"
#include "settings/SettingData.h"

// The hide and the restore. The defaults (DefaultHideOperations) are the
// real operations.
struct HideOperations {
    // Rebuilds the window catalogue for a hide, unless its refresher keeps
    // it current; its windowLock is held.
    void (*rebuildWindowCatalogue)(Catalogues& catalogues);

    int (*hideChosenWindows)(const EngineTargets& targets, HiddenWindows& hidden);
    int (*hideProcessWindows)(const EngineTargets& targets, HiddenWindows& hidden);
    int (*hideFileWindows)(const EngineTargets& targets, HiddenWindows& hidden);
    // The title and class rules, after the files. Null: no rule hides.
    int (*hideRuleWindows)(const EngineTargets& targets, HiddenWindows& hidden);
    // The window in front joins the hidden windows (the hide-the-active-
    // window chord). Null: the chord hides nothing.
    int (*hideActiveWindow)(const EngineTargets& targets, HiddenWindows& hidden);
    int (*bringTopWindow)(const EngineTargets& targets);
    int (*restoreHidden)(HiddenWindows& hidden);
    // After the three hides: the owned windows, and what did not hide. Null:
    // nothing to check.
    HideCheck (*finishHide)(const EngineTargets& targets, HiddenWindows& hidden);
    // Keeps hidden what appears while hidden, until the restore. Null: no watch.
    void (*watchHidden)(HiddenWatch& watch, const EngineTargets& targets, HiddenWindows& hidden,
                        CCriticalSection& lock);
    // Tells the user, quietly, through the tray icon (null: none) how many
    // windows are still in view (0: none, back to normal). Null: nobody is told.
    void (*noteNotHidden)(TrayIconPort* trayIcon, int windows);
};

// The side actions of a hide and their undoing. The defaults
// (DefaultSideActionOperations) are the real ones.
struct SideActionOperations {
    void (*setVolumeMute)(VolumeMute& volume, bool mute);
    // Mutes the sessions of programs running one of `executables`; false
    // when sessions cannot be listed (the whole output is muted instead).
    bool (*muteHiddenPrograms)(VolumeMute& volume, const std::vector<std::wstring>& executables);
    BOOL (*lockWorkStation)();
    void (*startScreensaver)();
    LONG (*applyStoredDisplayMode)(const DisplayMode& storedDisplayMode);
    // True when it was done: a shell without the notification area's
    // windows is left alone, and then nothing is to be undone.
    bool (*hideNotificationArea)(bool hide, const OwnTrayIcon& own);
    // The executable paths (upper-cased) of the processes of `windows`,
    // each once.
    std::vector<std::wstring> (*executablesOfWindows)(const std::vector<HWND>& windows);
};

HideOperations DefaultHideOperations();
SideActionOperations DefaultSideActionOperations();

// What a hide takes beyond the settings record: the choice kept outside
// "setting.dat" and the display mode read at start-up.
struct RunChoices {
    // The application's, read once at start-up and never changed after;
    // null: no mode known.
    const DisplayMode* storedDisplayMode = nullptr;
    // Mute only the programs whose windows were hidden.
    bool muteHiddenOnly = false;
    // Hides the window in front; empty: no such chord.
    HotkeyChord hideActiveChord{};
};

class CHideSession {
public:
    // The tables are the engine's, which tests swap before a run. The tray
    // icon (null: none) tells of windows left in view and is put back when
    // the notification area comes back; it outlives the session.
    CHideSession(const HideOperations& hide, const SideActionOperations& sideActions, TrayIconPort* trayIcon);
    CHideSession(const CHideSession&) = delete;
    CHideSession& operator=(const CHideSession&) = delete;

    // The hide sequence, on the engine thread: the three hides, the top
    // window, the watch and, when something was hidden or minimised, the
    // side actions `settings` ask for.
    void Hide(const SettingData& settings, const RunChoices& choices, const EngineTargets& targets);

    // The one way back: undoes the side actions in force (the mute, the
    // hidden notification area) and shows every hidden window, the first
    // hidden in front. `onHelperThread`: unmute on a thread of its own (for
    // callers whose COM apartment must stay untouched). Returns the number
    // of windows shown. Any thread.
    int RestoreEverything(bool onHelperThread);

    // The hide-the-active-window chord, on the engine thread: the window in
    // front joins the hidden windows under engineLock, with no side action.
    // Returns how many windows were hidden.
    int HideWindowInFront(const EngineTargets& targets);

    // Stops keeping hidden what appears: whatever the watch would still
    // hide is the coming restore's too.
    void StopWatch() { watch_.Stop(); }

    // Whether windows are hidden right now (the tray's menu texts).
    bool HoldsHiddenWindows();

    // The journal, for start-up's recovery guard.
    HiddenJournal& Journal() { return hidden_.hiddenJournal; }

    // Guards the hidden windows, the journal and the side actions in force.
    CCriticalSection engineLock;

private:
    // The hide's side actions, after the windows are gone. `restoresSeen`:
    // the number of restores when the windows were hidden; a restore from
    // another thread since then has brought them back, and whatever side
    // action is still to come is left out.
    void ApplySideActions(const SettingData& settings, const RunChoices& choices, unsigned restoresSeen);
    // Notes the side actions in force in the journal and writes it. Under
    // engineLock.
    void NoteSideActions();

    const HideOperations& hide_;
    const SideActionOperations& sideActions_;
    TrayIconPort* const trayIcon_;

    HiddenWindows hidden_;
    // Alive while windows are hidden; stopped before a restore takes engineLock.
    HiddenWatch watch_;
    std::atomic<bool> notHiddenNoted_{false}; // the tray tells of windows in view
    // Under engineLock: a side action is taken and noted in one step, so a
    // restore from any thread finds it either done and noted or not begun.
    bool muteRequested_ = false;
    bool notifyAreaHidden_ = false;
    OwnTrayIcon notifyAreaTray_; // how our icon was when the area was hidden
    unsigned restores_ = 0;      // restores so far
    // Shared with an unmute helper thread, which may outlive its caller's wait.
    std::shared_ptr<VolumeMute> volume_;
};
