#include <gtest/gtest.h>

#include <cwchar>

#include "actions/Display.h"
#include "ui/MainDialogFixture.h"
#include "ui/MainDlg.h"
#include "ui/TestProgram.h"
#include "ui/Texts.h"
#include "ui/res/resource.h"

using namespace uitest;

namespace {

int screensaverSettingsOpened = 0;
void RecordScreensaverSettings(const wchar_t*)
{
    ++screensaverSettingsOpened;
}

struct ShellCall {
    std::wstring verb, target, directory;
    INT show;
};
std::vector<ShellCall> shellCalls;
INT_PTR shellAnswer = 42;

HINSTANCE WINAPI RecordShellOpen(HWND, LPCWSTR verb, LPCWSTR target, LPCWSTR parameters, LPCWSTR directory, INT show)
{
    EXPECT_EQ(parameters, nullptr);
    shellCalls.push_back({verb ? verb : L"", target ? target : L"", directory ? directory : L"", show});
    return reinterpret_cast<HINSTANCE>(shellAnswer);
}

bool Checked(CDialog& page, int id)
{
    return page.IsDlgButtonChecked(id) == BST_CHECKED;
}

// Asks the page for the colours of one of its controls, as the control does
// when it paints, and gives back the device context's state.
struct Colours {
    LRESULT brush;
    COLORREF text;
    int backgroundMode;
    LOGFONTW font;
};

Colours AskColours(CDialog& page, int id)
{
    HDC dc = ::CreateCompatibleDC(nullptr);
    ::SetTextColor(dc, RGB(0, 0, 0));
    HGDIOBJ originalFont = ::GetCurrentObject(dc, OBJ_FONT);
    Colours colours{};
    colours.brush = page.SendMessage(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                     reinterpret_cast<LPARAM>(page.GetDlgItem(id)));
    colours.text = ::GetTextColor(dc);
    colours.backgroundMode = ::GetBkMode(dc);
    ::GetObjectW(::GetCurrentObject(dc, OBJ_FONT), sizeof(LOGFONTW), &colours.font);
    ::SelectObject(dc, originalFont);
    ::DeleteDC(dc);
    return colours;
}

} // namespace

TEST_F(MainDialogTest, OptionsRoundTripThroughTheRecord)
{
    SettingData* data = Program().home.settingFile.Data();
    data->hideNotifyArea = 0;
    data->muteVolume = 7;
    data->lockComputer = 0;
    data->startScreensaver = -1;
    data->restoreResolution = 1;
    CMainDlg dialog(Program().Dialog());
    ModalDriver driver;
    driver.WaitFor([&] { return !dialog.OptionPage().GetDlgItemText(IDC_OPT_DISPLAY_MODE).empty(); }, "the mode");
    driver.Do([&] {
        COptionDlg& page = dialog.OptionPage();
        EXPECT_FALSE(Checked(page, IDC_OPT_HIDE_NOTIFY));
        EXPECT_TRUE(Checked(page, IDC_OPT_MUTE));
        EXPECT_FALSE(Checked(page, IDC_OPT_LOCK));
        EXPECT_TRUE(Checked(page, IDC_OPT_SCREENSAVER));

        // The mode that hiding restores is the one of set-up, read through a
        // Direct3D 9 that is gone again once the page stands.
        DEVMODEW current{};
        current.dmSize = sizeof(current);
        ASSERT_TRUE(::EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &current));
        wchar_t expected[64];
        std::swprintf(expected, 64, L"%d x %d, %dHz", static_cast<int>(current.dmPelsWidth),
                      static_cast<int>(current.dmPelsHeight), static_cast<int>(current.dmDisplayFrequency));
        EXPECT_EQ(page.GetDlgItemText(IDC_OPT_DISPLAY_MODE), expected);
        EXPECT_EQ(storedDisplayMode.Width, current.dmPelsWidth);
        EXPECT_EQ(::GetModuleHandleW(L"d3d9.dll"), nullptr);
        EXPECT_TRUE(Checked(page, IDC_OPT_RESOLUTION));
        EXPECT_TRUE(::IsWindowEnabled(page.GetDlgItem(IDC_OPT_RESOLUTION)));
        ::SendMessageW(page.GetDlgItem(IDC_OPT_LOCK), BM_CLICK, 0, 0);
        ::PostMessageW(dialog.GetDlgItem(IDCANCEL), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(driver.Run(dialog), IDCANCEL);
    const SettingData saved = SettingsOnDisk();
    EXPECT_EQ(saved.hideNotifyArea, 0);
    EXPECT_EQ(saved.muteVolume, 1); // stored as exactly 1
    EXPECT_EQ(saved.lockComputer, 1);
    EXPECT_EQ(saved.startScreensaver, 1);
    EXPECT_EQ(saved.restoreResolution, 1);
}

TEST_F(MainDialogTest, AnUnreadableDisplayModeTurnsTheRestoreOffForTheRun)
{
    Program().home.settingFile.Data()->restoreResolution = 1;
    SetDisplayModeReader([](D3DDISPLAYMODE&) { return false; });
    {
        CMainDlg dialog(Program().Dialog());
        ModalDriver driver;
        driver.WaitFor([&] { return !dialog.OptionPage().GetDlgItemText(IDC_OPT_DISPLAY_MODE).empty(); }, "the mode");
        driver.Do([&] {
            COptionDlg& page = dialog.OptionPage();
            EXPECT_EQ(page.GetDlgItemText(IDC_OPT_DISPLAY_MODE), kMsgDisplayNotSupported);
            EXPECT_FALSE(Checked(page, IDC_OPT_RESOLUTION));
            EXPECT_FALSE(::IsWindowEnabled(page.GetDlgItem(IDC_OPT_RESOLUTION)));
            EXPECT_EQ(storedDisplayMode.Width, 0u);
            ::PostMessageW(dialog.GetDlgItem(IDCANCEL), BM_CLICK, 0, 0);
        });
        EXPECT_EQ(driver.Run(dialog), IDCANCEL);
        EXPECT_EQ(SettingsOnDisk().restoreResolution, 0);
    }

    // Left before a slow read has ended: the box is still saved as off.
    Program().home.settingFile.Data()->restoreResolution = 1;
    SetDisplayModeReader([](D3DDISPLAYMODE&) { return ::Sleep(300), false; });
    CMainDlg dialog(Program().Dialog());
    ModalDriver driver;
    driver.Do([&] {
        EXPECT_TRUE(dialog.OptionPage().GetDlgItemText(IDC_OPT_DISPLAY_MODE).empty());
        ::PostMessageW(dialog.GetDlgItem(IDCANCEL), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(driver.Run(dialog), IDCANCEL);
    EXPECT_EQ(SettingsOnDisk().restoreResolution, 0);
}

TEST_F(MainDialogTest, ScreensaverOptionAsksOnlyWhenNoneIsChosen)
{
    COptionDlg::SetOpenScreensaverSettingsFunction(&RecordScreensaverSettings);
    screensaverSettingsOpened = 0;
    CMainDlg dialog(Program().Dialog());
    auto answerer = std::make_unique<MessageBoxAnswerer>(IDYES);
    ModalDriver driver;
    HWND box = nullptr;
    driver
        .Do([&] {
            box = dialog.OptionPage().GetDlgItem(IDC_OPT_SCREENSAVER);
            SetScreensaverActive(L"0");
            ::PostMessageW(box, BM_CLICK, 0, 0);
        })
        .WaitFor([&] { return answerer->Count() == 1 && ::SendMessageW(box, BM_GETCHECK, 0, 0) == BST_UNCHECKED; },
                 "the question, answered Yes")
        .Do([&] {
            EXPECT_EQ(screensaverSettingsOpened, 1);
            EXPECT_EQ(answerer->Seen()[0].text, kMsgChooseScreensaver);
            EXPECT_TRUE(answerer->Seen()[0].yesNo);
            answerer = std::make_unique<MessageBoxAnswerer>(IDNO);
            ::PostMessageW(box, BM_CLICK, 0, 0);
        })
        .WaitFor([&] { return answerer->Count() == 1 && ::SendMessageW(box, BM_GETCHECK, 0, 0) == BST_UNCHECKED; },
                 "the question, answered No")
        .Do([&] {
            EXPECT_EQ(screensaverSettingsOpened, 1);
            // Chosen meanwhile: the tick is accepted silently, and unticking
            // never asks.
            SetScreensaverActive(L"1");
            ::SendMessageW(box, BM_CLICK, 0, 0);
            EXPECT_EQ(::SendMessageW(box, BM_GETCHECK, 0, 0), BST_CHECKED);
            SetScreensaverActive(L"0");
            ::SendMessageW(box, BM_CLICK, 0, 0);
            EXPECT_EQ(::SendMessageW(box, BM_GETCHECK, 0, 0), BST_UNCHECKED);
            EXPECT_EQ(answerer->Count(), 1u);
            dialog.EndDialog(IDCANCEL);
        });
    driver.Run(dialog);
    COptionDlg::SetOpenScreensaverSettingsFunction(nullptr);
}

TEST_F(MainDialogTest, RedNotesLinksAndCaptionsDrawInTheirOwnColoursAndFonts)
{
    CMainDlg dialog(Program().Dialog());
    ModalDriver driver;
    driver.Do([&] {
        const Colours note = AskColours(dialog.OptionPage(), IDC_OPT_NOTE);
        EXPECT_EQ(note.text, RGB(255, 0, 0));
        EXPECT_NE(note.brush, 0);
        EXPECT_NE(AskColours(dialog.OptionPage(), IDC_OPT_DISPLAY_MODE).text, RGB(255, 0, 0));
        EXPECT_EQ(AskColours(dialog.SettingPage(), IDC_SET_NOTE).text, RGB(255, 0, 0));

        CAboutDlg& about = dialog.AboutPage();
        for (int id : {IDC_ABOUT_PICTURE, IDC_ABOUT_SITE_LINK, IDC_ABOUT_FORM_LINK}) {
            const Colours link = AskColours(about, id);
            EXPECT_EQ(link.text, RGB(0, 0, 255)) << id;
            EXPECT_EQ(link.backgroundMode, TRANSPARENT) << id;
            LOGBRUSH brush{};
            ASSERT_NE(::GetObjectW(reinterpret_cast<HBRUSH>(link.brush), sizeof(brush), &brush), 0) << id;
            EXPECT_EQ(brush.lbStyle, static_cast<UINT>(BS_NULL)) << id;
            EXPECT_EQ(std::wstring(link.font.lfFaceName), L"Arial") << id;
            EXPECT_EQ(link.font.lfHeight, 15) << id;
            EXPECT_TRUE(link.font.lfItalic) << id;
            EXPECT_TRUE(link.font.lfUnderline) << id;
        }
        const Colours caption = AskColours(about, IDC_ABOUT_SALES_CAPTION);
        EXPECT_EQ(caption.font.lfWeight, FW_BOLD);
        EXPECT_EQ(std::wstring(caption.font.lfFaceName), L"Arial");
        // Other texts keep the font they have.
        EXPECT_NE(std::wstring(AskColours(about, IDC_ABOUT_VERSION).font.lfFaceName), L"Arial");
        dialog.EndDialog(IDCANCEL);
    });
    driver.Run(dialog);
}

TEST_F(MainDialogTest, AboutPageLinksOpenThroughTheShell)
{
    CHyperLink::SetShellOpenFunction(&RecordShellOpen);
    shellCalls.clear();
    shellAnswer = 42;
    CMainDlg dialog(Program().Dialog());
    MessageBoxAnswerer answerer(IDOK);
    CHyperLink unset;
    ModalDriver driver;
    driver
        .Do([&] {
            CAboutDlg& about = dialog.AboutPage();
            EXPECT_EQ(about.GetDlgItemText(IDC_ABOUT_VERSION), L"1.1");
            // The picture leads where the web site link does.
            EXPECT_EQ(about.Link(0).Link(), about.Link(1).Link());
            EXPECT_EQ(about.Link(2).Link(), L"mailto:support@example.com");
            for (int i = 0; i < 6; ++i)
                EXPECT_NE(about.Link(i).Link().find(L"example.com"), std::wstring::npos) << i;

            ::PostMessageW(about.GetDlgItem(IDC_ABOUT_PICTURE), WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
            ::PostMessageW(about.GetDlgItem(IDC_ABOUT_SUPPORT_LINK), WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
        })
        .WaitFor([&] { return shellCalls.size() == 2; }, "two links opened")
        .Do([&] {
            EXPECT_EQ(shellCalls[0].verb, L"open");
            EXPECT_EQ(shellCalls[0].target, kWebSiteAddress);
            EXPECT_EQ(shellCalls[0].directory, Program().home.moduleDirectory);
            EXPECT_EQ(shellCalls[0].show, SW_SHOWNORMAL);
            EXPECT_EQ(shellCalls[1].target, kSupportAddress);
            EXPECT_EQ(answerer.Count(), 0u);

            // A link without a target does nothing at all.
            HWND plain = ::CreateWindowExW(0, L"STATIC", L"no target", WS_CHILD | WS_VISIBLE | SS_NOTIFY, 0, 0, 50, 10,
                                           dialog.AboutPage().m_hWnd, nullptr, nullptr, nullptr);
            ASSERT_TRUE(unset.SubclassWindow(plain));
            unset.SetLink(nullptr);
            unset.PostMessage(WM_LBUTTONUP, 0, MAKELPARAM(1, 1));
            unset.PostMessage(WM_NULL);
        })
        .Do([&] {
            EXPECT_EQ(shellCalls.size(), 2u);
            // The shell's failure is told with the error text.
            shellAnswer = 2;
            ::PostMessageW(dialog.AboutPage().GetDlgItem(IDC_ABOUT_FORM_LINK), WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
        })
        .WaitFor([&] { return answerer.Count() == 1; }, "the failure message")
        .Do([&] {
            EXPECT_EQ(answerer.Seen()[0].text, kMsgOpenLinkFailed);
            EXPECT_EQ(shellCalls.back().target, kSupportFormAddress);
            unset.DestroyWindow();
            dialog.EndDialog(IDCANCEL);
        });
    driver.Run(dialog);
    CHyperLink::SetShellOpenFunction(nullptr);
    EXPECT_EQ(answerer.Count(), 1u);
}
