#pragma once
#include <windows.h>

#include <string>

// A hotkey is a snapshot of the whole keyboard state: the keys whose byte has
// bit 7 set form the chord. The other bits are carried along untouched.
struct HotkeyChord {
    BYTE keys[256];

    static constexpr BYTE kMember = 0x80;
    bool Has(unsigned code) const { return code < 256 && (keys[code] & kMember) != 0; }
    bool IsEmpty() const;
};
static_assert(sizeof(HotkeyChord) == 256, "a chord is stored as 256 raw bytes");

// Asks whether a key is down; bit 15 of the answer set means down. The engine
// and the tests pass their own; the default is the physical keyboard.
using KeyStateSource = SHORT(WINAPI*)(int virtualKey);

// 1 when every key of the chord is down now, else 0. Only the chord's own keys
// are asked about, so a chord is also down while a larger one containing it
// is held. A chord without any key is never down: such a chord can only come
// from a damaged settings file, and must not fire on its own.
int ChordIsDown(const HotkeyChord& chord, KeyStateSource keyState = GetAsyncKeyState);

// True, with the key's name in `out`, when the virtual-key code has a name.
[[nodiscard]] bool KeyName(unsigned code, std::wstring& out);

// The chord's named keys in ascending code order joined by "+", e.g.
// "SHIFT+CTRL+A". Keys without a name are left out of the text.
std::wstring RenderText(const HotkeyChord& chord);
