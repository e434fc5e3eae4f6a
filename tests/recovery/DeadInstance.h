#pragma once
// A Covelin instance that hid windows and then died, as the tests of the
// start-up recovery stage it.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "recovery/HiddenJournal.h"

// The mark of an instance that has died: no process has an odd id.
inline constexpr ULONG_PTR kDeadInstance = static_cast<ULONG_PTR>(0x5eed0000fffffff3ull);

// What the dead instance did: marked and hid `windows`, and wrote its
// journal at `path`, with its side actions in force if asked.
inline HiddenRecord HideAsDeadInstance(const std::wstring& path, const std::vector<HWND>& windows,
                                       bool sideActions = false)
{
    HiddenJournal journal(kDeadInstance);
    journal.Open(path);
    for (HWND window : windows) {
        journal.NoteHiding(window);
        ShowWindow(window, SW_HIDE);
    }
    if (sideActions) {
        MuteState mute;
        mute.volumeMuted = true;
        mute.savedWaveVolume = 0x12345678;
        journal.NoteSideActions(mute, true);
    }
    EXPECT_TRUE(journal.Save());
    return journal.Record();
}
