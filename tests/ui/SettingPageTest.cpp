#include <gtest/gtest.h>

#include <cstring>

#include "choices/HideSets.h"
#include "engine/Engine.h"
#include "settings/HideActiveChord.h"
#include "settings/Registry.h"
#include "support/HotkeyHolder.h"
#include "system/OwnProcess.h"
#include "ui/ListPageSupport.h"
#include "ui/MainDialogFixture.h"
#include "ui/MainDlg.h"
#include "ui/TestProgram.h"
#include "ui/Texts.h"
#include "ui/res/resource.h"

using namespace uitest;

namespace {

bool contextMenuAsked = false;
HHOOK menuHook = nullptr;

// Notes a context menu request and closes any menu that opens anyway, so a
// failing test cannot hang in the menu's own loop.
LRESULT CALLBACK WatchMenus(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && (sent->message == WM_CONTEXTMENU || sent->message == WM_ENTERMENULOOP)) {
        contextMenuAsked = true;
        if (sent->message == WM_ENTERMENULOOP)
            ::EndMenu();
    }
    return ::CallNextHookEx(menuHook, code, wParam, lParam);
}

void ShowTab(CMainDlg& dialog, int index)
{
    dialog.Tabs().SetCurSel(index);
    NMHDR header{dialog.Tabs().m_hWnd, IDC_MAIN_TAB, static_cast<UINT>(TCN_SELCHANGE)};
    dialog.SendMessage(WM_NOTIFY, IDC_MAIN_TAB, reinterpret_cast<LPARAM>(&header));
}

void ClickButton(CDialog& page, int id)
{
    ::SendMessageW(page.GetDlgItem(id), BM_CLICK, 0, 0);
}

void SelectTrayImage(CDialog& page, int index)
{
    HWND box = page.GetDlgItem(IDC_SET_TRAY_IMAGE);
    ::SendMessageW(box, CB_SETCURSEL, index, 0);
    // What the box tells its parent when the user picks an entry.
    page.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_SET_TRAY_IMAGE, CBN_SELCHANGE), reinterpret_cast<LPARAM>(box));
}

std::wstring ItemText(HWND box, int index)
{
    wchar_t text[64] = {};
    COMBOBOXEXITEMW item{};
    item.mask = CBEIF_TEXT | CBEIF_IMAGE;
    item.iItem = index;
    item.pszText = text;
    item.cchTextMax = 64;
    ::SendMessageW(box, CBEM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    return text;
}

bool Checked(CDialog& page, int id)
{
    return page.IsDlgButtonChecked(id) == BST_CHECKED;
}

} // namespace

TEST_F(MainDialogTest, HotkeyFieldCapturesTheHeldKeysOnAKeyPress)
{
    CMainDlg dialog(Program().Dialog());
    ModalDriver driver;
    CHotkeyEdit* edit = nullptr;
    driver
        .Do([&] {
            ShowTab(dialog, 4);
            edit = &dialog.SettingPage().ShowDialogEdit();
            EXPECT_EQ(edit->GetWindowText(), L"CTRL+LEFT"); // the live record's chord
            edit->SetFocus();
            // Right Ctrl and left Shift are held; A goes down.
            HoldKeys({VK_SHIFT, VK_LSHIFT, VK_CONTROL, VK_RCONTROL, 'A'});
            edit->PostMessage(WM_KEYDOWN, 'A', 0);
        })
        .WaitFor([&] { return edit->GetWindowText() == L"SHIFT+CTRL+A"; }, "SHIFT+CTRL+A")
        .Do([&] {
            HotkeyChord chord{};
            ASSERT_TRUE(edit->GetChord(&chord));
            EXPECT_TRUE(chord.Has(VK_SHIFT));
            EXPECT_TRUE(chord.Has(VK_CONTROL));
            EXPECT_TRUE(chord.Has('A'));
            for (unsigned code = VK_LSHIFT; code <= VK_RMENU; ++code)
                EXPECT_EQ(chord.keys[code], 0) << code; // sides are never kept
            EXPECT_FALSE(edit->GetChord(nullptr));
            // Escape and Enter become the chord and go no further: they
            // would end the program, or press Start.
            HoldKeys({VK_ESCAPE});
            edit->PostMessage(WM_KEYDOWN, VK_ESCAPE, 0);
        })
        .WaitFor([&] { return edit->GetWindowText() == L"ESC"; }, "ESC")
        .Do([&] {
            HoldKeys({VK_RETURN});
            edit->PostMessage(WM_KEYDOWN, VK_RETURN, 0);
        })
        .WaitFor([&] { return edit->GetWindowText() == L"RETURN"; }, "RETURN")
        .Do([&] {
            EXPECT_TRUE(dialog.IsWindowVisible() && !Program().engine.HasRun() && ReadSettingFile().empty());
            // Releasing keys changes nothing; Tab is captured before the
            // dialog manager moves the focus on.
            HoldKeys({VK_TAB});
            edit->PostMessage(WM_KEYUP, 'A', 0);
            edit->PostMessage(WM_KEYDOWN, VK_TAB, 0);
        })
        .WaitFor([&] { return edit->GetWindowText() == L"TAB"; }, "TAB captured")
        .Do([&] {
            EXPECT_NE(::GetFocus(), edit->m_hWnd); // and then Tab still moved the focus
            HoldKeys({});
            dialog.EndDialog(IDCANCEL);
        });
    driver.Run(dialog);
}

TEST_F(MainDialogTest, RightClickInHotkeyFieldShowsRButtonAndNoMenu)
{
    CMainDlg dialog(Program().Dialog());
    ModalDriver driver;
    CHotkeyEdit* edit = nullptr;
    contextMenuAsked = false;
    menuHook = ::SetWindowsHookExW(WH_CALLWNDPROC, &WatchMenus, nullptr, ::GetCurrentThreadId());
    ASSERT_NE(menuHook, nullptr);
    driver
        .Do([&] {
            ShowTab(dialog, 4);
            edit = &dialog.SettingPage().ToggleEdit();
            // A posted click carries no key state: the state is what the
            // thread's keyboard holds when the loop takes the message.
            HoldKeys({VK_RBUTTON});
            edit->PostMessage(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 5));
        })
        .WaitFor([&] { return edit->GetWindowText() == L"RBUTTON"; }, "RBUTTON")
        .Do([&] {
            HoldKeys({});
            edit->PostMessage(WM_RBUTTONUP, 0, MAKELPARAM(5, 5));
        })
        .Do([&] {
            // A left click shows LBUTTON the same way and still focuses the field.
            HoldKeys({VK_LBUTTON});
            edit->PostMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
            edit->PostMessage(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        })
        .WaitFor([&] { return edit->GetWindowText() == L"LBUTTON"; }, "LBUTTON")
        .Do([&] {
            EXPECT_EQ(::GetFocus(), edit->m_hWnd);
            HoldKeys({});
            dialog.EndDialog(IDCANCEL);
        });
    driver.Run(dialog);
    ::UnhookWindowsHookEx(menuHook);
    EXPECT_FALSE(contextMenuAsked);
}

TEST_F(MainDialogTest, SettingsPageShowsTheRecordAndSavesItOnExit)
{
    SettingData* data = Program().home.settingFile.Data();
    data->showDialogChord = ChordOf({VK_MENU, VK_F5});
    data->toggleChord = ChordOf({VK_CONTROL, VK_ADD});
    data->hideOwnIcon = 9; // any non-zero value ticks the box
    data->trayIcon = 2;
    CMainDlg dialog(Program().Dialog());
    ModalDriver driver;
    driver.Do([&] {
        CSettingDlg& page = dialog.SettingPage();
        EXPECT_EQ(page.ShowDialogEdit().GetWindowText(), L"ALT+F5");
        EXPECT_EQ(page.ToggleEdit().GetWindowText(), L"CTRL+NUM+");
        EXPECT_TRUE(Checked(page, IDC_SET_HIDE_OWN_ICON));
        EXPECT_FALSE(Checked(page, IDC_SET_START_WITH_WINDOWS));
        HWND box = page.GetDlgItem(IDC_SET_TRAY_IMAGE);
        EXPECT_EQ(::SendMessageW(box, CB_GETCOUNT, 0, 0), 9);
        EXPECT_EQ(::SendMessageW(box, CB_GETCURSEL, 0, 0), 2);
        EXPECT_EQ(ItemText(box, 0), L"Covelin");
        EXPECT_EQ(ItemText(box, 8), L"Trash");

        // The tray image changes at once; the record only when saved.
        tray_.calls.clear();
        SelectTrayImage(page, 3);
        EXPECT_EQ(tray_.calls, (std::vector<std::string>{"show 3"}));
        EXPECT_EQ(Program().home.settingFile.Data()->trayIcon, 2);
        ClickButton(page, IDC_SET_HIDE_OWN_ICON);
        // Escape acts as Exit (from anywhere but a hotkey field, which
        // would take it as its new chord).
        HWND ownIconBox = page.GetDlgItem(IDC_SET_HIDE_OWN_ICON);
        ::SetFocus(ownIconBox);
        ::PostMessageW(ownIconBox, WM_KEYDOWN, VK_ESCAPE, 0);
    });
    EXPECT_EQ(driver.Run(dialog), IDCANCEL);
    const SettingData saved = SettingsOnDisk();
    EXPECT_EQ(saved.trayIcon, 3);
    EXPECT_EQ(saved.hideOwnIcon, 0);
    EXPECT_EQ(std::memcmp(&saved.showDialogChord, &data->showDialogChord, 256), 0);
    EXPECT_EQ(std::memcmp(saved.showDialogChord.keys, ChordOf({VK_MENU, VK_F5}).keys, 256), 0);
}

TEST_F(MainDialogTest, StartWithWindowsFollowsTheBoxAndUseDefaultResetsEverything)
{
    // A Run value pointing elsewhere still counts as "on".
    ASSERT_TRUE(testsupport::SetRawText(HKEY_CURRENT_USER, kRunKeyPath, L"Covelin", L"C:\\elsewhere\\other.exe"));
    SettingData* data = Program().home.settingFile.Data();
    data->showDialogChord = ChordOf({VK_MENU, 'Z'});
    data->toggleChord = ChordOf({VK_MENU, 'X'});
    data->hideOwnIcon = 1;
    data->trayIcon = 7;
    CMainDlg dialog(Program().Dialog());
    ModalDriver driver;
    driver
        .Do([&] {
            CSettingDlg& page = dialog.SettingPage();
            EXPECT_TRUE(Checked(page, IDC_SET_START_WITH_WINDOWS));
            ClickButton(page, IDC_SET_START_WITH_WINDOWS);
            EXPECT_FALSE(testsupport::RawValueExists(HKEY_CURRENT_USER, kRunKeyPath, L"Covelin"));
            ClickButton(page, IDC_SET_START_WITH_WINDOWS);
            DWORD type = 0;
            std::vector<BYTE> stored;
            ASSERT_TRUE(testsupport::GetRawValue(HKEY_CURRENT_USER, kRunKeyPath, L"Covelin", &type, &stored));
            EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
            EXPECT_EQ(stored, testsupport::TextBytes(RunCommandFor(Program().home.ownExecutablePath)));

            tray_.calls.clear();
            ClickButton(page, IDC_SET_USE_DEFAULT);
            EXPECT_EQ(page.ShowDialogEdit().GetWindowText(), L"CTRL+LEFT");
            EXPECT_EQ(page.ToggleEdit().GetWindowText(), L"CTRL+`");
            EXPECT_FALSE(Checked(page, IDC_SET_HIDE_OWN_ICON));
            EXPECT_FALSE(Checked(page, IDC_SET_START_WITH_WINDOWS));
            EXPECT_FALSE(testsupport::RawValueExists(HKEY_CURRENT_USER, kRunKeyPath, L"Covelin"));
            EXPECT_EQ(::SendMessageW(page.GetDlgItem(IDC_SET_TRAY_IMAGE), CB_GETCURSEL, 0, 0), 0);
            EXPECT_EQ(tray_.calls, (std::vector<std::string>{"show 0"}));
            // Nothing reaches the record before Start.
            EXPECT_EQ(Program().home.settingFile.Data()->trayIcon, 7);
            EXPECT_EQ(ReadSettingFile(), "");
            ::PostMessageW(dialog.GetDlgItem(IDC_START), BM_CLICK, 0, 0);
        })
        .WaitFor([&] { return !dialog.IsWindowVisible() && Program().engine.HasRun(); }, "Start to arm")
        .Do([&] {
            Program().engine.RequestStop();
            dialog.EndDialog(IDOK);
        });
    driver.Run(dialog);
    const SettingData saved = SettingsOnDisk();
    EXPECT_EQ(std::memcmp(&saved.showDialogChord, &Program().home.defaultSettings.showDialogChord, 256), 0);
    EXPECT_EQ(std::memcmp(&saved.toggleChord, &Program().home.defaultSettings.toggleChord, 256), 0);
    EXPECT_EQ(saved.hideOwnIcon, 0);
    EXPECT_EQ(saved.trayIcon, 0);
}

// The system refuses a chord another program holds: the note under the
// hotkeys says so when the page opens, and a chord captured that is free
// puts the note's own text back.
TEST_F(MainDialogTest, TheNoteTellsOfAHotkeyAnotherProgramHolds)
{
    auto holder = std::make_unique<testsupport::HotkeyHolder>(MOD_CONTROL, VK_OEM_3);
    ASSERT_TRUE(holder->Held());
    CMainDlg dialog(Program().Dialog());
    ModalDriver driver;
    const auto note = [&] { return dialog.SettingPage().GetDlgItemText(IDC_SET_NOTE); };
    std::wstring ownNote;
    driver
        .Do([&] {
            EXPECT_EQ(note(), std::wstring(L"CTRL+`") + kHotkeyHeldElsewhere); // the record's Ctrl+`
            holder.reset();
            CHotkeyEdit& edit = dialog.SettingPage().ToggleEdit();
            HoldKeys({VK_CONTROL, VK_OEM_3, 'Q'});
            edit.PostMessage(WM_KEYDOWN, 'Q', 0);
        })
        .WaitFor([&] { return note().find(L"Start") != std::wstring::npos; }, "the note's own text again")
        .Do([&] {
            HoldKeys({});
            dialog.EndDialog(IDCANCEL);
        });
    driver.Run(dialog);
}

TEST_F(MainDialogTest, HideActiveChordIsOptionalMustDifferAndIsKeptInTheRegistry)
{
    CMainDlg dialog(Program().Dialog());
    ModalDriver driver;
    listpage::MessageBoxWatcher boxes;
    driver.Do([&] {
        CSettingDlg& page = dialog.SettingPage();
        EXPECT_EQ(page.HideActiveEdit().GetWindowText(), L"") << "empty by default";
        EXPECT_TRUE(page.SaveSettings()) << "an empty third chord is no clash";
        page.HideActiveEdit().SetChord(Program().home.settingFile.Data()->toggleChord);
        EXPECT_FALSE(page.SaveSettings());
        page.HideActiveEdit().SetChord(ChordOf({VK_SHIFT, VK_F9}));
        EXPECT_TRUE(page.SaveSettings());
        ::PostMessageW(dialog.m_hWnd, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(driver.Run(dialog), IDCANCEL);
    EXPECT_EQ(boxes.Texts(), std::vector<std::wstring>{kMsgHotkeysEqual});
    EXPECT_EQ(std::memcmp(LoadHideActiveChord().keys, ChordOf({VK_SHIFT, VK_F9}).keys, 256), 0);
    EXPECT_EQ(std::memcmp(Program().home.settingFile.HideActiveChord().keys, ChordOf({VK_SHIFT, VK_F9}).keys, 256), 0);
    WIN32_FILE_ATTRIBUTE_DATA file{};
    ASSERT_TRUE(::GetFileAttributesExW(Program().home.settingFile.Path().c_str(), GetFileExInfoStandard, &file));
    EXPECT_EQ(file.nFileSizeLow, 540u);
}
