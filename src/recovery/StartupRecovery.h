#pragma once
// Showing what a dead instance left hidden, at start-up.
#include <windows.h>

#include <string>

// What a start-up recovery found and did.
struct RecoveryReport {
    bool journalFound = false;
    bool journalValid = false;
    bool journalLater = false; // written by a later version: left where it is
    int windowsShown = 0;      // listed or marked windows made visible again
    int alreadyVisible = 0;    // listed and ours, but shown by someone else meanwhile
    int windowsSkipped = 0;    // listed, but gone or no longer the window we hid
    int orphansShown = 0;      // of windowsShown: found by their mark alone
    bool unmuted = false;
    bool notifyAreaShown = false;
};

// Shows what a dead instance left hidden: every window listed in the
// journal at `journalPath` that still exists, still belongs to the process
// (id and creation time) it belonged to and still carries that instance's
// mark; then, for windows the journal missed, every top-level window that
// carries the mark of an instance that no longer runs. Undoes the mute and
// the notification-area hiding the journal names, and removes the journal
// (a damaged one unread). A journal of a later version is left for that
// version, which alone knows what else it holds; the marks still bring its
// windows back. Windows are shown asynchronously, last hidden first; a hung
// owner cannot hold start-up.
RecoveryReport RecoverLeftHiddenWindows(const std::wstring& journalPath);
