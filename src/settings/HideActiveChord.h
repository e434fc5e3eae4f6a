#pragma once
// The chord that hides the window in front. It is kept outside
// "setting.dat", whose 540 bytes keep their layout: as the 256-byte
// REG_BINARY value kHideActiveChordValue directly under the application's
// key (HKEY_CURRENT_USER\Software\Tessary\Covelin), in the same
// one-byte-per-key form as the record's chords. An empty chord (the
// default) hides nothing.
#include "settings/HotkeyChord.h"

inline constexpr wchar_t kHideActiveChordValue[] = L"HideActiveChord";

// The stored chord, or an empty one when the value is missing, is not
// binary, or is not exactly 256 bytes.
HotkeyChord LoadHideActiveChord();
// Writes the chord (an empty one too); true when that worked.
bool SaveHideActiveChord(const HotkeyChord& chord);
