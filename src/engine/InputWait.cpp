#include "engine/InputWait.h"

#include <mutex>
#include <utility>
#include <vector>

#include "framework/Log.h"
#include "framework/Sync.h"

namespace {

constexpr DWORD kPollPeriodMs = 20;
// How often a sleeping engine wakes to ask whether input moves that raw
// input does not bring: each look costs a wake-up.
constexpr DWORD kInputCheckMs = 2000;

constexpr wchar_t kInputWindowClass[] = L"CovelinEngineInput";

// The generic desktop page's usages: the mouse and the keyboard.
constexpr USHORT kUsagePageGeneric = 0x01;
constexpr USHORT kUsageMouse = 0x02;
constexpr USHORT kUsageKeyboard = 0x06;

// Raw input is registered once per process and device: two runs (one
// ending while the next starts) must not undo each other's registration.
CCriticalSection& RawInputLock()
{
    static CCriticalSection lock;
    return lock;
}

bool RegisterRawInput(HWND target, bool mouse)
{
    std::lock_guard<CCriticalSection> guard(RawInputLock());
    // Sink: the input comes whichever program has the focus.
    RAWINPUTDEVICE devices[2] = {{kUsagePageGeneric, kUsageKeyboard, RIDEV_INPUTSINK, target},
                                 {kUsagePageGeneric, kUsageMouse, RIDEV_INPUTSINK, target}};
    return RegisterRawInputDevices(devices, mouse ? 2 : 1, sizeof(RAWINPUTDEVICE)) != FALSE;
}

void UnregisterRawInput(HWND target)
{
    std::lock_guard<CCriticalSection> guard(RawInputLock());
    UINT count = 0;
    if (GetRegisteredRawInputDevices(nullptr, &count, sizeof(RAWINPUTDEVICE)) == static_cast<UINT>(-1) || count == 0)
        return;
    std::vector<RAWINPUTDEVICE> devices(count);
    const UINT listed = GetRegisteredRawInputDevices(devices.data(), &count, sizeof(RAWINPUTDEVICE));
    if (listed == static_cast<UINT>(-1))
        return;
    devices.resize(listed);
    for (RAWINPUTDEVICE device : devices) {
        if (device.hwndTarget != target)
            continue; // a later run's
        device.dwFlags = RIDEV_REMOVE;
        device.hwndTarget = nullptr;
        RegisterRawInputDevices(&device, 1, sizeof device);
    }
}

DWORD WaitForInput(HANDLE stop, DWORD milliseconds)
{
    // Input already in the queue counts too, whether or not a look at the
    // queue has seen it.
    return MsgWaitForMultipleObjectsEx(stop != nullptr ? 1 : 0, &stop, milliseconds, QS_ALLINPUT | QS_RAWINPUT,
                                       MWMO_INPUTAVAILABLE);
}

EngineInput TakeInput(HWND window, RAWINPUT& input, MSG& command)
{
    // One pass over the whole queue: every look at it is a round trip to
    // the system (under Wine, to the wineserver).
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.hwnd == nullptr) {
            command = message;
            return EngineInput::Command;
        }
        if (message.message != WM_INPUT || message.hwnd != window) {
            DispatchMessageW(&message);
            continue;
        }
        UINT size = sizeof input;
        const UINT read = GetRawInputData(reinterpret_cast<HRAWINPUT>(message.lParam), RID_INPUT, &input, &size,
                                          sizeof(RAWINPUTHEADER));
        // The window's procedure frees what the system kept for the message.
        DispatchMessageW(&message);
        if (read != static_cast<UINT>(-1) && read >= sizeof(RAWINPUTHEADER))
            return EngineInput::RawInput;
    }
    return EngineInput::None;
}

DWORD LastInputTick()
{
    LASTINPUTINFO info{sizeof info, 0};
    return GetLastInputInfo(&info) ? info.dwTime : 0;
}

// The thread's own window for raw input: message-only, never shown.
HWND CreateInputWindow()
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kInputWindowClass;
    // Registered by the first run; later runs find it there.
    RegisterClassW(&windowClass);
    return CreateWindowExW(0, kInputWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, windowClass.hInstance,
                           nullptr);
}

// A chord of the one key `code`: asked through chordIsDown, it tells
// whether that key is down.
HotkeyChord KeyAlone(int code)
{
    HotkeyChord chord{};
    chord.keys[code] = HotkeyChord::kMember;
    return chord;
}

} // namespace

InputOperations DefaultInputOperations()
{
    InputOperations ops{};
    ops.chordIsDown = [](const HotkeyChord& chord) { return ChordIsDown(chord); };
    ops.tickCount = []() -> DWORD { return GetTickCount(); };
    ops.sleep = [](DWORD milliseconds) { Sleep(milliseconds); };
    ops.registerRawInput = RegisterRawInput;
    ops.unregisterRawInput = UnregisterRawInput;
    ops.waitForInput = WaitForInput;
    ops.takeInput = TakeInput;
    ops.lastInputTick = LastInputTick;
    ops.cursorPos = []() -> POINT {
        POINT cursor{};
        GetCursorPos(&cursor);
        return cursor;
    };
    return ops;
}

CInputWait::CInputWait(const InputOperations& operations, const HotkeyChord& toggleChord,
                       const HotkeyChord& showDialogChord, const HotkeyChord& hideActiveChord,
                       const std::atomic<LONG>& stop, HANDLE stopSignal)
    : ops_(operations), toggleChord_(toggleChord), showDialogChord_(showDialogChord), hideActiveChord_(hideActiveChord),
      stop_(stop), stopSignal_(stopSignal)
{
}

CInputWait::~CInputWait()
{
    if (listening_)
        ops_.unregisterRawInput(window_.get());
}

void CInputWait::Listen()
{
    const InputOperations& ops = ops_;
    window_.reset(CreateInputWindow());
    // The mouse wakes the thread only for a chord that needs it: its moves
    // would wake it all the time.
    mouse_ = ChordHasMouseButton(toggleChord_) || ChordHasMouseButton(showDialogChord_) ||
             ChordHasMouseButton(hideActiveChord_);
    listening_ = window_ && ops.registerRawInput(window_.get(), mouse_);
    if (!listening_)
        Log::Failure(L"Raw input for the hotkeys; they are polled every 20 ms instead");
    lastCheckTick_ = ops.tickCount();
    lastInputTick_ = ops.lastInputTick();
    lastCursor_ = ops.cursorPos();
}

bool CInputWait::AwaitPoll()
{
    const InputOperations& ops = ops_;
    bool queueMayHold = true; // false after a wait that ran out: it was empty
    bool wokenForQueue = false;
    for (;;) {
        if (stop_.load() != 0)
            return false;
        // Asleep, one record per wake: the next wait tells whether more are
        // queued, for the price of the look that would find none. The looks
        // after the queue's stop at the first that calls for a poll; a poll
        // after a look that emptied the queue need not look again.
        bool took = false;
        bool emptied = false;
        const bool chordKeyPressed = queueMayHold && TakeInput(polling_, took, emptied);
        queueLooked_ = emptied;
        polling_ = chordKeyPressed || commandTaken_ || !listening_ || BlindToInput() || (polling_ && AnyChordKeyDown());
        if (polling_)
            return true;
        // Woken for the queue and nothing in it for us: whatever keeps the
        // wait from sleeping is not allowed to make it spin.
        if (wokenForQueue && !took)
            ops.sleep(kPollPeriodMs);
        const DWORD sinceCheck = ops.tickCount() - lastCheckTick_;
        const DWORD waited = ops.waitForInput(stopSignal_, sinceCheck < kInputCheckMs ? kInputCheckMs - sinceCheck : 0);
        queueMayHold = waited != WAIT_TIMEOUT;
        wokenForQueue = waited != WAIT_TIMEOUT && waited != WAIT_OBJECT_0;
    }
}

bool CInputWait::TakeInput(bool all, bool& took, bool& emptied)
{
    const InputOperations& ops = ops_;
    bool chordKey = false;
    RAWINPUT input{};
    while (!commandTaken_) {
        const EngineInput taken = ops.takeInput(window_.get(), input, command_);
        if (taken == EngineInput::None) {
            emptied = true;
            break;
        }
        took = true;
        if (taken == EngineInput::Command) {
            commandTaken_ = true;
            break;
        }
        rawSeen_ = true;
        chordKey = chordKey || RawInputPressesChordKey(input, toggleChord_) ||
                   RawInputPressesChordKey(input, showDialogChord_) || RawInputPressesChordKey(input, hideActiveChord_);
        if (!all)
            break;
    }
    return chordKey;
}

bool CInputWait::AnyChordKeyDown() const
{
    for (int code = 0; code < 256; ++code) {
        if ((toggleChord_.Has(code) || showDialogChord_.Has(code) || hideActiveChord_.Has(code)) &&
            ops_.chordIsDown(KeyAlone(code)))
            return true;
    }
    return false;
}

bool CInputWait::BlindToInput()
{
    const InputOperations& ops = ops_;
    const DWORD now = ops.tickCount();
    if (now - lastCheckTick_ < kInputCheckMs)
        return blind_;
    lastCheckTick_ = now;
    // Input came and none of it raw: keys the polls must watch, unless the
    // cursor moved and so the mouse, whose raw input is not asked for, can
    // explain it. The cursor is asked about only then.
    const DWORD input = ops.lastInputTick();
    blind_ = false;
    if (input != lastInputTick_) {
        const POINT cursor = ops.cursorPos();
        const bool cursorMoved = cursor.x != lastCursor_.x || cursor.y != lastCursor_.y;
        blind_ = !rawSeen_ && (mouse_ || !cursorMoved);
        lastCursor_ = cursor;
    }
    lastInputTick_ = input;
    rawSeen_ = false;
    if (blind_ && !blindLogged_) {
        blindLogged_ = true;
        Log::Line(L"Input arrives that raw input does not bring: the hotkeys are polled every 20 ms while it lasts");
    }
    return blind_;
}

bool CInputWait::TakeCommand(MSG& command)
{
    // The wait before the poll has looked at the queue just now: a command
    // that came since is taken by the next. Any look at the queue is a round
    // trip to the system (under Wine, to the wineserver).
    const bool looked = std::exchange(queueLooked_, false);
    if (std::exchange(commandTaken_, false)) {
        command = command_;
        return true;
    }
    if (looked)
        return false;
    // Commands are thread messages; the window's messages are raw input's.
    return PeekMessageW(&command, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE) != FALSE;
}
