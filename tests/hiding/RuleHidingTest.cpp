// The title and class rules, and the hide of the window in front, on real
// windows of other processes.
#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include "catalogue/Catalogues.h"
#include "choices/HideSets.h"
#include "hiding/ActiveWindow.h"
#include "hiding/EngineTargets.h"
#include "hiding/HiddenWatch.h"
#include "hiding/Hiding.h"
#include "hiding/RuleHiding.h"
#include "support/Wait.h"
#include "support/WindowHost.h"

using testsupport::HasVisibleStyle;
using testsupport::TestWindow;
using testsupport::WaitUntil;
using testsupport::WindowHost;

namespace {

class RuleHiding : public ::testing::Test {
protected:
    void TearDown() override
    {
        ::RestoreHidden(hidden);
        std::lock_guard<CCriticalSection> guard(catalogues.windowLock);
        catalogues.windowCatalogue.RemoveAll();
    }

    void Rule(RuleField field, const wchar_t* pattern) { choices.hideRules.rules.push_back({field, pattern}); }
    EngineTargets Targets() { return CaptureTargets(choices, &catalogues); }
    int HideByRule()
    {
        std::lock_guard<CCriticalSection> windows(catalogues.windowLock);
        catalogues.windowCatalogue.Refresh();
        return HideRuleWindows(Targets(), hidden);
    }
    std::vector<HWND> Stack() const { return std::vector<HWND>(hidden.hiddenStack.begin(), hidden.hiddenStack.end()); }
    // Puts `window` of another program in front.
    static bool Front(HWND window)
    {
        return WaitUntil(
            [window] {
                SetForegroundWindow(window);
                return GetForegroundWindow() == window;
            },
            3000, 20);
    }

    HiddenWindows hidden;
    Catalogues catalogues;
    HideChoices choices;
};

} // namespace

TEST_F(RuleHiding, ATitleRuleHidesMatchingWindowsOfTwoProgramsButNotTheTopWindow)
{
    WindowHost first({"CvRulePlain|Report - Notepad", "CvRulePlain|Draft - Notepad"});
    WindowHost second({"CvRuleOther|notes - NOTEPAD"});
    WindowHost bystander({"CvRulePlain|Notepad help"});
    ASSERT_TRUE(first.Ready() && second.Ready() && bystander.Ready());
    Rule(RuleField::Title, L"*notepad");
    choices.topWindow = std::make_unique<CCvWnd>(first.Window(1));

    EXPECT_EQ(HideByRule(), 2);
    EXPECT_EQ(Stack().size(), 2u);
    EXPECT_FALSE(HasVisibleStyle(first.Window(0)) || HasVisibleStyle(second.Window(0)));
    EXPECT_TRUE(HasVisibleStyle(first.Window(1)) && HasVisibleStyle(bystander.Window(0)));
    EXPECT_EQ(::RestoreHidden(hidden), 2);
    EXPECT_TRUE(HasVisibleStyle(first.Window(0)) && HasVisibleStyle(second.Window(0)));
}

TEST_F(RuleHiding, AClassRuleHidesItsClassButNeverTheShell)
{
    WindowHost host({"CvRuleClassA|one", "CvRuleClassB|two", "CvRuleOther|three", "Shell_TrayWnd|", "WorkerW|"});
    ASSERT_TRUE(host.Ready());
    Rule(RuleField::Class, L"cvruleclass?");
    Rule(RuleField::Class, L"Shell_*");
    Rule(RuleField::Class, L"WorkerW");
    EXPECT_EQ(HideByRule(), 2);
    std::vector<HWND> stack = Stack();
    std::sort(stack.begin(), stack.end());
    std::vector<HWND> expected{host.Window(0), host.Window(1)};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(stack, expected);
    for (size_t i = 2; i < 5; ++i)
        EXPECT_TRUE(HasVisibleStyle(host.Window(i))) << i;
}

TEST_F(RuleHiding, AMatchingWindowThatAppearsWhileHiddenIsHiddenTooAndComesBack)
{
    WindowHost host({"CvRulePlain|first"});
    WindowHost other({"CvRulePlain|other"});
    ASSERT_TRUE(host.Ready() && other.Ready());
    Rule(RuleField::Title, L"opened *");
    Rule(RuleField::Title, L"first");
    EXPECT_EQ(HideByRule(), 1);
    CCriticalSection lock;
    HiddenWatch watch;
    watch.Start(Targets(), hidden, lock);
    HWND opened = host.OpenWindow(); // titled "opened 1"
    ASSERT_NE(opened, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return watch.HiddenSoFar() == 1 && !HasVisibleStyle(opened); }, 3000, 5));
    // Whichever program opens it: the other's new window matches as well.
    HWND stranger = other.OpenWindow();
    ASSERT_NE(stranger, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return watch.HiddenSoFar() == 2 && !HasVisibleStyle(stranger); }, 3000, 5));
    EXPECT_TRUE(HasVisibleStyle(other.Window(0))) << "a window there before the hide that does not match stays";
    watch.Stop();
    EXPECT_EQ(::RestoreHidden(hidden), 3);
    EXPECT_TRUE(HasVisibleStyle(opened) && HasVisibleStyle(stranger) && HasVisibleStyle(host.Window(0)));
}

TEST_F(RuleHiding, TheWindowInFrontGoesWithWhatItOwnsAndComesBackInFront)
{
    WindowHost host({"CvRulePlain|in front"});
    ASSERT_TRUE(host.Ready());
    HWND dialog = host.OpenOwnedWindow(host.Window(0));
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(Front(dialog));
    // The dialog is in front: its owner is what goes, and the dialog with it.
    EXPECT_EQ(ActiveWindowToHide(Targets()), host.Window(0));
    EXPECT_EQ(HideActiveWindow(Targets(), hidden), 2);
    EXPECT_EQ(Stack(), (std::vector<HWND>{host.Window(0), dialog}));
    EXPECT_FALSE(HasVisibleStyle(host.Window(0)) || HasVisibleStyle(dialog));
    EXPECT_EQ(::RestoreHidden(hidden), 2);
    EXPECT_TRUE(HasVisibleStyle(host.Window(0)) && HasVisibleStyle(dialog));
    EXPECT_TRUE(hidden.IsEmpty());
}

TEST_F(RuleHiding, NothingIsHiddenWhenTheShellOursOrTheTopWindowIsInFront)
{
    WindowHost shell({"Shell_TrayWnd|", "Progman|Program Manager", "CvRulePlain|top"});
    TestWindow own(L"CvRuleOwn", L"ours");
    ASSERT_TRUE(shell.Ready());
    choices.topWindow = std::make_unique<CCvWnd>(shell.Window(2));
    for (HWND front : {shell.Window(0), shell.Window(1), own.Handle(), shell.Window(2)}) {
        ASSERT_TRUE(Front(front));
        EXPECT_EQ(HideActiveWindow(Targets(), hidden), 0);
        EXPECT_TRUE(HasVisibleStyle(front));
    }
    EXPECT_TRUE(hidden.IsEmpty());
}
