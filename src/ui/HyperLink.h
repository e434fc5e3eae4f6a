#pragma once
// A static text that acts as a link: blue, italic, underlined on a
// transparent background, a hand cursor over it, and a click that hands the
// target to the shell's "open".
#include "framework/Controls.h"
#include "framework/Gdi.h"

#include <string>

class CHyperLink : public CStatic {
public:
    CHyperLink();

    // Stores `target` (a URL, a "mailto:" address, anything the shell can
    // open); null changes nothing.
    void SetLink(const wchar_t* target);
    const std::wstring& Link() const { return link_; }
    // The folder the target is opened in (the program's own).
    void SetDirectory(const std::wstring& directory) { directory_ = directory; }

    // Opens the target; nothing when there is none. Failures are told to the
    // user.
    void OpenLink();

    HFONT LinkFont() const { return font_; }
    // Makes the link font anew for `dpi` and `lineHeight` (see
    // CreateArialFont) and gives it to the control.
    void SetScale(UINT dpi, int lineHeight);
    COLORREF LinkColour() const { return colour_; }

    // The shell call that opens targets; tests put a recorder here. Null
    // puts ShellExecuteW back.
    using ShellOpenFunction = HINSTANCE(WINAPI*)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
    static void SetShellOpenFunction(ShellOpenFunction function);

    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    bool OnReflectedMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

protected:
    void PreSubclassWindow() override;

private:
    COLORREF colour_;
    CBrush background_;
    std::wstring link_;
    std::wstring directory_;
    HCURSOR cursor_;
    CFont font_;
    int fontHeight_ = 0;
};

// The About page's own Arial: 15 x 6 pixels at 96 DPI, scaled to `dpi`,
// but no taller than `lineHeight` (0: no limit). Dialog units grow a little
// slower than the scale (the dialog font's metrics come in whole pixels):
// a font taller than its line would lose its descenders.
HFONT CreateArialFont(UINT dpi, int lineHeight, int weight, BOOL italic, BOOL underline);
int ArialFontHeight(UINT dpi, int lineHeight);
