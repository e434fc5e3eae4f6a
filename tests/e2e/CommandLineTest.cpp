// The command line as scripts and mouse software use it: a second
// Covelin.exe with a switch, acting on the one that runs in this session.
#include "E2eCase.h"

namespace e2e {
namespace {

constexpr DWORD kMessageMagic = 0x314C5643;

class CommandLine : public CovelinCase {
protected:
    DWORD Run(const std::wstring& args) { return RunToEnd(install.Exe(), args); }

    // The instance's pipe, opened as any program of this user could.
    static HANDLE OpenChannel()
    {
        DWORD session = 0;
        ProcessIdToSessionId(GetCurrentProcessId(), &session);
        const std::wstring name = L"\\\\.\\pipe\\Covelin-" + std::to_wstring(session);
        HANDLE pipe = INVALID_HANDLE_VALUE;
        WaitUntil(
            [&] {
                pipe = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
                return pipe != INVALID_HANDLE_VALUE;
            },
            kActMs);
        return pipe;
    }

    // True when the instance hangs up on `pipe` without a word.
    static bool DroppedWithoutAnswer(HANDLE pipe)
    {
        DWORD available = 0;
        return WaitUntil([&] { return !PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) || available; },
                         kActMs) &&
               available == 0;
    }
};

TEST_F(CommandLine, WithoutAnInstanceSwitchesChangeNothingAndTheUsageBoxListsThem)
{
    for (const wchar_t* args : {L"/toggle", L"-show", L"--EXIT"})
        EXPECT_EQ(1u, Run(args)) << Narrow(args);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(install.Settings().c_str())) << "a switch ran Covelin";

    const std::pair<const wchar_t*, DWORD> usage[] = {
        {L"/?", 0}, {L"--? /log", 0}, {L"/hide", 2}, {L"/show /exit", 2}, {L"/log -LOG", 2}};
    for (const auto& [args, expected] : usage) {
        SCOPED_TRACE(Narrow(args));
        Process process;
        ASSERT_TRUE(process.Start(install.Exe(), args));
        HWND box = WaitForMessageBox(process.Id());
        ASSERT_NE(nullptr, box);
        for (const wchar_t* name : {L"/toggle", L"/show", L"/exit", L"/recover", L"/log", L"/?"})
            EXPECT_NE(std::wstring::npos, MessageBoxText(box).find(name)) << Narrow(MessageBoxText(box));
        ASSERT_TRUE(DismissMessageBox(box));
        DWORD code = 1234;
        ASSERT_TRUE(process.WaitExit(kExitMs, &code));
        EXPECT_EQ(expected, code);
    }
}

TEST_F(CommandLine, LogKeepsCovelinLogBesideTheExeAndAPlainStartMakesNone)
{
    ASSERT_TRUE(install.WriteSettings(DefaultSettings()));
    const std::wstring log = install.Dir() + L"Covelin.log";
    testsupport::ScratchDir elsewhere; // the working directory is not where it goes
    Process plain, logged;
    HWND dialog = StartToDialog(plain, elsewhere.Path());
    ASSERT_NE(nullptr, dialog);
    ExitExpectingZero(plain, dialog);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(log.c_str())) << "a plain start made a log";

    dialog = StartToDialog(logged, elsewhere.Path(), L"/log");
    ASSERT_NE(nullptr, dialog);
    ExitExpectingZero(logged, dialog);
    std::string lines;
    ASSERT_TRUE(testsupport::ReadBytes(log, &lines)) << "no Covelin.log beside Covelin.exe";
    const std::string first = lines.substr(0, lines.find('\n'));
    EXPECT_NE(std::string::npos, first.find("] Covelin " + Narrow(COVELIN_VERSION) + " started")) << first;
    EXPECT_EQ(first.size() - 5, first.rfind("/log\r")) << "the first line names the command line: " << first;

    // A switch with /log keeps its own lines there too.
    EXPECT_EQ(1u, Run(L"/exit /log"));
    ASSERT_TRUE(testsupport::ReadBytes(log, &lines));
    EXPECT_NE(std::string::npos, lines.find("/exit /log\r\n")) << lines;
}

TEST_F(CommandLine, SwitchesActOnTheRunningInstanceAsTheTrayMenuDoesAndNothingElseReachesIt)
{
    ASSERT_TRUE(install.WriteSettings(DefaultSettings()));
    WriteFileList({install.Target()});
    Process covelin;
    const auto target = StartTarget(2);
    ASSERT_TRUE(target);
    const std::vector<HWND> targets = target->Windows();
    HWND dialog = StartToDialog(covelin);
    ASSERT_NE(nullptr, dialog);

    // Not armed: nothing to toggle; the dialog is on screen already.
    EXPECT_EQ(3u, Run(L"/toggle"));
    EXPECT_EQ(0u, Run(L"-SHOW"));
    EXPECT_TRUE(AllVisible(targets));
    EXPECT_TRUE(IsWindowVisible(dialog));
    ASSERT_TRUE(Arm(dialog));

    // Too short, a stranger's, an unknown command, a toggle with a tail: the
    // instance hangs up on each, as on a client that leaves without a word.
    const std::vector<std::vector<DWORD>> messages = {
        {kMessageMagic}, {0xDEADBEEF, 1}, {kMessageMagic, 9}, {kMessageMagic, 1, 0}};
    for (const auto& words : messages) {
        HANDLE pipe = OpenChannel();
        DWORD written = 0;
        WriteFile(pipe, words.data(), static_cast<DWORD>(words.size() * sizeof(DWORD)), &written, nullptr);
        EXPECT_TRUE(DroppedWithoutAnswer(pipe)) << words.size() << " words";
        CloseHandle(pipe);
    }
    CloseHandle(OpenChannel());
    EXPECT_TRUE(AllVisible(targets));

    // One that connects and stalls delays the next command only briefly.
    HANDLE staller = OpenChannel();
    ASSERT_NE(INVALID_HANDLE_VALUE, staller);
    EXPECT_EQ(0u, Run(L"--Toggle"));
    EXPECT_TRUE(DroppedWithoutAnswer(staller));
    CloseHandle(staller);
    EXPECT_TRUE(WaitUntil([&] { return NoneVisible(targets); }, kActMs));

    // /exit restores, saves, and returns once the instance has gone.
    ASSERT_TRUE(DeleteFileW(install.Settings().c_str()));
    EXPECT_EQ(0u, Run(L"/exit"));
    DWORD code = 1234;
    EXPECT_TRUE(covelin.WaitExit(0, &code)) << "/exit returned before the instance ended";
    EXPECT_EQ(0u, code);
    EXPECT_TRUE(AllVisible(targets));
    EXPECT_EQ(DefaultSettings(), install.ReadSettings());
    EXPECT_EQ(1u, Run(L"/exit"));

    // A new instance (whose catalogue sees the windows from its start, not
    // only after a rebuild): /show brings back what is hidden, then the
    // dialog, and /exit then closes the dialog as its Exit button does.
    Process next;
    dialog = StartToDialog(next);
    ASSERT_TRUE(dialog && Arm(dialog));
    EXPECT_EQ(0u, Run(L"/toggle"));
    EXPECT_TRUE(WaitUntil([&] { return NoneVisible(targets); }, kActMs));
    EXPECT_EQ(0u, Run(L"/show"));
    EXPECT_TRUE(WaitForDialogBack(dialog));
    EXPECT_TRUE(AllVisible(targets));
    EXPECT_EQ(0u, Run(L"/exit"));
    EXPECT_FALSE(next.Running());
}

} // namespace
} // namespace e2e
