#include "ui/HotkeyEdit.h"

#include <cstring>

namespace {

// Whether the chord is Backspace or Delete and nothing else.
bool IsErasingKeyAlone(const HotkeyChord& chord)
{
    int members = 0;
    for (unsigned code = 0; code < 256; ++code)
        members += chord.Has(code) ? 1 : 0;
    return members == 1 && (chord.Has(VK_BACK) || chord.Has(VK_DELETE));
}

} // namespace

CHotkeyEdit::CHotkeyEdit()
{
    std::memset(chord_.keys, 0, sizeof(chord_.keys));
}

void CHotkeyEdit::SetChord(const HotkeyChord& chord)
{
    std::memcpy(chord_.keys, chord.keys, sizeof(chord_.keys));
    RenderText();
    if (m_hWnd != nullptr)
        SetWindowText(text_);
}

bool CHotkeyEdit::GetChord(HotkeyChord* out) const
{
    if (out == nullptr)
        return false;
    std::memcpy(out->keys, chord_.keys, sizeof(chord_.keys));
    return true;
}

void CHotkeyEdit::RenderText()
{
    text_ = ::RenderText(chord_);
}

bool CHotkeyEdit::KeyName(unsigned code, std::wstring& out)
{
    return ::KeyName(code, out);
}

void CHotkeyEdit::Capture()
{
    text_.clear();
    std::memset(chord_.keys, 0, sizeof(chord_.keys));
    // The state as of the message just taken from the queue, so the chord is
    // what was held when this key or button went down.
    ::GetKeyboardState(chord_.keys);
    // Left and right modifiers are kept only as their side-neutral codes,
    // which match either side when the chord is polled.
    for (unsigned code = VK_LSHIFT; code <= VK_RMENU; ++code)
        chord_.keys[code] = 0;
    if (allowEmpty_ && IsErasingKeyAlone(chord_))
        std::memset(chord_.keys, 0, sizeof(chord_.keys));
    RenderText();
    SetWindowText(text_);
}

BOOL CHotkeyEdit::PreTranslateMessage(MSG* pMsg)
{
    if (pMsg->hwnd != m_hWnd)
        return CEdit::PreTranslateMessage(pMsg);
    switch (pMsg->message) {
    case WM_KEYDOWN:
        Capture();
        // The key was meant as the chord: it must not also act in the dialog
        // (Enter would press Start, Escape would end the program). Only Tab
        // goes on, so that the focus can still leave the field.
        return pMsg->wParam == VK_TAB ? FALSE : TRUE;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
        Capture();
        return FALSE; // still dispatched: a click focuses the field
    case WM_RBUTTONUP:
        return TRUE; // no context menu
    default:
        return CEdit::PreTranslateMessage(pMsg);
    }
}
