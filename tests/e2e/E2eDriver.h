#pragma once
// Drives the real Covelin.exe from outside, as a user would: starts it from a
// scratch directory, finds its windows and message boxes, clicks its buttons,
// presses its hotkeys with SendInput and reads what it leaves on disk and in
// the registry. Nothing here links with Covelin's own code.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "support/Keyboard.h"
#include "support/ScratchDir.h"
#include "support/Wait.h"

namespace e2e {

// Deadlines shared by the cases. Wine starts a process in about a second;
// everything Covelin does after that is a few polls of 20 to 500 ms.
inline constexpr DWORD kStartMs = 15000;
inline constexpr DWORD kActMs = 5000;
inline constexpr DWORD kExitMs = 10000;

inline constexpr wchar_t kAppCaption[] = L"Covelin";
inline constexpr wchar_t kMainCaption[] = L"Covelin - Make your actions invisible";
inline constexpr wchar_t kTrayClass[] = L"wndCvTrayIcon";
inline constexpr wchar_t kTargetClass[] = L"CovelinE2eTarget";
inline constexpr wchar_t kFilesKey[] = L"Software\\Tessary\\Covelin\\Files";
inline constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t kRunValue[] = L"Covelin";

using testsupport::HoldKeysUntil;
using testsupport::WaitUntil;

// Set by main() from the command line: the built program, in Windows form.
extern std::wstring builtCovelin;
// The installer built beside it; empty when none was built.
extern std::wstring builtSetup;
// A path as given on the command line ("/home/x/Covelin.exe" or "C:\..."),
// in the form Windows calls understand.
std::wstring ToWindowsPath(const std::string& path);

// The bytes of a default "setting.dat": all zero but Ctrl+Left and Ctrl+`.
std::string DefaultSettings();
inline constexpr size_t kSettingsSize = 540;
inline constexpr size_t kShowDialogChordAt = 8;
inline constexpr size_t kToggleChordAt = 264;
inline constexpr size_t kMuteVolumeAt = 524;

// A private copy of Covelin (and of the tests' window host, the program
// whose windows the cases hide) in a scratch directory, so that its
// "setting.dat" is the test's own.
class Install {
public:
    Install();
    const std::wstring& Dir() const { return dir_.Path(); }
    std::wstring Exe() const { return dir_.File(L"Covelin.exe"); }
    std::wstring Target() const { return dir_.File(L"window_host.exe"); }
    std::wstring Settings() const { return dir_.File(L"setting.dat"); }
    bool Ok() const { return ok_; }

    bool WriteSettings(const std::string& bytes) const;
    // Empty when the file is missing.
    std::string ReadSettings() const;

private:
    testsupport::ScratchDir dir_;
    bool ok_ = false;
};

// A started program; ended with TerminateProcess on destruction if it is
// still running, so a failing case never leaves it behind.
class Process {
public:
    Process() = default;
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool Start(const std::wstring& exe, const std::wstring& args = L"", const std::wstring& workDir = L"");
    DWORD Id() const { return pid_; }
    bool Running() const;
    // True when the process ended within `timeoutMs`; its exit code in `code`.
    bool WaitExit(DWORD timeoutMs, DWORD* code);
    void Kill();

private:
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
};

// Top-level windows of a process (visible or not) with the given class and
// title; a null filter matches anything.
std::vector<HWND> WindowsOf(DWORD pid, const wchar_t* className, const wchar_t* title);
HWND WaitForWindow(DWORD pid, const wchar_t* className, const wchar_t* title, DWORD timeoutMs);
// The main dialog once it is on screen.
HWND WaitForMainDialog(DWORD pid, DWORD timeoutMs = kStartMs);

// The application's message box: a dialog captioned "Covelin".
HWND FindMessageBox(DWORD pid);
HWND WaitForMessageBox(DWORD pid, DWORD timeoutMs = kStartMs);
// The text it shows (its static controls, joined).
std::wstring MessageBoxText(HWND box);
// Presses its OK button and waits until it is gone.
bool DismissMessageBox(HWND box);
// Waits for a box, checks its text and dismisses it; the text seen is in
// `seen` so that a failing case can say what it got instead.
bool ExpectMessageBox(DWORD pid, const std::wstring& text, std::wstring* seen, DWORD timeoutMs = kStartMs);

// A control somewhere below `parent` by id, and optionally by its text.
HWND FindControl(HWND parent, int id, const wchar_t* text = nullptr);
// A push button or menu command as the dialog receives it on a click.
void PostCommand(HWND window, int id, HWND control = nullptr);

std::wstring WindowTitle(HWND hwnd);
// The process's top-level windows, one line each: class, title, visibility,
// and the text of any message box. For the messages of failing cases.
std::string Describe(DWORD pid);
// Visible top-level windows of the process, top of the Z order first.
std::vector<HWND> ZOrderOf(DWORD pid, const wchar_t* className);

inline const std::vector<WORD> kToggleKeys = {VK_CONTROL, VK_OEM_3};
inline const std::vector<WORD> kShowDialogKeys = {VK_CONTROL, VK_LEFT};

// "file_0", "file_1", ... under Software\Tessary\Covelin\Files, in order,
// up to the first missing one.
std::vector<std::wstring> ReadFileList();
void WriteFileList(const std::vector<std::wstring>& paths);
std::wstring Lower(std::wstring text);
std::wstring Upper(std::wstring text);

} // namespace e2e
