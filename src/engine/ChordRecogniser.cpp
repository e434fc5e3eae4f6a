#include "engine/ChordRecogniser.h"

#include <iterator>

namespace {

// The scan code the right Shift key sends; the left one sends another. Ctrl
// and Alt tell their right-hand keys by the E0 prefix.
constexpr USHORT kRightShiftScanCode = 0x36;
constexpr USHORT kOverrunMakeCode = 0xFF;

// Keypad keys: without the E0 prefix a navigation code comes from the
// keypad (Num Lock off), and it stands for the digit key as well.
constexpr struct {
    unsigned navigation;
    unsigned keypad;
} kKeypad[] = {{VK_INSERT, VK_NUMPAD0}, {VK_END, VK_NUMPAD1},   {VK_DOWN, VK_NUMPAD2},  {VK_NEXT, VK_NUMPAD3},
               {VK_LEFT, VK_NUMPAD4},   {VK_CLEAR, VK_NUMPAD5}, {VK_RIGHT, VK_NUMPAD6}, {VK_HOME, VK_NUMPAD7},
               {VK_UP, VK_NUMPAD8},     {VK_PRIOR, VK_NUMPAD9}, {VK_DELETE, VK_DECIMAL}};

// The raw mouse record's button flags, each with the physical button.
constexpr struct {
    USHORT down;
    USHORT up;
    unsigned button;
} kButtons[] = {{RI_MOUSE_LEFT_BUTTON_DOWN, RI_MOUSE_LEFT_BUTTON_UP, VK_LBUTTON},
                {RI_MOUSE_RIGHT_BUTTON_DOWN, RI_MOUSE_RIGHT_BUTTON_UP, VK_RBUTTON},
                {RI_MOUSE_MIDDLE_BUTTON_DOWN, RI_MOUSE_MIDDLE_BUTTON_UP, VK_MBUTTON},
                {RI_MOUSE_BUTTON_4_DOWN, RI_MOUSE_BUTTON_4_UP, VK_XBUTTON1},
                {RI_MOUSE_BUTTON_5_DOWN, RI_MOUSE_BUTTON_5_UP, VK_XBUTTON2}};

// The codes one keyboard record stands for: up to two.
struct KeyCodes {
    unsigned codes[2] = {0, 0};
};

KeyCodes CodesOf(const RAWKEYBOARD& keyboard)
{
    KeyCodes out;
    const unsigned key = keyboard.VKey;
    const bool e0 = (keyboard.Flags & RI_KEY_E0) != 0;
    switch (key) {
    case VK_SHIFT:
        out.codes[0] = keyboard.MakeCode == kRightShiftScanCode ? VK_RSHIFT : VK_LSHIFT;
        return out;
    case VK_CONTROL:
        out.codes[0] = e0 ? VK_RCONTROL : VK_LCONTROL;
        return out;
    case VK_MENU:
        out.codes[0] = e0 ? VK_RMENU : VK_LMENU;
        return out;
    default:
        break;
    }
    out.codes[0] = key;
    for (const auto& pair : kKeypad) {
        if (key == pair.keypad)
            out.codes[1] = pair.navigation;
        else if (key == pair.navigation && !e0)
            out.codes[1] = pair.keypad;
    }
    return out;
}

// A side-neutral modifier's two sides.
bool SidesOf(unsigned code, unsigned& left, unsigned& right)
{
    switch (code) {
    case VK_SHIFT:
        left = VK_LSHIFT, right = VK_RSHIFT;
        return true;
    case VK_CONTROL:
        left = VK_LCONTROL, right = VK_RCONTROL;
        return true;
    case VK_MENU:
        left = VK_LMENU, right = VK_RMENU;
        return true;
    default:
        return false;
    }
}

// Whether the chord holds the key `code` a record made, by any of its names.
bool ChordNames(const HotkeyChord& chord, unsigned code)
{
    if (chord.Has(code))
        return true;
    for (unsigned neutral : {VK_SHIFT, VK_CONTROL, VK_MENU}) {
        unsigned left = 0, right = 0;
        if (SidesOf(neutral, left, right) && (code == left || code == right))
            return chord.Has(neutral);
    }
    return false;
}

} // namespace

bool ChordWithin(const HotkeyChord& inner, const HotkeyChord& outer)
{
    if (inner.IsEmpty())
        return false;
    for (unsigned code = 0; code < 256; ++code)
        if (inner.Has(code) && !outer.Has(code))
            return false;
    return true;
}

unsigned LogicalButton(unsigned physicalButton, bool buttonsSwapped)
{
    if (!buttonsSwapped)
        return physicalButton;
    if (physicalButton == VK_LBUTTON)
        return VK_RBUTTON;
    if (physicalButton == VK_RBUTTON)
        return VK_LBUTTON;
    return physicalButton;
}

HotkeyChord PhysicalChord(const HotkeyChord& chord, bool buttonsSwapped)
{
    HotkeyChord physical = chord;
    if (buttonsSwapped) {
        // The exchange is its own inverse.
        physical.keys[VK_LBUTTON] = chord.keys[VK_RBUTTON];
        physical.keys[VK_RBUTTON] = chord.keys[VK_LBUTTON];
    }
    return physical;
}

void CKeyStream::ClearButtons()
{
    for (const auto& button : kButtons)
        down_[button.button] = false;
}

bool CKeyStream::Down(unsigned code) const
{
    unsigned left = 0, right = 0;
    if (SidesOf(code, left, right))
        return down_[left] || down_[right] || down_[code];
    return code < 256 && down_[code];
}

void CKeyStream::Feed(const RAWINPUT& input, bool buttonsSwapped, const std::vector<const WatchedChord*>& chords,
                      std::vector<int>& fired)
{
    unsigned made[std::size(kButtons)] = {};
    size_t madeCount = 0;
    if (input.header.dwType == RIM_TYPEKEYBOARD) {
        const RAWKEYBOARD& keyboard = input.data.keyboard;
        if (keyboard.MakeCode == kOverrunMakeCode || keyboard.VKey == 0 || keyboard.VKey >= 255)
            return;
        const bool up = (keyboard.Flags & RI_KEY_BREAK) != 0;
        for (unsigned code : CodesOf(keyboard).codes) {
            if (code == 0)
                continue;
            down_[code] = !up;
            if (!up)
                made[madeCount++] = code;
        }
    } else if (input.header.dwType == RIM_TYPEMOUSE) {
        const USHORT flags = input.data.mouse.usButtonFlags;
        for (const auto& button : kButtons) {
            const unsigned code = LogicalButton(button.button, buttonsSwapped);
            if (flags & button.up)
                down_[code] = false;
            if (flags & button.down) {
                down_[code] = true;
                made[madeCount++] = code;
            }
        }
    }
    for (size_t i = 0; i < madeCount; ++i) {
        for (const WatchedChord* watched : chords) {
            if (!ChordNames(*watched->chord, made[i]))
                continue;
            bool complete = true;
            for (unsigned code = 0; code < 256 && complete; ++code)
                complete = !watched->chord->Has(code) || Down(code);
            bool known = false;
            for (int id : fired)
                known = known || id == watched->id;
            if (complete && !known)
                fired.push_back(watched->id);
        }
    }
}
