#include "engine/InputWait.h"

#include <algorithm>
#include <utility>

#include "framework/Log.h"
#include "settings/HotkeyRegistration.h"

namespace {

// How long the records that woke the thread for nothing are left to gather
// before the next read: a mouse sending a thousand reports a second then
// costs twenty wake-ups a second, and a press among them is seen at most
// this late.
constexpr DWORD kGatherMs = 50;
// How often a thread that listens to the key stream asks whether the
// stream still comes to it: each look costs a wake-up.
constexpr DWORD kStreamCheckMs = 2000;

constexpr wchar_t kInputWindowClass[] = L"CovelinEngineInput";

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

} // namespace

CInputWait::CInputWait(const InputOperations& operations, const std::vector<WatchedChord>& chords,
                       const std::atomic<LONG>& stop, HANDLE stopSignal)
    : ops_(operations), stop_(stop), stopSignal_(stopSignal)
{
    for (const WatchedChord& watched : chords)
        entries_.push_back(Entry{watched});
}

CInputWait::~CInputWait()
{
    for (const Entry& entry : entries_)
        if (entry.watch == ChordWatch::Registered)
            ops_.unregisterHotKey(entry.watched.id);
    if (listening_ && streamWanted_)
        ops_.unregisterRawInput(window_.get());
}

void CInputWait::Listen()
{
    const InputOperations& ops = ops_;
    for (Entry& entry : entries_) {
        const std::wstring name = RenderText(*entry.watched.chord);
        HotkeyCombination combination;
        if (!RegistrableCombination(*entry.watched.chord, combination)) {
            entry.watch = ChordWatch::Stream;
            Log::Line(L"Hotkey " + name + L": watched in the key stream");
            continue;
        }
        const DWORD error = ops.registerHotKey(entry.watched.id, combination.modifiers, combination.key);
        entry.watch = error == ERROR_SUCCESS ? ChordWatch::Registered : ChordWatch::Stream;
        if (error == ERROR_SUCCESS)
            Log::Line(L"Hotkey " + name + L": registered");
        else
            Log::Failure(L"Registering the hotkey " + name +
                             L"; it is watched in the key stream instead, not kept from other programs",
                         error);
    }
    streamChords_.clear();
    for (const Entry& entry : entries_) {
        if (entry.watch != ChordWatch::Stream)
            continue;
        streamChords_.push_back(&entry.watched);
        mouseWanted_ = mouseWanted_ || ChordHasMouseButton(*entry.watched.chord);
    }
    // With every chord registered nothing watches the keys at all.
    streamWanted_ = !streamChords_.empty();
    if (!streamWanted_) {
        listening_ = true;
        return;
    }
    window_.reset(CreateInputWindow());
    mouse_ = MouseNeeded();
    listening_ = window_ && ops.registerRawInput(window_.get(), mouse_);
    if (!listening_) {
        Log::Failure(L"Raw input for the hotkeys; they are polled every 20 ms instead");
        for (Entry& entry : entries_)
            if (entry.watch == ChordWatch::Stream)
                entry.watch = ChordWatch::Sampled;
    }
    lastCheckTick_ = ops.tickCount();
}

bool CInputWait::Sampled(const Entry& entry) const
{
    return entry.watch == ChordWatch::Sampled || (blind_ && entry.watch == ChordWatch::Stream);
}

bool CInputWait::AwaitPoll()
{
    const InputOperations& ops = ops_;
    bool queueMayHold = true; // false after a wait that ran out: it was empty
    bool wokenForQueue = false;
    for (;;) {
        if (stop_.load() != 0)
            return false;
        bool relevant = false;
        bool emptied = false;
        if (queueMayHold)
            TakeInput(relevant, emptied);
        queueLooked_ = emptied;
        CheckStream();
        bool due = commandTaken_;
        for (Entry& entry : entries_) {
            // A press is acted on at once; a held chord and a sampled one
            // are asked about every poll.
            if (entry.held && !entry.pressed)
                entry.held = ops.chordIsDown(*entry.watched.chord) != 0;
            due = due || entry.pressed || entry.held || Sampled(entry);
        }
        if (due)
            return true;
        // Woken for the queue and nothing in it for us but moves and keys
        // of no chord: the next records are read together, later.
        if (wokenForQueue && !relevant)
            ops.sleep(kGatherMs);
        DWORD timeout = INFINITE;
        if (streamWanted_ && listening_) {
            const DWORD sinceCheck = ops.tickCount() - lastCheckTick_;
            timeout = sinceCheck < kStreamCheckMs ? kStreamCheckMs - sinceCheck : 0;
        }
        const DWORD waited = ops.waitForInput(stopSignal_, timeout);
        queueMayHold = waited != WAIT_TIMEOUT;
        wokenForQueue = waited != WAIT_TIMEOUT && waited != WAIT_OBJECT_0;
    }
}

void CInputWait::TakeInput(bool& relevant, bool& emptied)
{
    const InputOperations& ops = ops_;
    if (streamWanted_ && listening_ && ops.takeRawBatch) {
        batch_.clear();
        ops.takeRawBatch(batch_);
        for (const RAWINPUT& input : batch_)
            TakeRecord(input, relevant);
    }
    RAWINPUT input{};
    MSG message{};
    while (!commandTaken_) {
        const EngineInput taken = ops.takeInput(window_.get(), input, message);
        if (taken == EngineInput::None) {
            emptied = true;
            return;
        }
        if (taken == EngineInput::RawInput) {
            TakeRecord(input, relevant);
            continue;
        }
        relevant = true;
        if (taken == EngineInput::Hotkey || message.message == WM_HOTKEY) {
            Press(static_cast<int>(message.wParam));
            continue;
        }
        command_ = message;
        commandTaken_ = true;
    }
}

void CInputWait::TakeRecord(const RAWINPUT& input, bool& relevant)
{
    if (streamChords_.empty())
        return; // left over from a registration that was let go
    const bool swapped = input.header.dwType == RIM_TYPEMOUSE && ops_.buttonsSwapped();
    fired_.clear();
    stream_.Feed(input, swapped, streamChords_, fired_);
    for (int id : fired_)
        Press(id);
    relevant = relevant || !fired_.empty();
    const bool mouse = MouseNeeded();
    if (mouse != mouse_ && ops_.registerRawInput(window_.get(), mouse)) {
        mouse_ = mouse;
        if (!mouse)
            stream_.ClearButtons();
    }
}

bool CInputWait::MouseNeeded() const
{
    if (!mouseWanted_)
        return false;
    for (const WatchedChord* watched : streamChords_) {
        if (!ChordHasMouseButton(*watched->chord))
            continue;
        bool keysDown = true;
        for (unsigned code = 0; code < 256 && keysDown; ++code) {
            const bool button = code == VK_LBUTTON || code == VK_RBUTTON || code == VK_MBUTTON || code == VK_XBUTTON1 ||
                                code == VK_XBUTTON2;
            keysDown = button || !watched->chord->Has(code) || stream_.Down(code);
        }
        if (keysDown)
            return true;
    }
    return false;
}

void CInputWait::Press(int id)
{
    const Entry* pressed = nullptr;
    for (const Entry& entry : entries_)
        if (entry.watched.id == id)
            pressed = &entry;
    if (pressed == nullptr)
        return; // a registration of an earlier run on this thread
    for (Entry& entry : entries_) {
        if (&entry == pressed || ChordWithin(*entry.watched.chord, *pressed->watched.chord)) {
            entry.pressed = true;
            entry.held = true;
        }
    }
}

void CInputWait::CheckStream()
{
    const InputOperations& ops = ops_;
    if (!streamWanted_ || !listening_)
        return;
    const DWORD now = ops.tickCount();
    if (now - lastCheckTick_ < kStreamCheckMs)
        return;
    lastCheckTick_ = now;
    // Raw input is one registration per process: taken away, it is asked
    // for again, and the stream's chords are sampled while that fails.
    const bool wasBlind = blind_;
    blind_ = !ops.rawInputInForce(window_.get()) && !ops.registerRawInput(window_.get(), mouse_);
    if (blind_ != wasBlind) {
        stream_.Clear();
        Log::Line(blind_ ? L"Raw input stopped coming: the hotkeys are polled every 20 ms while it lasts"
                         : L"Raw input comes again: the hotkeys are no longer polled");
    }
}

bool CInputWait::PressTaken() const
{
    return std::any_of(entries_.begin(), entries_.end(), [](const Entry& entry) { return entry.pressed; });
}

bool CInputWait::ChordActive(int id) const
{
    for (const Entry& entry : entries_) {
        if (entry.watched.id != id)
            continue;
        if (entry.pressed)
            return true;
        return (entry.held || Sampled(entry)) && ops_.chordIsDown(*entry.watched.chord) != 0;
    }
    return false;
}

void CInputWait::PollDone()
{
    for (Entry& entry : entries_)
        entry.pressed = false;
}

ChordWatch CInputWait::WatchOf(int id) const
{
    for (const Entry& entry : entries_)
        if (entry.watched.id == id)
            return entry.watch;
    return ChordWatch::Sampled;
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
    while (PeekMessageW(&command, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE)) {
        if (command.message != WM_HOTKEY)
            return true;
        Press(static_cast<int>(command.wParam));
    }
    return false;
}
