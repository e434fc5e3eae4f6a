// The Windows page, live: real windows of this test and of child processes,
// the real window catalogue, the page inside a host window as the main
// dialog holds it.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "ListPageSupport.h"
#include "WindowsPageFixture.h"
#include "choices/HideSets.h"
#include "engine/Engine.h"
#include "hiding/Hiding.h"
#include "support/Wait.h"
#include "support/WindowHost.h"
#include "ui/TestProgram.h"
#include "ui/WindowsDlg.h"

using namespace listpage;
using testsupport::WindowHost;

namespace {

const COLORREF kRed = RGB(220, 20, 20);
const COLORREF kGreen = RGB(20, 200, 20);
const COLORREF kBlue = RGB(20, 20, 220);
const COLORREF kYellow = RGB(230, 210, 0);

std::wstring TitleOf(HWND window)
{
    wchar_t title[256] = {};
    GetWindowTextW(window, title, 256);
    return title;
}

std::vector<HWND> HideSetHandles()
{
    return std::vector<HWND>(Program().choices.hideWindowSet.begin(), Program().choices.hideWindowSet.end());
}

// The page's own question, counted.
std::atomic<int> iconsAsked{0};
HICON CountedIconQuery(HWND window, CProcessIcons& known)
{
    ++iconsAsked;
    return CCvWnd(window).GetIcon(false, &known);
}

class WindowsPage : public WindowsPageFixture {
protected:
    void SetUp() override
    {
        WindowsPageFixture::SetUp();
        CWindowsDlg::iconQuery = CountedIconQuery;
    }
    void TearDown() override
    {
        CWindowsDlg::iconQuery = savedQuery_;
        WindowsPageFixture::TearDown();
    }

    void AddToHideList(HWND window)
    {
        const int row = RowOf(window);
        ASSERT_GE(row, 0);
        DoubleClickRow(page, page.allList, row);
    }

    COLORREF HideImageColourOfRow(int row)
    {
        return ImageColour(page.imagesHide.GetSafeHandle(), page.hideList.GetItemImage(row));
    }

private:
    const CWindowsDlg::IconQuery savedQuery_ = CWindowsDlg::iconQuery;
};

} // namespace

TEST_F(WindowsPage, FirstFillIsImmediateWithIconsTitlesAndColumns)
{
    ColouredWindow red(UniqueTitle(L"Red window"), kRed);
    ColouredWindow blue(UniqueTitle(L"Blue window"), kBlue);
    Open();
    // No message has been pumped since the page was created: the rows come
    // from the forced synchronisation, not from the timer.
    const int redRow = RowOf(red.Handle());
    const int blueRow = RowOf(blue.Handle());
    ASSERT_GE(redRow, 0);
    ASSERT_GE(blueRow, 0);
    EXPECT_EQ(page.allList.GetItemText(redRow, 1), TitleOf(red.Handle()));
    EXPECT_EQ(page.allList.GetItemText(redRow, 0), L"");
    EXPECT_EQ(ImageColour(page.imagesAll.GetSafeHandle(), page.allList.GetItemImage(redRow)), kRed);
    EXPECT_EQ(ImageColour(page.imagesAll.GetSafeHandle(), page.allList.GetItemImage(blueRow)), kBlue);

    const int rows = page.allList.GetItemCount();
    EXPECT_EQ(page.rowHandles.GetSize(), rows);
    EXPECT_EQ(page.imagesAll.GetImageCount(), rows);
    EXPECT_TRUE(EveryRowHasItsOwnImage(page.allList, page.imagesAll.GetSafeHandle()));
    // The host carries the main dialog's mark and is never listed.
    EXPECT_EQ(RowOf(host.Window().m_hWnd), -1);

    for (CListCtrl* list : {&page.allList, &page.hideList}) {
        ASSERT_EQ(list->GetColumnCount(), 2);
        EXPECT_TRUE(list->GetColumnFormat(0) & LVCFMT_IMAGE);
        EXPECT_EQ(list->GetColumnWidth(0), 20);
        EXPECT_EQ(list->GetColumnHeading(1), L"Window Title");
        EXPECT_EQ(list->GetColumnWidth(1), 150);
        EXPECT_TRUE(list->GetExtendedStyle() & LVS_EX_FULLROWSELECT);
    }
    EXPECT_EQ(page.hideList.GetItemCount(), 0);
}

TEST_F(WindowsPage, WindowWithoutObtainableIconGetsNoRow)
{
    // A window that answers WM_GETICON with nothing, in a process that
    // cannot be opened for its executable path: no icon at all.
    const std::wstring lockedTitle = UniqueTitle(L"Locked");
    WindowHost locked({"ListPageLocked|" + Narrow(lockedTitle)});
    WindowHost open({"ListPageOpen|" + Narrow(UniqueTitle(L"Open"))});
    ASSERT_TRUE(locked.Ready());
    ASSERT_TRUE(open.Ready());
    ASSERT_TRUE(DenyQueryAccess(locked.ProcessId()));
    const HWND lockedWindow = locked.Window(0);
    ASSERT_EQ(CCvWnd(lockedWindow).GetIcon(false), nullptr) << "the locked process still yields an icon";

    Open();
    ASSERT_TRUE(WindowIsCatalogued(lockedWindow));
    EXPECT_EQ(RowOf(lockedWindow), -1);
    EXPECT_EQ(FindRow(page.allList, lockedTitle), -1);
    // Its neighbour, whose executable can be read, is listed (with the
    // executable's icon, or the program's default one).
    EXPECT_GE(RowOf(open.Window(0)), 0);
    EXPECT_EQ(page.rowHandles.GetSize(), page.allList.GetItemCount());
    EXPECT_TRUE(EveryRowHasItsOwnImage(page.allList, page.imagesAll.GetSafeHandle()));
}

// Each question a window's icon costs, and how many of them were asked
// while the catalogue's lock was held (tried from another thread, since the
// page's own thread would enter its critical section again).
std::atomic<int> iconQuestions{0};
std::atomic<int> questionsUnderTheLock{0};

// Windows answers WM_GETICON on the window's own thread, so a window of a
// hung program keeps the asker waiting up to the question's timeout; Wine
// answers it without the window. This question waits as Windows does, on a
// message that Wine does deliver, before asking as the page always does.
HICON IconAskedAsWindowsDoes(HWND window, CProcessIcons&)
{
    ++iconQuestions;
    CCriticalSection& lock = Program().catalogues.windowLock;
    bool free = false;
    std::thread([&] {
        free = lock.try_lock();
        if (free)
            lock.unlock();
    }).join();
    if (!free)
        ++questionsUnderTheLock;
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, 200, &answer);
    return CCvWnd(window).GetIcon(false);
}

TEST_F(WindowsPage, HungWindowsNeverKeepTheCatalogueLocked)
{
    WindowHost child({"*5|ListPageHung|" + Narrow(UniqueTitle(L"Hung"))});
    ASSERT_TRUE(child.Ready());
    child.Hang(8000);
    ASSERT_TRUE(testsupport::WaitUntil([&child] { return !child.Responds(50); }, 3000));
    RefreshWindowCatalogue();
    CWindowsDlg::iconQuery = IconAskedAsWindowsDoes;
    iconQuestions = 0;
    questionsUnderTheLock = 0;

    ASSERT_TRUE(host.Open(page, IDD_WINDOWS_PAGE));
    // Every hung window is asked for its icon after the paint, and never
    // inside the lock.
    EXPECT_TRUE(testsupport::WaitUntil([] { return iconQuestions.load() >= 5; }, 10000));
    EXPECT_EQ(questionsUnderTheLock.load(), 0) << "the page held the catalogue while it asked the windows";
    // They are listed all the same, with their executable's icon.
    for (HWND hung : child.Windows())
        EXPECT_GE(RowOf(hung), 0);
}

TEST_F(WindowsPage, DoubleClicksAddAndRefuseInTheirOrder)
{
    MessageBoxWatcher boxes;
    ColouredWindow red(UniqueTitle(L"Red"), kRed);
    ColouredWindow green(UniqueTitle(L"Green"), kGreen);
    ColouredWindow blue(UniqueTitle(L"Blue"), kBlue);
    Open();

    // A row the hide list refuses leaves the set as it was.
    RefuseRowInserts(page.hideList.m_hWnd, true);
    AddToHideList(red.Handle());
    RefuseRowInserts(page.hideList.m_hWnd, false);
    EXPECT_TRUE(Program().choices.hideWindowSet.IsEmpty());

    std::vector<std::wstring> messages;
    AddToHideList(red.Handle());
    EXPECT_EQ(HideSetHandles(), std::vector<HWND>{red.Handle()});
    EXPECT_EQ(RowTexts(page.hideList), std::vector<std::wstring>{TitleOf(red.Handle())});
    EXPECT_EQ(HideImageColourOfRow(0), kRed);
    EXPECT_EQ(boxes.Texts(), messages);

    // Twice: refused.
    AddToHideList(red.Handle());
    EXPECT_EQ(HideSetHandles(), std::vector<HWND>{red.Handle()});
    messages.push_back(kMsgWindowAlreadyHidden);
    EXPECT_EQ(boxes.Texts(), messages);

    // The top window: refused with its own message.
    SelectRows(page.allList, {RowOf(green.Handle())});
    ClickButton(page, IDC_SET_TOP_WINDOW);
    ASSERT_NE(Program().choices.topWindow, nullptr);
    AddToHideList(green.Handle());
    EXPECT_EQ(HideSetHandles(), std::vector<HWND>{red.Handle()});
    messages.push_back(kMsgWindowIsTopWindow);
    EXPECT_EQ(boxes.Texts(), messages);

    // A window that is both (which the page never lets happen) meets the
    // hide-set test first.
    std::unique_ptr<CCvWnd> savedTop = std::move(Program().choices.topWindow);
    Program().choices.topWindow = std::make_unique<CCvWnd>(red.Handle());
    AddToHideList(red.Handle());
    Program().choices.topWindow = std::move(savedTop);
    messages.push_back(kMsgWindowAlreadyHidden);
    EXPECT_EQ(boxes.Texts(), messages);

    // A double click on the empty area below the rows does nothing, though
    // a row is marked.
    DoubleClickBelowRows(page, page.allList, RowOf(blue.Handle()));
    EXPECT_EQ(HideSetHandles(), std::vector<HWND>{red.Handle()});
    EXPECT_EQ(boxes.Texts(), messages);

    AddToHideList(blue.Handle());
    EXPECT_EQ(HideSetHandles(), (std::vector<HWND>{red.Handle(), blue.Handle()}));
    EXPECT_EQ(RowImages(page.hideList), (std::vector<int>{0, 1}));
    EXPECT_EQ(HideImageColourOfRow(1), kBlue);
}

TEST_F(WindowsPage, RemovingFromTheHideListMovesTheSelection)
{
    ColouredWindow red(UniqueTitle(L"Red"), kRed);
    ColouredWindow green(UniqueTitle(L"Green"), kGreen);
    ColouredWindow blue(UniqueTitle(L"Blue"), kBlue);
    Open();
    for (HWND window : {red.Handle(), green.Handle(), blue.Handle()})
        AddToHideList(window);
    ASSERT_EQ(page.hideList.GetItemCount(), 3);

    // Below the rows: nothing leaves.
    DoubleClickBelowRows(page, page.hideList, 1);
    EXPECT_EQ(page.hideList.GetItemCount(), 3);

    // The middle row: the next one takes its place and its selection, and
    // every row keeps its own icon.
    DoubleClickRow(page, page.hideList, 1);
    EXPECT_EQ(HideSetHandles(), (std::vector<HWND>{red.Handle(), blue.Handle()}));
    EXPECT_EQ(RowTexts(page.hideList), (std::vector<std::wstring>{TitleOf(red.Handle()), TitleOf(blue.Handle())}));
    EXPECT_EQ(RowImages(page.hideList), (std::vector<int>{0, 1}));
    EXPECT_EQ(page.imagesHide.GetImageCount(), 2);
    EXPECT_EQ(HideImageColourOfRow(0), kRed);
    EXPECT_EQ(HideImageColourOfRow(1), kBlue);
    EXPECT_EQ(SelectedRows(page.hideList), std::vector<int>{1});

    // The last row: the new last row is selected.
    DoubleClickRow(page, page.hideList, 1);
    EXPECT_EQ(HideSetHandles(), std::vector<HWND>{red.Handle()});
    EXPECT_EQ(SelectedRows(page.hideList), std::vector<int>{0});

    // The only row: nothing is left to select.
    DoubleClickRow(page, page.hideList, 0);
    EXPECT_TRUE(Program().choices.hideWindowSet.IsEmpty());
    EXPECT_EQ(page.hideList.GetItemCount(), 0);
    EXPECT_EQ(page.imagesHide.GetImageCount(), 0);
}

TEST_F(WindowsPage, ReverseSelectTwiceReturnsToEmptyAndClearEmpties)
{
    ColouredWindow red(UniqueTitle(L"Red"), kRed);
    ColouredWindow green(UniqueTitle(L"Green"), kGreen);
    ColouredWindow blue(UniqueTitle(L"Blue"), kBlue);
    Open();
    SelectRows(page.allList, {RowOf(green.Handle())});
    ClickButton(page, IDC_SET_TOP_WINDOW);
    ASSERT_NE(Program().choices.topWindow, nullptr);

    // Every listed window but the top window, in the left list's order.
    ClickButton(page, IDC_REVERSE_SELECT);
    std::vector<HWND> expected;
    for (HWND window : page.rowHandles)
        if (window != green.Handle())
            expected.push_back(window);
    EXPECT_EQ(HideSetHandles(), expected);
    ASSERT_EQ(page.hideList.GetItemCount(), static_cast<int>(expected.size()));
    for (int row = 0; row < page.hideList.GetItemCount(); ++row) {
        EXPECT_EQ(page.hideList.GetItemImage(row), row);
        EXPECT_EQ(page.hideList.GetItemText(row, 1),
                  page.allList.GetItemText(RowOf(Program().choices.hideWindowSet[row]), 1));
    }
    EXPECT_EQ(HideImageColourOfRow(Program().choices.hideWindowSet.Find(red.Handle())), kRed);
    EXPECT_EQ(HideImageColourOfRow(Program().choices.hideWindowSet.Find(blue.Handle())), kBlue);

    // Once more: the set was everything, so it becomes nothing.
    ClickButton(page, IDC_REVERSE_SELECT);
    EXPECT_TRUE(Program().choices.hideWindowSet.IsEmpty());
    EXPECT_EQ(page.hideList.GetItemCount(), 0);
    EXPECT_EQ(page.imagesHide.GetImageCount(), 0);

    // With part of the list chosen, the choice is inverted.
    AddToHideList(red.Handle());
    ClickButton(page, IDC_REVERSE_SELECT);
    EXPECT_EQ(Program().choices.hideWindowSet.Find(red.Handle()), -1);
    EXPECT_GE(Program().choices.hideWindowSet.Find(blue.Handle()), 0);
    EXPECT_EQ(Program().choices.hideWindowSet.Find(green.Handle()), -1);

    // Clear empties the hide list and leaves the top window alone.
    ClickButton(page, IDC_CLEAR_HIDE_LIST);
    EXPECT_TRUE(Program().choices.hideWindowSet.IsEmpty());
    EXPECT_EQ(page.hideList.GetItemCount(), 0);
    EXPECT_EQ(page.imagesHide.GetImageCount(), 0);
    ASSERT_NE(Program().choices.topWindow, nullptr);
    EXPECT_EQ(Program().choices.topWindow->GetHandle(), green.Handle());
    // Clearing an empty list changes nothing.
    ClickButton(page, IDC_CLEAR_HIDE_LIST);
    EXPECT_EQ(page.hideList.GetItemCount(), 0);
}

TEST_F(WindowsPage, SetAsTopWindowShowsRefusesAndClears)
{
    MessageBoxWatcher boxes;
    ColouredWindow yellow(UniqueTitle(L"Yellow"), kYellow);
    ColouredWindow blue(UniqueTitle(L"Blue"), kBlue);
    Open();
    const std::wstring yellowTitle = TitleOf(yellow.Handle());

    SelectRows(page.allList, {RowOf(yellow.Handle())});
    ClickButton(page, IDC_SET_TOP_WINDOW);
    ASSERT_NE(Program().choices.topWindow, nullptr);
    EXPECT_EQ(Program().choices.topWindow->GetHandle(), yellow.Handle());
    EXPECT_EQ(page.GetDlgItemText(IDC_TOP_WINDOW_TITLE), yellowTitle);

    // The icon is painted where the invisible marker control sits.
    RECT marker{};
    GetWindowRect(page.GetDlgItem(IDC_TOP_WINDOW_ICON), &marker);
    MapWindowPoints(nullptr, page.m_hWnd, reinterpret_cast<POINT*>(&marker), 2);
    auto pixelAtIcon = [&] {
        RedrawWindow(page.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        HDC dc = GetDC(page.m_hWnd);
        const COLORREF colour = GetPixel(dc, marker.left + 8, marker.top + 8);
        ReleaseDC(page.m_hWnd, dc);
        return colour;
    };
    EXPECT_EQ(pixelAtIcon(), kYellow);
    // It was fetched once, when the window became the top window: painting
    // asks the window nothing.
    const int asked = iconsAsked;
    EXPECT_EQ(pixelAtIcon(), kYellow);
    EXPECT_EQ(iconsAsked, asked);

    // A window of the hide list cannot become the top window.
    DoubleClickRow(page, page.allList, RowOf(blue.Handle()));
    SelectRows(page.allList, {RowOf(blue.Handle())});
    ClickButton(page, IDC_SET_TOP_WINDOW);
    EXPECT_EQ(boxes.Texts(), std::vector<std::wstring>{kMsgHiddenWindowNotTop});
    ASSERT_NE(Program().choices.topWindow, nullptr);
    EXPECT_EQ(Program().choices.topWindow->GetHandle(), yellow.Handle());

    // Nothing selected: the top window is cleared, title and icon with it.
    SelectRows(page.allList, {});
    ClickButton(page, IDC_SET_TOP_WINDOW);
    EXPECT_EQ(Program().choices.topWindow, nullptr);
    EXPECT_EQ(page.GetDlgItemText(IDC_TOP_WINDOW_TITLE), L"");
    EXPECT_NE(pixelAtIcon(), kYellow);
}

TEST_F(WindowsPage, ClosedWindowsArePrunedAndImagesRenumbered)
{
    const COLORREF purple = RGB(150, 30, 160);
    ColouredWindow red(UniqueTitle(L"Red"), kRed);
    ColouredWindow green(UniqueTitle(L"Green"), kGreen);
    ColouredWindow blue(UniqueTitle(L"Blue"), kBlue);
    ColouredWindow violet(UniqueTitle(L"Purple"), purple);
    ColouredWindow yellow(UniqueTitle(L"Yellow"), kYellow);
    Open();
    for (HWND window : {red.Handle(), green.Handle(), blue.Handle(), violet.Handle()})
        AddToHideList(window);
    SelectRows(page.allList, {RowOf(yellow.Handle())});
    ClickButton(page, IDC_SET_TOP_WINDOW);
    ASSERT_NE(Program().choices.topWindow, nullptr);
    const HWND greenHandle = green.Handle();

    // Two neighbours in the hide list and the top window close.
    green.Destroy();
    blue.Destroy();
    yellow.Destroy();
    RefreshWindowCatalogue();
    // The page is visible: its timer picks the change up within a tick or two.
    ASSERT_TRUE(testsupport::WaitUntil([&] { return Program().choices.topWindow == nullptr; }, 4000));
    EXPECT_EQ(HideSetHandles(), (std::vector<HWND>{red.Handle(), violet.Handle()}));
    EXPECT_EQ(RowTexts(page.hideList), (std::vector<std::wstring>{TitleOf(red.Handle()), TitleOf(violet.Handle())}));
    EXPECT_EQ(RowImages(page.hideList), (std::vector<int>{0, 1}));
    EXPECT_EQ(page.imagesHide.GetImageCount(), 2);
    EXPECT_EQ(HideImageColourOfRow(0), kRed);
    EXPECT_EQ(HideImageColourOfRow(1), purple);
    EXPECT_EQ(RowOf(greenHandle), -1);
    EXPECT_EQ(page.GetDlgItemText(IDC_TOP_WINDOW_TITLE), L"");
}

TEST_F(WindowsPage, TimerSynchronisesOnlyWhileThePageIsVisible)
{
    Open();
    page.ShowWindow(SW_HIDE);
    ColouredWindow late(UniqueTitle(L"Late"), kGreen);
    RefreshWindowCatalogue();
    // Two timer periods and more, and the hidden page has not looked.
    EXPECT_FALSE(testsupport::WaitUntil([&] { return RowOf(late.Handle()) >= 0; }, 2500));

    page.ShowWindow(SW_SHOW);
    EXPECT_TRUE(testsupport::WaitUntil([&] { return RowOf(late.Handle()) >= 0; }, 3000));
}

namespace {

std::atomic<int> toggles{0};
std::atomic<DWORD> fakeTick{0};

// The real engine thread on the real hiding code, with a clock that lets every
// command count (no one-second debounce) and no side actions.
EngineOperations QuickToggleOperations()
{
    EngineOperations ops = DefaultEngineOperations();
    ops.input.chordIsDown = [](const HotkeyChord&) { return 0; };
    ops.input.tickCount = []() -> DWORD { return fakeTick += 1000; };
    // Sleep: the engine's pause between polls, shortened; the debounce reads the fake clock.
    ops.input.sleep = [](DWORD) { Sleep(1); };
    ops.hide.restoreHidden = [](HiddenWindows& hidden) {
        ++toggles;
        return RestoreHidden(hidden);
    };
    ops.sideActions.setVolumeMute = [](VolumeMute&, bool) {};
    ops.sideActions.hideNotificationArea = [](bool, const OwnTrayIcon&) { return true; };
    ops.postToDialog = [](HWND, UINT) {};
    return ops;
}

} // namespace

TEST_F(WindowsPage, ChoicesChangeFreelyWhileTheEngineHidesAndRestoresAThousandTimes)
{
    WindowHost child({"*4|ListPageSoak|" + Narrow(UniqueTitle(L"Soak"))});
    ASSERT_TRUE(child.Ready());
    Open();
    for (HWND window : child.Windows())
        AddToHideList(window);

    CEngine engine;
    engine.operations = QuickToggleOperations();
    toggles = 0;
    SettingData settings = MakeDefaultSettings();
    ASSERT_TRUE(engine.Start(settings, CaptureTargets(Program().choices, &Program().catalogues), nullptr));
    // The page's buttons, as a user would press them, while the engine works
    // (in an order that never calls for a message box); every 100 restores
    // the engine is armed again on the choices of the moment.
    MessageBoxWatcher boxes;
    int nextRestart = 100;
    for (int round = 0; toggles.load() < 1000 && round < 200000; ++round) {
        for (int command = 0; command < 3 && engine.AcceptsCommands(); ++command)
            engine.PostCommand(UM_TOGGLE_HIDE);
        switch (round % 4) {
        case 0:
            ClickButton(page, IDC_REVERSE_SELECT);
            break;
        case 1:
            ClickButton(page, IDC_CLEAR_HIDE_LIST);
            break;
        case 2:
            SelectRows(page.allList, {RowOf(child.Window(static_cast<size_t>(round / 4) % 4))});
            ClickButton(page, IDC_SET_TOP_WINDOW);
            break;
        default:
            AddToHideList(child.Window(static_cast<size_t>(round / 4 + 1) % 4));
            break;
        }
        if (toggles.load() >= nextRestart) {
            nextRestart += 100;
            engine.RequestStop();
            ASSERT_TRUE(engine.Start(settings, CaptureTargets(Program().choices, &Program().catalogues), nullptr));
        }
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }
    engine.RequestStop();
    EXPECT_TRUE(engine.WaitEnded(GetTickCount64() + 5000));
    EXPECT_GE(toggles.load(), 1000);
    EXPECT_TRUE(boxes.Texts().empty());
    engine.RestoreEverything(false);
    for (HWND window : child.Windows())
        EXPECT_TRUE(testsupport::WaitUntil([&] { return IsWindowVisible(window) != FALSE; }, 5000));
}
