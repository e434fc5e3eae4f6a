// Hiding another program's windows by its executable file, through the
// hotkeys and through the tray icon's commands.
#include "E2eCase.h"

namespace e2e {
namespace {

constexpr int kHide = 32774;     // tray menu "Hide" / "Restore"
constexpr int kSettings = 32773; // tray menu "Setting..."
constexpr int kExit = 32771;     // tray menu "Exit" / "Restore && Exit"

class Hiding : public CovelinCase {
protected:
    void SetUp() override
    {
        CovelinCase::SetUp();
        ASSERT_TRUE(install.WriteSettings(DefaultSettings()));
        // Listed in another letter case than the running file reports: the
        // rule compares upper-cased paths.
        listed = Lower(install.Target());
        WriteFileList({listed});
        target = StartTarget(3);
        ASSERT_NE(nullptr, target) << "the target program did not open its windows";
        targets = target->Windows();
    }

    // The Z order of the target's windows once it has stayed the same for
    // longer than two catalogue rebuilds, so the catalogue sees it too.
    std::vector<HWND> SettledOrder()
    {
        std::vector<HWND> order = ZOrderOf(target->ProcessId(), kTargetClass);
        ULONGLONG since = GetTickCount64();
        WaitUntil(
            [&] {
                std::vector<HWND> now = ZOrderOf(target->ProcessId(), kTargetClass);
                if (now != order) {
                    order = now;
                    since = GetTickCount64();
                }
                return GetTickCount64() - since >= 1200;
            },
            kActMs);
        return order;
    }

    // Covelin started to its dialog, with its tray window found.
    bool StartWithTray(Process& covelin, HWND* dialog, HWND* tray)
    {
        *dialog = StartToDialog(covelin);
        *tray = *dialog != nullptr ? WaitForWindow(covelin.Id(), kTrayClass, nullptr, kActMs) : nullptr;
        return *tray != nullptr;
    }

    // Armed, then the tray's "Hide" once the catalogue has listed the
    // target's windows (the engine only sees those).
    bool ArmAndHideByTray(HWND dialog, HWND tray)
    {
        if (!Arm(dialog))
            return false;
        SettledOrder();
        PostCommand(tray, kHide);
        return WaitUntil([&] { return NoneVisible(targets); }, kActMs);
    }

    std::wstring listed;
    std::unique_ptr<testsupport::WindowHost> target;
    std::vector<HWND> targets;
};

TEST_F(Hiding, ToggleHotkeyHidesTheFilesWindowsAndBringsThemBackFirstHiddenInFront)
{
    Process covelin;
    HWND dialog = StartToDialog(covelin);
    ASSERT_NE(nullptr, dialog);
    ASSERT_TRUE(Arm(dialog)) << "Start did not hide the dialog";

    // Another order than the one they were opened in.
    SetWindowPos(targets[1], HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    std::vector<HWND> before = SettledOrder();
    ASSERT_EQ(3u, before.size());

    ASSERT_TRUE(HoldKeysUntil(kToggleKeys, [&] { return NoneVisible(targets); }))
        << "Ctrl+` did not hide the listed program's windows";
    EXPECT_FALSE(IsWindowVisible(dialog));

    // The next press (after the one-second debounce) shows them again,
    // last hidden first, so the first one hidden, the top one, is in front.
    ASSERT_TRUE(HoldKeysUntil(kToggleKeys, [&] { return AllVisible(targets); }))
        << "the second Ctrl+` did not bring the windows back";
    // The windows show before the restore brings them forward one by one.
    std::vector<HWND> after;
    WaitUntil(
        [&] {
            after = ZOrderOf(target->ProcessId(), kTargetClass);
            return !after.empty() && after.front() == before.front();
        },
        kActMs);
    ASSERT_FALSE(after.empty());
    EXPECT_EQ(before.front(), after.front()) << "expected \"" << Narrow(WindowTitle(before.front()))
                                             << "\" in front, found \"" << Narrow(WindowTitle(after.front())) << "\"";

    // The show-dialog chord brings the dialog back and disarms.
    ASSERT_TRUE(HoldKeysUntil(kShowDialogKeys, [&] { return IsWindowVisible(dialog) != FALSE; }))
        << "Ctrl+Left did not bring the dialog back";
    EXPECT_TRUE(WaitForDialogBack(dialog));
    EXPECT_TRUE(AllVisible(targets));

    ExitExpectingZero(covelin, dialog);
    EXPECT_EQ(std::vector<std::wstring>{Upper(listed)}, ReadFileList());
}

TEST_F(Hiding, ShowDialogHotkeyWhileHiddenRestoresTheWindowsToo)
{
    Process covelin;
    HWND dialog = StartToDialog(covelin);
    ASSERT_NE(nullptr, dialog);
    ASSERT_TRUE(Arm(dialog));
    ASSERT_TRUE(HoldKeysUntil(kToggleKeys, [&] { return NoneVisible(targets); }));

    ASSERT_TRUE(HoldKeysUntil(kShowDialogKeys, [&] { return IsWindowVisible(dialog) != FALSE; }));
    EXPECT_TRUE(WaitForDialogBack(dialog));
    EXPECT_TRUE(AllVisible(targets));

    ExitExpectingZero(covelin, dialog);
}

TEST_F(Hiding, TrayCommandsHideShowTheDialogAndRestoreThenExit)
{
    Process covelin;
    HWND dialog = nullptr, tray = nullptr;
    ASSERT_TRUE(StartWithTray(covelin, &dialog, &tray));
    ASSERT_TRUE(ArmAndHideByTray(dialog, tray)) << "tray \"Hide\" hid nothing";

    // "Setting..." restores and brings the dialog back.
    PostCommand(tray, kSettings);
    ASSERT_TRUE(WaitForDialogBack(dialog));
    EXPECT_TRUE(AllVisible(targets));

    // Armed again: hide, then "Restore && Exit". (As before, a moment for
    // the engine to settle in, as long as a hand takes to reach the tray.)
    ASSERT_TRUE(ArmAndHideByTray(dialog, tray));
    PostCommand(tray, kExit);
    DWORD code = 1234;
    ASSERT_TRUE(covelin.WaitExit(kExitMs, &code))
        << "Covelin did not end on \"Restore && Exit\":" << Describe(covelin.Id());
    EXPECT_EQ(0u, code);
    EXPECT_TRUE(AllVisible(targets));
    EXPECT_EQ(std::vector<std::wstring>{Upper(listed)}, ReadFileList());
    EXPECT_EQ(DefaultSettings(), install.ReadSettings());
}

TEST_F(Hiding, ACloseRequestFromAnotherProgramShowsWhatIsHiddenBeforeTheEnd)
{
    // As "taskkill" without /f: WM_CLOSE to one of our windows while armed
    // and hiding, first the tray's window, then the hidden dialog itself.
    for (bool toDialog : {false, true}) {
        Process covelin;
        HWND dialog = nullptr, tray = nullptr;
        ASSERT_TRUE(StartWithTray(covelin, &dialog, &tray));
        ASSERT_TRUE(ArmAndHideByTray(dialog, tray));

        PostMessageW(toDialog ? dialog : tray, WM_CLOSE, 0, 0);
        DWORD code = 1234;
        ASSERT_TRUE(covelin.WaitExit(kExitMs, &code)) << "Covelin did not end on WM_CLOSE:" << Describe(covelin.Id());
        EXPECT_EQ(0u, code);
        EXPECT_TRUE(AllVisible(targets)) << (toDialog ? "to the dialog" : "to the tray window");
    }
}

} // namespace
} // namespace e2e
