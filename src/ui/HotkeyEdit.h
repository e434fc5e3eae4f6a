#pragma once
// A read-only edit field that records a hotkey chord: each key press or
// mouse-button press inside it takes a snapshot of the keyboard state and
// shows the keys' names joined by "+".
#include "framework/Controls.h"
#include "settings/HotkeyChord.h"

#include <string>

class CHotkeyEdit : public CEdit {
public:
    CHotkeyEdit();

    // Copies the chord in and shows its text.
    void SetChord(const HotkeyChord& chord);
    // False when `out` is null; otherwise copies the chord out.
    bool GetChord(HotkeyChord* out) const;
    // Rebuilds the text from the chord.
    void RenderText();
    const std::wstring& Text() const { return text_; }
    // A field whose chord may be empty: Backspace or Delete pressed alone
    // empties it instead of recording itself.
    void AllowEmpty(bool allow) { allowEmpty_ = allow; }

    [[nodiscard]] static bool KeyName(unsigned code, std::wstring& out);

    // Captures on WM_KEYDOWN, WM_LBUTTONDOWN and WM_RBUTTONDOWN. Key presses
    // are kept from the dialog, except Tab; the button presses go on. Swallows
    // WM_RBUTTONUP so that no context menu opens.
    BOOL PreTranslateMessage(MSG* pMsg) override;

private:
    void Capture();

    HotkeyChord chord_;
    bool allowEmpty_ = false;
    std::wstring text_;
};
