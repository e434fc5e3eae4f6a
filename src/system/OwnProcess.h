#pragma once
// How the program tells its own processes, windows and executable from
// everybody else's, so that it never offers to hide itself. Every list
// asks here:
// - a process is ours when its executable file is called "Covelin.exe",
//   wherever it lies and in whatever letter case (another copy of the
//   program counts as the program);
// - a window is ours when it carries OWN_WINDOW_MARK in its user data, put
//   there by MarkOwnWindow (the main dialog);
// - an executable file is ours when it is the very file this process runs.
#include <windows.h>

#include <string>

// The file name of our executable.
inline constexpr wchar_t kOwnExecutableName[] = L"Covelin.exe";

// The mark in a window's GWLP_USERDATA that says "ours".
inline constexpr LONG_PTR OWN_WINDOW_MARK = 1984;

// Our executable's path as the system reports it for our process (or, if
// that cannot be read, as the loader does), upper-cased.
std::wstring ReadOwnExecutablePath();

// Whether `fileName` (a file name without directory) is our executable's,
// letter case aside (EqualsIgnoringAsciiCase).
bool IsOwnExecutableName(const wchar_t* fileName);

// Whether `path` names the file that this process runs (letter case
// aside), given `ownExecutablePath` as ReadOwnExecutablePath read it at
// start-up; an empty one refuses nothing.
bool IsOwnExecutablePath(const std::wstring& path, const std::wstring& ownExecutablePath);

// Marks a window of ours, and asks whether a window carries the mark.
void MarkOwnWindow(HWND window);
bool IsOwnWindow(HWND window);
