// The Windows page following a desktop whose windows come, go, move in
// front of each other and change their titles: every row keeps showing its
// own window's icon and current title, and only new windows are asked for
// an icon.
#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <vector>

#include "ListPageSupport.h"
#include "WindowsPageFixture.h"
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

    // The catalogue rebuilt and the page in step with it, as a timer tick
    // after the refresher's rebuild leaves it.
    void Tick()
    {
        RefreshWindowCatalogue();
        askedFor.clear();
        page.SyncWithCatalogue();
    }

    // Each of `windows` is listed once, with its own colour and title; the
    // rows, their keys and the images agree in number.
    void ExpectEachShownRightly(const std::vector<ColouredWindow*>& windows)
    {
        const int rows = page.allList.GetItemCount();
        EXPECT_EQ(page.rowHandles.GetSize(), rows);
        EXPECT_EQ(page.imagesAll.GetImageCount(), rows);
        for (ColouredWindow* window : windows) {
            const int row = RowOf(window->Handle());
            ASSERT_GE(row, 0);
            EXPECT_EQ(ImageColour(page.imagesAll.GetSafeHandle(), page.allList.GetItemImage(row)), window->Colour());
            wchar_t title[256] = {};
            GetWindowTextW(window->Handle(), title, 256);
            EXPECT_EQ(page.allList.GetItemText(row, 1), title);
        }
    }

    // The rows follow the catalogue's order (leaving out only windows
    // that yield no icon, which other programs may have).
    void ExpectCatalogueOrder()
    {
        std::vector<HWND> rows(page.rowHandles.begin(), page.rowHandles.end());
        std::vector<HWND> catalogued;
        {
            std::lock_guard<CCriticalSection> lock(windowLock);
            for (int i = 0; i < windowCatalogue.GetSize(); ++i)
                if (RowOf(windowCatalogue[i]->GetHandle()) >= 0)
                    catalogued.push_back(windowCatalogue[i]->GetHandle());
        }
        EXPECT_EQ(rows, catalogued);
    }

    // Which of `windows` the last tick asked for an icon.
    static std::vector<HWND> AskedAmong(const std::vector<ColouredWindow*>& windows)
    {
        std::vector<HWND> asked;
        for (HWND window : askedFor)
            for (ColouredWindow* ours : windows)
                if (ours->Handle() == window)
                    asked.push_back(window);
        return asked;
    }

private:
    const CWindowsDlg::IconQuery savedQuery_ = CWindowsDlg::iconQuery;
};

} // namespace

TEST_F(WindowsPageFollowing, RowsKeepTheirIconsWhileWindowsComeGoAndReorder)
{
    const COLORREF colours[] = {RGB(220, 20, 20), RGB(20, 200, 20), RGB(20, 20, 220), RGB(230, 210, 0),
                                RGB(150, 30, 160), RGB(0, 160, 160)};
    std::vector<std::unique_ptr<ColouredWindow>> windows;
    for (COLORREF colour : colours)
        windows.push_back(std::make_unique<ColouredWindow>(UniqueTitle(L"Follow"), colour));
    Open();
    auto live = [&] {
        std::vector<ColouredWindow*> all;
        for (auto& window : windows)
            if (window && IsWindow(window->Handle()))
                all.push_back(window.get());
        return all;
    };
    ExpectEachShownRightly(live());

    // Two close, one opens, the last listed comes to the front and one is
    // renamed: only the new window is asked for its icon, and every row still
    // shows its own window.
    windows[1]->Destroy();
    windows[3]->Destroy();
    windows.push_back(std::make_unique<ColouredWindow>(UniqueTitle(L"Late"), RGB(250, 130, 0)));
    // The first made lies lowest of ours.
    const HWND back = windows[0]->Handle();
    SetWindowPos(back, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetWindowTextW(windows[4]->Handle(), UniqueTitle(L"Renamed").c_str());
    Tick();
    EXPECT_EQ(AskedAmong(live()), std::vector<HWND>{windows.back()->Handle()});
    EXPECT_EQ(RowOf(windows[1]->Handle()), -1);
    EXPECT_EQ(RowOf(windows[3]->Handle()), -1);
    for (ColouredWindow* other : live()) {
        if (other->Handle() != back) {
            EXPECT_LT(RowOf(back), RowOf(other->Handle()));
        }
    }
    ExpectEachShownRightly(live());
    ExpectCatalogueOrder();

    // Fewer windows than before, none new: the image list shrinks with the
    // rows and the images that moved still belong to their rows.
    for (size_t i : {0u, 2u, 6u})
        windows[i]->Destroy();
    Tick();
    EXPECT_TRUE(AskedAmong(live()).empty());
    ExpectEachShownRightly(live());
    ExpectCatalogueOrder();

    // Nothing changed: none of ours asked again, nothing moved.
    Tick();
    EXPECT_TRUE(AskedAmong(live()).empty());
    ExpectEachShownRightly(live());
}
