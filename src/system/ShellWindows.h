#pragma once
// What a Windows 10/11 desktop says about a window beyond its style:
// - cloaked: the window has WS_VISIBLE but the desktop window manager does
//   not draw it. A suspended Store app and a shell host are cloaked by their
//   app (or inherit it from their owner): not on screen at all, so neither
//   listed nor hidden. A window on another virtual desktop is cloaked by the
//   shell only: it is the user's, so the rules may hide it, but showing it
//   with activation would take the user to that desktop.
// - a Store app's frame: the visible window ("ApplicationFrameWindow") is
//   ApplicationFrameHost.exe's; the app itself draws in a
//   "Windows.UI.Core.CoreWindow" child of the frame that belongs to the
//   app's own process. For the lists, the icons and the process and file
//   rules, the frame counts as a window of that process.
// Systems without these (Wine, older Windows) answer "not cloaked", "on the
// current desktop" and "no app inside".
#include <windows.h>

// DWMWA_CLOAKED's bits.
inline constexpr DWORD kCloakedByApp = 1;
inline constexpr DWORD kCloakedByShell = 2;
inline constexpr DWORD kCloakedInherited = 4;

// The window's cloak bits; 0 when not cloaked or the system cannot tell.
DWORD CloakOf(HWND window);
// Cloaked by its app, or by its owner's: not on screen whatever its style.
inline bool IsCloakedByApp(DWORD cloak)
{
    return (cloak & (kCloakedByApp | kCloakedInherited)) != 0;
}
// Whether the window is on the virtual desktop the user sees; true when the
// system cannot tell.
bool IsOnCurrentDesktop(HWND window);

// The class names of a Store app's frame and of the app's window inside it.
inline constexpr wchar_t kStoreFrameClass[] = L"ApplicationFrameWindow";
inline constexpr wchar_t kStoreAppClass[] = L"Windows.UI.Core.CoreWindow";

// For a window of class kStoreFrameClass: the id of the process of the app
// it frames, by the app's window inside or else by the app user model id
// the frame and the app share; 0 when it frames none of another process
// (yet).
DWORD StoreAppProcessOfFrame(HWND frame);
// The process a window counts as: the framed app's for a Store frame, else
// the window's own (0 when the window has gone).
DWORD CountedProcessOf(HWND window);

// What the questions above ask of the system; tests answer them
// themselves. A null member is the system's own answer.
struct ShellWindowQueries {
    DWORD (*cloakOf)(HWND window);
    bool (*onCurrentDesktop)(HWND window);
};
// Null puts back the system's answers.
void SetShellWindowQueriesForTests(const ShellWindowQueries* queries);
