#include "engine/ChordPoll.h"
#include "engine/Engine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <set>
#include <vector>

#include "catalogue/Catalogues.h"
#include "settings/HotkeyRegistration.h"
#include "settings/SettingFile.h"
#include "support/Chords.h"
#include "support/HotkeyHolder.h"
#include "support/Keyboard.h"
#include "support/RawInput.h"
#include "support/Wait.h"
#include "support/WindowHost.h"

// How a press reaches the poll: the recognition rules driven with a keyboard,
// a raw-input queue and a registration the test controls; then the real
// thing under Wine (RegisterHotKey, SendInput, raw input, another process).

namespace {

using testsupport::ChordOf;
using testsupport::RawKey;
using testsupport::RawMouse;

// The world of one row.
struct World {
    DWORD hotkeyError = ERROR_SUCCESS;
    bool rawInput = true;
    bool swapped = false;
    std::set<int> held;
    std::deque<RAWINPUT> queued; // read in one batch
    int sleeps = 0;
    int registrations = 0;
    std::atomic<LONG>* stop = nullptr; // set once the world has nothing more
} world;

InputOperations FakeInput()
{
    InputOperations ops{};
    ops.chordIsDown = [](const HotkeyChord& chord) {
        return ChordIsDown(PhysicalChord(chord, world.swapped),
                           [](int code) -> SHORT { return world.held.count(code) ? SHORT(0x8000) : 0; });
    };
    ops.tickCount = []() -> DWORD { return 100000; };
    ops.sleep = [](DWORD) { ++world.sleeps; };
    ops.registerHotKey = [](int, UINT, UINT) { return ++world.registrations, world.hotkeyError; };
    ops.unregisterHotKey = [](int) {};
    ops.registerRawInput = [](HWND, bool) { return world.rawInput; };
    ops.unregisterRawInput = [](HWND) {};
    ops.rawInputInForce = [](HWND) { return true; };
    ops.waitForInput = [](HANDLE, DWORD) -> DWORD {
        MSG message;
        const bool queued = !world.queued.empty() || PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
        if (queued)
            return WAIT_OBJECT_0 + 1;
        world.stop->store(1);
        return WAIT_OBJECT_0;
    };
    ops.takeRawBatch = [](std::vector<RAWINPUT>& into) {
        into.assign(world.queued.begin(), world.queued.end());
        world.queued.clear();
    };
    ops.takeInput = [](HWND, RAWINPUT&, MSG& message) {
        return PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) ? EngineInput::Command : EngineInput::None;
    };
    ops.buttonsSwapped = [] { return world.swapped; };
    return ops;
}

RAWINPUT RightHand(USHORT key)
{
    RAWINPUT input = RawKey(key, true);
    input.data.keyboard.Flags |= RI_KEY_E0;
    return input;
}

enum class Outcome { Nothing, Toggle, ShowDialog };

struct Row {
    const char* name;
    HotkeyChord toggle;
    HotkeyChord showDialog;
    DWORD hotkeyError;
    bool rawInput;
    bool swapped;
    int hotkeyId; // posted as WM_HOTKEY, or 0
    std::vector<RAWINPUT> records;
    std::set<int> held;
    ChordWatch watch; // the toggle chord's
    Outcome outcome;
    int sleeps; // before the act
};

} // namespace

TEST(ChordRecognition, TheRulesOfEachWayAChordIsWatched)
{
    const HotkeyChord ctrlGrave = ChordOf({VK_CONTROL, VK_OEM_3});
    const HotkeyChord ctrlLeft = ChordOf({VK_CONTROL, VK_LEFT});
    const HotkeyChord ctrlRight = ChordOf({VK_CONTROL, VK_RBUTTON}); // captured on a swapped mouse: logical right
    const RAWINPUT ctrl = RawKey(VK_CONTROL, true), grave = RawKey(VK_OEM_3, true);
    const RAWINPUT ctrlUp = RawKey(VK_CONTROL, false), graveUp = RawKey(VK_OEM_3, false);
    const DWORD taken = ERROR_HOTKEY_ALREADY_REGISTERED;
    const Row rows[] = {
        {"registered: WM_HOTKEY is the press",
         ctrlGrave,
         ctrlLeft,
         0,
         true,
         false,
         kToggleChordId,
         {},
         {},
         ChordWatch::Registered,
         Outcome::Toggle,
         0},
        {"registered: the show-dialog chord that holds the toggle chord toggles",
         ChordOf({VK_CONTROL, 'A'}),
         ChordOf({VK_CONTROL, VK_SHIFT, 'A'}),
         0,
         true,
         false,
         kShowDialogChordId,
         {},
         {},
         ChordWatch::Registered,
         Outcome::Toggle,
         0},
        {"refused: the four records of one batch",
         ctrlGrave,
         ctrlLeft,
         taken,
         true,
         false,
         0,
         {ctrl, grave, graveUp, ctrlUp},
         {},
         ChordWatch::Stream,
         Outcome::Toggle,
         0},
        {"refused: extra keys held",
         ctrlGrave,
         ctrlLeft,
         taken,
         true,
         false,
         0,
         {RawKey('B', true), RawKey(VK_SHIFT, true), ctrl, grave},
         {},
         ChordWatch::Stream,
         Outcome::Toggle,
         0},
        {"refused: right Ctrl by its E0 prefix",
         ctrlGrave,
         ctrlLeft,
         taken,
         true,
         false,
         0,
         {RightHand(VK_CONTROL), grave},
         {},
         ChordWatch::Stream,
         Outcome::Toggle,
         0},
        {"refused: a break before the last make",
         ctrlGrave,
         ctrlLeft,
         taken,
         true,
         false,
         0,
         {ctrl, ctrlUp, grave},
         {},
         ChordWatch::Stream,
         Outcome::Nothing,
         0},
        {"two ordinary keys are never registered",
         ChordOf({'A', 'B'}),
         ctrlLeft,
         0,
         true,
         false,
         0,
         {RawKey('A', true), RawKey('B', true)},
         {},
         ChordWatch::Stream,
         Outcome::Toggle,
         0},
        {"a mouse chord, buttons swapped: the physical left is the logical right",
         ctrlRight,
         ctrlLeft,
         0,
         true,
         true,
         0,
         {ctrl, RawMouse(RI_MOUSE_LEFT_BUTTON_DOWN)},
         {},
         ChordWatch::Stream,
         Outcome::Toggle,
         0},
        {"a mouse chord, buttons swapped: the physical right is not",
         ctrlRight,
         ctrlLeft,
         0,
         true,
         true,
         0,
         {ctrl, RawMouse(RI_MOUSE_RIGHT_BUTTON_DOWN)},
         {},
         ChordWatch::Stream,
         Outcome::Nothing,
         0},
        {"show dialog from the stream",
         ChordOf({'A', 'B'}),
         ctrlLeft,
         taken,
         true,
         false,
         0,
         {ctrl, RightHand(VK_LEFT)},
         {},
         ChordWatch::Stream,
         Outcome::ShowDialog,
         0},
        {"no raw input: sampled at the poll",
         ctrlGrave,
         ctrlLeft,
         taken,
         false,
         false,
         0,
         {},
         {VK_CONTROL, VK_OEM_3},
         ChordWatch::Sampled,
         Outcome::Toggle,
         1},
        {"no raw input, swapped: the held physical left",
         ctrlRight,
         ctrlLeft,
         taken,
         false,
         true,
         0,
         {},
         {VK_CONTROL, VK_LBUTTON},
         ChordWatch::Sampled,
         Outcome::Toggle,
         1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        world = World{row.hotkeyError, row.rawInput, row.swapped, row.held, {row.records.begin(), row.records.end()}};
        CEngine engine;
        engine.operations.input = FakeInput();
        engine.operations.hide.rebuildWindowCatalogue = [](Catalogues&) {};
        engine.operations.postToDialog = [](HWND, UINT) {};
        Catalogues catalogues;
        EngineRun run;
        run.targets.catalogues = &catalogues;
        run.settings.toggleChord = row.toggle;
        run.settings.showDialogChord = row.showDialog;
        world.stop = &run.engineStop;
        EnginePoller poller{engine, run};
        poller.Listen();
        EXPECT_EQ(poller.WatchOf(kToggleChordId), row.watch);
        if (row.hotkeyId != 0)
            PostThreadMessageW(GetCurrentThreadId(), WM_HOTKEY, row.hotkeyId, 0);
        const bool due = poller.AwaitPoll();
        const bool goesOn = due ? poller.Poll() : true;
        const Outcome outcome = !goesOn ? Outcome::ShowDialog : poller.Hidden() ? Outcome::Toggle : Outcome::Nothing;
        EXPECT_EQ(outcome, row.outcome);
        if (outcome != Outcome::Nothing)
            EXPECT_EQ(world.sleeps, row.sleeps) << "a press already known waits for no poll";
        testsupport::PumpMessages();
    }
}

// ---- under Wine, for real ----------------------------------------------------------------------

namespace {

// A window in front that counts the backquotes it is handed.
int backquotes = 0;

LRESULT CALLBACK CountBackquotes(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if ((message == WM_KEYDOWN && wParam == VK_OEM_3) || (message == WM_CHAR && wParam == L'`'))
        ++backquotes;
    return DefWindowProcW(window, message, wParam, lParam);
}

struct FrontWindow {
    FrontWindow()
    {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = CountBackquotes;
        windowClass.lpszClassName = L"CovelinTestFront";
        RegisterClassW(&windowClass);
        window = CreateWindowExW(WS_EX_TOPMOST, windowClass.lpszClassName, L"front", WS_POPUP | WS_VISIBLE, 0, 0, 80,
                                 80, nullptr, nullptr, nullptr, nullptr);
        inFront = testsupport::WaitUntil([this] {
            SetForegroundWindow(window);
            SetFocus(window);
            return GetForegroundWindow() == window && GetFocus() == window;
        });
    }
    ~FrontWindow() { DestroyWindow(window); }
    HWND window;
    bool inFront;
};

// Ctrl+` as a macro tool sends it: down, down, up, up in one call.
void SendChordAtOnce()
{
    INPUT inputs[4] = {};
    const WORD keys[4] = {VK_CONTROL, VK_OEM_3, VK_OEM_3, VK_CONTROL};
    for (int i = 0; i < 4; ++i) {
        inputs[i].type = INPUT_KEYBOARD;
        inputs[i].ki.wVk = keys[i];
        inputs[i].ki.wScan = static_cast<WORD>(MapVirtualKeyW(keys[i], MAPVK_VK_TO_VSC));
        inputs[i].ki.dwFlags = i >= 2 ? KEYEVENTF_KEYUP : 0;
    }
    SendInput(4, inputs, sizeof(INPUT));
}

bool AllVisible(const testsupport::WindowHost& host, bool visible)
{
    for (HWND window : host.Windows())
        if ((IsWindowVisible(window) != FALSE) != visible)
            return false;
    return true;
}

// Presses the chord once a second until the windows are as asked; how many
// presses it took, or 0 when none did it within the time.
int PressUntil(const testsupport::WindowHost& host, bool visible)
{
    for (int presses = 1; presses <= 4; ++presses) {
        SendChordAtOnce();
        if (testsupport::WaitUntil([&] { return AllVisible(host, visible); }, 1100))
            return presses;
    }
    return 0;
}

} // namespace

TEST(ChordRecognitionUnderWine, AChordSentInOneCallHidesAndRestoresAndNeverReachesTheWindowInFront)
{
    testsupport::WindowHost host({"*2|CovelinChordTarget|Chord target"});
    ASSERT_TRUE(host.Ready());
    FrontWindow front;
    ASSERT_TRUE(front.inFront);
    CEngine engine;
    EngineTargets targets;
    targets.windows = host.Windows();
    ASSERT_TRUE(engine.Start(MakeDefaultSettings(), targets, nullptr));
    // Registered once this thread can no longer have the combination.
    ASSERT_TRUE(testsupport::WaitUntil([] { return TryRegisterChord(MakeDefaultSettings().toggleChord) != 0; }));
    EXPECT_EQ(TryRegisterChord(MakeDefaultSettings().toggleChord), DWORD(ERROR_HOTKEY_ALREADY_REGISTERED));

    backquotes = 0;
    EXPECT_EQ(PressUntil(host, false), 1) << "the first press did not hide";
    // The next press counts once the one-second debounce has passed.
    const ULONGLONG hidAt = GetTickCount64();
    testsupport::WaitUntil([&] { return GetTickCount64() >= hidAt + 1050; }, 2000);
    EXPECT_EQ(PressUntil(host, true), 1) << "the press a second later did not restore";
    testsupport::PumpMessages();
    EXPECT_EQ(backquotes, 0) << "the window in front was handed the chord's key";
    // A backquote of its own still reaches it.
    SetForegroundWindow(front.window);
    testsupport::SendKeys({VK_OEM_3}, false);
    testsupport::SendKeys({VK_OEM_3}, true);
    EXPECT_TRUE(testsupport::WaitUntil([] { return backquotes > 0; }));

    engine.RequestStop();
    EXPECT_TRUE(engine.WaitEnded(GetTickCount64() + 5000));
    // Let go when the run ends.
    EXPECT_EQ(TryRegisterChord(MakeDefaultSettings().toggleChord), DWORD(ERROR_SUCCESS));
}

// Another program holds Ctrl+`: Covelin watches it in the key stream, so it
// still hides; the key is not kept from the other program.
TEST(ChordRecognitionUnderWine, AChordAnotherProcessHoldsStillWorksFromTheKeyStream)
{
    testsupport::HotkeyHolder holder(MOD_CONTROL, VK_OEM_3);
    ASSERT_TRUE(holder.Held()) << "the other process did not hold the chord";
    EXPECT_EQ(TryRegisterChord(MakeDefaultSettings().toggleChord), DWORD(ERROR_HOTKEY_ALREADY_REGISTERED));
    testsupport::WindowHost host({"*2|CovelinChordTarget|Chord target"});
    ASSERT_TRUE(host.Ready());
    FrontWindow front;
    ASSERT_TRUE(front.inFront);
    CEngine engine;
    EngineTargets targets;
    targets.windows = host.Windows();
    ASSERT_TRUE(engine.Start(MakeDefaultSettings(), targets, nullptr));
    EXPECT_NE(PressUntil(host, false), 0) << "the key stream did not hide";
    EXPECT_NE(PressUntil(host, true), 0) << "the key stream did not restore";
    engine.RequestStop();
    EXPECT_TRUE(engine.WaitEnded(GetTickCount64() + 5000));
}
