#pragma once
// Never losing a hidden window.
//
// A window hidden by Covelin stays invisible for as long as nobody shows it
// again, and only Covelin knows it is there. If Covelin dies while windows
// are hidden (a crash, a kill from the Task Manager, the session ending),
// they would stay invisible for good, with the user's unsaved work inside.
// So, while windows are hidden:
//
// - each hidden window carries a mark, a window property whose value names
//   the Covelin instance that hid it. The property lives with the window, not
//   with us: it survives our death, and a window that is destroyed takes it
//   along, so a handle that is later reused never carries it;
// - a small journal, "hidden.dat" beside "setting.dat", lists the hidden
//   windows (handle, process id, the process's creation time) and the side
//   actions to undo (the volume we muted, the notification area we hid). It
//   is replaced atomically and removed once a restore has completed.
//
// At start-up RecoverLeftHiddenWindows shows what a previous instance left
// hidden. The session ending, or a fault inside Covelin, restores the
// windows before the process goes.
#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "system/ProcessInfo.h" // ProcessCreationTime

// The journal's file name, beside "setting.dat".
inline constexpr wchar_t kHiddenJournalName[] = L"hidden.dat";
// The name of the window property that marks a window Covelin hid.
inline constexpr wchar_t kHiddenMarkName[] = L"Covelin.HiddenBy";

// One hidden window and the process it belonged to when it was hidden.
struct HiddenEntry {
    HWND window = nullptr;
    DWORD processId = 0;
    // The process's creation time (FILETIME as one number); 0 when the
    // process could not be asked.
    ULONGLONG processCreated = 0;
    // Whether our mark could be put on it (a window of a program running
    // with higher rights refuses it).
    bool marked = false;
};

// What the journal holds.
struct HiddenRecord {
    // The mark value of the instance that hid the windows (see MarkToken).
    ULONGLONG writer = 0;
    bool volumeMuted = false;    // our mute is in force
    DWORD savedWaveVolume = 0;   // older systems: the volume to put back
    bool notifyAreaHidden = false;
    std::vector<HiddenEntry> entries; // in the order hidden, each window once
};

// The journal's bytes, and back. Decoding refuses anything that is not
// exactly what EncodeHiddenRecord writes (wrong size, magic, version,
// unknown flags, a failed checksum).
std::string EncodeHiddenRecord(const HiddenRecord& record);
bool DecodeHiddenRecord(const std::string& bytes, HiddenRecord* record);

// The mark value that names this process: its id and the low half of its
// creation time, so that a later process with the same id is told apart.
ULONG_PTR MarkToken();
// The same for any process; 0 when it cannot be opened.
ULONG_PTR MarkTokenOf(DWORD processId);
// The mark a window carries, 0 for none.
ULONG_PTR MarkOf(HWND window);

// The hidden windows of the running instance, in memory and on disk.
// Inactive (every call does nothing) until Open gives it a path; tests run
// the hiding code without it. Guarded by engineLock, like hiddenStack.
class HiddenJournal {
public:
    // Marks with this process's token.
    HiddenJournal();
    // Marks with `token`: tests play an instance that has since died.
    explicit HiddenJournal(ULONG_PTR token);
    HiddenJournal(const HiddenJournal&) = delete;
    HiddenJournal& operator=(const HiddenJournal&) = delete;

    // Starts journalling to `path` (nothing is written until a window is
    // hidden). An empty path makes it inactive again.
    void Open(const std::wstring& path);
    bool Active() const { return !path_.empty(); }
    const std::wstring& Path() const { return path_; }
    ULONG_PTR Token() const { return token_; }

    // Just before `window` is hidden: marks it and lists it (once).
    void NoteHiding(HWND window);
    // After a hide's side actions: what a restore has to undo.
    void NoteSideActions(bool volumeMuted, DWORD savedWaveVolume, bool notifyAreaHidden);
    // Writes the journal if it changed since it was last written. True when
    // the file on disk matches memory.
    bool Save();
    // After a complete restore: takes the mark off every listed window that
    // still exists, forgets them and removes the file.
    void Clear();

    bool Empty() const { return record_.entries.empty() && !record_.volumeMuted && !record_.notifyAreaHidden; }
    const HiddenRecord& Record() const { return record_; }

    // For a process that is about to die: shows the listed windows that
    // still carry our mark and takes the mark off, without taking a lock,
    // allocating or waiting on anyone. The file stays for the next start
    // (the side actions are undone there).
    int ShowForFault();

private:
    std::wstring path_;
    ULONG_PTR token_;
    HiddenRecord record_;
    bool dirty_ = false;
    bool onDisk_ = false;
    // Creation times by process id, asked once per hidden period.
    std::vector<std::pair<DWORD, ULONGLONG>> created_;

    // A copy of the handles that a dying process can read without the heap:
    // written by the hiding thread, read once by a fault handler.
    static constexpr int kFaultViewSize = 1024;
    HWND faultView_[kFaultViewSize] = {};
    std::atomic<LONG> faultCount_{0};
};

// The running instance's journal (beside "setting.dat" once start-up has
// opened it). Hiding notes every window in it, the engine its side actions,
// and a completed restore clears it.
extern HiddenJournal hiddenJournal;

// What a start-up recovery found and did.
struct RecoveryReport {
    bool journalFound = false;
    bool journalValid = false;
    int windowsShown = 0;       // listed or marked windows made visible again
    int alreadyVisible = 0;     // listed and ours, but shown by someone else meanwhile
    int windowsSkipped = 0;     // listed, but gone or no longer the window we hid
    int orphansShown = 0;       // of windowsShown: found by their mark alone
    bool unmuted = false;
    bool notifyAreaShown = false;
};

// Shows what a dead instance left hidden: every window listed in the
// journal at `journalPath` that still exists, still belongs to the process
// (id and creation time) it belonged to and still carries that instance's
// mark; then, for windows the journal missed, every top-level window that
// carries the mark of an instance that no longer runs. Undoes the mute and
// the notification-area hiding the journal names, and removes the journal
// (a damaged one unread). Windows are shown asynchronously, last hidden
// first; a hung owner cannot hold start-up.
RecoveryReport RecoverLeftHiddenWindows(const std::wstring& journalPath);

// Undo a mute on a short-lived thread of their own: the audio interfaces
// join the calling thread to a COM apartment, which the user-interface
// thread must be left to choose for itself. Each waits at most `timeoutMs`
// and returns whether the attempt finished in that time.
// Our own mute, if it is in force.
bool UndoOwnMute(DWORD timeoutMs = 3000);
// The mute a dead instance left, with the wave volume it saved.
bool UndoLeftMute(DWORD savedWaveVolume, DWORD timeoutMs = 3000);

// The session is ending (or the process is about to die on purpose) while
// windows may be hidden: undoes the side actions and restores every hidden
// window now, under engineLock, so that their owners can still ask about
// unsaved work. Returns the number of windows shown.
int RestoreForSessionEnd();

// The whole guard, for start-up: recovers what a previous instance left
// (the journal beside "setting.dat"), opens this instance's journal, starts
// watching for the end of the session (a hidden top-level window of the
// calling thread, which must pump messages) and restores hidden windows on
// an unhandled fault.
RecoveryReport StartHiddenWindowGuard();

// The session watcher's window class, and the window itself once started.
inline constexpr wchar_t kSessionGuardClass[] = L"CovelinSessionGuard";
HWND CreateSessionGuardWindow();
void DestroySessionGuardWindow();

// The fault handlers: an unhandled exception (on any thread) and a call to
// std::terminate show the hidden windows first, then go on as before.
void InstallFaultGuard();
LONG WINAPI RestoreHiddenOnFault(EXCEPTION_POINTERS* pointers);
