#pragma once
// The program's own window and thread messages, all in one place so that no
// two share a number.
#include <windows.h>

// Thread messages to the engine (both parameters 0): the tray's commands.
inline constexpr UINT UM_TOGGLE_HIDE = WM_USER + 100;   // 1124: as a press of the show/hide chord
inline constexpr UINT UM_SHOW_SETTINGS = WM_USER + 101; // 1125: as a press of the show-dialog chord
inline constexpr UINT UM_RESTORE_EXIT = WM_USER + 102;  // 1126: restore, close the main dialog, end

// The tray icon's callback message.
inline constexpr UINT UM_TRAY_NOTIFY = WM_USER + 1; // 1025

// To the instance channel's window: wParam a command of another instance,
// lParam its sequence number.
inline constexpr UINT UM_INSTANCE_COMMAND = WM_APP + 1;

// Posted by the engine to the main dialog (both parameters 0): show yourself
// again, the engine has ended. For "Restore && Exit" it posts WM_CLOSE.
inline constexpr UINT UM_ENGINE_SHOW_DIALOG = WM_APP + 40;

// Posted by the main dialog to itself at set-up: it arrives once the dialog
// is shown, ahead of any input.
inline constexpr UINT UM_AFTER_SHOWN = WM_APP + 60;
