// What other programs' windows hand out, through the Windows page and the
// hiding code: titles of no characters and of 100,000, titles that change
// while they are listed, icons that are no icons, and windows that close
// between the catalogue and the page or between the choice and the hide.
#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "ListPageSupport.h"
#include "WindowsPageFixture.h"
#include "choices/HideSets.h"
#include "hiding/EngineTargets.h"
#include "hiding/Hiding.h"
#include "support/Fuzz.h"
#include "support/Wait.h"
#include "support/WindowHost.h"
#include "ui/TestProgram.h"
#include "ui/WindowsDlg.h"

using namespace listpage;
using testsupport::WaitUntil;
using testsupport::WindowHost;

namespace {

// Answers the icon question with handles that are no icons, in turn: its
// own window handle, a made-up value, a brush, an icon already destroyed.
// Wine answers that question for other processes' windows itself, so such a
// window lives in this process; the page asks it as it asks any other.
LRESULT CALLBACK BadIconProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    static unsigned asked = 0;
    static const HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    static const HICON destroyed = [] {
        HICON icon = SolidIcon(RGB(4, 5, 6));
        DestroyIcon(icon);
        return icon;
    }();
    if (message != WM_GETICON)
        return DefWindowProcW(window, message, wParam, lParam);
    switch (asked++ % 4) {
    case 0:
        return reinterpret_cast<LRESULT>(window);
    case 1:
        return static_cast<LRESULT>(0x7ead0bad);
    case 2:
        return reinterpret_cast<LRESULT>(brush);
    default:
        return reinterpret_cast<LRESULT>(destroyed);
    }
}

// A visible window of this thread that answers as above.
struct BadIconWindow : testsupport::TestWindow {
    explicit BadIconWindow(const std::wstring& title) : TestWindow(L"WindowDataBadIcon", title)
    {
        SetWindowLongPtrW(Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(BadIconProc));
    }
};

class OtherProgramsWindows : public WindowsPageFixture {
protected:
    void Sync()
    {
        RefreshWindowCatalogue();
        page.SyncWithCatalogue();
        testsupport::PumpMessages();
    }
    // Rows, handles and images agree in both lists; every chosen window
    // still exists and none is the top window.
    void ExpectInStep()
    {
        EXPECT_EQ(page.rowHandles.GetSize(), page.allList.GetItemCount());
        EXPECT_TRUE(EveryRowHasItsOwnImage(page.allList, page.imagesAll.GetSafeHandle()));
        EXPECT_EQ(Program().choices.hideWindowSet.GetSize(), page.hideList.GetItemCount());
        EXPECT_EQ(page.imagesHide.GetImageCount(), page.hideList.GetItemCount());
        for (HWND chosen : Program().choices.hideWindowSet) {
            EXPECT_TRUE(IsWindow(chosen));
            EXPECT_TRUE(Program().choices.topWindow == nullptr || Program().choices.topWindow->GetHandle() != chosen);
        }
    }
};

} // namespace

TEST_F(OtherProgramsWindows, AreListedChosenHiddenAndShownAgainWhateverTheyHandOut)
{
    const std::string stem = Narrow(UniqueTitle(L"Data"));
    WindowHost other({"WindowDataPlain|" + stem, "WindowDataEmpty|", "WindowDataLong|long|L", "WindowDataRetitled|r|r",
                      "WindowDataDies|" + stem + " dies", "WindowDataLate|" + stem});
    ASSERT_TRUE(other.Ready());
    const HWND empty = other.Window(1), longTitle = other.Window(2), retitled = other.Window(3), dies = other.Window(4),
               late = other.Window(5);
    BadIconWindow badIconWindow(UniqueTitle(L"Bad icon"));
    const HWND badIcon = badIconWindow.Handle();
    // One dies after the catalogue has listed it, before the page asks it
    // for its icon.
    RefreshWindowCatalogue();
    SendMessageW(dies, WM_CLOSE, 0, 0);
    ASSERT_TRUE(host.Open(page, IDD_WINDOWS_PAGE));
    EXPECT_EQ(RowOf(dies), -1);

    ASSERT_GE(RowOf(empty), 0);
    EXPECT_EQ(page.allList.GetItemText(RowOf(empty), 1), L"");
    ASSERT_GE(RowOf(longTitle), 0);
    EXPECT_EQ(page.allList.GetItemText(RowOf(longTitle), 1), std::wstring(255, L'L'));
    ASSERT_GE(RowOf(badIcon), 0) << "no usable icon from the window: its program's";
    for (int asked = 0; asked < 4; ++asked) {
        HICON icon = CCvWnd(badIcon).GetIcon(false);
        EXPECT_NE(icon, nullptr);
        DestroyIcon(icon);
    }
    ExpectInStep();
    for (int round = 0; round < 50; ++round) {
        Sync();
        ASSERT_GE(RowOf(retitled), 0);
        const std::wstring title = page.allList.GetItemText(RowOf(retitled), 1);
        EXPECT_LE(title.size(), 255u);
        EXPECT_EQ(title.find_first_not_of(L'r'), std::wstring::npos);
    }

    // Every listed window chosen but the long one, which becomes the top
    // window.
    std::vector<HWND> candidates = other.Windows();
    candidates.push_back(badIcon);
    for (HWND window : candidates) {
        if (window != longTitle && RowOf(window) >= 0)
            DoubleClickRow(page, page.allList, RowOf(window));
    }
    const int chosen = Program().choices.hideWindowSet.GetSize();
    ASSERT_EQ(chosen, 5); // plain, empty, retitled, late, bad icon
    SelectRows(page.allList, {RowOf(longTitle)});
    ClickButton(page, IDC_SET_TOP_WINDOW);
    EXPECT_EQ(page.topWindowTitle.GetWindowText(), std::wstring(255, L'L'));

    // Two of them go between the choice and the hide.
    const EngineTargets targets = CaptureTargets(Program().choices, &Program().catalogues);
    badIconWindow.Destroy();
    SendMessageW(late, WM_CLOSE, 0, 0);
    ASSERT_FALSE(IsWindow(late));
    HiddenWindows hidden;
    int hiddenCount = 0;
    {
        std::lock_guard<CCriticalSection> lock(Program().catalogues.windowLock);
        hiddenCount = HideChosenWindows(targets, hidden);
    }
    EXPECT_EQ(hiddenCount, chosen - 2);
    EXPECT_EQ(BringTopWindow(targets), 1);
    for (HWND window : targets.windows)
        EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_TRUE(IsWindowVisible(longTitle));
    Sync();
    EXPECT_EQ(Program().choices.hideWindowSet.GetSize(), chosen - 2) << "hidden windows stay chosen, closed ones go";
    ExpectInStep();

    EXPECT_EQ(RestoreHidden(hidden), hiddenCount);
    for (HWND window : targets.windows)
        EXPECT_TRUE(!IsWindow(window) || IsWindowVisible(window));
}

TEST_F(OtherProgramsWindows, PageStaysInStepWhileTheyOpenCloseRetitleAndAnswerBadly)
{
    testsupport::FuzzSource random(77);
    SCOPED_TRACE(random.Describe());
    const std::string stem = Narrow(UniqueTitle(L"Churn"));
    WindowHost other(
        {"WindowDataChurn|" + stem, "*3|WindowDataChurnR|" + stem + "|r", "WindowDataChurnL|" + stem + "|L"});
    ASSERT_TRUE(other.Ready());
    BadIconWindow badIcon(UniqueTitle(L"Churn bad icon"));
    Open();
    MessageBoxWatcher boxes; // "already in the list", "is the top window"
    for (int round = 0; round < 150; ++round) {
        const int rows = page.allList.GetItemCount();
        const int chosen = page.hideList.GetItemCount();
        switch (random.Below(6)) {
        case 0:
            other.OpenWindow();
            break;
        case 1: {
            // Any of them but the first, whose end ends the program. Its
            // program closes it when it gets round to it: had that been after
            // the sync below, a chosen window would be gone by the check.
            const HWND closing = other.Window(1 + random.Below(static_cast<uint32_t>(other.Windows().size() - 1)));
            PostMessageW(closing, WM_CLOSE, 0, 0);
            EXPECT_TRUE(WaitUntil([closing] { return !IsWindow(closing); }, 5000));
            break;
        }
        case 2:
            if (rows > 0)
                DoubleClickRow(page, page.allList, static_cast<int>(random.Below(static_cast<uint32_t>(rows))));
            break;
        case 3:
            if (chosen > 0)
                DoubleClickRow(page, page.hideList, static_cast<int>(random.Below(static_cast<uint32_t>(chosen))));
            break;
        case 4:
            ClickButton(page, IDC_REVERSE_SELECT);
            break;
        default:
            if (rows > 0)
                SelectRows(page.allList, {static_cast<int>(random.Below(static_cast<uint32_t>(rows)))});
            ClickButton(page, IDC_SET_TOP_WINDOW);
            break;
        }
        Sync();
        ExpectInStep();
        if (::testing::Test::HasFailure())
            FAIL() << "round " << round;
    }
}
