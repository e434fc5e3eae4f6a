// The Processes page, live: child processes of this test in the real process
// catalogue.
#include <gtest/gtest.h>

#include <vector>

#include "ListPageSupport.h"
#include "choices/HideSets.h"
#include "support/Wait.h"
#include "support/WindowHost.h"
#include "system/Elevation.h"
#include "ui/ProcessDlg.h"
#include "ui/TestProgram.h"

using namespace listpage;
using testsupport::WindowHost;

namespace {

class ProcessPage : public ::testing::Test {
protected:
    void SetUp() override { Program().choices.hideProcessSet.RemoveAll(); }
    void TearDown() override { Program().choices.hideProcessSet.RemoveAll(); }

    void Open()
    {
        RefreshProcessCatalogue();
        ASSERT_TRUE(host.Open(page, IDD_PROCESS_PAGE));
    }

    int RowOf(DWORD processId) { return page.rowPids.Find(processId); }

    std::vector<unsigned long> HideSetIds()
    {
        return {Program().choices.hideProcessSet.begin(), Program().choices.hideProcessSet.end()};
    }

    PageHost host;
    CProcessDlg page{Program().catalogues, Program().choices};
};

} // namespace

TEST_F(ProcessPage, ListsProcessesAddsRefusesAndPrunesOneThatExited)
{
    MessageBoxWatcher boxes;
    WindowHost first({"ListPageProcess|" + Narrow(UniqueTitle(L"First"))});
    WindowHost second({"ListPageProcess|" + Narrow(UniqueTitle(L"Second"))});
    ASSERT_TRUE(first.Ready());
    ASSERT_TRUE(second.Ready());
    Open();

    const int firstRow = RowOf(first.ProcessId());
    ASSERT_GE(firstRow, 0);
    ASSERT_GE(RowOf(second.ProcessId()), 0);
    EXPECT_EQ(page.allList.GetItemText(firstRow, 1), L"window_host.exe");
    EXPECT_EQ(page.allList.GetColumnHeading(1), L"Process Name");
    EXPECT_EQ(page.hideList.GetColumnHeading(1), L"Process Name");
    EXPECT_EQ(page.rowPids.GetSize(), page.allList.GetItemCount());
    EXPECT_TRUE(EveryRowHasItsOwnImage(page.allList, page.imagesAll.GetSafeHandle()));
    // This test program is listed too, but never anything called Covelin.exe.
    EXPECT_GE(RowOf(GetCurrentProcessId()), 0);
    EXPECT_EQ(FindRow(page.allList, L"Covelin.exe"), -1);

    DoubleClickRow(page, page.allList, RowOf(first.ProcessId()));
    DoubleClickRow(page, page.allList, RowOf(second.ProcessId()));
    EXPECT_EQ(HideSetIds(), (std::vector<unsigned long>{first.ProcessId(), second.ProcessId()}));
    EXPECT_EQ(RowTexts(page.hideList), (std::vector<std::wstring>{L"window_host.exe", L"window_host.exe"}));
    EXPECT_EQ(RowImages(page.hideList), (std::vector<int>{0, 1}));

    // Twice: refused with the page's own message.
    DoubleClickRow(page, page.allList, RowOf(first.ProcessId()));
    EXPECT_EQ(HideSetIds().size(), 2u);
    EXPECT_EQ(boxes.Texts(), std::vector<std::wstring>{kMsgProcessAlreadyHidden});

    // Below the rows of either list: nothing happens.
    DoubleClickBelowRows(page, page.allList, RowOf(GetCurrentProcessId()));
    DoubleClickBelowRows(page, page.hideList, 0);
    EXPECT_EQ(HideSetIds().size(), 2u);
    EXPECT_EQ(boxes.Texts().size(), 1u);

    // The first process ends: once the catalogue has dropped it, the
    // visible page drops it from both lists and the set.
    const DWORD gone = first.ProcessId();
    first.Terminate();
    RefreshProcessCatalogue();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return page.hideList.GetItemCount() == 1; }, 4000));
    EXPECT_EQ(HideSetIds(), std::vector<unsigned long>{second.ProcessId()});
    EXPECT_EQ(RowOf(gone), -1);
    EXPECT_EQ(RowImages(page.hideList), std::vector<int>{0});
    EXPECT_EQ(page.imagesHide.GetImageCount(), 1);
}

// The user sees before choosing that a program with more rights than ours
// will stay in view (its rights are the seam: Wine runs no one elevated).
TEST_F(ProcessPage, ProcessesRunningAsAdministratorAreMarked)
{
    WindowHost elevated({"ListPageProcess|" + Narrow(UniqueTitle(L"Elevated"))});
    ASSERT_TRUE(elevated.Ready());
    static DWORD elevatedId;
    elevatedId = elevated.ProcessId();
    SetElevationQueryForTests([](DWORD processId) { return processId == elevatedId; });
    Open();
    SetElevationQueryForTests(nullptr);
    ASSERT_GE(RowOf(elevatedId), 0);
    EXPECT_EQ(page.allList.GetItemText(RowOf(elevatedId), 1), L"window_host.exe (administrator)");
    EXPECT_EQ(page.allList.GetItemText(RowOf(GetCurrentProcessId()), 1).find(L"administrator"), std::wstring::npos);
}

TEST_F(ProcessPage, ReverseSelectTakesEveryListedProcessAndClearEmpties)
{
    WindowHost child({"ListPageProcess|" + Narrow(UniqueTitle(L"Child"))});
    ASSERT_TRUE(child.Ready());
    Open();
    ASSERT_GE(page.rowPids.GetSize(), 2);

    // No top window here: every listed process, in the left list's order.
    ClickButton(page, IDC_REVERSE_SELECT);
    EXPECT_EQ(HideSetIds(), std::vector<unsigned long>(page.rowPids.begin(), page.rowPids.end()));
    EXPECT_EQ(page.hideList.GetItemCount(), page.allList.GetItemCount());
    EXPECT_EQ(RowTexts(page.hideList), RowTexts(page.allList));

    ClickButton(page, IDC_REVERSE_SELECT);
    EXPECT_TRUE(Program().choices.hideProcessSet.IsEmpty());
    EXPECT_EQ(page.imagesHide.GetImageCount(), 0);

    // An entry that is no longer a row of the left list is dropped.
    DoubleClickRow(page, page.allList, RowOf(child.ProcessId()));
    child.Terminate();
    RefreshProcessCatalogue();
    page.SyncWithCatalogue();
    EXPECT_TRUE(Program().choices.hideProcessSet.IsEmpty());

    DoubleClickRow(page, page.allList, RowOf(GetCurrentProcessId()));
    ASSERT_EQ(page.hideList.GetItemCount(), 1);
    ClickButton(page, IDC_CLEAR_HIDE_LIST);
    EXPECT_TRUE(Program().choices.hideProcessSet.IsEmpty());
    EXPECT_EQ(page.hideList.GetItemCount(), 0);
    EXPECT_EQ(page.imagesHide.GetImageCount(), 0);
}
