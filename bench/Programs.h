#pragma once
// What the sections that run whole programs share: starting and ending a
// child, finding its dialog, a private copy of Covelin, and what Linux knows
// about a process that Wine cannot tell.
#include <windows.h>

#include <string>

namespace bench {

inline constexpr wchar_t kMainCaption[] = L"Covelin - Make your actions invisible";

// A child process, ended (if still running) and waited for with the object.
struct Child {
    PROCESS_INFORMATION info{};
    bool Start(const std::wstring& commandLine, const std::wstring& dir = L"");
    // Ends the process now and waits (bounded) until it is gone.
    void End();
    ~Child() { End(); }
};

// A visible dialog of process `pid` with caption `title` (any caption when
// null), or null.
HWND FindDialogOf(DWORD pid, const wchar_t* title);
HWND WaitForDialog(DWORD pid, const wchar_t* title, DWORD timeoutMs);

// Presses Start in Covelin's main dialog; true once the dialog has hidden
// (within 5 s), that is once the engine is armed.
bool ArmCovelin(HWND dialog);

SIZE_T PeakWorkingSet(HANDLE process);
double Mb(SIZE_T bytes);

// A private copy of the built program in `scratch` (made if missing), so that
// its settings are its own. `withSettings`: beside it a settings file with
// the defaults, so that no first-run warning comes up; otherwise none.
// Returns the copy's path, or empty.
std::wstring InstallCovelin(const std::wstring& scratch, bool withSettings = false);

// The temp directory's subdirectory `name`, with a trailing backslash.
std::wstring ScratchPath(const wchar_t* name);

// Up to `maxBytes` of a file (Linux's /proc files among them).
std::string ReadSmallFile(const std::wstring& path, size_t maxBytes = 65536);

// The /proc directory (as Z:\proc\<id>\) of the Linux process whose command
// line holds `needle`, or empty.
std::wstring FindLinuxProcess(const std::string& needle);

} // namespace bench
