#pragma once
// The journal of what this instance has hidden, kept in "hidden.dat" beside
// "setting.dat" while windows are hidden, so that whoever starts after our
// death can show them again. Replaced atomically, removed once a restore
// has completed.
#include <windows.h>

#include <atomic>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "recovery/JournalFormat.h"

// The hidden windows of the running instance, in memory and on disk.
// Inactive (every call does nothing) until Open gives it a path; tests run
// the hiding code without it. Guarded by the owning engine's engineLock, like its hiddenStack.
class HiddenJournal {
public:
    // Marks with this process's token.
    HiddenJournal();
    // Marks with `token`: tests play an instance that has since died.
    explicit HiddenJournal(ULONG_PTR token);
    // The fault guard lets go of it first (its owner, the application
    // object, goes before the process does).
    ~HiddenJournal();
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
    // A listed window that stayed in view and was minimised instead.
    void NoteMinimised(HWND window);
    // A listed window that stayed in view untouched: nothing to restore, so
    // it is no longer listed (and loses our mark).
    void Forget(HWND window);
    // After a hide's side actions: what a restore has to undo.
    void NoteSideActions(const MuteState& mute, bool notifyAreaHidden);
    // Writes the journal if it changed since it was last written. True when
    // the file on disk matches memory.
    bool Save();
    // After a complete restore: takes the mark off every listed window that
    // still exists, forgets them and removes the file.
    void Clear();

    bool Empty() const
    {
        return record_.entries.empty() && !record_.volumeMuted && record_.mutedSessions.empty() &&
               !record_.notifyAreaHidden;
    }
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
    // The windows of record_.entries, so that each new one is told from
    // those listed in one look, however many are hidden.
    std::unordered_set<HWND> noted_;
    // Creation times by process id, asked once per hidden period.
    std::vector<std::pair<DWORD, ULONGLONG>> created_;

    // A copy of the handles that a dying process can read without the heap:
    // written by the hiding thread, read once by a fault handler.
    static constexpr int kFaultViewSize = 1024;
    HWND faultView_[kFaultViewSize] = {};
    std::atomic<LONG> faultCount_{0};
};
