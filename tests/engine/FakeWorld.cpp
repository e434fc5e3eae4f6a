#include "engine/FakeWorld.h"

#include <utility>

#include "support/Wait.h"

namespace enginetest {

namespace {

FakeWorld* current = nullptr;

bool HeldHere(CCriticalSection* section)
{
    return section != nullptr &&
           static_cast<CRITICAL_SECTION*>(*section)->OwningThread == ULongToHandle(GetCurrentThreadId());
}

SHORT WINAPI FakeKeyState(int code)
{
    return FakeWorld::Current().heldKeys.count(code) ? static_cast<SHORT>(0x8000) : 0;
}

} // namespace

Events operator+(Events a, const Events& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

void RunOnce(std::function<void()>& hook)
{
    if (hook)
        std::exchange(hook, nullptr)();
}

FakeWorld::FakeWorld()
{
    current = this;
    // Commands an earlier test left in this thread's queue are not ours.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
}

FakeWorld::~FakeWorld()
{
    if (current == this)
        current = nullptr;
}

FakeWorld& FakeWorld::Current()
{
    return *current;
}

void FakeWorld::Note(const std::string& what)
{
    const std::string locks =
        std::string(HeldHere(engineLockSeen) ? "E" : "") + (HeldHere(&catalogues.windowLock) ? "W" : "");
    std::lock_guard<CCriticalSection> guard(eventsLock_);
    events_.push_back(locks.empty() ? what : what + "[" + locks + "]");
}

void FakeWorld::NoteThreadEnding()
{
    HANDLE thread = nullptr;
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &thread, SYNCHRONIZE, FALSE, 0);
    std::lock_guard<CCriticalSection> guard(eventsLock_);
    endingThreads_.emplace_back(thread);
}

bool FakeWorld::WaitThreadEnded(size_t index, DWORD timeoutMs)
{
    const bool noted = testsupport::WaitUntil(
        [&] {
            std::lock_guard<CCriticalSection> guard(eventsLock_);
            return endingThreads_.size() > index;
        },
        timeoutMs);
    std::lock_guard<CCriticalSection> guard(eventsLock_);
    return noted && WaitForSingleObject(endingThreads_[index].get(), timeoutMs) == WAIT_OBJECT_0;
}

Events FakeWorld::Take()
{
    std::lock_guard<CCriticalSection> guard(eventsLock_);
    Events taken;
    taken.swap(events_);
    return taken;
}

EngineOperations FakeWorld::Operations()
{
    EngineOperations ops{};
    ops.input.chordIsDown = [](const HotkeyChord& chord) {
        FakeWorld& world = Current();
        RunOnce(world.onChordRead);
        ++world.keyReads;
        return ChordIsDown(chord, FakeKeyState);
    };
    ops.input.tickCount = []() -> DWORD { return Current().now; };
    ops.input.sleep = [](DWORD ms) {
        FakeWorld& world = Current();
        world.now += ms;
        // A started engine's thread: the real poll period between its polls.
        if (world.realSleep)
            DefaultInputOperations().sleep(ms);
    };
    // Left out of the log of a started engine's thread, which only the
    // commands it takes are about.
    ops.input.registerRawInput = [](HWND window, bool mouse) {
        FakeWorld& world = Current();
        if (!world.realSleep)
            world.Note(mouse ? "listen+mouse" : "listen");
        return window != nullptr && world.rawInputRegisters;
    };
    ops.input.unregisterRawInput = [](HWND) {
        FakeWorld& world = Current();
        if (world.realSleep)
            world.NoteThreadEnding();
        else
            world.Note("unlisten");
    };
    ops.input.waitForInput = [](HANDLE stop, DWORD ms) -> DWORD {
        FakeWorld& world = Current();
        // A started engine's thread sleeps for real.
        if (world.realSleep)
            return MsgWaitForMultipleObjectsEx(1, &stop, ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        world.Note("wait");
        world.lastWaitMs = ms;
        RunOnce(world.onWait);
        MSG message;
        if (WaitForSingleObject(stop, 0) == WAIT_OBJECT_0)
            return WAIT_OBJECT_0;
        if (!world.rawInputs.empty() || PeekMessageW(&message, reinterpret_cast<HWND>(-1), 0, 0, PM_NOREMOVE))
            return WAIT_OBJECT_0 + 1;
        world.now += ms;
        if (--world.idleWaitsLeft <= 0)
            world.sleeper->RequestStop();
        return WAIT_TIMEOUT;
    };
    ops.input.takeInput = [](HWND, RAWINPUT& input, MSG& command) {
        FakeWorld& world = Current();
        if (world.rawInputs.empty())
            return PeekMessageW(&command, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE) ? EngineInput::Command
                                                                                       : EngineInput::None;
        input = world.rawInputs.front();
        world.rawInputs.pop_front();
        return EngineInput::RawInput;
    };
    // A world where another program holds every hotkey: the chords are
    // watched in the key stream (ChordRecognitionTest has the registered).
    ops.input.registerHotKey = [](int, UINT, UINT) -> DWORD { return ERROR_HOTKEY_ALREADY_REGISTERED; };
    ops.input.unregisterHotKey = [](int) {};
    ops.input.rawInputInForce = [](HWND) { return Current().rawInputInForce; };
    ops.input.buttonsSwapped = [] { return false; };
    ops.hide.rebuildWindowCatalogue = [](Catalogues&) { Current().Note("rebuild"); };
    ops.hide.hideChosenWindows = [](const EngineTargets&, HiddenWindows& hidden) {
        FakeWorld& world = Current();
        world.Note("hideChosen");
        RunOnce(world.onHide);
        for (int i = 0; i < world.hideCount; ++i)
            hidden.Push(reinterpret_cast<HWND>(static_cast<INT_PTR>(0x100 + i)));
        return world.hideCount;
    };
    ops.hide.hideProcessWindows = [](const EngineTargets&, HiddenWindows&) { return Current().Note("hideProcess"), 0; };
    ops.hide.hideFileWindows = [](const EngineTargets&, HiddenWindows&) { return Current().Note("hideFile"), 0; };
    ops.hide.bringTopWindow = [](const EngineTargets&) {
        Current().Note("bringTop");
        RunOnce(Current().onBringTop);
        return 0;
    };
    ops.hide.restoreHidden = [](HiddenWindows& hidden) {
        Current().Note("restore");
        hidden.hiddenStack.RemoveAll();
        return 0;
    };
    ops.sideActions.setVolumeMute = [](VolumeMute&, bool mute) {
        FakeWorld& world = Current();
        world.Note(mute ? "mute" : "unmute");
        if (mute)
            RunOnce(world.onMute);
        world.muteInForce = mute;
    };
    ops.sideActions.muteHiddenPrograms = [](VolumeMute&, const std::vector<std::wstring>& executables) {
        FakeWorld& world = Current();
        world.Note("muteHiddenPrograms");
        world.executablesSeen = executables;
        return world.sessionsListable;
    };
    ops.sideActions.executablesOfWindows = [](const std::vector<HWND>& windows) {
        std::vector<std::wstring> paths;
        for (HWND window : windows)
            paths.push_back(L"EXE" + std::to_wstring(reinterpret_cast<INT_PTR>(window)));
        return paths;
    };
    ops.sideActions.lockWorkStation = []() -> BOOL { return Current().Note("lock"), TRUE; };
    ops.sideActions.startScreensaver = [] { Current().Note("screensaver"); };
    ops.sideActions.applyStoredDisplayMode = [](const DisplayMode& mode) -> LONG {
        Current().modeSeen = mode;
        return Current().Note("displayMode"), 0;
    };
    ops.sideActions.hideNotificationArea = [](bool hide, const OwnTrayIcon& own) {
        FakeWorld& world = Current();
        world.Note(hide ? "hideNotify" : "showNotify");
        if (!hide)
            world.ownSeen = own;
        return world.notifyAreaThere;
    };
    ops.postToDialog = [](HWND, UINT message) {
        Current().Note(message == UM_ENGINE_SHOW_DIALOG ? "dlg.show" : message == WM_CLOSE ? "dlg.close" : "dlg.other");
    };
    return ops;
}

} // namespace enginetest
