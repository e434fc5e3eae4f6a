#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "actions/NotifyArea.h"
#include "actions/TrayIconPort.h"
#include "support/Wait.h"

namespace {

// The part of the tree a test leaves out.
enum class Missing { None, Taskbar, Area, Pager, Toolbar, Clock };

// Where each window goes: the taskbar in screen coordinates, every other
// window in its parent's client coordinates.
struct Layout {
    RECT taskbar;
    RECT area, pager, toolbar, clock;
};

RECT Rect(int x, int y, int width, int height)
{
    return RECT{x, y, x + width, y + height};
}

int ScreenWidth()
{
    return GetSystemMetrics(SM_CXSCREEN);
}
int ScreenHeight()
{
    return GetSystemMetrics(SM_CYSCREEN);
}

// A taskbar along the bottom: the area at its right end, 30 pixels of other
// controls before the icon toolbar and 6 after the clock.
Layout Horizontal()
{
    const int w = ScreenWidth(), h = ScreenHeight();
    return {Rect(0, h - 40, w, 40), Rect(w - 300, 2, 290, 36), Rect(30, 0, 200, 36), Rect(0, 0, 200, 36),
            Rect(236, 0, 48, 36)};
}

// A taskbar docked at the left or right side: the same, turned on its side.
Layout Vertical(bool right)
{
    const int w = ScreenWidth(), h = ScreenHeight();
    return {Rect(right ? w - 60 : 0, 0, 60, h), Rect(2, h - 300, 56, 290), Rect(0, 30, 56, 200), Rect(0, 0, 56, 200),
            Rect(0, 236, 56, 48)};
}

void RegisterShellClasses()
{
    static bool done = [] {
        for (const wchar_t* name : {L"Shell_TrayWnd", L"TrayNotifyWnd", L"SysPager", L"ToolbarWindow32",
                                    L"TrayClockWClass", L"CovelinTrayPart"}) {
            WNDCLASSW wc = {};
            wc.lpfnWndProc = &DefWindowProcW;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = name;
            RegisterClassW(&wc);
        }
        return true;
    }();
    (void)done;
}

HWND Make(const wchar_t* className, HWND parent, const RECT& r, bool visible = true)
{
    DWORD style = (parent ? WS_CHILD : WS_POPUP) | (visible ? WS_VISIBLE : 0);
    return CreateWindowExW(0, className, L"", style, r.left, r.top, r.right - r.left, r.bottom - r.top, parent, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

// The shell's taskbar as our tests build it, on the calling thread, with a
// few more windows: a button beside the pager, an icon on the toolbar and a
// control that was hidden before anything happened.
struct TaskbarTree {
    HWND taskbar = nullptr, area = nullptr, pager = nullptr, toolbar = nullptr, clock = nullptr;
    HWND button = nullptr, icon = nullptr, wasHidden = nullptr;

    TaskbarTree(const Layout& layout, Missing missing = Missing::None)
    {
        RegisterShellClasses();
        taskbar = Make(missing == Missing::Taskbar ? L"CovelinTrayPart" : L"Shell_TrayWnd", nullptr, layout.taskbar);
        area = Make(missing == Missing::Area ? L"CovelinTrayPart" : L"TrayNotifyWnd", taskbar, layout.area);
        button = Make(L"CovelinTrayPart", area, Rect(0, 0, 28, 28));
        wasHidden = Make(L"CovelinTrayPart", area, Rect(0, 0, 10, 10), false);
        if (missing != Missing::Pager)
            pager = Make(L"SysPager", area, layout.pager);
        if (missing != Missing::Toolbar)
            toolbar = Make(L"ToolbarWindow32", pager ? pager : area, layout.toolbar);
        icon = Make(L"CovelinTrayPart", toolbar ? toolbar : area, Rect(0, 0, 16, 16));
        if (missing != Missing::Clock)
            clock = Make(L"TrayClockWClass", area, layout.clock);
        root = missing == Missing::Taskbar ? nullptr : taskbar;
        SetTaskbarRootSource(&Root);
    }
    ~TaskbarTree()
    {
        SetTaskbarRootSource(nullptr);
        root = nullptr;
        DestroyWindow(taskbar);
    }

    std::vector<HWND> All() const
    {
        std::vector<HWND> windows;
        for (HWND w : {taskbar, area, pager, toolbar, clock, button, icon, wasHidden})
            if (w)
                windows.push_back(w);
        return windows;
    }

    static HWND Root() { return root; }
    static inline HWND root = nullptr;
};

RECT ScreenRect(HWND window)
{
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

bool Visible(HWND window)
{
    return (GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE) != 0;
}

struct WindowState {
    RECT rect;
    bool visible;
    bool operator==(const WindowState& o) const { return EqualRect(&rect, &o.rect) && visible == o.visible; }
};

std::vector<WindowState> Snapshot(const std::vector<HWND>& windows)
{
    std::vector<WindowState> states;
    for (HWND w : windows)
        states.push_back({ScreenRect(w), Visible(w)});
    return states;
}

// Records what is asked of the tray icon.
struct TrayRecorder : TrayIconPort {
    std::vector<std::string> calls;
    void Show(int index) override { calls.push_back("show " + std::to_string(index)); }
    void Hide() override { calls.push_back("hide"); }
    void NoteNotHidden(int windows) override { calls.push_back("notHidden " + std::to_string(windows)); }
};

class NotifyAreaTest : public ::testing::Test {
protected:
    void SetUp() override { own_.icon = &tray_; }

    // Everything inside the area is hidden but the clock.
    void ExpectOnlyClockShown(const TaskbarTree& tree)
    {
        EXPECT_TRUE(Visible(tree.clock));
        EXPECT_TRUE(Visible(tree.area));
        EXPECT_TRUE(Visible(tree.taskbar));
        for (HWND w : {tree.pager, tree.toolbar, tree.button, tree.icon, tree.wasHidden})
            EXPECT_FALSE(Visible(w));
    }

    TrayRecorder tray_;
    // What the engine's run hands in at a restore.
    OwnTrayIcon own_;
};

} // namespace

TEST_F(NotifyAreaTest, FindsTheToolbarAndClockThroughTheChain)
{
    TaskbarTree tree(Horizontal());
    EXPECT_EQ(FindTaskbar(), tree.taskbar);
    EXPECT_EQ(FindNotifyToolbar(), tree.toolbar);
    EXPECT_EQ(FindTrayClock(), tree.clock);
    EXPECT_TRUE(NotifyAreaAvailable());
}

TEST_F(NotifyAreaTest, WineHasNoNotificationAreaToHideAndNothingIsDone)
{
    // The shell's own taskbar, as Wine (like Windows 11) builds it: without
    // the chain the option works on.
    SetTaskbarRootSource(nullptr);
    EXPECT_EQ(FindNotifyToolbar(), nullptr);
    EXPECT_FALSE(NotifyAreaAvailable());
    EXPECT_FALSE(HideNotificationArea(true, own_));
    EXPECT_FALSE(HideNotificationArea(false, own_));
    EXPECT_TRUE(tray_.calls.empty());
}

TEST_F(NotifyAreaTest, HorizontalTaskbarKeepsTheClockAtTheRightEndWithItsMargins)
{
    TaskbarTree tree(Horizontal());
    const RECT taskbarBefore = ScreenRect(tree.taskbar);
    HideNotificationArea(true, own_);

    ExpectOnlyClockShown(tree);
    const int w = ScreenWidth(), h = ScreenHeight();
    // 30 before the clock as before the toolbar, 6 after it as before; the
    // area keeps its height and row and ends at the taskbar's right edge.
    const RECT area = ScreenRect(tree.area);
    const RECT clock = ScreenRect(tree.clock);
    EXPECT_EQ(area.right, w);
    EXPECT_EQ(area.right - area.left, 30 + 48 + 6);
    EXPECT_EQ(area.top, h - 38);
    EXPECT_EQ(area.bottom - area.top, 36);
    EXPECT_EQ(clock.left - area.left, 30);
    EXPECT_EQ(area.right - clock.right, 6);
    EXPECT_EQ(clock.top, area.top);
    EXPECT_EQ(clock.right - clock.left, 48);
    const RECT taskbarAfter = ScreenRect(tree.taskbar);
    EXPECT_TRUE(EqualRect(&taskbarBefore, &taskbarAfter));
    EXPECT_TRUE(tray_.calls.empty());
}

TEST_F(NotifyAreaTest, VerticalTaskbarShrinksInHeightAtTheBottomOnEitherSide)
{
    for (bool right : {false, true}) {
        SCOPED_TRACE(right ? "docked right" : "docked left");
        TaskbarTree tree(Vertical(right));
        const RECT areaBefore = ScreenRect(tree.area);
        HideNotificationArea(true, own_);

        ExpectOnlyClockShown(tree);
        const RECT area = ScreenRect(tree.area);
        const RECT clock = ScreenRect(tree.clock);
        EXPECT_EQ(area.bottom, ScreenHeight());
        EXPECT_EQ(area.bottom - area.top, 30 + 48 + 6);
        EXPECT_EQ(area.left, areaBefore.left);
        EXPECT_EQ(area.right, areaBefore.right);
        EXPECT_EQ(clock.top - area.top, 30);
        EXPECT_EQ(area.bottom - clock.bottom, 6);
        EXPECT_EQ(clock.left, area.left);
    }
}

TEST_F(NotifyAreaTest, ShowingBringsEverythingBackAndReAddsOurIcon)
{
    own_.trayIcon = 3;

    for (int hideOwnIcon : {0, 1}) {
        SCOPED_TRACE(hideOwnIcon);
        own_.hideOwnIcon = hideOwnIcon != 0;
        tray_.calls.clear();
        TaskbarTree tree(Horizontal());
        EXPECT_TRUE(HideNotificationArea(true, own_));
        const std::vector<WindowState> hidden = Snapshot({tree.area, tree.clock});

        EXPECT_TRUE(HideNotificationArea(false, own_));
        // Everything the hide hid shows again; what the shell had hidden
        // before stays hidden. Nothing moves.
        for (HWND w : tree.All())
            EXPECT_EQ(Visible(w), w != tree.wasHidden);

        EXPECT_EQ(Snapshot({tree.area, tree.clock}), hidden);

        // Taken out and put back, ending as hideOwnIcon asks.
        const std::vector<std::string> expected =
            hideOwnIcon ? std::vector<std::string>{"show 3", "hide"} : std::vector<std::string>{"hide", "show 3"};
        EXPECT_EQ(tray_.calls, expected);

        // A second show (a restore after our death) finds nothing more to show.
        EXPECT_TRUE(HideNotificationArea(false, own_));
        EXPECT_FALSE(Visible(tree.wasHidden));
    }
}

TEST_F(NotifyAreaTest, AnyMissingWindowOfTheChainLeavesEverythingAlone)
{
    for (Missing missing : {Missing::Taskbar, Missing::Area, Missing::Pager, Missing::Toolbar, Missing::Clock}) {
        SCOPED_TRACE(int(missing));
        TaskbarTree tree(Horizontal(), missing);
        const std::vector<WindowState> before = Snapshot(tree.All());
        EXPECT_FALSE(NotifyAreaAvailable());
        EXPECT_FALSE(HideNotificationArea(true, own_));
        EXPECT_EQ(Snapshot(tree.All()), before);
        EXPECT_FALSE(HideNotificationArea(false, own_));
        EXPECT_EQ(Snapshot(tree.All()), before);
        EXPECT_TRUE(tray_.calls.empty());
    }
}

TEST_F(NotifyAreaTest, AHungShellCannotHoldUpTheHide)
{
    // The shell's windows live on another thread that stops taking
    // messages; it takes them again when released (after ten seconds at
    // the latest, so that a blocking call ends the test instead of hanging).
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE finish = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<HWND> area{nullptr}, clock{nullptr}, toolbar{nullptr};
    std::thread shell([&] {
        TaskbarTree tree(Horizontal()); // also points the chain's root at it
        toolbar = tree.toolbar;
        clock = tree.clock;
        area = tree.area;
        WaitForSingleObject(release, 10000);
        while (MsgWaitForMultipleObjects(1, &finish, FALSE, 10000, QS_ALLINPUT) != WAIT_OBJECT_0)
            testsupport::PumpMessages();
    });
    if (!testsupport::WaitUntil([&] { return area.load() != nullptr; })) {
        SetEvent(release);
        SetEvent(finish);
        shell.join();
        FAIL() << "the shell's thread built no taskbar";
    }

    const ULONGLONG start = GetTickCount64();
    HideNotificationArea(true, own_);
    EXPECT_LT(GetTickCount64() - start, 2000u);

    SetEvent(release);
    const int w = ScreenWidth();
    EXPECT_TRUE(testsupport::WaitUntil([&] {
        const RECT a = ScreenRect(area), c = ScreenRect(clock);
        return a.right == w && a.right - a.left == 84 && c.left - a.left == 30 && !Visible(toolbar);
    }));
    SetEvent(finish);
    shell.join();
    CloseHandle(release);
    CloseHandle(finish);
}
