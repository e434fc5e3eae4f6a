#pragma once
#include <windows.h>

namespace testsupport {

// Raw input records as the system hands them over: a key pressed or
// released, a mouse event with its button flags.
inline RAWINPUT RawKey(USHORT virtualKey, bool down)
{
    RAWINPUT input{};
    input.header.dwType = RIM_TYPEKEYBOARD;
    input.data.keyboard.VKey = virtualKey;
    input.data.keyboard.Flags = down ? RI_KEY_MAKE : RI_KEY_BREAK;
    return input;
}

inline RAWINPUT RawMouse(USHORT buttonFlags)
{
    RAWINPUT input{};
    input.header.dwType = RIM_TYPEMOUSE;
    input.data.mouse.usButtonFlags = buttonFlags;
    return input;
}

} // namespace testsupport
