#include "app/TrayIcon.h"

#include <shellapi.h>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "engine/Engine.h"
#include "engine/EngineDialog.h"
#include "engine/Hiding.h"
#include "framework/Thread.h"
#include "support/Wait.h"

namespace {

// Stands in for the main dialog: only whether it is visible and the close
// requests it receives matter to the tray.
class FakeDialog : public EngineDialog {
public:
    HWND DialogWindow() const override { return nullptr; }
    bool DialogVisible() const override { return visible; }
    void PostCloseDialog() override { ++closeRequests; }

    bool visible = false;
    int closeRequests = 0;
};

// A thread with a message queue that records the thread messages it gets,
// standing in for the engine as the target of the tray's commands.
constexpr UINT kSentinel = WM_APP + 77;

class RecordingThread {
public:
    RecordingThread()
    {
        thread_ = AfxBeginThread(&RecordingThread::Run, this);
        ready_ = thread_ && testsupport::WaitUntil([this] { return queueMade_.load(); }, 5000);
    }
    ~RecordingThread()
    {
        if (thread_) {
            PostThreadMessageW(thread_->m_nThreadID, WM_QUIT, 0, 0);
            WaitForSingleObject(thread_->m_hThread, 5000);
            delete thread_;
        }
    }

    CWinThread* Thread() const { return thread_; }
    bool Ready() const { return ready_; }

    // Everything received before a sentinel posted now: the tray posts
    // synchronously, so this is all it posted.
    std::vector<UINT> Received()
    {
        const LONG before = sentinels_.load();
        PostThreadMessageW(thread_->m_nThreadID, kSentinel, 0, 0);
        testsupport::WaitUntil([&] { return sentinels_.load() > before; }, 5000);
        std::lock_guard<std::mutex> guard(lock_);
        std::vector<UINT> result;
        result.swap(received_);
        return result;
    }

private:
    static UINT Run(LPVOID param)
    {
        auto* self = static_cast<RecordingThread*>(param);
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
        self->queueMade_ = true;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (msg.message == kSentinel) {
                ++self->sentinels_;
                continue;
            }
            std::lock_guard<std::mutex> guard(self->lock_);
            self->received_.push_back(msg.message);
        }
        return 0;
    }

    CWinThread* thread_ = nullptr;
    bool ready_ = false;
    std::atomic<bool> queueMade_{false};
    std::atomic<LONG> sentinels_{0};
    std::mutex lock_;
    std::vector<UINT> received_;
};

std::wstring ItemText(HMENU menu, UINT position)
{
    wchar_t text[64] = {};
    GetMenuStringW(menu, position, text, 64, MF_BYPOSITION);
    return text;
}

bool ItemGreyed(HMENU menu, UINT command)
{
    return (GetMenuState(menu, command, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED)) == (MF_GRAYED | MF_DISABLED);
}

// Asks the shell whether our icon is registered: it refuses to change an
// icon it does not have.
bool ShellHasIcon(HWND window)
{
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window;
    data.uID = 1;
    data.uFlags = NIF_MESSAGE;
    data.uCallbackMessage = UM_TRAY_NOTIFY;
    return Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

class TrayIconTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        mainDialog = &dialog;
        engineThread = nullptr;
        ASSERT_EQ(tray.Create(), 1);
    }
    void TearDown() override
    {
        if (tray.IsCreated())
            tray.Remove(0);
        mainDialog = nullptr;
        engineThread = nullptr;
        engineStop = 0;
        engineDone = 1;
        std::lock_guard<CCriticalSection> guard(engineLock);
        hiddenStack.RemoveAll();
    }

    void Command(UINT id, WORD highWord = 0)
    {
        SendMessageW(tray.Window(), WM_COMMAND, MAKEWPARAM(id, highWord), 0);
    }

    // Pretends an engine is running on `thread`.
    void ArmWith(CWinThread* thread)
    {
        engineThread = thread;
        engineStop = 0;
        engineDone = 0;
    }

    FakeDialog dialog;
    CTrayIcon tray;
};

} // namespace

TEST_F(TrayIconTest, CreatesTheHiddenWindowAndTheMenuWithoutShowingTheIcon)
{
    EXPECT_TRUE(tray.IsCreated());
    EXPECT_FALSE(tray.IsShown());
    const HWND window = tray.Window();
    ASSERT_TRUE(IsWindow(window));
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    EXPECT_STREQ(className, L"wndCvTrayIcon");
    // A top-level window that never shows, so it hears the shell's broadcasts.
    EXPECT_EQ(GetAncestor(window, GA_PARENT), GetDesktopWindow());
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)) & (WS_POPUP | WS_MINIMIZE),
              static_cast<DWORD>(WS_POPUP | WS_MINIMIZE));

    const HMENU popup = tray.Popup();
    ASSERT_NE(popup, nullptr);
    ASSERT_EQ(GetMenuItemCount(popup), 4);
    EXPECT_EQ(GetMenuItemID(popup, 0), CTrayIcon::kCommandHideRestore);
    EXPECT_EQ(GetMenuItemID(popup, 1), CTrayIcon::kCommandSetting);
    EXPECT_TRUE(GetMenuState(popup, 2, MF_BYPOSITION) & MF_SEPARATOR);
    EXPECT_EQ(GetMenuItemID(popup, 3), CTrayIcon::kCommandRestoreExit);
    EXPECT_EQ(ItemText(popup, 0), L"Hide/Restore");

    // A second Create is refused and changes nothing.
    EXPECT_EQ(tray.Create(), 0);
    EXPECT_EQ(tray.Window(), window);
}

TEST_F(TrayIconTest, MenuTextsAndStatesFollowTheHiddenWindowsAndTheDialog)
{
    const HMENU popup = tray.Popup();

    // Dialog on screen, nothing hidden: the engine's commands are greyed.
    dialog.visible = true;
    tray.PrepareMenu();
    EXPECT_EQ(ItemText(popup, 0), L"Hide");
    EXPECT_EQ(ItemText(popup, 1), L"Setting...");
    EXPECT_EQ(ItemText(popup, 3), L"Exit");
    EXPECT_TRUE(ItemGreyed(popup, CTrayIcon::kCommandHideRestore));
    EXPECT_TRUE(ItemGreyed(popup, CTrayIcon::kCommandSetting));
    EXPECT_FALSE(ItemGreyed(popup, CTrayIcon::kCommandRestoreExit));

    // Dialog hidden, a window hidden: the restoring texts, all enabled.
    dialog.visible = false;
    {
        std::lock_guard<CCriticalSection> guard(engineLock);
        hiddenStack.Add(reinterpret_cast<HWND>(0x1234));
    }
    tray.PrepareMenu();
    EXPECT_EQ(ItemText(popup, 0), L"Restore");
    EXPECT_EQ(ItemText(popup, 1), L"Setting...");
    EXPECT_EQ(ItemText(popup, 3), L"Restore && Exit"); // shown with one ampersand
    EXPECT_FALSE(ItemGreyed(popup, CTrayIcon::kCommandHideRestore));
    EXPECT_FALSE(ItemGreyed(popup, CTrayIcon::kCommandSetting));
    EXPECT_EQ(GetMenuItemID(popup, 0), CTrayIcon::kCommandHideRestore);
    EXPECT_EQ(GetMenuItemID(popup, 3), CTrayIcon::kCommandRestoreExit);

    // Armed with nothing hidden, and back: the texts follow the stack.
    {
        std::lock_guard<CCriticalSection> guard(engineLock);
        hiddenStack.RemoveAll();
    }
    tray.PrepareMenu();
    EXPECT_EQ(ItemText(popup, 0), L"Hide");
    EXPECT_EQ(ItemText(popup, 3), L"Exit");
    EXPECT_FALSE(ItemGreyed(popup, CTrayIcon::kCommandHideRestore));

    // Without a main dialog (start-up, shutdown) nothing is greyed.
    mainDialog = nullptr;
    tray.PrepareMenu();
    EXPECT_FALSE(ItemGreyed(popup, CTrayIcon::kCommandSetting));
}

TEST_F(TrayIconTest, WithoutAnEngineOnlyExitActsAndClosesTheDialog)
{
    Command(CTrayIcon::kCommandHideRestore);
    Command(CTrayIcon::kCommandSetting);
    SendMessageW(tray.Window(), UM_TRAY_NOTIFY, 1, WM_LBUTTONDBLCLK);
    EXPECT_EQ(dialog.closeRequests, 0);

    Command(CTrayIcon::kCommandRestoreExit);
    EXPECT_EQ(dialog.closeRequests, 1);
}

TEST_F(TrayIconTest, WithAnEngineCommandsBecomeItsThreadMessages)
{
    RecordingThread engine;
    ASSERT_TRUE(engine.Ready());
    ArmWith(engine.Thread());

    Command(CTrayIcon::kCommandHideRestore);
    EXPECT_EQ(engine.Received(), std::vector<UINT>{UM_TOGGLE_HIDE});
    Command(CTrayIcon::kCommandSetting);
    EXPECT_EQ(engine.Received(), std::vector<UINT>{UM_SHOW_SETTINGS});
    // A double click on the icon asks for the dialog, as "Setting..." does.
    SendMessageW(tray.Window(), UM_TRAY_NOTIFY, 1, WM_LBUTTONDBLCLK);
    EXPECT_EQ(engine.Received(), std::vector<UINT>{UM_SHOW_SETTINGS});
    Command(CTrayIcon::kCommandRestoreExit);
    EXPECT_EQ(engine.Received(), std::vector<UINT>{UM_RESTORE_EXIT});
    EXPECT_EQ(dialog.closeRequests, 0); // the engine closes it after restoring

    // Not menu commands: unknown ids, accelerator or control notifications,
    // other mouse notifications of the icon.
    Command(40000);
    Command(CTrayIcon::kCommandHideRestore, 1);
    SendMessageW(tray.Window(), UM_TRAY_NOTIFY, 1, WM_LBUTTONUP);
    SendMessageW(tray.Window(), UM_TRAY_NOTIFY, 1, WM_MOUSEMOVE);
    EXPECT_TRUE(engine.Received().empty());
    EXPECT_EQ(dialog.closeRequests, 0);
}

TEST_F(TrayIconTest, AnEngineThatHasEndedItselfIsLeftAlone)
{
    // After "Restore && Exit" the engine has ended while engineThread still
    // names it until the dialog has closed.
    RecordingThread engine;
    ASSERT_TRUE(engine.Ready());
    ArmWith(engine.Thread());
    engineStop = 1; // the engine's last poll
    for (UINT id : {CTrayIcon::kCommandHideRestore, CTrayIcon::kCommandSetting, CTrayIcon::kCommandRestoreExit})
        Command(id);
    engineDone = 1; // and its last act
    for (UINT id : {CTrayIcon::kCommandHideRestore, CTrayIcon::kCommandSetting, CTrayIcon::kCommandRestoreExit})
        Command(id);
    SendMessageW(tray.Window(), UM_TRAY_NOTIFY, 1, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(engine.Received().empty());
    EXPECT_EQ(dialog.closeRequests, 0);
}

TEST_F(TrayIconTest, UpdateAndRemoveFollowTheirState)
{
    // Taking out an icon that is not shown is a success that does nothing.
    EXPECT_EQ(tray.Update(0, 1, nullptr), 1);
    EXPECT_FALSE(tray.IsShown());

    const HWND window = tray.Window();
    EXPECT_EQ(tray.Remove(0), 1); // never shown: no shell call needed
    EXPECT_FALSE(tray.IsCreated());
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(tray.Popup(), nullptr);
    WNDCLASSW info{};
    EXPECT_FALSE(GetClassInfoW(GetModuleHandleW(nullptr), L"wndCvTrayIcon", &info));

    // Everything fails once removed, until created again.
    EXPECT_EQ(tray.Update(0, 0, L"Covelin"), 0);
    EXPECT_EQ(tray.Remove(0), 0);
    EXPECT_FALSE(tray.IsShown());
    ASSERT_EQ(tray.Create(), 1);
    EXPECT_TRUE(IsWindow(tray.Window()));
}

TEST_F(TrayIconTest, ShowsChangesAndRemovesTheIconWithTheShell)
{
    const HWND window = tray.Window();
    ASSERT_EQ(tray.Update(0, 0, L"Covelin"), 1);
    ASSERT_TRUE(tray.IsShown());
    if (!ShellHasIcon(window))
        GTEST_SKIP() << "no notification area in this session";

    EXPECT_EQ(tray.Update(3, 0, L"Disk"), 1); // a change, not a second add
    EXPECT_TRUE(ShellHasIcon(window));
    // An index from a damaged settings file falls back to the first image.
    EXPECT_EQ(tray.Update(42, 0, nullptr), 1);
    EXPECT_EQ(tray.Update(-1, 0, nullptr), 1);
    EXPECT_TRUE(ShellHasIcon(window));

    EXPECT_EQ(tray.Update(0, 1, nullptr), 1);
    EXPECT_FALSE(tray.IsShown());
    EXPECT_FALSE(ShellHasIcon(window));
    EXPECT_EQ(tray.Update(0, 0, nullptr), 1); // back, without a text
    EXPECT_TRUE(ShellHasIcon(window));

    EXPECT_EQ(tray.Remove(0), 1);
    EXPECT_FALSE(ShellHasIcon(window));
}

TEST_F(TrayIconTest, ComesBackWhenTheShellRestartsUnlessTakenOut)
{
    const HWND window = tray.Window();
    ASSERT_EQ(tray.Update(2, 0, L"Security"), 1);
    if (!ShellHasIcon(window))
        GTEST_SKIP() << "no notification area in this session";
    const UINT taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    ASSERT_NE(taskbarCreated, 0u);

    // A restarted shell has lost every icon, then tells all top-level
    // windows that the taskbar is back.
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window;
    data.uID = 1;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &data));
    ASSERT_FALSE(ShellHasIcon(window));
    DWORD_PTR result = 0;
    SendMessageTimeoutW(HWND_BROADCAST, taskbarCreated, 0, 0, SMTO_ABORTIFHUNG, 2000, &result);
    EXPECT_TRUE(testsupport::WaitUntil([&] { return ShellHasIcon(window); }, 3000));
    EXPECT_TRUE(tray.IsShown());

    // The shell keeping our icon through the broadcast changes nothing.
    SendMessageW(window, taskbarCreated, 0, 0);
    EXPECT_TRUE(ShellHasIcon(window));

    // Taken out on purpose (own icon hidden while armed): stays out.
    ASSERT_EQ(tray.Update(2, 1, nullptr), 1);
    SendMessageW(window, taskbarCreated, 0, 0);
    EXPECT_FALSE(ShellHasIcon(window));
    EXPECT_FALSE(tray.IsShown());
}

TEST(TrayImages, NineSmallImagesWithTheirNames)
{
    const wchar_t* names[] = {L"Covelin", L"Search", L"Security", L"Disk", L"Film",
                              L"Mail",    L"Skull",  L"Photo",    L"Trash"};
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    for (int i = 0; i < 9; ++i) {
        wchar_t name[20] = {};
        EXPECT_GT(LoadStringW(instance, 1000 + i, name, 20), 0) << i;
        EXPECT_STREQ(name, names[i]);

        HICON icon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(139 + i), IMAGE_ICON, 16, 16, 0));
        ASSERT_NE(icon, nullptr) << i;
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP bitmap{};
        GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
        EXPECT_EQ(bitmap.bmWidth, 16) << i;
        EXPECT_EQ(bitmap.bmHeight, 16) << i;
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
    // The application icon, the default file icon and the About picture.
    for (int id : {128, 131, 148})
        EXPECT_NE(LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED), nullptr)
            << id;
    HICON about = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(148), IMAGE_ICON, 200, 200, 0));
    EXPECT_NE(about, nullptr);
    if (about)
        DestroyIcon(about);
}
