#pragma once
// Covelin's switches. A start with a switch does not run a second Covelin:
// it carries one command to the instance already running in this session
// (the tray menu's commands, for mouse and keyboard software, macro pads,
// the Task Scheduler and scripts) and tells the outcome by its exit code.
#include <windows.h>

#include <string>
#include <vector>

#include "app/InstanceChannel.h"

enum class CommandLineSwitch { None, Toggle, Show, Exit, Help, Unknown };

// Exit codes of a start with a switch.
inline constexpr int kExitDone = 0;
inline constexpr int kExitNoInstance = 1;    // no Covelin runs in this session
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
// exit and "?". No argument is None; anything else, or more than one, is
// Unknown.
CommandLineSwitch ParseCommandLine(const std::vector<std::wstring>& arguments);

// Carries out a switch other than None from this process: the usage box, or
// the command sent to the running instance (and for Exit, the wait for its
// end). Returns the exit code.
int RunCommandLineSwitch(CommandLineSwitch which);

class CTrayIcon;

// The running instance's side, on its main thread: one command carried out
// as `tray`'s menu would.
InstanceReply AnswerInstanceCommand(CTrayIcon& tray, InstanceCommand command);
