#include "settings/HotkeyRegistration.h"

namespace {

// The side-neutral modifiers and the system's flag for each. Either Win key
// counts as the Win modifier; a chord holding both is left to the stream.
constexpr struct {
    unsigned code;
    UINT flag;
} kModifiers[] = {
    {VK_SHIFT, MOD_SHIFT}, {VK_CONTROL, MOD_CONTROL}, {VK_MENU, MOD_ALT}, {VK_LWIN, MOD_WIN}, {VK_RWIN, MOD_WIN}};

bool IsSidedModifier(unsigned code)
{
    return code >= VK_LSHIFT && code <= VK_RMENU;
}

bool IsMouseButton(unsigned code)
{
    return code == VK_LBUTTON || code == VK_RBUTTON || code == VK_MBUTTON || code == VK_XBUTTON1 || code == VK_XBUTTON2;
}

// Any id in the application's range: the check's registration lives for a
// moment on the calling thread alone.
constexpr int kProbeId = 0xB000;

} // namespace

bool RegistrableCombination(const HotkeyChord& chord, HotkeyCombination& out)
{
    HotkeyCombination combination;
    int keys = 0;
    for (unsigned code = 0; code < 256; ++code) {
        if (!chord.Has(code))
            continue;
        bool modifier = false;
        for (const auto& entry : kModifiers) {
            if (entry.code != code)
                continue;
            if (combination.modifiers & entry.flag)
                return false; // both Win keys
            combination.modifiers |= entry.flag;
            modifier = true;
        }
        if (modifier)
            continue;
        // A sided modifier would be loosened to either side.
        if (IsSidedModifier(code) || IsMouseButton(code) || code == VK_F12 || ++keys > 1)
            return false;
        combination.key = code;
    }
    if (keys != 1)
        return false;
    out = combination;
    return true;
}

DWORD TryRegisterChord(const HotkeyChord& chord)
{
    HotkeyCombination combination;
    if (!RegistrableCombination(chord, combination))
        return ERROR_NOT_SUPPORTED;
    if (!RegisterHotKey(nullptr, kProbeId, combination.modifiers | MOD_NOREPEAT, combination.key)) {
        const DWORD error = GetLastError();
        return error != ERROR_SUCCESS ? error : ERROR_HOTKEY_ALREADY_REGISTERED;
    }
    UnregisterHotKey(nullptr, kProbeId);
    return ERROR_SUCCESS;
}
