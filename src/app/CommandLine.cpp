#include "app/CommandLine.h"

#include <shellapi.h>

#include <memory>

#include "app/TrayIcon.h"
#include "framework/Controls.h"
#include "framework/Foreground.h"
#include "framework/Handles.h"
#include "framework/WinApp.h"
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

CommandLineSwitch ParseCommandLine(const std::vector<std::wstring>& arguments)
{
    if (arguments.empty())
        return CommandLineSwitch::None;
    if (arguments.size() > 1)
        return CommandLineSwitch::Unknown;

    const std::wstring& argument = arguments.front();
    size_t prefix = 0;
    if (argument.starts_with(L"--"))
        prefix = 2;
    else if (argument.starts_with(L'-') || argument.starts_with(L'/'))
        prefix = 1;
    else
        return CommandLineSwitch::Unknown;

    const std::wstring name = argument.substr(prefix);
    if (SameText(name, L"toggle"))
        return CommandLineSwitch::Toggle;
    if (SameText(name, L"show"))
        return CommandLineSwitch::Show;
    if (SameText(name, L"exit"))
        return CommandLineSwitch::Exit;
    if (name == L"?")
        return CommandLineSwitch::Help;
    return CommandLineSwitch::Unknown;
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
    default:
        MessageBoxW(nullptr, kMsgCommandLineUsage, kAppName, MB_OK | MB_ICONINFORMATION);
        return which == CommandLineSwitch::Help ? kExitDone : kExitUnknownSwitch;
    }

    const InstanceAnswer answer = SendInstanceCommand(InstancePipeName(), command, kCommandAnswerMs);
    if (answer.outcome == InstanceAnswer::Outcome::NoInstance)
        return kExitNoInstance;
    if (answer.outcome != InstanceAnswer::Outcome::Answered)
        return kExitNoAnswer;
    if (answer.reply == InstanceReply::NotArmed)
        return kExitNotArmed;
    if (command == InstanceCommand::Exit && answer.process &&
        WaitForSingleObject(answer.process.get(), kExitWaitMs) != WAIT_OBJECT_0)
        return kExitNoAnswer;
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
