// Pictures of the main dialog for a person to look at: each of its tabs
// with the settings' defaults, and the Windows, Processes and Executable
// Files pages filled with real content (a few of Wine's own programs running
// as child processes, some of them chosen for hiding). Runs only when
// COVELIN_SCREENSHOTS names a folder (scripts/screenshots.sh does that).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ListPageSupport.h"
#include "choices/HideSets.h"
#include "support/Screenshot.h"
#include "support/Wait.h"
#include "system/Elevation.h"
#include "ui/MainDialogFixture.h"
#include "ui/MainDlg.h"
#include "ui/RuleSection.h"
#include "ui/TestProgram.h"

using namespace listpage;
using namespace uitest;
using testsupport::SaveWindowPicture;
using testsupport::ScreenshotFolder;

namespace {

// One of Wine's programs, ended with the object.
class WineProgram {
public:
    explicit WineProgram(const std::wstring& name)
    {
        wchar_t system[MAX_PATH] = {};
        GetSystemDirectoryW(system, MAX_PATH);
        path_ = std::wstring(system) + L"\\" + name;
        std::wstring commandLine = L"\"" + path_ + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        if (CreateProcessW(path_.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                           &process_))
            testsupport::WaitUntil([this] { return MainWindow() != nullptr; }, 10000);
    }
    ~WineProgram()
    {
        if (process_.hProcess == nullptr)
            return;
        TerminateProcess(process_.hProcess, 0);
        WaitForSingleObject(process_.hProcess, 5000);
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
    }

    const std::wstring& Path() const { return path_; }
    DWORD ProcessId() const { return process_.dwProcessId; }
    HWND MainWindow() const
    {
        struct Search {
            DWORD processId;
            HWND found;
        } search{process_.dwProcessId, nullptr};
        EnumWindows(
            [](HWND window, LPARAM param) -> BOOL {
                auto* s = reinterpret_cast<Search*>(param);
                DWORD processId = 0;
                GetWindowThreadProcessId(window, &processId);
                if (processId == s->processId && IsWindowVisible(window) && GetWindow(window, GW_OWNER) == nullptr) {
                    s->found = window;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

private:
    std::wstring path_;
    PROCESS_INFORMATION process_{};
};

class ListPageScreenshot : public MainDialogTest {
protected:
    void TearDown() override
    {
        Program().choices.hideWindowSet.RemoveAll();
        Program().choices.hideProcessSet.RemoveAll();
        Program().choices.hideFileSet.RemoveAll();
        Program().choices.hideRules = CRuleList{};
        Program().choices.topWindow.reset();
        MainDialogTest::TearDown();
    }
};

} // namespace

TEST_F(MainDialogTest, ScreenshotOfEachPage)
{
    const std::wstring folder = ScreenshotFolder();
    if (folder.empty())
        GTEST_SKIP() << "COVELIN_SCREENSHOTS is not set";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    const wchar_t* names[] = {L"1-windows", L"2-processes", L"3-executable-files",
                              L"4-options", L"5-settings",  L"6-about"};
    Program().home.settingFile.Data()->muteVolume = 1;
    Program().home.settingFile.Data()->hideOwnIcon = 1;
    // The mute's choice ticked: the page says (for real under Wine, which
    // lists no audio sessions) that the whole volume is muted instead.
    Program().home.settingFile.SetMuteHiddenOnly(true);
    CMainDlg dialog(Program().Dialog());
    ModalDriver driver(30000);
    for (int index = 0; index < CMainDlg::kPageCount; ++index) {
        driver
            .Do([&dialog, index] {
                ::SetWindowPos(dialog.m_hWnd, HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE);
                RECT item{};
                dialog.Tabs().GetItemRect(index, &item);
                PostClick(dialog.Tabs().m_hWnd, item);
            })
            .WaitFor([&dialog, index] { return dialog.CurrentPage() == index; }, "the tab")
            .Do([&dialog] {
                ::RedrawWindow(dialog.m_hWnd, nullptr, nullptr,
                               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
            })
            .Do([&dialog, &folder, &names, index] {
                const std::wstring path = folder + names[index] + L".bmp";
                EXPECT_TRUE(SaveWindowPicture(dialog.m_hWnd, path));
            });
    }
    driver.Do([&] { dialog.EndDialog(IDCANCEL); });
    driver.Run(dialog);
}

TEST_F(ListPageScreenshot, PagesWithContent)
{
    const std::wstring folder = ScreenshotFolder();
    if (folder.empty())
        GTEST_SKIP() << "COVELIN_SCREENSHOTS is not set";
    CreateDirectoryW(folder.c_str(), nullptr);

    WineProgram notepad(L"notepad.exe");
    WineProgram mines(L"winemine.exe");
    WineProgram clock(L"clock.exe");
    ASSERT_NE(notepad.MainWindow(), nullptr);
    ASSERT_NE(mines.MainWindow(), nullptr);
    ASSERT_NE(clock.MainWindow(), nullptr);
    ColouredWindow report(L"Quarterly report - Draft", RGB(40, 110, 200));

    // The executable file list as start-up would have loaded it.
    Program().choices.hideFileSet.AddPath(notepad.Path());
    Program().choices.hideFileSet.AddPath(mines.Path());
    Program().choices.hideFileSet.AddPath(scratch_.File(L"notes.txt"));
    testsupport::WriteBytes(scratch_.File(L"notes.txt"), "notes");

    // The clock stands in for a program running as administrator.
    static DWORD elevatedId;
    elevatedId = clock.ProcessId();
    SetElevationQueryForTests([](DWORD processId) { return processId == elevatedId; });
    RefreshWindowCatalogue();
    RefreshProcessCatalogue();
    CMainDlg dialog(Program().Dialog());
    ModalDriver driver(60000);
    auto showTab = [&](int index) {
        driver
            .Do([&dialog, index] {
                SetWindowPos(dialog.m_hWnd, HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE);
                RECT item{};
                dialog.Tabs().GetItemRect(index, &item);
                PostClick(dialog.Tabs().m_hWnd, item);
            })
            .WaitFor([&dialog, index] { return dialog.CurrentPage() == index; }, "the tab");
    };
    auto photograph = [&](const wchar_t* name) {
        driver
            .Do([&dialog] {
                RedrawWindow(dialog.m_hWnd, nullptr, nullptr,
                             RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
            })
            .Do([&dialog, &folder, name] { EXPECT_TRUE(SaveWindowPicture(dialog.m_hWnd, folder + name + L".bmp")); });
    };

    showTab(0);
    driver.Do([&] {
        CWindowsDlg& page = dialog.WindowsPage();
        for (HWND window : {notepad.MainWindow(), report.Handle()}) {
            const int row = page.rowHandles.Find(window);
            ASSERT_GE(row, 0);
            DoubleClickRow(page, page.allList, row);
        }
        SelectRows(page.allList, {page.rowHandles.Find(clock.MainWindow())});
        ClickButton(page, IDC_SET_TOP_WINDOW);
        SelectRows(page.allList, {});
    });
    photograph(L"list-1-windows");

    showTab(1);
    driver.Do([&] {
        CProcessDlg& page = dialog.ProcessPage();
        const int row = page.rowPids.Find(mines.ProcessId());
        ASSERT_GE(row, 0);
        DoubleClickRow(page, page.allList, row);
    });
    photograph(L"list-2-processes");

    showTab(2);
    driver.Do([&] {
        SelectRows(dialog.FilePage().fileList, {1});
        // Two rules, and in the field the one that catches notepad, with
        // its count of matches.
        CRuleSection& rules = dialog.FilePage().rules;
        rules.SetPattern(RuleField::Class, L"Chrome_WidgetWin_*");
        rules.AddRule();
        rules.SetPattern(RuleField::Title, L"*Notepad");
        rules.AddRule();
    });
    photograph(L"list-3-executable-files");

    // The Settings page with all three hotkeys set.
    showTab(4);
    driver.Do([&] {
        HotkeyChord chord{};
        chord.keys[VK_CONTROL] = chord.keys[VK_MENU] = chord.keys['H'] = HotkeyChord::kMember;
        dialog.SettingPage().HideActiveEdit().SetChord(chord);
    });
    photograph(L"list-5-settings");

    driver.Do([&] { dialog.EndDialog(IDCANCEL); });
    driver.Run(dialog);
    SetElevationQueryForTests(nullptr);
}
