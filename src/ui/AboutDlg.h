#pragma once
// The About page: name, version, the large picture and the links.
#include <string>

#include "CovelinVersion.h"
#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "framework/Gdi.h"
#include "ui/HyperLink.h"

// Where the page's links lead.
inline constexpr wchar_t kWebSiteAddress[] = L"https://www.example.com/covelin/";
inline constexpr wchar_t kSupportAddress[] = L"mailto:support@example.com";
inline constexpr wchar_t kFeedbackAddress[] = L"mailto:feedback@example.com";
inline constexpr wchar_t kSalesAddress[] = L"mailto:sales@example.com";
inline constexpr wchar_t kSupportFormAddress[] = L"https://www.example.com/covelin/support-form";
inline constexpr wchar_t kProductVersion[] = COVELIN_VERSION_WIDE_TEXT;

class CAboutDlg : public CDialog {
public:
    // The links open their targets in `moduleDirectory`.
    explicit CAboutDlg(const std::wstring& moduleDirectory);

    BOOL OnInitDialog() override;
    // Fonts and the picture made anew for the new scale.
    void OnDpiChanged(UINT dpi) override;
    void DoDataExchange(CDataExchange* pDX) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    // The six links: the picture area first, then 1035 to 1039.
    CHyperLink& Link(int index) { return links_[index]; }
    HFONT CaptionFont() const { return captionFont_; }

private:
    void OnPaint();
    // The fonts and the large picture at the page's DPI, the fonts no taller
    // than `lineHeight`; the captions and links get them.
    void MakeScaledResources(int lineHeight);
    // The height of a caption's line, as the dialog units made it.
    int CaptionLineHeight() const;

    UniqueIcon largeIcon_;
    CFont captionFont_;
    UINT resourceDpi_ = 0; // the scale of largeIcon_; none yet
    CStatic versionLabel_;
    CHyperLink links_[6];
};
