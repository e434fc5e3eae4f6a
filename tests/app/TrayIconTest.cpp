#include "app/TrayIcon.h"

#include <shellapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/Engine.h"
#include "support/Wait.h"

namespace {

// The dialog and the engine as the tray sees them.
class FakeTarget : public TrayCommandTarget {
public:
    bool DialogVisible() const override { return visible; }
    void CloseDialog() override { ++closeRequests; }
    bool EngineHasRun() const override { return hasRun; }
    bool PostEngineCommand(UINT message) override
    {
        if (!accepts)
            return false;
        posted.push_back(message);
        return true;
    }
    bool HoldsHiddenWindows() override { return holdsHidden; }

    bool visible = false;
    int closeRequests = 0;
    bool hasRun = false;
    bool accepts = false;
    bool holdsHidden = false;
    std::vector<UINT> posted;
};

std::wstring ItemText(HMENU menu, UINT position)
{
    wchar_t text[64] = {};
    GetMenuStringW(menu, position, text, 64, MF_BYPOSITION);
    return text;
}

bool Greyed(HMENU menu, UINT command)
{
    return (GetMenuState(menu, command, MF_BYCOMMAND) & MF_GRAYED) != 0;
}

// The shell refuses to change an icon it does not have.
bool ShellHasIcon(HWND window)
{
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window;
    data.uID = 1;
    return Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

// Whether a WM_NULL waited in the queue of `window`, which is emptied.
bool TakeNudge(HWND window)
{
    bool nudged = false;
    for (MSG msg; PeekMessageW(&msg, window, 0, 0, PM_REMOVE);)
        nudged = nudged || msg.message == WM_NULL;
    return nudged;
}

// Thread messages (hwnd null) that reached this thread's queue.
std::vector<UINT> ThreadMessages()
{
    std::vector<UINT> messages;
    MSG msg;
    while (PeekMessageW(&msg, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE))
        messages.push_back(msg.message);
    return messages;
}

class TrayIconTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        tray.SetTarget(&dialog);
        ThreadMessages();
        ASSERT_EQ(tray.Create(), 1);
    }
    void TearDown() override
    {
        if (tray.IsCreated())
            tray.Remove(0);
    }

    void Command(UINT id, WORD highWord = 0) { SendMessageW(tray.Window(), WM_COMMAND, MAKEWPARAM(id, highWord), 0); }
    void DoubleClick() { SendMessageW(tray.Window(), UM_TRAY_NOTIFY, 1, WM_LBUTTONDBLCLK); }

    FakeTarget dialog;
    CTrayIcon tray;
};

} // namespace

TEST_F(TrayIconTest, MenuTextsAndStatesFollowTheHiddenWindowsAndTheDialog)
{
    const HMENU popup = tray.Popup();
    ASSERT_EQ(GetMenuItemCount(popup), 4);

    // Dialog on screen, nothing hidden: the engine's two commands are greyed.
    dialog.visible = true;
    tray.PrepareMenu();
    EXPECT_EQ(ItemText(popup, 0), L"Hide");
    EXPECT_EQ(ItemText(popup, 1), L"Setting...");
    EXPECT_EQ(ItemText(popup, 3), L"Exit");
    EXPECT_TRUE(Greyed(popup, CTrayIcon::kCommandHideRestore));
    EXPECT_TRUE(Greyed(popup, CTrayIcon::kCommandSetting));
    EXPECT_FALSE(Greyed(popup, CTrayIcon::kCommandRestoreExit));

    // Dialog hidden, windows hidden: the restoring texts, nothing greyed.
    dialog.visible = false;
    dialog.holdsHidden = true;
    tray.PrepareMenu();
    EXPECT_EQ(ItemText(popup, 0), L"Restore");
    EXPECT_EQ(ItemText(popup, 3), L"Restore && Exit"); // shown with one ampersand
    EXPECT_FALSE(Greyed(popup, CTrayIcon::kCommandHideRestore));
    EXPECT_FALSE(Greyed(popup, CTrayIcon::kCommandSetting));
    EXPECT_EQ(GetMenuItemID(popup, 0), CTrayIcon::kCommandHideRestore);
    EXPECT_EQ(GetMenuItemID(popup, 3), CTrayIcon::kCommandRestoreExit);
}

TEST_F(TrayIconTest, CommandsGoToTheRunningEngineOnly)
{
    // No engine: only Exit acts, by closing the dialog.
    Command(CTrayIcon::kCommandHideRestore);
    Command(CTrayIcon::kCommandSetting);
    DoubleClick();
    Command(CTrayIcon::kCommandRestoreExit);
    EXPECT_EQ(dialog.closeRequests, 1);
    EXPECT_TRUE(dialog.posted.empty());

    // A running engine gets each command; a double click is "Setting...".
    // Accelerator-style commands, unknown ids and other mouse notifications
    // do nothing.
    dialog.hasRun = dialog.accepts = true;
    Command(CTrayIcon::kCommandHideRestore);
    Command(CTrayIcon::kCommandSetting);
    DoubleClick();
    Command(CTrayIcon::kCommandRestoreExit);
    Command(CTrayIcon::kCommandHideRestore, 1);
    Command(40000);
    SendMessageW(tray.Window(), UM_TRAY_NOTIFY, 1, WM_LBUTTONUP);
    EXPECT_EQ(dialog.posted, (std::vector<UINT>{UM_TOGGLE_HIDE, UM_SHOW_SETTINGS, UM_SHOW_SETTINGS, UM_RESTORE_EXIT}));
    EXPECT_EQ(dialog.closeRequests, 1);

    // The engine has ended itself after "Restore && Exit" while its run is
    // still the dialog's: nothing goes anywhere.
    dialog.posted.clear();
    dialog.accepts = false;
    for (UINT id : {CTrayIcon::kCommandHideRestore, CTrayIcon::kCommandSetting, CTrayIcon::kCommandRestoreExit})
        Command(id);
    DoubleClick();
    EXPECT_TRUE(dialog.posted.empty());
    EXPECT_EQ(dialog.closeRequests, 1);
}

TEST_F(TrayIconTest, TheMenuIsFollowedByAMessageToTheTrayWindow)
{
    static HWND menuOwner = nullptr; // of the menu shown, when no WM_NULL came before it
    menuOwner = nullptr;
    tray.SetMenuTracker([](HMENU, UINT flags, int, int, HWND owner) -> BOOL {
        menuOwner = flags == 0x1022 && !TakeNudge(owner) ? owner : nullptr;
        return TRUE;
    });
    SendMessageW(tray.Window(), UM_TRAY_NOTIFY, 1, WM_RBUTTONUP);
    EXPECT_EQ(menuOwner, tray.Window());
    EXPECT_TRUE(TakeNudge(tray.Window())) << "WM_NULL after the menu has closed";
}

TEST_F(TrayIconTest, RemoveWithoutAShownIconReleasesEverything)
{
    const HWND window = tray.Window();
    EXPECT_EQ(GetAncestor(window, GA_PARENT), GetDesktopWindow()); // top-level, never shown
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(tray.Create(), 0);
    EXPECT_EQ(tray.Update(0, 1, nullptr), 1); // nothing to take out

    EXPECT_EQ(tray.Remove(0), 1);
    // The window class stays registered for the process (the framework
    // registers each class once); the window is what Create made.
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(tray.Update(0, 0, L"Covelin"), 0);
    EXPECT_EQ(tray.Remove(0), 0);
    EXPECT_EQ(tray.Create(), 1);
}

TEST(TrayIconLifetime, TheDestructorReleasesWhatRemoveWouldHave)
{
    HWND window = nullptr;
    {
        CTrayIcon shown;
        ASSERT_EQ(shown.Create(), 1);
        ASSERT_EQ(shown.Update(1, 0, L"Search"), 1);
        window = shown.Window();
        ASSERT_TRUE(ShellHasIcon(window));
    }
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(ShellHasIcon(window));
}

TEST_F(TrayIconTest, ComesBackWhenTheShellRestartsUnlessTakenOut)
{
    const HWND window = tray.Window();
    ASSERT_EQ(tray.Update(2, 0, L"Security"), 1);
    ASSERT_TRUE(ShellHasIcon(window));
    EXPECT_EQ(tray.Update(42, 0, nullptr), 1); // a damaged index: the first image
    EXPECT_TRUE(ShellHasIcon(window));

    // A restarted shell has lost every icon and tells all top-level windows.
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window;
    data.uID = 1;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &data));
    const UINT taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    SendMessageTimeoutW(HWND_BROADCAST, taskbarCreated, 0, 0, SMTO_ABORTIFHUNG, 2000, nullptr);
    EXPECT_TRUE(testsupport::WaitUntil([&] { return ShellHasIcon(window); }, 3000));

    // Taken out on purpose (own icon hidden while armed): it stays out.
    ASSERT_EQ(tray.Update(2, 1, nullptr), 1);
    SendMessageW(window, taskbarCreated, 0, 0);
    EXPECT_FALSE(ShellHasIcon(window));
    EXPECT_EQ(tray.Remove(2), 1);
}

// Windows left in view are told quietly, in the tooltip alone, until the restore.
TEST_F(TrayIconTest, TheTooltipTellsOfWindowsThatCouldNotBeHidden)
{
    ASSERT_EQ(tray.Update(0, 0, L"Covelin"), 1);
    tray.NoteNotHidden(1);
    EXPECT_EQ(tray.ShownTooltip(), L"Covelin\n1 window could not be hidden");
    tray.NoteNotHidden(3);
    EXPECT_EQ(tray.ShownTooltip(), L"Covelin\n3 windows could not be hidden");
    tray.NoteNotHidden(0);
    EXPECT_EQ(tray.ShownTooltip(), L"Covelin");
    EXPECT_EQ(tray.Remove(0), 1);
}

// The port's calls: every image with its own name, cut to 19 characters as
// the shell's tooltip field once was; out and back in as asked.
TEST_F(TrayIconTest, ShowGivesEachImageItsNameAndHideTakesTheIconOut)
{
    const wchar_t* names[] = {L"Covelin", L"Search", L"Security", L"Disk", L"Film",
                              L"Mail",    L"Skull",  L"Photo",    L"Trash"};
    for (int i = 0; i < 9; ++i) {
        tray.Show(i);
        EXPECT_TRUE(tray.IsShown());
        EXPECT_EQ(tray.ShownTooltip(), names[i]);
    }
    tray.Show(42); // a damaged index: the first image and its name
    EXPECT_EQ(tray.ShownTooltip(), L"Covelin");
    tray.Hide();
    EXPECT_FALSE(tray.IsShown());
    EXPECT_FALSE(ShellHasIcon(tray.Window()));
    tray.Show(6);
    EXPECT_TRUE(ShellHasIcon(tray.Window()));
    EXPECT_EQ(tray.ShownTooltip(), L"Skull");
}

TEST(TrayImages, NineImagesDrawnForEachScaleAndTheirNames)
{
    const wchar_t* names[] = {L"Covelin", L"Search", L"Security", L"Disk", L"Film",
                              L"Mail",    L"Skull",  L"Photo",    L"Trash"};
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    for (int i = 0; i < 9; ++i) {
        wchar_t name[20] = {};
        LoadStringW(instance, 1000 + i, name, 20);
        EXPECT_STREQ(name, names[i]);
        // One 32-bit drawing for the small-icon size of each display scale
        // from 100 to 200 % (and the large ones up to 48): none is scaled.
        HRSRC group = FindResourceW(instance, MAKEINTRESOURCEW(139 + i), RT_GROUP_ICON);
        ASSERT_NE(group, nullptr) << i;
        const auto* dir = static_cast<const BYTE*>(LockResource(LoadResource(instance, group)));
        const int sizes[] = {16, 20, 24, 32, 40, 48};
        ASSERT_EQ(dir[4], 6) << i;
        for (size_t k = 0; k < 6; ++k) {
            EXPECT_EQ(dir[6 + 14 * k], sizes[k]) << i;                             // wide
            EXPECT_EQ(dir[7 + 14 * k], sizes[k]) << i;                             // high
            EXPECT_EQ(*reinterpret_cast<const WORD*>(dir + 12 + 14 * k), 32) << i; // 32-bit
        }
    }
    for (int id : {128, 131, 148})
        EXPECT_NE(FindResourceW(instance, MAKEINTRESOURCEW(id), RT_GROUP_ICON), nullptr) << id;
}
