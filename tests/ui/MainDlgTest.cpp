#include <gtest/gtest.h>

#include <cstring>

#include "actions/Display.h"
#include "catalogue/WindowCatalogue.h"
#include "engine/Engine.h"
#include "framework/Thread.h"
#include "support/Wait.h"
#include "system/OwnProcess.h"
#include "ui/MainDialogFixture.h"
#include "ui/MainDlg.h"
#include "ui/TestProgram.h"
#include "ui/Texts.h"
#include "ui/res/resource.h"

using namespace uitest;

namespace {

RECT ClientRectOf(HWND window)
{
    RECT rect{};
    ::GetClientRect(window, &rect);
    return rect;
}

int VisiblePages(CMainDlg& dialog)
{
    int visible = 0;
    for (int i = 0; i < CMainDlg::kPageCount; ++i)
        visible += dialog.GetPage(i)->IsWindowVisible() ? 1 : 0;
    return visible;
}

std::wstring TabText(CTabCtrl& tabs, int index)
{
    wchar_t text[64] = {};
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = 64;
    tabs.SendMessage(TCM_GETITEMW, index, reinterpret_cast<LPARAM>(&item));
    return text;
}

bool Armed(CMainDlg& dialog)
{
    return !dialog.IsWindowVisible() && Program().engine.AcceptsCommands();
}

// Ends the armed engine the way the show-dialog chord does, then shows the
// dialog as the engine would.
void Disarm(CMainDlg& dialog)
{
    Program().engine.RequestStop();
    Program().engine.WaitEnded(GetTickCount64() + 3000);
    dialog.PostMessage(UM_ENGINE_SHOW_DIALOG, 0, 0);
}

} // namespace

TEST_F(MainDialogTest, LayoutIsFixedInPixelsAndStartsOnTheWindowsPage)
{
    CMainDlg dialog(Program().Dialog());
    ModalDriver driver;
    driver.Do([&] {
        const RECT client = ClientRectOf(dialog.m_hWnd);
        EXPECT_EQ(client.right, 400);
        EXPECT_EQ(client.bottom, 400);
        const RECT tabs = RectInParent(dialog.Tabs().m_hWnd);
        EXPECT_EQ(tabs.left, 10);
        EXPECT_EQ(tabs.top, 10);
        EXPECT_EQ(tabs.right, 390);
        EXPECT_EQ(tabs.bottom, 35);
        for (int i = 0; i < CMainDlg::kPageCount; ++i) {
            const RECT page = RectInParent(dialog.GetPage(i)->m_hWnd);
            EXPECT_EQ(page.left, 10) << i;
            EXPECT_EQ(page.top, 35) << i;
            EXPECT_EQ(page.right, 390) << i;
            EXPECT_EQ(page.bottom, 360) << i;
        }
        const RECT exit = RectInParent(dialog.GetDlgItem(IDCANCEL));
        const RECT start = RectInParent(dialog.GetDlgItem(IDC_START));
        EXPECT_EQ(exit.left, 10);
        EXPECT_EQ(exit.top, 370);
        EXPECT_EQ(start.top, 370);
        EXPECT_EQ(start.right, 390);
        EXPECT_EQ(start.right - start.left, exit.right - exit.left);
        EXPECT_GT(exit.right - exit.left, 40);

        EXPECT_EQ(::GetWindowLongPtrW(dialog.m_hWnd, GWLP_USERDATA), OWN_WINDOW_MARK);
        EXPECT_EQ(dialog.GetWindowText(), kMainDialogTitle);
        EXPECT_NE(::GetWindowLongPtrW(dialog.m_hWnd, GWL_EXSTYLE) & WS_EX_APPWINDOW, 0);
        ASSERT_EQ(dialog.Tabs().GetItemCount(), 6);
        const wchar_t* texts[] = {L"Windows", L"Processes", L"Executable Files", L"Options", L"Settings", L"About"};
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(TabText(dialog.Tabs(), i), texts[i]);
        EXPECT_EQ(dialog.Tabs().GetCurSel(), 0);
        EXPECT_EQ(dialog.CurrentPage(), 0);
        EXPECT_TRUE(dialog.GetPage(0)->IsWindowVisible());
        EXPECT_EQ(VisiblePages(dialog), 1);
        EXPECT_EQ(dialog.GetPage(6), nullptr);
        EXPECT_EQ(dialog.GetPage(-1), nullptr);
        dialog.EndDialog(IDCANCEL);
    });
    EXPECT_EQ(driver.Run(dialog), IDCANCEL);
}

TEST_F(MainDialogTest, ClickingTabsShowsExactlyOnePage)
{
    CMainDlg dialog(Program().Dialog());
    ModalDriver driver;
    for (int index : {3, 5, 0, 4, 4, 1, 2}) {
        driver
            .Do([&dialog, index] {
                RECT item{};
                dialog.Tabs().GetItemRect(index, &item);
                PostClick(dialog.Tabs().m_hWnd, item);
            })
            .WaitFor([&dialog, index] { return dialog.CurrentPage() == index; }, "tab " + std::to_string(index))
            .Do([&dialog, index] {
                EXPECT_EQ(VisiblePages(dialog), 1) << index;
                EXPECT_TRUE(dialog.GetPage(index)->IsWindowVisible()) << index;
            });
    }
    driver.Do([&] { dialog.EndDialog(IDCANCEL); });
    driver.Run(dialog);
}

TEST_F(MainDialogTest, EqualHotkeysKeepTheDialogAsItIsForStartCloseAndExit)
{
    CMainDlg dialog(Program().Dialog());
    MessageBoxAnswerer answerer(IDOK);
    ModalDriver driver;
    driver
        .Do([&] {
            const HotkeyChord same = ChordOf({VK_CONTROL, 'Q'});
            dialog.SettingPage().ShowDialogEdit().SetChord(same);
            dialog.SettingPage().ToggleEdit().SetChord(same);
            ::PostMessageW(dialog.GetDlgItem(IDC_START), BM_CLICK, 0, 0);
        })
        .WaitFor([&] { return answerer.Count() == 1; }, "the refusal after Start")
        .Do([&] { dialog.PostMessage(WM_SYSCOMMAND, SC_CLOSE, 0); })
        .WaitFor([&] { return answerer.Count() == 2; }, "the refusal after the close box")
        .Do([&] { ::PostMessageW(::GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0); })
        .WaitFor([&] { return answerer.Count() == 3; }, "the refusal after Escape")
        .Do([&] {
            EXPECT_TRUE(dialog.IsWindowVisible());
            EXPECT_FALSE(dialog.IsIconic());
            EXPECT_FALSE(Program().engine.HasRun());
            EXPECT_EQ(ReadSettingFile(), ""); // nothing saved
            for (const SeenMessageBox& box : answerer.Seen()) {
                EXPECT_EQ(box.text, kMsgHotkeysEqual);
                EXPECT_FALSE(box.yesNo);
            }
            // Two chords that read the same count as equal even when they
            // differ in keys that have no name.
            dialog.SettingPage().ShowDialogEdit().SetChord(ChordOf({VK_CONTROL, 'Q'}));
            dialog.SettingPage().ToggleEdit().SetChord(ChordOf({VK_CONTROL, 'Q', 226}));
            ::PostMessageW(dialog.GetDlgItem(IDCANCEL), BM_CLICK, 0, 0);
        })
        .WaitFor([&] { return answerer.Count() == 4; }, "the refusal of look-alike chords")
        .Do([&] {
            dialog.SettingPage().ToggleEdit().SetChord(ChordOf({VK_CONTROL, 'W'}));
            ::PostMessageW(dialog.GetDlgItem(IDCANCEL), BM_CLICK, 0, 0);
        });
    EXPECT_EQ(driver.Run(dialog), IDCANCEL);
    EXPECT_EQ(answerer.Count(), 4u);
    const SettingData saved = SettingsOnDisk();
    EXPECT_EQ(std::memcmp(saved.showDialogChord.keys, ChordOf({VK_CONTROL, 'Q'}).keys, 256), 0);
    EXPECT_EQ(std::memcmp(saved.toggleChord.keys, ChordOf({VK_CONTROL, 'W'}).keys, 256), 0);
}

TEST_F(MainDialogTest, CloseBoxAltF4AndEnterArmInsteadOfClosing)
{
    Program().home.settingFile.Data()->hideOwnIcon = 1;
    Program().home.settingFile.Data()->trayIcon = 6;
    CMainDlg dialog(Program().Dialog());
    ModalDriver driver;
    driver
        .Do([&] {
            tray_.calls.clear();
            dialog.PostMessage(WM_SYSCOMMAND, SC_CLOSE, 0);
        })
        .WaitFor([&] { return Armed(dialog); }, "the close box to arm")
        .Do([&] {
            EXPECT_TRUE(dialog.IsIconic());
            // Saved on the way, and the own tray icon taken out while armed.
            EXPECT_EQ(SettingsOnDisk().hideOwnIcon, 1);
            EXPECT_EQ(tray_.calls, (std::vector<std::string>{"hide"}));
            Disarm(dialog);
        })
        .WaitFor([&] { return dialog.IsWindowVisible() && !Program().engine.HasRun(); }, "the dialog back")
        .Do([&] {
            // Back, shown as the image the settings name (with its name).
            EXPECT_EQ(tray_.calls, (std::vector<std::string>{"hide", "show 6"}));
            // Alt+F4 goes through the window manager's close command.
            ::PostMessageW(dialog.Tabs().m_hWnd, WM_SYSKEYDOWN, VK_F4, 1 << 29);
        })
        .WaitFor([&] { return Armed(dialog); }, "Alt+F4 to arm")
        .Do([&] { Disarm(dialog); })
        .WaitFor([&] { return dialog.IsWindowVisible() && !Program().engine.HasRun(); }, "the dialog back again")
        .Do([&] {
            dialog.Tabs().SetFocus();
            dialog.Tabs().PostMessage(WM_KEYDOWN, VK_RETURN, 0);
        })
        .WaitFor([&] { return Armed(dialog); }, "Enter to press Start")
        .Do([&] { Disarm(dialog); })
        .WaitFor([&] { return dialog.IsWindowVisible(); }, "the dialog back a third time")
        // The close request of the tray's "Restore && Exit" ends the dialog
        // as Exit does.
        .Do([&] { dialog.PostMessage(WM_CLOSE); });
    EXPECT_EQ(driver.Run(dialog), IDCANCEL);
}

TEST_F(MainDialogTest, FailedSavesAreReportedButStartStillArms)
{
    // A path in a folder that does not exist cannot be written.
    Program().home.settingFile.SetPath(scratch_.File(L"missing\\setting.dat"));
    CMainDlg dialog(Program().Dialog());
    MessageBoxAnswerer answerer(IDOK);
    ModalDriver driver;
    driver.Do([&] { ::PostMessageW(dialog.GetDlgItem(IDC_START), BM_CLICK, 0, 0); })
        .WaitFor([&] { return Armed(dialog) && answerer.Count() == 2; }, "both failures and the engine")
        .Do([&] {
            auto seen = answerer.Seen();
            EXPECT_EQ(seen[0].text, kMsgSaveSettingsFailed);
            EXPECT_EQ(seen[1].text, kMsgSaveOptionsFailed);
            Disarm(dialog);
            dialog.EndDialog(IDCANCEL);
        });
    driver.Run(dialog);
}

// Start and Exit may come before the dialog has got round to what it leaves
// until it is drawn (the pages behind the first tab, the tray icon): they do
// it first, and save exactly what the pages hold; Exit needs no tray icon.
TEST_F(MainDialogTest, StartOrExitBeforeTheDeferredSetUpSaveAndArmAsEver)
{
    Program().home.settingFile.Data()->hideOwnIcon = 1;
    Program().home.settingFile.Data()->trayIcon = 6;
    Program().home.settingFile.Data()->muteVolume = 1;
    Program().home.settingFile.Data()->toggleChord = ChordOf({VK_CONTROL, VK_SHIFT, 'K'});
    SetDisplayModeReader([](DisplayMode& mode) { return mode.Width = 800, mode.Height = 600, true; });
    const SettingData chosen = *Program().home.settingFile.Data();
    // A page missing at the save would refuse its hotkeys with a message.
    MessageBoxAnswerer answerer(IDOK);
    for (const bool start : {true, false}) {
        ::DeleteFileW(Program().home.settingFile.Path().c_str());
        int deferredRuns = 0;
        CMainDlg dialog(Program().Dialog());
        dialog.SetAfterShownWork([&] { ++deferredRuns; });
        // Without a modal loop the dialog's own message waits unread.
        ASSERT_TRUE(dialog.Create(IDD_COVELIN_DIALOG, nullptr));
        ASSERT_EQ(dialog.SettingPage().m_hWnd, nullptr);
        if (start)
            dialog.OnStart();
        else
            dialog.OnCancel();
        const SettingData saved = SettingsOnDisk();
        EXPECT_EQ(std::memcmp(&saved, &chosen, sizeof chosen), 0) << start;
        EXPECT_EQ(Program().engine.HasRun(), start);
        EXPECT_EQ(deferredRuns, start ? 1 : 0);
        if (start) {
            for (int i = 0; i < CMainDlg::kPageCount; ++i)
                EXPECT_NE(dialog.GetPage(i)->m_hWnd, nullptr) << i;
        }
        // The message arrives after all: nothing runs twice.
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageW(&msg);
        EXPECT_EQ(deferredRuns, start ? 1 : 0);
        EXPECT_EQ(answerer.Count(), 0u);
        Program().engine.RequestStop();
        EXPECT_TRUE(Program().engine.WaitEnded(GetTickCount64() + 3000));
        Program().engine.ForgetRun();
    }
}
