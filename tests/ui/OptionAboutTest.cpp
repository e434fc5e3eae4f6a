#include <gtest/gtest.h>

#include <windows.h>

#include <shellapi.h>

#include <cwchar>
#include <string>
#include <vector>

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
    data->hideNotifyArea = 1;
    data->muteVolume = 7;
    data->lockComputer = 0;
    data->startScreensaver = -1;
    data->restoreResolution = 1;
    CMainDlg dialog(Program().Dialog());
    ModalDriver driver;
    driver.Do([&] {
        COptionDlg& page = dialog.OptionPage();
        EXPECT_TRUE(Checked(page, IDC_OPT_MUTE));
        EXPECT_FALSE(Checked(page, IDC_OPT_LOCK));
        EXPECT_TRUE(Checked(page, IDC_OPT_SCREENSAVER));

        // Wine's taskbar, like Windows 11's, has no notification area of the
        // old kind: the option is off, cannot be ticked, and says why.
        EXPECT_FALSE(Checked(page, IDC_OPT_HIDE_NOTIFY));
        EXPECT_FALSE(::IsWindowEnabled(page.GetDlgItem(IDC_OPT_HIDE_NOTIFY)));
        EXPECT_EQ(page.GetDlgItemText(IDC_OPT_NOTIFY_REASON), kMsgNotifyAreaMissing);

        // The mode that hiding restores is shown as the page is set up, read
        // without Direct3D.
        DEVMODEW current{};
        current.dmSize = sizeof(current);
        ASSERT_TRUE(::EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &current));
        wchar_t expected[64];
        std::swprintf(expected, 64, L"%d x %d, %dHz", static_cast<int>(current.dmPelsWidth),
                      static_cast<int>(current.dmPelsHeight), static_cast<int>(current.dmDisplayFrequency));
        EXPECT_EQ(page.GetDlgItemText(IDC_OPT_DISPLAY_MODE), expected);
        EXPECT_EQ(::GetModuleHandleW(L"d3d9.dll"), nullptr);
        EXPECT_EQ(::GetModuleHandleW(L"wined3d.dll"), nullptr);
        EXPECT_TRUE(Checked(page, IDC_OPT_RESOLUTION));
        EXPECT_TRUE(::IsWindowEnabled(page.GetDlgItem(IDC_OPT_RESOLUTION)));
        ::SendMessageW(page.GetDlgItem(IDC_OPT_LOCK), BM_CLICK, 0, 0);
        ::PostMessageW(dialog.GetDlgItem(IDCANCEL), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(driver.Run(dialog), IDCANCEL);
    const SettingData saved = SettingsOnDisk();
    EXPECT_EQ(saved.hideNotifyArea, 0); // held 1, never to be done here
    EXPECT_EQ(saved.muteVolume, 1);     // stored as exactly 1
    EXPECT_EQ(saved.lockComputer, 1);
    EXPECT_EQ(saved.startScreensaver, 1);
    EXPECT_EQ(saved.restoreResolution, 1);
}

TEST_F(MainDialogTest, AnUnreadableDisplayModeTurnsTheRestoreOffForTheRun)
{
    // Read as the application reads it at start-up, or a mode never read:
    // either way the page tells and the option stays off.
    SetDisplayModeReader([](DisplayMode&) { return false; });
    for (const bool handedIn : {false, true}) {
        SCOPED_TRACE(handedIn);
        Program().home.settingFile.Data()->restoreResolution = 1;
        const DisplayMode unread;
        CMainDlg dialog(handedIn ? Program().Dialog(unread) : Program().Dialog());
        ModalDriver driver;
        driver.Do([&] {
            COptionDlg& page = dialog.OptionPage();
            EXPECT_EQ(page.GetDlgItemText(IDC_OPT_DISPLAY_MODE), kMsgDisplayNotSupported);
            EXPECT_FALSE(Checked(page, IDC_OPT_RESOLUTION));
            EXPECT_FALSE(::IsWindowEnabled(page.GetDlgItem(IDC_OPT_RESOLUTION)));
            ::PostMessageW(dialog.GetDlgItem(IDCANCEL), BM_CLICK, 0, 0);
        });
        EXPECT_EQ(driver.Run(dialog), IDCANCEL);
        EXPECT_EQ(SettingsOnDisk().restoreResolution, 0);
    }

    // The mode handed in is the one shown, whatever the display says now.
    SetDisplayModeReader(nullptr);
    const DisplayMode atStart{1280, 1024, 60, 22};
    CMainDlg dialog(Program().Dialog(atStart));
    ModalDriver driver;
    driver.Do([&] {
        EXPECT_EQ(dialog.OptionPage().GetDlgItemText(IDC_OPT_DISPLAY_MODE), L"1280 x 1024, 60Hz");
        dialog.EndDialog(IDCANCEL);
    });
    driver.Run(dialog);
}

TEST_F(MainDialogTest, MutingOnlyTheHiddenProgramsIsKeptBesideTheFileAndSaysWhereItFallsBack)
{
    static int asked = 0;
    asked = 0;
    COptionDlg::SetSessionsListableFunction([] { return ++asked, false; });
    Program().home.settingFile.Data()->muteVolume = 0;
    const std::string fileBefore = [] {
        EXPECT_TRUE(Program().home.settingFile.Save());
        return ReadSettingFile();
    }();
    CMainDlg dialog(Program().Dialog());
    ModalDriver driver;
    driver.Do([&] {
        COptionDlg& page = dialog.OptionPage();
        HWND only = page.GetDlgItem(IDC_OPT_MUTE_HIDDEN_ONLY);
        // Nothing to choose while nothing is muted; no audio asked yet.
        EXPECT_FALSE(::IsWindowEnabled(only));
        EXPECT_EQ(asked, 0);
        ::SendMessageW(page.GetDlgItem(IDC_OPT_MUTE), BM_CLICK, 0, 0);
        EXPECT_TRUE(::IsWindowEnabled(only));
        EXPECT_TRUE(page.GetDlgItemText(IDC_OPT_MUTE_FALLBACK).empty());
        ::SendMessageW(only, BM_CLICK, 0, 0);
        // No sessions to be had: the whole volume, and the page says so.
        EXPECT_EQ(asked, 1);
        EXPECT_EQ(page.GetDlgItemText(IDC_OPT_MUTE_FALLBACK), kMsgMuteSessionsFallback);
        ::SendMessageW(page.GetDlgItem(IDC_OPT_MUTE), BM_CLICK, 0, 0);
        EXPECT_FALSE(::IsWindowEnabled(only));
        EXPECT_TRUE(page.GetDlgItemText(IDC_OPT_MUTE_FALLBACK).empty());
        ::SendMessageW(page.GetDlgItem(IDC_OPT_MUTE), BM_CLICK, 0, 0);
        EXPECT_EQ(asked, 1); // asked once a run
        ::PostMessageW(dialog.GetDlgItem(IDCANCEL), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(driver.Run(dialog), IDCANCEL);

    // A number under the program's key; the file differs only in the mute.
    const std::wstring key = L"Software\\" + profile_.Company() + L"\\Covelin";
    DWORD type = 0;
    std::vector<BYTE> value;
    ASSERT_TRUE(testsupport::GetRawValue(HKEY_CURRENT_USER, key, kMuteHiddenOnlyValue, &type, &value));
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    ASSERT_EQ(value.size(), 4u);
    EXPECT_EQ(value[0], 1);
    std::string fileAfter = ReadSettingFile();
    ASSERT_EQ(fileAfter.size(), 540u);
    EXPECT_EQ(fileAfter[524], 1); // muteVolume
    fileAfter[524] = fileBefore[524];
    EXPECT_EQ(fileAfter, fileBefore);

    // Read back at the next start, ticked, and the fallback told at once.
    Program().home.settingFile.SetMuteHiddenOnly(false);
    Program().home.settingFile.LoadRegistryChoices();
    EXPECT_TRUE(Program().home.settingFile.MuteHiddenOnly());
    CMainDlg again(Program().Dialog());
    ModalDriver second;
    second.Do([&] {
        COptionDlg& page = again.OptionPage();
        EXPECT_TRUE(Checked(page, IDC_OPT_MUTE_HIDDEN_ONLY));
        EXPECT_EQ(page.GetDlgItemText(IDC_OPT_MUTE_FALLBACK), kMsgMuteSessionsFallback);
        ::SendMessageW(page.GetDlgItem(IDC_OPT_MUTE_HIDDEN_ONLY), BM_CLICK, 0, 0);
        ::PostMessageW(again.GetDlgItem(IDCANCEL), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(second.Run(again), IDCANCEL);
    Program().home.settingFile.LoadRegistryChoices();
    EXPECT_FALSE(Program().home.settingFile.MuteHiddenOnly());
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

TEST(ScreensaverSettings, OpensThePageByNameAndTheOlderNumberWhereThatFails)
{
    static std::vector<std::wstring> opened;
    static INT_PTR answer = 42;
    opened.clear();
    COptionDlg::SetShellExecuteFunction(
        [](HWND, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory, INT show) -> HINSTANCE {
            EXPECT_EQ(std::wstring(verb), L"open");
            EXPECT_EQ(std::wstring(directory), L"C:\\covelin\\");
            EXPECT_EQ(show, SW_SHOWNORMAL);
            opened.push_back(std::wstring(file) + L" " + parameters);
            return reinterpret_cast<HINSTANCE>(answer);
        });
    COptionDlg::OpenScreensaverSettings(L"C:\\covelin\\");
    EXPECT_EQ(opened, std::vector<std::wstring>{L"control.exe desk.cpl,,@screensaver"});
    answer = SE_ERR_FNF;
    COptionDlg::OpenScreensaverSettings(L"C:\\covelin\\");
    EXPECT_EQ(opened,
              (std::vector<std::wstring>{L"control.exe desk.cpl,,@screensaver", L"control.exe desk.cpl,,@screensaver",
                                         L"rundll32.exe shell32.dll,Control_RunDLL desk.cpl,,1"}));
    COptionDlg::SetShellExecuteFunction(nullptr);
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
