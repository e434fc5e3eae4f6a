#pragma once
// A chord the system can carry as a registered hotkey: any of Ctrl, Alt,
// Shift and Win, plus one other key. The system then hands the press to the
// thread that registered it, keeps the key from the program in front, and
// matches the modifiers exactly (Ctrl+` does not fire while Shift is held
// too). Every other chord is recognised from the raw-input stream.
#include <windows.h>

#include "settings/HotkeyChord.h"

struct HotkeyCombination {
    UINT modifiers = 0; // MOD_ALT, MOD_CONTROL, MOD_SHIFT, MOD_WIN
    UINT key = 0;       // the one key that is not a modifier
};

// True, with its combination in `out`, when the chord is side-neutral
// modifiers plus exactly one keyboard key that the system lets a program
// register (not F12, which is kept for debuggers, and no mouse button).
bool RegistrableCombination(const HotkeyChord& chord, HotkeyCombination& out);

// Whether the system would give this thread the chord now: registered and
// let go again at once. ERROR_SUCCESS when it would, the system's error when
// it refuses (ERROR_HOTKEY_ALREADY_REGISTERED: another program holds it),
// ERROR_NOT_SUPPORTED for a chord that is never registered.
DWORD TryRegisterChord(const HotkeyChord& chord);
