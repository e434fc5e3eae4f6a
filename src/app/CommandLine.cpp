#include "app/CommandLine.h"

#include <shellapi.h>

#include <memory>

#include "CovelinVersion.h"
#include "app/TrayIcon.h"
#include "framework/Controls.h"
#include "framework/FileSystem.h"
#include "framework/Handles.h"
#include "framework/Log.h"
#include "framework/WinApp.h"
#include "recovery/JournalFormat.h"
#include "recovery/StartupRecovery.h"
#include "system/Foreground.h"
#include "ui/Texts.h"

namespace {

bool SameText(const std::wstring& a, const wchar_t* b)
{
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b, -1, TRUE) == CSTR_EQUAL;
}

// The dialog is on screen already (no engine armed): bring it forward.
void BringDialogForward()
{
    const CWinApp* app = AfxGetApp();
    const HWND dialog = app && app->m_pMainWnd ? app->m_pMainWnd->m_hWnd : nullptr;
    if (!dialog || !IsWindowVisible(dialog))
        return;
    if (IsIconic(dialog))
        ShowWindow(dialog, SW_RESTORE);
    BringToForeground(dialog);
}

// /recover: what start-up does for the windows a dead instance left hidden,
// alone, without a dialog. The pipe is held meanwhile, so that no instance
// starts halfway through and finds its journal gone.
int RecoverWhatADeadInstanceLeft()
{
    UniqueHandle pipe;
    const InstanceClaim claim = ClaimInstancePipe(InstancePipeName(), pipe.put());
    if (claim == InstanceClaim::HeldByAnother) {
        Log::Line(L"/recover: a Covelin runs in this session; its hidden windows are left to it");
        return kExitInstanceRuns;
    }
    // Failed: nothing tells whether an instance runs (the log has why).
    // Windows left hidden for good are the worse outcome, so the recovery
    // goes ahead; it says in the log what it found and did.
    RecoverLeftHiddenWindows(DirectoryOf(OwnModulePath()) + kHiddenJournalName);
    return kExitDone;
}

} // namespace

std::vector<std::wstring> ProcessArguments()
{
    std::vector<std::wstring> arguments;
    int count = 0;
    const UniqueLocal<LPWSTR*> argv(CommandLineToArgvW(GetCommandLineW(), &count));
    if (!argv)
        return arguments;
    for (int i = 1; i < count; ++i)
        arguments.emplace_back(argv.get()[i]);
    return arguments;
}

ParsedCommandLine ParseCommandLine(const std::vector<std::wstring>& arguments)
{
    ParsedCommandLine given;
    for (const std::wstring& argument : arguments) {
        size_t prefix = 0;
        if (argument.starts_with(L"--"))
            prefix = 2;
        else if (argument.starts_with(L'-') || argument.starts_with(L'/'))
            prefix = 1;
        const std::wstring name = argument.substr(prefix);
        if (prefix != 0 && SameText(name, L"log") && !given.log) {
            given.log = true;
            continue;
        }
        CommandLineSwitch which = CommandLineSwitch::Unknown;
        if (prefix != 0 && given.which == CommandLineSwitch::None) {
            if (SameText(name, L"toggle"))
                which = CommandLineSwitch::Toggle;
            else if (SameText(name, L"show"))
                which = CommandLineSwitch::Show;
            else if (SameText(name, L"exit"))
                which = CommandLineSwitch::Exit;
            else if (SameText(name, L"recover"))
                which = CommandLineSwitch::Recover;
            else if (name == L"?")
                which = CommandLineSwitch::Help;
        }
        given.which = which;
        if (which == CommandLineSwitch::Unknown)
            break;
    }
    return given;
}

void StartLog(const ParsedCommandLine& given)
{
    if (given.log)
        Log::SetFile(DirectoryOf(OwnModulePath()) + kLogFileName);
    Log::Line(L"Covelin " COVELIN_VERSION_WIDE_TEXT L" started, process " + std::to_wstring(GetCurrentProcessId()) +
              L": " + GetCommandLineW());
}

int RunCommandLineSwitch(CommandLineSwitch which)
{
    InstanceCommand command = InstanceCommand::Toggle;
    switch (which) {
    case CommandLineSwitch::Toggle:
        break;
    case CommandLineSwitch::Show:
        command = InstanceCommand::Show;
        break;
    case CommandLineSwitch::Exit:
        command = InstanceCommand::Exit;
        break;
    case CommandLineSwitch::Recover:
        return RecoverWhatADeadInstanceLeft();
    default:
        MessageBoxW(nullptr, kMsgCommandLineUsage, kAppName, MB_OK | MB_ICONINFORMATION);
        return which == CommandLineSwitch::Help ? kExitDone : kExitUnknownSwitch;
    }

    const InstanceAnswer answer = SendInstanceCommand(InstancePipeName(), command, kCommandAnswerMs);
    if (answer.outcome == InstanceAnswer::Outcome::NoInstance)
        return kExitNoInstance;
    if (answer.outcome != InstanceAnswer::Outcome::Answered) {
        Log::Line(L"The running Covelin did not answer within " + std::to_wstring(kCommandAnswerMs) + L" ms");
        return kExitNoAnswer;
    }
    if (answer.reply == InstanceReply::NotArmed)
        return kExitNotArmed;
    if (command == InstanceCommand::Exit && answer.process &&
        WaitForSingleObject(answer.process.get(), kExitWaitMs) != WAIT_OBJECT_0) {
        Log::Line(L"The running Covelin did not end within " + std::to_wstring(kExitWaitMs) + L" ms of /exit");
        return kExitNoAnswer;
    }
    // A process that could not be opened had ended already.
    return kExitDone;
}

InstanceReply AnswerInstanceCommand(CTrayIcon& tray, InstanceCommand command)
{
    switch (command) {
    case InstanceCommand::Toggle:
        return tray.OnCommand(CTrayIcon::kCommandHideRestore) ? InstanceReply::Done : InstanceReply::NotArmed;
    case InstanceCommand::Show:
        if (!tray.OnCommand(CTrayIcon::kCommandSetting))
            BringDialogForward();
        return InstanceReply::Done;
    case InstanceCommand::Exit:
        tray.OnCommand(CTrayIcon::kCommandRestoreExit);
        return InstanceReply::Done;
    }
    return InstanceReply::Done;
}
