#pragma once
// Every text the program shows to the user, kept byte for byte in one place.
// Message boxes take the application's name as caption.

inline constexpr wchar_t kAppName[] = L"Covelin";

// Windows, Processes and Executable Files pages
inline constexpr wchar_t kMsgWindowAlreadyHidden[] = L"The selected window is already existed in the 'Hide' list.";
inline constexpr wchar_t kMsgWindowIsTopWindow[] = L"The selected window was set as the top window, it can't be added to 'Hide' list.";
inline constexpr wchar_t kMsgHiddenWindowNotTop[] = L"The selected window has been added to 'Hide' list, you can't set it as the top window.";
inline constexpr wchar_t kMsgProcessAlreadyHidden[] = L"The selected process is already existed in the 'Hide' list.";
inline constexpr wchar_t kMsgOwnExecutableRefused[] = L"It's not allowed to add this application to the list.";
inline constexpr wchar_t kMsgFileAlreadyListed[] = L"The selected file is already existed in the list.";
inline constexpr wchar_t kFileDialogFilterExecutables[] = L"Executable Files(*.exe, *.com)|*.exe;*.com";
inline constexpr wchar_t kFileDialogFilterAllFiles[] = L"|All Files(*.*)|*.*||";
