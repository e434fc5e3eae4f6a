#pragma once
// A hotkey chord of the given key codes, as the tests build them. Header
// only: the support library itself uses Win32 alone.
#include <initializer_list>

#include "settings/HotkeyChord.h"

namespace testsupport {

inline HotkeyChord ChordOf(std::initializer_list<int> codes)
{
    HotkeyChord chord{};
    for (int code : codes)
        chord.keys[code] = HotkeyChord::kMember;
    return chord;
}

} // namespace testsupport
