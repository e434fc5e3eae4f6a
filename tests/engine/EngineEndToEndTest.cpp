#include "engine/Engine.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "catalogue/HideSets.h"
#include "engine/Hiding.h"
#include "engine/SettingFile.h"
#include "framework/Thread.h"
#include "support/Keyboard.h"
#include "support/Wait.h"
#include "support/WindowHost.h"

// The real engine thread against windows of another process, driven through
// the real keyboard.

namespace {

// Holds keys down through the system's input queue, pressing them again at
// every check as keyboard auto-repeat would (Wine forgets injected keys when
// the focus moves), and lets go of them when done or when the test fails.
class HeldKeys {
public:
    explicit HeldKeys(std::initializer_list<WORD> keys) : keys_(keys) {}
    ~HeldKeys() { Release(); }

    template <class Condition>
    bool HoldUntil(Condition condition, DWORD timeoutMs)
    {
        return testsupport::WaitUntil(
            [&] {
                for (WORD key : keys_)
                    testsupport::SendKey(key, true);
                return condition();
            },
            timeoutMs, 30);
    }

    bool Release()
    {
        bool released = true;
        for (auto key = keys_.rbegin(); key != keys_.rend(); ++key) {
            testsupport::SendKey(*key, false);
            released = testsupport::WaitForKeyState(*key, false) && released;
        }
        return released;
    }

private:
    std::vector<WORD> keys_;
};

// Starts the real engine and, whatever happens, stops it as shutdown does.
class RunningEngine {
public:
    RunningEngine()
    {
        engineThread = StartEngineThread();
    }
    ~RunningEngine()
    {
        if (!engineThread)
            return;
        engineStop = 1;
        testsupport::WaitUntil([] { return engineDone.load() == 1; }, 5000, 100);
        WaitForSingleObject(engineThread->m_hThread, 5000);
        delete engineThread;
        engineThread = nullptr;
    }
    bool Started() const { return engineThread != nullptr; }
};

class EngineEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedSettings_ = *settingFile.Data();
        *settingFile.Data() = MakeDefaultSettings(); // Ctrl+` hides and restores
        engineOperations = DefaultEngineOperations();
    }
    void TearDown() override
    {
        hideWindowSet.RemoveAll();
        *settingFile.Data() = savedSettings_;
        std::lock_guard<CCriticalSection> guard(engineLock);
        hiddenStack.RemoveAll();
    }

private:
    SettingData savedSettings_{};
};

} // namespace

TEST_F(EngineEndToEndTest, CtrlGraveHidesTheChosenWindowsAndTheNextPressRestoresThem)
{
    testsupport::WindowHost host({"*3|CovelinEngineTarget|Engine target"});
    ASSERT_TRUE(host.Ready());
    ASSERT_EQ(host.Windows().size(), 3u);
    for (HWND window : host.Windows()) {
        ASSERT_TRUE(IsWindowVisible(window));
        hideWindowSet.Add(window);
    }
    const auto allVisible = [&](bool visible) {
        for (HWND window : host.Windows())
            if ((IsWindowVisible(window) != FALSE) != visible)
                return false;
        return true;
    };

    testsupport::ForegroundWindow keyboard;
    ASSERT_TRUE(keyboard.HasForeground());
    RunningEngine engine;
    ASSERT_TRUE(engine.Started());

    HeldKeys chord{VK_CONTROL, VK_OEM_3};
    ASSERT_TRUE(chord.HoldUntil([&] { return allVisible(false); }, 5000)) << "Ctrl+` did not hide the windows";
    ASSERT_TRUE(chord.Release());
    {
        std::lock_guard<CCriticalSection> guard(engineLock);
        EXPECT_EQ(hiddenStack.GetSize(), 3);
    }

    // The next press comes once the engine's one-second debounce has passed.
    ASSERT_TRUE(chord.HoldUntil([&] { return allVisible(true); }, 5000)) << "Ctrl+` did not restore the windows";
    ASSERT_TRUE(chord.Release());
    {
        std::lock_guard<CCriticalSection> guard(engineLock);
        EXPECT_TRUE(hiddenStack.IsEmpty());
    }
    EXPECT_EQ(engineDone.load(), 0); // the toggles leave the engine running
}
