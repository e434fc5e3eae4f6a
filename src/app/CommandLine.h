#pragma once
// Covelin's switches. A start with a switch does not run a second Covelin:
// it carries one command to the instance already running in this session
// (the tray menu's commands, for mouse and keyboard software, macro pads,
// the Task Scheduler and scripts) and tells the outcome by its exit code.
// Two are not commands: /recover shows what a Covelin that died left hidden
// (for the uninstaller, which must not delete the only record of it), and
// /log makes the process it is given to keep its log in a file.
#include <windows.h>

#include <string>
#include <vector>

#include "app/InstanceChannel.h"

enum class CommandLineSwitch { None, Toggle, Show, Exit, Recover, Help, Unknown };

struct ParsedCommandLine {
    CommandLineSwitch which = CommandLineSwitch::None;
    bool log = false; // "/log": this process's log lines go to Covelin.log as well
};

// The log file of a start with /log, beside "setting.dat".
inline constexpr wchar_t kLogFileName[] = L"Covelin.log";

// Exit codes of a start with a switch.
inline constexpr int kExitDone = 0;
inline constexpr int kExitNoInstance = 1;    // no Covelin runs in this session
inline constexpr int kExitInstanceRuns = 1;  // /recover: a Covelin runs, and its hidden windows are its own
inline constexpr int kExitUnknownSwitch = 2; // after the usage box
inline constexpr int kExitNotArmed = 3;      // /toggle while the dialog is on screen
inline constexpr int kExitNoAnswer = 4;      // it runs, but did not answer (or end) in time

// How long a command may take to be answered, and /exit to see the
// instance's process end.
inline constexpr DWORD kCommandAnswerMs = 5000;
inline constexpr DWORD kExitWaitMs = 10000;

// The process's arguments after the program's own name.
std::vector<std::wstring> ProcessArguments();

// "/toggle", "-toggle" or "--toggle", in any case, and the same for show,
// exit, recover, log and "?". "/log" may come once, before or after one
// other switch; no other switch is None. Anything else, or a second
// switch, is Unknown.
ParsedCommandLine ParseCommandLine(const std::vector<std::wstring>& arguments);

// With /log, names the log file beside the executable; then writes the
// log's first line (version, process and command line) either way.
void StartLog(const ParsedCommandLine& given);

// Carries out a switch other than None from this process: the usage box,
// the recovery, or the command sent to the running instance (and for Exit,
// the wait for its end). Returns the exit code.
int RunCommandLineSwitch(CommandLineSwitch which);

class CTrayIcon;

// The running instance's side, on its main thread: one command carried out
// as `tray`'s menu would.
InstanceReply AnswerInstanceCommand(CTrayIcon& tray, InstanceCommand command);
