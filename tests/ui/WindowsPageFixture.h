#pragma once
// A Windows page in its host, on the live window catalogue, with no window
// chosen and no top window before and after each test.
#include <gtest/gtest.h>

#include "ListPageSupport.h"
#include "choices/HideSets.h"
#include "ui/TestProgram.h"
#include "ui/WindowsDlg.h"
#include "ui/res/resource.h"

namespace listpage {

class WindowsPageFixture : public ::testing::Test {
protected:
    void SetUp() override { ResetChoices(); }
    void TearDown() override { ResetChoices(); }

    static void ResetChoices()
    {
        Program().choices.hideWindowSet.RemoveAll();
        Program().choices.topWindow.reset();
    }

    void Open()
    {
        RefreshWindowCatalogue();
        ASSERT_TRUE(host.Open(page, IDD_WINDOWS_PAGE));
    }

    // The row of `window` in the left list, or -1.
    int RowOf(HWND window) { return page.rowHandles.Find(window); }

    PageHost host;
    CWindowsDlg page{Program().catalogues, Program().choices};
};

} // namespace listpage
