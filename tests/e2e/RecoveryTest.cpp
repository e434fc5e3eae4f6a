// Hidden windows are never lost: Covelin killed while windows are hidden
// brings them back at its next start; the end of the session brings them
// back before anyone is asked to close.
#include "E2eCase.h"

#include "support/ScratchDir.h"

namespace e2e {
namespace {

class Recovery : public CovelinCase {
protected:
    void SetUp() override
    {
        CovelinCase::SetUp();
        ASSERT_TRUE(install.WriteSettings(DefaultSettings()));
        WriteFileList({install.Target()});
        target = StartTarget(3);
        ASSERT_NE(nullptr, target) << "the target program did not open its windows";
        targets = target->Windows();
    }

    std::wstring Journal() const { return install.Dir() + L"hidden.dat"; }
    bool JournalExists() const { return GetFileAttributesW(Journal().c_str()) != INVALID_FILE_ATTRIBUTES; }
    std::string JournalBytes() const
    {
        std::string bytes;
        testsupport::ReadBytes(Journal(), &bytes);
        return bytes;
    }

    // Starts Covelin, arms it and hides the target's windows with Ctrl+`.
    // The journal is on disk by the time the windows have gone.
    bool StartAndHide(Process& covelin, const std::vector<HWND>& windows)
    {
        HWND dialog = StartToDialog(covelin);
        if (!dialog || !Arm(dialog))
            return false;
        return HoldKeysUntil(kToggleKeys, [&] { return NoneVisible(windows) && JournalExists(); });
    }

    // The second start after a death: the dialog as always, no message box,
    // and the windows back within a few seconds.
    void StartExpectingBack(Process& covelin, const std::vector<HWND>& windows)
    {
        HWND dialog = StartToDialog(covelin);
        ASSERT_NE(nullptr, dialog);
        EXPECT_TRUE(WaitUntil([&] { return AllVisible(windows); }, kActMs)) << "the hidden windows did not come back";
        EXPECT_TRUE(WaitUntil([&] { return !JournalExists(); }, kActMs)) << "the journal was left behind";
        ExitExpectingZero(covelin, dialog);
    }

    std::unique_ptr<testsupport::WindowHost> target;
    std::vector<HWND> targets;
};

TEST_F(Recovery, KilledWhileHidingThenStartedAgainShowsTheWindows)
{
    Process covelin;
    ASSERT_TRUE(StartAndHide(covelin, targets)) << "Ctrl+` did not hide the target's windows";
    covelin.Kill();
    // Nothing else brings them back.
    EXPECT_FALSE(WaitUntil([&] { return !NoneVisible(targets); }, 500));

    Process again;
    StartExpectingBack(again, targets);
    // The settings file is the one the test wrote, byte for byte.
    EXPECT_EQ(DefaultSettings(), install.ReadSettings());
}

// What the uninstaller runs once Covelin is gone: no start, no dialog.
TEST_F(Recovery, RecoverSwitchShowsWhatADeadCovelinLeftAndLeavesARunningOnesAlone)
{
    Process covelin;
    ASSERT_TRUE(StartAndHide(covelin, targets));
    EXPECT_EQ(1u, RunToEnd(install.Exe(), L"/recover"));
    EXPECT_FALSE(WaitUntil([&] { return !NoneVisible(targets) || !JournalExists(); }, 500));
    covelin.Kill();

    EXPECT_EQ(0u, RunToEnd(install.Exe(), L"/recover"));
    EXPECT_TRUE(WaitUntil([&] { return AllVisible(targets); }, kActMs)) << "the hidden windows did not come back";
    EXPECT_FALSE(JournalExists());
    EXPECT_EQ(DefaultSettings(), install.ReadSettings()) << "/recover is no start of Covelin";
}

TEST_F(Recovery, TwoHidesWorthOfWindowsAcrossTwoDeaths)
{
    auto second = StartTarget(2);
    ASSERT_NE(nullptr, second);
    std::vector<HWND> more = second->Windows();
    std::vector<HWND> all = targets;
    all.insert(all.end(), more.begin(), more.end());

    // Hide, restore, hide again: the journal lists the second hide alone,
    // each window once.
    Process covelin;
    ASSERT_TRUE(StartAndHide(covelin, all));
    ASSERT_TRUE(HoldKeysUntil(kToggleKeys, [&] { return AllVisible(all); }));
    EXPECT_TRUE(WaitUntil([&] { return !JournalExists(); }, kActMs)) << "a complete restore leaves no journal";
    ASSERT_TRUE(HoldKeysUntil(kToggleKeys, [&] { return NoneVisible(all) && JournalExists(); }));
    // Header, five entries, the mute's tail (no endpoint, no sessions, no
    // more endpoints: three zero counts), checksum.
    EXPECT_EQ(32u + 5 * 24u + 12u + 4u, JournalBytes().size());
    covelin.Kill();

    Process again;
    StartExpectingBack(again, all);

    // And once more, on top of a recovered start.
    Process third;
    ASSERT_TRUE(StartAndHide(third, all));
    third.Kill();
    Process fourth;
    StartExpectingBack(fourth, all);
}

TEST_F(Recovery, WindowClosedMeanwhileIsSkipped)
{
    Process covelin;
    ASSERT_TRUE(StartAndHide(covelin, targets));
    covelin.Kill();
    PostMessageW(targets[1], WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(targets[1]); }, kActMs));

    Process again;
    StartExpectingBack(again, {targets[0], targets[2]});
}

TEST_F(Recovery, DamagedJournalIsRemovedAndTouchesNothingCovelinDidNotHide)
{
    // A window its own program hid: no start of Covelin may show it.
    ShowWindow(targets[2], SW_HIDE);

    // Cut short: the journal is refused, but the windows that the dead
    // instance hid carry its mark and come back all the same.
    Process covelin;
    ASSERT_TRUE(StartAndHide(covelin, {targets[0], targets[1]}));
    covelin.Kill();
    const std::string written = JournalBytes();
    ASSERT_GT(written.size(), 10u);
    ASSERT_TRUE(testsupport::WriteBytes(Journal(), written.substr(0, written.size() / 2)));
    Process again;
    StartExpectingBack(again, {targets[0], targets[1]});

    // Garbage of the journal's size, and an empty file.
    for (const std::string& damaged : {std::string(written.size(), '\x5a'), std::string()}) {
        ASSERT_TRUE(testsupport::WriteBytes(Journal(), damaged));
        Process next;
        StartExpectingBack(next, {targets[0], targets[1]});
    }
    EXPECT_FALSE(IsWindowVisible(targets[2]));
}

TEST_F(Recovery, StaleJournalNamingOtherWindowsTouchesNothing)
{
    Process covelin;
    ASSERT_TRUE(StartAndHide(covelin, targets));
    covelin.Kill();
    const std::string stale = JournalBytes();
    Process again;
    StartExpectingBack(again, targets);

    // The journal comes back after its windows have been shown and hidden
    // again by their own program, and after that program has been replaced
    // by a new one (whose windows may well get the old handles).
    for (HWND window : targets)
        ShowWindow(window, SW_HIDE);
    auto replaced = StartTarget(3);
    ASSERT_NE(nullptr, replaced);
    std::vector<HWND> fresh = replaced->Windows();
    for (HWND window : fresh)
        ShowWindow(window, SW_HIDE);
    ASSERT_TRUE(testsupport::WriteBytes(Journal(), stale));

    Process third;
    HWND dialog = StartToDialog(third);
    ASSERT_NE(nullptr, dialog);
    EXPECT_TRUE(WaitUntil([&] { return !JournalExists(); }, kActMs));
    EXPECT_FALSE(WaitUntil([&] { return !NoneVisible(targets) || !NoneVisible(fresh); }, 1500))
        << "a window nobody hid through Covelin was shown";
    ExitExpectingZero(third, dialog);
}

TEST_F(Recovery, SessionEndRestoresHiddenWindowsBeforeAnyoneIsAsked)
{
    Process covelin;
    ASSERT_TRUE(StartAndHide(covelin, targets));

    // The system asks every top-level window of the process, hidden or not.
    int asked = 0;
    for (HWND window : WindowsOf(covelin.Id(), nullptr, nullptr)) {
        DWORD_PTR answer = 0;
        ASSERT_TRUE(
            SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, kActMs, &answer));
        EXPECT_NE(0u, answer) << "Covelin must not hold up the end of the session";
        ++asked;
    }
    EXPECT_GE(asked, 2);
    EXPECT_TRUE(WaitUntil([&] { return AllVisible(targets); }, 1000)) << "the windows were still hidden";
    EXPECT_FALSE(JournalExists());

    // Somebody else cancelled: the session goes on and so does Covelin.
    for (HWND window : WindowsOf(covelin.Id(), nullptr, nullptr))
        SendMessageTimeoutW(window, WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, kActMs, nullptr);
    EXPECT_TRUE(covelin.Running());
    HWND dialog = WaitForWindow(covelin.Id(), L"#32770", kMainCaption, kActMs);
    ASSERT_NE(nullptr, dialog);
    ASSERT_TRUE(HoldKeysUntil(kShowDialogKeys, [&] { return IsWindowVisible(dialog) != FALSE; }));
    EXPECT_TRUE(AllVisible(targets));
    ExitExpectingZero(covelin, dialog);
}

TEST_F(Recovery, SessionEndingForRealRestoresOnTheEndMessageToo)
{
    Process covelin;
    ASSERT_TRUE(StartAndHide(covelin, targets));
    // Some systems end the session without asking first (a forced log-off).
    for (HWND window : WindowsOf(covelin.Id(), nullptr, nullptr))
        SendMessageTimeoutW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, kActMs, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return AllVisible(targets); }, 1000));
    EXPECT_FALSE(JournalExists());
    covelin.Kill(); // as the end of the session would
    EXPECT_TRUE(AllVisible(targets));
}

} // namespace
} // namespace e2e
