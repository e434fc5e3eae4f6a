// The Windows page following a desktop whose windows come, go, move in front
// of each other and change titles: each row keeps its own window's icon and
// current title, in the catalogue's order, and only new windows are asked.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

#include "ListPageSupport.h"
#include "WindowsPageFixture.h"
#include "support/Wait.h"
#include "ui/TestProgram.h"
#include "ui/WindowsDlg.h"

using namespace listpage;

namespace {

std::vector<HWND> askedFor;

HICON CountingIconQuery(HWND window, CProcessIcons& known)
{
    askedFor.push_back(window);
    return CCvWnd(window).GetIcon(false, &known);
}

class WindowsPageFollowing : public WindowsPageFixture {
protected:
    void SetUp() override
    {
        WindowsPageFixture::SetUp();
        CWindowsDlg::iconQuery = CountingIconQuery;
    }
    void TearDown() override
    {
        CWindowsDlg::iconQuery = savedQuery_;
        WindowsPageFixture::TearDown();
    }

    // A timer tick after the refresher's rebuild, and every row drawn
    // after it; returns which of `ours` were asked for an icon.
    std::vector<HWND> Tick(const std::vector<ColouredWindow*>& ours)
    {
        RefreshWindowCatalogue();
        askedFor.clear();
        page.SyncWithCatalogue();
        RowImages(page.allList);
        std::vector<HWND> asked;
        for (HWND window : askedFor)
            for (ColouredWindow* mine : ours)
                if (mine->Handle() == window)
                    asked.push_back(window);
        return asked;
    }

    void ExpectInStepWith(const std::vector<ColouredWindow*>& ours)
    {
        const int rows = page.allList.GetItemCount();
        EXPECT_EQ(page.rowHandles.GetSize(), rows);
        EXPECT_TRUE(EveryRowHasItsOwnImage(page.allList, page.imagesAll.GetSafeHandle()));
        for (ColouredWindow* window : ours) {
            const int row = RowOf(window->Handle());
            ASSERT_GE(row, 0);
            EXPECT_EQ(ImageColour(page.imagesAll.GetSafeHandle(), page.allList.GetItemImage(row)), window->Colour());
            wchar_t title[256] = {};
            GetWindowTextW(window->Handle(), title, 256);
            EXPECT_EQ(page.allList.GetItemText(row, 1), title);
        }
        // The catalogue's order (less windows that yield no icon).
        std::vector<HWND> catalogued;
        {
            std::lock_guard<CCriticalSection> lock(Program().catalogues.windowLock);
            for (int i = 0; i < Program().catalogues.windowCatalogue.GetSize(); ++i)
                if (RowOf(Program().catalogues.windowCatalogue[i]->GetHandle()) >= 0)
                    catalogued.push_back(Program().catalogues.windowCatalogue[i]->GetHandle());
        }
        EXPECT_EQ(std::vector<HWND>(page.rowHandles.begin(), page.rowHandles.end()), catalogued);
    }

private:
    const CWindowsDlg::IconQuery savedQuery_ = CWindowsDlg::iconQuery;
};

} // namespace

TEST_F(WindowsPageFollowing, RowsKeepTheirIconsWhileWindowsComeGoAndReorder)
{
    std::vector<std::unique_ptr<ColouredWindow>> windows;
    for (COLORREF colour :
         {RGB(220, 20, 20), RGB(20, 200, 20), RGB(20, 20, 220), RGB(230, 210, 0), RGB(150, 30, 160), RGB(0, 160, 160)})
        windows.push_back(std::make_unique<ColouredWindow>(UniqueTitle(L"Follow"), colour));
    auto live = [&] {
        std::vector<ColouredWindow*> all;
        for (auto& window : windows)
            if (IsWindow(window->Handle()))
                all.push_back(window.get());
        return all;
    };
    Open();
    ExpectInStepWith(live());

    // Two close, one opens, the lowest of ours comes to the front and one is
    // renamed: only the new window is asked for an icon.
    windows[1]->Destroy();
    windows[3]->Destroy();
    windows.push_back(std::make_unique<ColouredWindow>(UniqueTitle(L"Late"), RGB(250, 130, 0)));
    SetWindowPos(windows[0]->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetWindowTextW(windows[4]->Handle(), UniqueTitle(L"Renamed").c_str());
    EXPECT_EQ(Tick(live()), std::vector<HWND>{windows.back()->Handle()});
    EXPECT_EQ(RowOf(windows[1]->Handle()), -1);
    EXPECT_EQ(RowOf(windows[3]->Handle()), -1);
    ExpectInStepWith(live());

    // Fewer windows, none new: nobody is asked, and the rows that moved up
    // still show their own windows' images.
    for (size_t i : {0u, 2u, 6u})
        windows[i]->Destroy();
    EXPECT_TRUE(Tick(live()).empty());
    ExpectInStepWith(live());
}

TEST_F(WindowsPageFollowing, IconOfARowOnScreenArrivesAfterThePaint)
{
    ColouredWindow red(UniqueTitle(L"Late icon"), RGB(220, 20, 20));
    askedFor.clear();
    Open();
    const int row = RowOf(red.Handle());
    ASSERT_GE(row, 0);
    ASSERT_LT(row, static_cast<int>(page.allList.SendMessage(LVM_GETCOUNTPERPAGE, 0, 0)));
    const auto asked = [&red] { return std::count(askedFor.begin(), askedFor.end(), red.Handle()); };
    // The paint drew the row without waiting for its window; the icon is
    // asked for just after, once, and the row shows it.
    EXPECT_EQ(asked(), 0);
    ASSERT_TRUE(testsupport::WaitUntil([&asked] { return asked() > 0; }, 5000));
    EXPECT_EQ(ImageColour(page.imagesAll.GetSafeHandle(), page.allList.GetItemImage(row)), red.Colour());
    EXPECT_EQ(asked(), 1);
}
