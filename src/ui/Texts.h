#pragma once
// Every text the program shows to the user, kept byte for byte in one place.
// Message boxes take the application's name as caption: the executable's
// name, which is kAppName unless the file was renamed.

inline constexpr wchar_t kAppName[] = L"Covelin";

// Windows, Processes and Executable Files pages
inline constexpr wchar_t kColumnWindowTitle[] = L"Window Title";
inline constexpr wchar_t kColumnProcessName[] = L"Process Name";
inline constexpr wchar_t kColumnPath[] = L"Path";
inline constexpr wchar_t kMsgWindowAlreadyHidden[] = L"The selected window is already existed in the 'Hide' list.";
inline constexpr wchar_t kMsgWindowIsTopWindow[] =
    L"The selected window was set as the top window, it can't be added to 'Hide' list.";
inline constexpr wchar_t kMsgHiddenWindowNotTop[] =
    L"The selected window has been added to 'Hide' list, you can't set it as the top window.";
inline constexpr wchar_t kMsgProcessAlreadyHidden[] = L"The selected process is already existed in the 'Hide' list.";
inline constexpr wchar_t kMsgOwnExecutableRefused[] = L"It's not allowed to add this application to the list.";
inline constexpr wchar_t kMsgFileAlreadyListed[] = L"The selected file is already existed in the list.";
// After a window title or a process name: the program runs with
// administrator rights, and Covelin (running without) cannot hide it.
inline constexpr wchar_t kRowAdministratorSuffix[] = L" (administrator)";
// The rules on the Executable Files page
inline constexpr wchar_t kColumnRuleField[] = L"Match";
inline constexpr wchar_t kColumnRulePattern[] = L"Pattern";
inline constexpr wchar_t kRuleFieldTitle[] = L"Title";
inline constexpr wchar_t kRuleFieldClass[] = L"Class";
inline constexpr wchar_t kRuleMatchesOne[] = L"Matches %d window";
inline constexpr wchar_t kRuleMatchesMany[] = L"Matches %d windows";
inline constexpr wchar_t kMsgRulePatternEmpty[] =
    L"Please type a pattern first: * stands for any text, ? for any one character.";
inline constexpr wchar_t kMsgRuleAlreadyListed[] = L"The rule is already existed in the list.";
inline constexpr wchar_t kFileDialogFilterExecutables[] = L"Executable Files(*.exe, *.com)|*.exe;*.com";
inline constexpr wchar_t kFileDialogFilterAllFiles[] = L"|All Files(*.*)|*.*||";

// Main dialog, Options, Settings and About pages
inline constexpr const wchar_t* kTabTexts[] = {L"Windows", L"Processes", L"Executable Files",
                                               L"Options", L"Settings",  L"About"};
inline constexpr wchar_t kMainDialogTitle[] = L"Covelin - Make your actions invisible";
inline constexpr wchar_t kMsgChooseScreensaver[] =
    L"Sorry, you can not check this option until you've chosen a screensaver.\nDo you want to choose one now ?";
inline constexpr wchar_t kMsgSaveOptionsFailed[] =
    L"Failed to save options, please try again or restart the application.";
inline constexpr wchar_t kMsgHotkeysEqual[] = L"All the hotkeys must be different, please check it.";
// Put in the hotkeys' note when another program holds a chord.
inline constexpr wchar_t kHotkeyHeldElsewhere[] = L" is another program's hotkey too: both get it.";
inline constexpr wchar_t kMsgSaveSettingsFailed[] =
    L"Failed to save settings, please try again or restart the application.";
inline constexpr wchar_t kMsgOpenLinkFailed[] = L"Failed to open the hyper-link, please try again.";
inline constexpr wchar_t kDisplayModeFormat[] = L"%d x %d, %dHz";
inline constexpr wchar_t kMsgDisplayNotSupported[] = L"Your display device is not supported";
inline constexpr wchar_t kMsgNotifyAreaMissing[] = L"Not available on this taskbar";
inline constexpr wchar_t kMsgMuteSessionsFallback[] = L"Here the whole volume is muted";

// Tray icon menu
inline constexpr wchar_t kTrayTextHide[] = L"Hide";
inline constexpr wchar_t kTrayTextRestore[] = L"Restore";
inline constexpr wchar_t kTrayTextExit[] = L"Exit";
inline constexpr wchar_t kTrayTextRestoreExit[] = L"Restore && Exit";
// The tooltip's second line while windows that should be hidden are in view.
inline constexpr wchar_t kTrayTipOneNotHidden[] = L"1 window could not be hidden";
inline constexpr wchar_t kTrayTipSomeNotHidden[] = L"%d windows could not be hidden";

// Start-up
inline constexpr wchar_t kMsgAnotherInstance[] =
    L"Another running Covelin is detected, please close that instance and try again.";
inline constexpr wchar_t kMsgLoadSettingsFailed[] = L"Failed to load settings, the default settings will be used.";
inline constexpr wchar_t kMsgTrayIconFailed[] =
    L"Failed to create the tray-icon, please contact your technical support.";

// Command line: the usage box, for /? and for a switch it does not know
inline constexpr wchar_t kMsgCommandLineUsage[] =
    L"Covelin.exe [/toggle | /show | /exit | /recover | /?] [/log]\n"
    L"\n"
    L"/toggle\tHides the chosen windows, or shows them again, while Covelin waits in the notification area.\n"
    L"/show\tShows what is hidden, then the Covelin dialog.\n"
    L"/exit\tShows what is hidden, saves the settings and ends Covelin.\n"
    L"/recover\tShows the windows that a Covelin which ended unexpectedly left hidden. Only while no Covelin runs.\n"
    L"/log\tThis start also writes its log (what ran, and every failure) to Covelin.log beside Covelin.exe, at "
    L"most 1 MB. Alone, it starts Covelin.\n"
    L"/?\tShows this help.\n"
    L"\n"
    L"A switch acts on the Covelin running in this session. It may also be written -toggle or --toggle.\n"
    L"\n"
    L"Exit codes: 0 done, 1 Covelin is not running (for /recover: Covelin is running, nothing changed), 2 unknown "
    L"switch, 3 /toggle while Covelin is not started, 4 Covelin did not answer or end in time.";
