#pragma once
// The program's log: one line per failure that the user is not told of
// directly (a tray icon that could not be made, a pipe, a save, a window
// that would not hide), so that someone on a real Windows machine has
// something to send us. Every line goes to the debugger output; once a file
// is named (Covelin started with /log) it is also appended there, and the
// file is kept under a size cap by dropping its older half. Safe from any
// thread.
#include <windows.h>

#include <cstddef>
#include <string>

namespace Log {

// The file every later line is appended to as well; empty: none (the
// default, so no file is ever made unless asked for). `capBytes`: when the
// file would grow past it, its older half is dropped first.
inline constexpr std::size_t kDefaultCapBytes = std::size_t{1024} * 1024;
void SetFile(const std::wstring& path, std::size_t capBytes = kDefaultCapBytes);
std::wstring File();

// Writes one line: `text` to the debugger output, and with a time stamp and
// the thread id to the file.
void Line(const std::wstring& text);

// Writes "`what`: <error text> (<error>)" for a GetLastError code (or an
// HRESULT); the line names the code even where the system has no text.
void Failure(const std::wstring& what, DWORD error = GetLastError());

// The system's text for an error code, without the trailing line break.
std::wstring ErrorText(DWORD error);

} // namespace Log
