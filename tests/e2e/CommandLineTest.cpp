// The command line as scripts and mouse software use it: a second
// Covelin.exe with a switch, acting on the one that runs in this session.
#include "E2eCase.h"

namespace e2e {
namespace {

constexpr DWORD kMessageMagic = 0x314C5643;

class CommandLine : public CovelinCase {
protected:
    // Covelin with the target program's windows chosen, armed or not.
    HWND StartWithTargets(Process& covelin, bool armed)
    {
        EXPECT_TRUE(install.WriteSettings(DefaultSettings()));
        WriteFileList({install.Target()});
        targets = StartTarget(target, 2);
        EXPECT_EQ(2u, targets.size());
        HWND dialog = StartToDialog(covelin);
        EXPECT_TRUE(dialog && (!armed || Arm(dialog)));
        return dialog;
    }

    // Runs Covelin.exe with `args`; its exit code, or 1234 when it did not end.
    DWORD Run(const std::wstring& args)
    {
        Process process;
        DWORD code = 1234;
        EXPECT_TRUE(process.Start(install.Exe(), args) && process.WaitExit(kExitMs + kStartMs, &code))
            << Narrow(args) << ":" << Describe(process.Id());
        return code;
    }

    // The instance's pipe, opened as any client of this user could.
    static HANDLE OpenChannel()
    {
        DWORD session = 0;
        ProcessIdToSessionId(GetCurrentProcessId(), &session);
        const std::wstring name = L"\\\\.\\pipe\\Covelin-" + std::to_wstring(session);
        HANDLE pipe = INVALID_HANDLE_VALUE;
        WaitFor(
            [&] {
                pipe = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
                return pipe != INVALID_HANDLE_VALUE;
            },
            kActMs);
        return pipe;
    }

    // True when the instance hangs up on `pipe` without a word.
    static bool HungUpWithoutAnswer(HANDLE pipe)
    {
        bool answered = false;
        const bool hungUp = WaitFor(
            [&] {
                DWORD available = 0;
                if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr))
                    return true;
                answered = available > 0;
                return answered;
            },
            kActMs);
        return hungUp && !answered;
    }

    Process target;
    std::vector<HWND> targets;
};

TEST_F(CommandLine, WithoutAnInstanceSwitchesChangeNothingAndTheUsageBoxListsThem)
{
    for (const wchar_t* args : {L"/toggle", L"-show", L"--EXIT"})
        EXPECT_EQ(1u, Run(args)) << Narrow(args);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(install.Settings().c_str())) << "a switch ran Covelin";

    const std::pair<const wchar_t*, DWORD> usage[] = {{L"/?", 0}, {L"--?", 0}, {L"/hide", 2}, {L"/show /exit", 2}};
    for (const auto& [args, expected] : usage) {
        SCOPED_TRACE(Narrow(args));
        Process process;
        ASSERT_TRUE(process.Start(install.Exe(), args));
        HWND box = WaitForMessageBox(process.Id());
        ASSERT_NE(nullptr, box);
        const std::wstring text = MessageBoxText(box);
        for (const wchar_t* name : {L"/toggle", L"/show", L"/exit", L"/?"})
            EXPECT_NE(std::wstring::npos, text.find(name)) << Narrow(text);
        ASSERT_TRUE(DismissMessageBox(box));
        DWORD code = 1234;
        ASSERT_TRUE(process.WaitExit(kExitMs, &code));
        EXPECT_EQ(expected, code);
    }
}

TEST_F(CommandLine, SwitchesActOnTheRunningInstanceAsTheTrayMenuDoes)
{
    Process covelin;
    HWND dialog = StartWithTargets(covelin, false);
    ASSERT_NE(nullptr, dialog);

    // Not armed: nothing to toggle; the dialog is on screen already.
    EXPECT_EQ(3u, Run(L"/toggle"));
    EXPECT_EQ(0u, Run(L"-SHOW"));
    EXPECT_TRUE(AllVisible(targets));
    EXPECT_TRUE(IsWindowVisible(dialog));

    ASSERT_TRUE(Arm(dialog));
    EXPECT_EQ(0u, Run(L"--Toggle"));
    EXPECT_TRUE(WaitFor([&] { return NoneVisible(targets); }, kActMs));
    EXPECT_EQ(0u, Run(L"/show"));
    EXPECT_TRUE(WaitForDialogBack(dialog));
    EXPECT_TRUE(AllVisible(targets));

    // /exit restores, saves, and returns once the instance has gone.
    ASSERT_TRUE(Arm(dialog));
    EXPECT_EQ(0u, Run(L"/toggle"));
    EXPECT_TRUE(WaitFor([&] { return NoneVisible(targets); }, kActMs));
    ASSERT_TRUE(DeleteFileW(install.Settings().c_str()));
    EXPECT_EQ(0u, Run(L"/exit"));
    DWORD code = 1234;
    EXPECT_TRUE(covelin.WaitExit(0, &code)) << "/exit returned before the instance ended";
    EXPECT_EQ(0u, code);
    EXPECT_TRUE(AllVisible(targets));
    EXPECT_EQ(DefaultSettings(), install.ReadSettings());
    EXPECT_EQ(1u, Run(L"/exit"));
}

TEST_F(CommandLine, MalformedAndSilentClientsAreDroppedAndTheInstanceGoesOn)
{
    Process covelin;
    ASSERT_NE(nullptr, StartWithTargets(covelin, true));

    // Too short, a stranger's, an unknown command, a toggle with a tail, and
    // a client that leaves without a word: none of them acts.
    const std::vector<std::vector<DWORD>> messages = {
        {kMessageMagic}, {0xDEADBEEF, 1}, {kMessageMagic, 9}, {kMessageMagic, 1, 0}, {}};
    for (const auto& words : messages) {
        HANDLE pipe = OpenChannel();
        ASSERT_NE(INVALID_HANDLE_VALUE, pipe);
        DWORD written = 0;
        if (!words.empty())
            WriteFile(pipe, words.data(), static_cast<DWORD>(words.size() * sizeof(DWORD)), &written, nullptr);
        EXPECT_TRUE(words.empty() || HungUpWithoutAnswer(pipe)) << words.size() << " words";
        CloseHandle(pipe);
    }
    EXPECT_TRUE(AllVisible(targets));

    // One that connects and stalls delays the next command only briefly.
    HANDLE staller = OpenChannel();
    ASSERT_NE(INVALID_HANDLE_VALUE, staller);
    EXPECT_EQ(0u, Run(L"/toggle"));
    EXPECT_TRUE(HungUpWithoutAnswer(staller));
    CloseHandle(staller);
    EXPECT_TRUE(WaitFor([&] { return NoneVisible(targets); }, kActMs));

    EXPECT_EQ(0u, Run(L"/exit"));
    EXPECT_FALSE(covelin.Running());
    EXPECT_TRUE(AllVisible(targets));
}

} // namespace
} // namespace e2e
