#include "engine/Engine.h"

#include <gtest/gtest.h>

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

} // namespace

// The real engine thread, the real keyboard and windows of another process.
TEST(EngineEndToEnd, CtrlGraveHidesTheChosenWindowsAndTheNextPressRestoresThem)
{
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
    ASSERT_TRUE(engine.Start(MakeDefaultSettings(), targets, nullptr));

    const bool hid = HoldChordUntil([&] { return all(false); });
    ReleaseChord();
    // The second press counts once the one-second debounce has passed.
    const bool restored = hid && HoldChordUntil([&] { return all(true); });
    ReleaseChord();

    engine.RequestStop();
    EXPECT_TRUE(engine.WaitEnded(GetTickCount64() + 5000));

    EXPECT_TRUE(hid) << "Ctrl+` did not hide the windows";
    EXPECT_TRUE(restored) << "Ctrl+` did not restore the windows";
    EXPECT_FALSE(engine.HoldsHiddenWindows());
}
