// Start-up as the user meets it: the first run, and one instance at a time.
#include "E2eCase.h"

namespace e2e {
namespace {

constexpr wchar_t kLoadFailed[] = L"Failed to load settings, the default settings will be used.";
constexpr wchar_t kAlreadyRunning[] = L"Another running Covelin is detected, please close that instance and try again.";

using Startup = CovelinCase;

TEST_F(Startup, FirstRunWarnsWritesDefaultsBesideTheExeAndLaterRunsDoNot)
{
    // Started from another directory: the settings belong beside the exe.
    testsupport::ScratchDir elsewhere;
    Process covelin;
    ASSERT_TRUE(covelin.Start(install.Exe(), L"", elsewhere.Path()));

    HWND box = WaitForMessageBox(covelin.Id());
    ASSERT_NE(nullptr, box) << "no first-run warning";
    EXPECT_EQ(Narrow(kLoadFailed), Narrow(MessageBoxText(box)));
    // The warning comes before the dialog is made.
    EXPECT_TRUE(WindowsOf(covelin.Id(), L"#32770", kMainCaption).empty());
    ASSERT_TRUE(DismissMessageBox(box));

    HWND dialog = WaitForMainDialog(covelin.Id());
    ASSERT_NE(nullptr, dialog);
    EXPECT_NE(nullptr, WaitForWindow(covelin.Id(), kTrayClass, nullptr, kActMs)) << "no tray icon window";
    EXPECT_EQ(DefaultSettings(), install.ReadSettings());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(elsewhere.File(L"setting.dat").c_str()));
    ExitExpectingZero(covelin, dialog);
    EXPECT_EQ(DefaultSettings(), install.ReadSettings());

    // Now that the file is there, the next start is silent.
    Process again;
    HWND second = StartToDialog(again);
    ASSERT_NE(nullptr, second);
    ExitExpectingZero(again, second);
}

TEST_F(Startup, WrongSizedSettingsFileIsReplacedByTheDefaults)
{
    std::string longer = DefaultSettings() + "x";
    longer[kMuteVolumeAt] = 1;
    ASSERT_TRUE(install.WriteSettings(longer));
    Process covelin;
    ASSERT_TRUE(covelin.Start(install.Exe()));
    std::wstring seen;
    EXPECT_TRUE(ExpectMessageBox(covelin.Id(), kLoadFailed, &seen)) << Narrow(seen);
    HWND dialog = WaitForMainDialog(covelin.Id());
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(DefaultSettings(), install.ReadSettings());
    ExitExpectingZero(covelin, dialog);
}

TEST_F(Startup, LaterStartsAreRefusedWhileOneRunsAndLeaveItAlone)
{
    ASSERT_TRUE(install.WriteSettings(DefaultSettings()));
    // Stored in lower case: only the running instance's own exit may rewrite
    // it (in upper case), so its case tells who saved.
    const std::wstring stored = Lower(install.Target());
    WriteFileList({stored});

    Process first;
    HWND dialog = StartToDialog(first);
    ASSERT_NE(nullptr, dialog);

    // The second start finds the pipe and says so; the third finds the single
    // pipe instance busy, which counts as running too.
    for (int attempt = 2; attempt <= 3; ++attempt) {
        SCOPED_TRACE("start #" + std::to_string(attempt));
        Process refused;
        ASSERT_TRUE(refused.Start(install.Exe()));
        HWND box = WaitForMessageBox(refused.Id());
        ASSERT_NE(nullptr, box);
        EXPECT_EQ(Narrow(kAlreadyRunning), Narrow(MessageBoxText(box)));
        // Refused before anything was set up.
        EXPECT_TRUE(WindowsOf(refused.Id(), kTrayClass, nullptr).empty());
        EXPECT_TRUE(WindowsOf(refused.Id(), L"#32770", kMainCaption).empty());
        ASSERT_TRUE(DismissMessageBox(box));
        DWORD code = 1234;
        ASSERT_TRUE(refused.WaitExit(kExitMs, &code));
        EXPECT_EQ(0u, code);
        EXPECT_EQ(std::vector<std::wstring>{stored}, ReadFileList()) << "a refused start touched the stored list";
    }

    // The first instance never noticed.
    ASSERT_TRUE(first.Running());
    DWORD_PTR answer = 0;
    EXPECT_NE(0, SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &answer));
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(1u, WindowsOf(first.Id(), kTrayClass, nullptr).size());

    ExitExpectingZero(first, dialog);
    EXPECT_EQ(std::vector<std::wstring>{Upper(stored)}, ReadFileList());

    // With the instance gone its pipe is gone, and a new start is accepted.
    Process next;
    HWND nextDialog = StartToDialog(next);
    ASSERT_NE(nullptr, nextDialog);
    ExitExpectingZero(next, nextDialog);
}

} // namespace
} // namespace e2e
