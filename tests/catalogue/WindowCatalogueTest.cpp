#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include "catalogue/Catalogues.h"
#include "catalogue/Executable.h"
#include "catalogue/WindowCatalogue.h"
#include "support/TestCatalogues.h"
#include "support/Wait.h"
#include "support/WindowHost.h"
#include "system/OwnProcess.h"
#include "system/ProcessInfo.h"

using testsupport::TestWindow;
using testsupport::WaitUntil;
using testsupport::WindowHost;

namespace {

Catalogues& catalogues = testsupport::TestCatalogues();

std::vector<HWND> Handles(CCvWndArray& array)
{
    std::vector<HWND> handles;
    for (int i = 0; i < array.GetSize(); ++i)
        handles.push_back(array[i]->GetHandle());
    return handles;
}

std::string Describe(HWND window)
{
    char title[64] = {}, name[64] = {};
    GetWindowTextA(window, title, 64);
    GetClassNameA(window, name, 64);
    return std::string(name) + " '" + title + "'";
}

bool Lists(CCvWndArray& array, HWND window)
{
    auto handles = Handles(array);
    return std::find(handles.begin(), handles.end(), window) != handles.end();
}

// What the catalogue must hold: every window the filter accepts, asked
// afresh, in the order of the enumeration.
std::vector<HWND> Expected()
{
    std::vector<HWND> all;
    EnumWindows(
        [](HWND window, LPARAM p) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(p)->push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&all));
    HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr);
    std::vector<HWND> expected;
    for (HWND window : all)
        if (IsCataloguedWindow(window, taskbar))
            expected.push_back(window);
    return expected;
}

// Once the windows have settled (other programs may still be reordering
// theirs), a rebuild gives exactly the fresh filter's result, in order.
bool MatchesTheFilter(CCvWndArray& catalogue)
{
    return WaitUntil(
        [&] {
            catalogue.Refresh();
            return Handles(catalogue) == Expected();
        },
        3000, 50);
}

TEST(WindowCatalogue, LeavesOutHiddenChildMarkedTooltipAndDesktopClassesOfThisProcess)
{
    TestWindow plain(L"CvPlain", L"plain");
    TestWindow hidden(L"CvPlain", L"hidden", WS_OVERLAPPEDWINDOW);
    TestWindow marked(L"CvPlain", L"marked");
    SetWindowLongPtrW(marked, GWLP_USERDATA, OWN_WINDOW_MARK);
    TestWindow childStyled(L"CvPlain", L"child style");
    SetWindowLongW(childStyled, GWL_STYLE, GetWindowLongW(childStyled, GWL_STYLE) | WS_CHILD);
    TestWindow toolWindow(L"CvPlain", L"tool", WS_POPUP | WS_VISIBLE, WS_EX_TOOLWINDOW);
    TestWindow minimised(L"CvPlain", L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_MINIMIZE);
    // The class tests look for the words anywhere, and in their case only.
    TestWindow progmanLike(L"MyProgmanClone", L"p");
    TestWindow tooltipLike(L"xtooltips_class32y", L"t");
    TestWindow progmanLower(L"xprogmanx", L"pl");
    TestWindow tooltipUpper(L"XTOOLTIPS_CLASS32", L"tu");
    TestWindow child(L"CvPlain", L"real child", WS_CHILD | WS_VISIBLE, 0, plain);
    ASSERT_TRUE(plain && hidden && marked && childStyled && toolWindow && minimised && progmanLike && tooltipLike &&
                progmanLower && tooltipUpper && child);

    CCvWndArray catalogue;
    int size = catalogue.Refresh();
    EXPECT_EQ(size, catalogue.GetSize());
    for (HWND listed :
         {plain.Handle(), toolWindow.Handle(), minimised.Handle(), progmanLower.Handle(), tooltipUpper.Handle()})
        EXPECT_TRUE(Lists(catalogue, listed)) << Describe(listed);
    for (HWND left : {hidden.Handle(), marked.Handle(), childStyled.Handle(), progmanLike.Handle(),
                      tooltipLike.Handle(), child.Handle()})
        EXPECT_FALSE(Lists(catalogue, left)) << Describe(left);
    EXPECT_TRUE(MatchesTheFilter(catalogue));
}

TEST(WindowCatalogue, LeavesOutTheTaskbar)
{
    // Without a shell there is no taskbar: stand one in for it.
    TestWindow standIn(L"Shell_TrayWnd", L"");
    HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr);
    ASSERT_NE(taskbar, nullptr);
    CCvWndArray catalogue;
    catalogue.Refresh();
    EXPECT_FALSE(Lists(catalogue, taskbar));
}

TEST(WindowCatalogue, FollowsWindowsOfAnotherProcessFromRebuildToRebuild)
{
    WindowHost host({"CvHostPlain|first", "CvHostPlain|hidden|h", "CvHostPlain|marked|o", "CvHostPlain|tool|t",
                     "MyProgmanClone|p", "CvHostPlain|with child|c", "*3|CvHostMany|many", "WorkerW|",
                     "Shell_SecondaryTrayWnd|", "*2|Shell_TrayWnd|"});
    ASSERT_TRUE(host.Ready());
    ASSERT_EQ(host.Windows().size(), 13u);

    CCvWndArray catalogue;
    catalogue.Refresh();
    EXPECT_TRUE(Lists(catalogue, host.Window(0)));
    EXPECT_FALSE(Lists(catalogue, host.Window(1)));
    EXPECT_FALSE(Lists(catalogue, host.Window(2)));
    EXPECT_TRUE(Lists(catalogue, host.Window(3)));
    EXPECT_FALSE(Lists(catalogue, host.Window(4)));
    EXPECT_TRUE(Lists(catalogue, host.Window(5)));
    EXPECT_FALSE(Lists(catalogue, host.Window(9)) || Lists(catalogue, host.Window(10))) << "the shell's own";
    EXPECT_FALSE(Lists(catalogue, host.Window(11)) || Lists(catalogue, host.Window(12))) << "any taskbar";
    EXPECT_TRUE(MatchesTheFilter(catalogue));

    // What changes between rebuilds is seen at the next one.
    ShowWindow(host.Window(0), SW_HIDE);
    ShowWindow(host.Window(1), SW_SHOW);
    PostMessageW(host.Window(8), WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(host.Window(8)); }));
    catalogue.Refresh();
    EXPECT_FALSE(Lists(catalogue, host.Window(0)));
    EXPECT_TRUE(Lists(catalogue, host.Window(1)));
    EXPECT_FALSE(Lists(catalogue, host.Window(8)));
    EXPECT_TRUE(MatchesTheFilter(catalogue));

    host.Terminate();
    catalogue.Refresh();
    for (HWND gone : host.Windows())
        EXPECT_FALSE(Lists(catalogue, gone));
}

TEST(WindowCatalogue, SeesTheMarkSetOnOneOfOurWindowsAtTheNextRebuild)
{
    TestWindow dialog(L"CvPlain", L"main dialog");
    CCvWndArray catalogue;
    catalogue.Refresh();
    EXPECT_TRUE(Lists(catalogue, dialog));
    SetWindowLongPtrW(dialog, GWLP_USERDATA, OWN_WINDOW_MARK);
    catalogue.Refresh();
    EXPECT_FALSE(Lists(catalogue, dialog));
}

TEST(WindowRecord, KeepsTheLastTitleAndGivesNothingOnceTheWindowHasGone)
{
    CCvWnd none(reinterpret_cast<HWND>(static_cast<ULONG_PTR>(0x12345678)));
    EXPECT_EQ(none.GetHandle(), nullptr);
    EXPECT_STREQ(none.GetTitle(), L"");
    EXPECT_EQ(none.GetIcon(false), nullptr);
    std::wstring path = L"untouched";
    EXPECT_FALSE(none.GetModulePath(path));
    EXPECT_EQ(path, L"untouched");
    none.BringToFront();

    TestWindow window(L"CvPlain", L"before");
    CCvWnd record(window);
    ASSERT_EQ(record.GetHandle(), window.Handle());
    EXPECT_STREQ(record.GetTitle(), L"before");
    SetWindowTextW(window, L"after");
    EXPECT_STREQ(record.GetTitle(), L"after");
    ASSERT_TRUE(record.GetModulePath(path));
    EXPECT_EQ(path, testsupport::HelperProgramPath(L"test_catalogue.exe"));

    window.Destroy();
    EXPECT_STREQ(record.GetTitle(), L"after");
    EXPECT_EQ(record.GetIcon(false), nullptr);
    EXPECT_FALSE(record.GetModulePath(path));
    record.BringToFront();

    // A title longer than the buffer is cut, terminated.
    TestWindow longTitle(L"CvPlain", std::wstring(400, L'x'));
    CCvWnd longRecord(longTitle);
    EXPECT_EQ(std::wstring(longRecord.GetTitle()), std::wstring(255, L'x'));
}

// A window that answers WM_GETICON with an icon of its own.
HICON windowIcon = nullptr;
LRESULT CALLBACK IconWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_GETICON)
        return reinterpret_cast<LRESULT>(windowIcon);
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST(WindowRecord, IconsAreAlwaysTheCallersOwn)
{
    windowIcon = CopyIcon(LoadIconW(nullptr, IDI_WARNING));
    WNDCLASSW wc{};
    wc.lpfnWndProc = IconWindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"CvIconWindow";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"icon", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100,
                                  nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(window, nullptr);

    CCvWnd record(window);
    HICON icon = record.GetIcon(false);
    ASSERT_NE(icon, nullptr);
    EXPECT_NE(icon, windowIcon);
    EXPECT_TRUE(DestroyIcon(icon));
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(windowIcon, &info)) << "the window's own icon was destroyed";
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);

    // From the file: this test program has no icon, so the default one.
    HICON fromFile = record.GetIcon(true);
    ASSERT_NE(fromFile, nullptr);
    EXPECT_TRUE(DestroyIcon(fromFile));
    DestroyWindow(window);
    DestroyIcon(windowIcon);
}

TEST(ExecutableIcon, FallsBackToTheDefaultIconAndHandsOutCopies)
{
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring textFile = std::wstring(system) + L"\\..\\win.ini";
    HICON first = ExecutableIcon(textFile.c_str());
    HICON second = ExecutableIcon(testsupport::HelperProgramPath(L"window_host.exe").c_str());
    HICON third = ExecutableIcon(L"Z:\\no\\such\\file.exe");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    ASSERT_NE(third, nullptr);
    // Each is its own copy: releasing one leaves the others whole.
    EXPECT_NE(first, second);
    EXPECT_TRUE(DestroyIcon(first));
    EXPECT_TRUE(DestroyIcon(second));
    EXPECT_TRUE(DestroyIcon(third));

    HICON real = ExecutableIcon((std::wstring(system) + L"\\notepad.exe").c_str());
    ASSERT_NE(real, nullptr);
    EXPECT_NE(real, reinterpret_cast<HICON>(1));
    EXPECT_TRUE(DestroyIcon(real));
}

TEST(ExecutablePath, IsReadForLiveProcessesOnly)
{
    std::wstring path;
    ASSERT_TRUE(ExecutablePathOfProcess(GetCurrentProcessId(), path));
    EXPECT_EQ(path, testsupport::HelperProgramPath(L"test_catalogue.exe"));

    WindowHost host(std::vector<std::string>{});
    ASSERT_TRUE(host.Ready());
    ASSERT_TRUE(ExecutablePathOfProcess(host.ProcessId(), path));
    EXPECT_EQ(path, testsupport::HelperProgramPath(L"window_host.exe"));

    DWORD ended = host.ProcessId();
    host.Terminate();
    path = L"untouched";
    EXPECT_FALSE(ExecutablePathOfProcess(ended, path));
    EXPECT_FALSE(ExecutablePathOfProcess(0xFFFFFFF0u, path));
    EXPECT_EQ(path, L"untouched");
}

TEST(WindowRecord, AskingAHungWindowForItsIconDoesNotBlock)
{
    WindowHost host({"CvHostPlain|hung"});
    ASSERT_TRUE(host.Ready());
    host.Hang(20000);
    ASSERT_TRUE(WaitUntil([&] { return !host.Responds(50); }, 5000));
    CCvWnd record(host.Window(0));
    const ULONGLONG start = GetTickCount64();
    HICON icon = record.GetIcon(false); // falls back to the file's icon
    EXPECT_LT(GetTickCount64() - start, 1500u);
    ASSERT_NE(icon, nullptr);
    DestroyIcon(icon);
}

// ---- the refresher ----

TEST(WindowRefresher, KeepsTheCatalogueCurrentAndStopsPromptly)
{
    TestWindow early(L"CvPlain", L"early");
    CWinThread thread = catalogues.windowRefresher.Start();
    ASSERT_TRUE(thread);
    EXPECT_EQ(catalogues.windowRefresher.done.load(), 0);
    EXPECT_FALSE(catalogues.windowRefresher.Start()); // one thread per refresher
    auto listed = [](HWND window) {
        std::lock_guard<CCriticalSection> guard(catalogues.windowLock);
        return Lists(catalogues.windowCatalogue, window);
    };
    EXPECT_TRUE(WaitUntil([&] { return listed(early); }, 3000));
    TestWindow late(L"CvPlain", L"late");
    EXPECT_TRUE(WaitUntil([&] { return listed(late); }, 3000));

    catalogues.windowRefresher.stop = 1;
    EXPECT_TRUE(WaitUntil([] { return catalogues.windowRefresher.done.load() == 1; }, 3000));
    EXPECT_TRUE(thread.Wait(3000));
}

TEST(WindowRefresher, AStopAskedRightAfterTheStartIsNotLost)
{
    for (int round = 0; round < 5; ++round) {
        CWinThread thread = catalogues.windowRefresher.Start();
        ASSERT_TRUE(thread);
        catalogues.windowRefresher.stop = 1; // quite possibly before the thread has run
        EXPECT_TRUE(WaitUntil([] { return catalogues.windowRefresher.done.load() == 1; }, 3000)) << round;
        EXPECT_TRUE(thread.Wait(3000));
    }
    std::lock_guard<CCriticalSection> guard(catalogues.windowLock);
    catalogues.windowCatalogue.RemoveAll();
}

} // namespace
