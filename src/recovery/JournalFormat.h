#pragma once
// What "hidden.dat" holds: the windows one instance hid, the processes they
// belonged to, and the side actions a restore has to undo.
#include <windows.h>

#include <string>
#include <vector>

#include "actions/Volume.h"

// The journal's file name, beside "setting.dat".
inline constexpr wchar_t kHiddenJournalName[] = L"hidden.dat";

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
    // Whether it stayed in view when hidden and was minimised instead: it
    // comes back from minimised, not from hidden.
    bool minimised = false;
};

// What the journal holds.
struct HiddenRecord {
    // The mark value of the instance that hid the windows (see MarkToken).
    ULONGLONG writer = 0;
    bool volumeMuted = false;  // our whole-output mute is in force
    DWORD savedWaveVolume = 0; // older systems: the volume to put back
    bool notifyAreaHidden = false;
    std::vector<HiddenEntry> entries; // in the order hidden, each window once
    // The endpoint the mute was asked of, and whether the user had muted it
    // already (a restore then leaves it muted). Empty in a journal of the
    // first version: the default endpoint is unmuted then.
    std::wstring endpointId;
    bool endpointWasMuted = false;
    std::vector<MutedSession> mutedSessions; // sessions of hidden programs we muted
    // The other render endpoints the mute switched on (none before version 3).
    std::vector<std::wstring> moreEndpoints;

    // The mute part, as the volume code keeps it.
    MuteState Mute() const;
    void SetMute(const MuteState& mute);
};

// No journal is larger: a file beyond it is damage.
size_t MaxJournalBytes();

// The journal's bytes, and back. Decoding refuses anything that is not
// exactly what EncodeHiddenRecord writes (wrong size, magic, version,
// unknown flags, a failed checksum).
std::string EncodeHiddenRecord(const HiddenRecord& record);
bool DecodeHiddenRecord(const std::string& bytes, HiddenRecord* record);

// Whether the bytes begin as a journal of a later version than this build
// writes: not damage, but nothing this build can read either.
bool IsLaterJournalVersion(const std::string& bytes);
