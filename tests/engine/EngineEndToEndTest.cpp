#include "engine/Engine.h"

#include <gtest/gtest.h>

#include <atomic>

#include "settings/SettingFile.h"
#include "support/Keyboard.h"
#include "support/Wait.h"
#include "support/WindowHost.h"

namespace {

constexpr WORD kChord[] = {VK_CONTROL, VK_OEM_3}; // the default Ctrl+`

// Holds the chord until `condition`, pressing the keys again every 30 ms as
// auto-repeat would (Wine forgets injected keys when the focus moves).
template <class Condition>
bool HoldChordUntil(Condition condition)
{
    return testsupport::WaitUntil(
        [&] {
            for (WORD key : kChord)
                testsupport::SendKey(key, true);
            return condition();
        },
        5000, 30);
}

void ReleaseChord()
{
    for (WORD key : kChord) {
        testsupport::SendKey(key, false);
        testsupport::WaitForKeyState(key, false);
    }
}

// The real operations, with each poll counted (a poll begins with its
// sleep) and the thread's sleeps until input told.
std::atomic<int> polls{0};
std::atomic<bool> asleep{false};

// How the chord reaches the engine: registered with the system, from the
// key stream (the system refuses the hotkey), or sampled (raw input refused
// too).
enum class Path { Registered, Stream, Sampled };

EngineOperations CountedOperations(Path path)
{
    EngineOperations ops = DefaultEngineOperations();
    ops.input.sleep = [](DWORD milliseconds) {
        ++polls;
        DefaultInputOperations().sleep(milliseconds);
    };
    ops.input.waitForInput = [](HANDLE stop, DWORD milliseconds) {
        asleep = true;
        const DWORD woken = DefaultInputOperations().waitForInput(stop, milliseconds);
        asleep = false;
        return woken;
    };
    if (path != Path::Registered)
        ops.input.registerHotKey = [](int, UINT, UINT) -> DWORD { return ERROR_HOTKEY_ALREADY_REGISTERED; };
    if (path == Path::Sampled)
        ops.input.registerRawInput = [](HWND, bool) { return false; };
    return ops;
}

// True once the thread has stopped polling and sleeps until input (within 3 s).
bool PollsStop()
{
    return testsupport::WaitUntil([] { return asleep.load(); }, 3000);
}

} // namespace

// The real engine thread, the real keyboard (the registered hotkey, its raw
// input, or without either the polls) and windows of another process.
class EngineEndToEnd : public ::testing::TestWithParam<Path> {};

INSTANTIATE_TEST_SUITE_P(EachPath, EngineEndToEnd, ::testing::Values(Path::Registered, Path::Stream, Path::Sampled));

TEST_P(EngineEndToEnd, CtrlGraveHidesTheChosenWindowsAndTheNextPressRestoresThem)
{
    const bool rawInput = GetParam() != Path::Sampled;
    testsupport::WindowHost host({"*3|CovelinEngineTarget|Engine target"});
    ASSERT_TRUE(host.Ready());
    const auto all = [&](bool visible) {
        for (HWND window : host.Windows())
            if ((IsWindowVisible(window) != FALSE) != visible)
                return false;
        return true;
    };
    ASSERT_TRUE(all(true));
    EngineTargets targets;
    for (HWND window : host.Windows())
        targets.windows.push_back(window);
    testsupport::ForegroundWindow keyboard;
    ASSERT_TRUE(keyboard.HasForeground());
    CEngine engine;
    engine.operations = CountedOperations(GetParam());
    polls = 0;
    asleep = false;
    ASSERT_TRUE(engine.Start(MakeDefaultSettings(), targets, nullptr));
    // With the hotkey or raw input the engine sleeps while nobody types;
    // without, it polls.
    if (rawInput) {
        EXPECT_TRUE(PollsStop());
    } else {
        EXPECT_TRUE(testsupport::WaitUntil([] { return polls.load() >= 10; }, 3000));
    }
    EXPECT_EQ(polls.load() == 0, rawInput);

    const bool hid = HoldChordUntil([&] { return all(false); });
    ReleaseChord();
    // The second press counts once the one-second debounce has passed.
    const bool restored = hid && HoldChordUntil([&] { return all(true); });
    ReleaseChord();
    // The chord's keys up: asleep again.
    if (rawInput) {
        EXPECT_TRUE(PollsStop());
    }

    engine.RequestStop();
    EXPECT_TRUE(engine.WaitEnded(GetTickCount64() + 5000));

    EXPECT_TRUE(hid) << "Ctrl+` did not hide the windows";
    EXPECT_TRUE(restored) << "Ctrl+` did not restore the windows";
    EXPECT_FALSE(engine.HoldsHiddenWindows());
}
