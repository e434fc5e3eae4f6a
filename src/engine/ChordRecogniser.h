#pragma once
// The chords the engine watches, each with its id, and the keys down as the
// raw-input stream tells them. A chord fires when a key-down (a make)
// completes it: every key of the chord is down after that record, whatever
// records follow it in the same batch. A chord also fires with every larger
// chord that holds all of its keys, so that the poll can act on the first
// of them in its own order.
#include <windows.h>

#include <bitset>
#include <vector>

#include "settings/HotkeyChord.h"

// The poll acts on the chords in the order of their ids.
enum ChordId : int {
    kToggleChordId = 1,
    kShowDialogChordId = 2,
    kHideActiveChordId = 3,
};

// `chord` is the run's own copy, which outlives the run's wait.
struct WatchedChord {
    int id;
    const HotkeyChord* chord;
};

// Whether every key of `inner` is a key of `outer` (an empty `inner` is in
// no chord).
bool ChordWithin(const HotkeyChord& inner, const HotkeyChord& outer);

// Raw input names the buttons by where they are on the mouse; a chord names
// them as the program sees them (the captured press was a window message),
// and swapped buttons exchange the two main ones. So does the asynchronous
// key state, which asks for the physical button.
unsigned LogicalButton(unsigned physicalButton, bool buttonsSwapped);

// The chord as the asynchronous key state must be asked about it: its main
// buttons named by where they are when the buttons are swapped.
HotkeyChord PhysicalChord(const HotkeyChord& chord, bool buttonsSwapped);

class CKeyStream {
public:
    // Takes one record in order. When it is a make that completes one or more
    // of `chords`, their ids are appended to `fired`.
    void Feed(const RAWINPUT& input, bool buttonsSwapped, const std::vector<const WatchedChord*>& chords,
              std::vector<int>& fired);
    // Whether the key (a side-neutral modifier: either side) is down.
    bool Down(unsigned code) const;
    // Forgets every key: the stream has had a gap.
    void Clear() { down_.reset(); }
    // Forgets the mouse's buttons: their records no longer come.
    void ClearButtons();

private:
    std::bitset<256> down_;
};
