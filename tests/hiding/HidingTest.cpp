#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "catalogue/Catalogues.h"
#include "choices/HideSets.h"
#include "hiding/EngineTargets.h"
#include "hiding/HiddenWatch.h"
#include "hiding/Hiding.h"
#include "support/ScratchDir.h"
#include "support/Wait.h"
#include "support/WindowHost.h"
#include "system/ShellWindows.h"

using testsupport::HasVisibleStyle;
using testsupport::TestWindow;
using testsupport::WaitUntil;
using testsupport::WindowHost;

namespace {

// Catches the lines sent to the debugger output while it lives.
class DebugOutput {
public:
    DebugOutput()
    {
        handler_ = AddVectoredExceptionHandler(1, &DebugOutput::Handler);
        currentOutput = this;
    }
    ~DebugOutput()
    {
        RemoveVectoredExceptionHandler(handler_);
        currentOutput = nullptr;
    }
    std::vector<std::wstring> lines;

private:
    static LONG CALLBACK Handler(EXCEPTION_POINTERS* info)
    {
        const EXCEPTION_RECORD* record = info->ExceptionRecord;
        if (!currentOutput || record->NumberParameters < 2)
            return EXCEPTION_CONTINUE_SEARCH;
        if (record->ExceptionCode == 0x4001000A) { // wide debug string
            currentOutput->lines.emplace_back(reinterpret_cast<const wchar_t*>(record->ExceptionInformation[1]));
            currentOutput->sawWide_ = true;
        } else if (record->ExceptionCode == DBG_PRINTEXCEPTION_C && !currentOutput->sawWide_) {
            std::string narrow(reinterpret_cast<const char*>(record->ExceptionInformation[1]));
            currentOutput->lines.emplace_back(narrow.begin(), narrow.end());
        }
        return EXCEPTION_CONTINUE_SEARCH;
    }
    static inline DebugOutput* currentOutput = nullptr;
    PVOID handler_ = nullptr;
    bool sawWide_ = false;
};

// Every test starts and ends with empty sets, stack and catalogue.
class Hiding : public ::testing::Test {
protected:
    void SetUp() override { Clear(); }
    void TearDown() override { Clear(); }

    void Clear()
    {
        choices.hideWindowSet.RemoveAll();
        choices.hideProcessSet.RemoveAll();
        choices.hideFileSet.RemoveAll();
        hidden.hiddenStack.RemoveAll();
        choices.topWindow.reset();
        std::lock_guard<CCriticalSection> guard(catalogues.windowLock);
        catalogues.windowCatalogue.RemoveAll();
    }

    // The three hides as the engine runs them, on the copy of the pages'
    // choices it takes when armed; returns their total.
    int HideAll()
    {
        const EngineTargets targets = CaptureTargets(choices, &catalogues);
        std::lock_guard<CCriticalSection> windows(catalogues.windowLock);
        return HideChosenWindows(targets, hidden) + HideProcessWindows(targets, hidden) +
               HideFileWindows(targets, hidden);
    }
    HideCheck Finish()
    {
        std::lock_guard<CCriticalSection> windows(catalogues.windowLock);
        return FinishHide(CaptureTargets(choices, &catalogues), hidden);
    }
    int BringTopWindow() { return ::BringTopWindow(CaptureTargets(choices, &catalogues)); }
    int RestoreHidden() { return ::RestoreHidden(hidden); }

    static void Rebuild()
    {
        std::lock_guard<CCriticalSection> guard(catalogues.windowLock);
        catalogues.windowCatalogue.Refresh();
    }

    std::vector<HWND> Stack() const { return std::vector<HWND>(hidden.hiddenStack.begin(), hidden.hiddenStack.end()); }

    HiddenWindows hidden;
    // What the application object would own.
    static inline Catalogues catalogues;
    HideChoices choices;
};

TEST_F(Hiding, NothingChosenHidesNothingAndOnlyBringsTheTopWindowForward)
{
    TestWindow other(L"CvHideTest", L"other");
    TestWindow top(L"CvHideTest", L"the top one");
    Rebuild();
    EXPECT_EQ(HideAll(), 0);
    EXPECT_TRUE(hidden.hiddenStack.IsEmpty());
    EXPECT_EQ(BringTopWindow(), 0);

    SetForegroundWindow(other);
    choices.topWindow = std::make_unique<CCvWnd>(top);
    DebugOutput debug;
    EXPECT_EQ(BringTopWindow(), 1);
    EXPECT_EQ(GetForegroundWindow(), top.Handle());
    ASSERT_EQ(debug.lines.size(), 1u);
    EXPECT_EQ(debug.lines[0], L"Window 'the top one' has been brought onto top.\n");
    EXPECT_EQ(RestoreHidden(), 0);

    top.Destroy();
    EXPECT_EQ(BringTopWindow(), 0);
}

TEST_F(Hiding, ChosenWindowsAreHiddenInOrderAndClosedOnesSkipped)
{
    TestWindow a(L"CvHideTest", L"a");
    TestWindow closed(L"CvHideTest", L"closed");
    TestWindow invisible(L"CvHideTest", L"invisible", WS_OVERLAPPEDWINDOW);
    TestWindow b(L"CvHideTest", L"b");
    for (HWND window : {b.Handle(), closed.Handle(), invisible.Handle(), a.Handle()})
        choices.hideWindowSet.Add(window);
    closed.Destroy();

    EXPECT_EQ(HideAll(), 3);
    EXPECT_EQ(Stack(), (std::vector<HWND>{b, invisible, a}));
    EXPECT_FALSE(HasVisibleStyle(a));
    EXPECT_FALSE(HasVisibleStyle(b));

    // The restore shows from the top of the stack down, without activating
    // any; then the first hidden is brought in front.
    EXPECT_EQ(RestoreHidden(), 3);
    EXPECT_TRUE(hidden.hiddenStack.IsEmpty());
    EXPECT_TRUE(HasVisibleStyle(a) && HasVisibleStyle(b));
    EXPECT_TRUE(HasVisibleStyle(invisible)) << "a chosen window is shown whatever it was before";
    EXPECT_EQ(GetForegroundWindow(), b.Handle());
}

TEST_F(Hiding, WindowsOfChosenProcessesAreHiddenExceptTheTopWindow)
{
    // The shell's desktop and second-monitor taskbar stay, whatever else of
    // its process goes.
    WindowHost host({"CvHostPlain|one", "CvHostPlain|two", "CvHostPlain|top|m", "CvHostPlain|three", "WorkerW|",
                     "Shell_SecondaryTrayWnd|"});
    WindowHost bystander({"CvHostPlain|not chosen"});
    ASSERT_TRUE(host.Ready() && bystander.Ready());
    Rebuild();
    choices.hideProcessSet.Add(host.ProcessId());
    choices.topWindow = std::make_unique<CCvWnd>(host.Window(2));
    // Chosen by hand as well: hidden once by each rule, pushed twice.
    choices.hideWindowSet.Add(host.Window(1));

    const int count = HideAll();
    {
        DebugOutput debug;
        EXPECT_EQ(BringTopWindow(), 1);
        ASSERT_EQ(debug.lines.size(), 1u);
        EXPECT_EQ(debug.lines[0], L"Window 'top' has been brought onto top.\n");
    }
    EXPECT_EQ(count, 4);
    std::vector<HWND> stack = Stack();
    ASSERT_EQ(stack.size(), 4u);
    EXPECT_EQ(stack[0], host.Window(1));
    EXPECT_EQ(std::count(stack.begin(), stack.end(), host.Window(1)), 2);
    for (HWND window : {host.Window(0), host.Window(1), host.Window(3)})
        EXPECT_FALSE(HasVisibleStyle(window));
    EXPECT_TRUE(HasVisibleStyle(host.Window(2)) && HasVisibleStyle(host.Window(4)) && HasVisibleStyle(host.Window(5)));
    EXPECT_FALSE(GetWindowLongW(host.Window(2), GWL_STYLE) & WS_MINIMIZE) << "the top window is restored";
    EXPECT_TRUE(HasVisibleStyle(bystander.Window(0)));

    EXPECT_EQ(RestoreHidden(), 4);
    for (HWND window : host.Windows())
        EXPECT_TRUE(HasVisibleStyle(window));
}

TEST_F(Hiding, WindowsOfChosenFilesMatchWhateverTheLetterCase)
{
    WindowHost host({"CvHostPlain|by file", "CvHostPlain|also"});
    WindowHost other(std::vector<std::string>{"CvHostPlain|top of it"});
    ASSERT_TRUE(host.Ready() && other.Ready());
    Rebuild();
    std::wstring path = testsupport::HelperProgramPath(L"window_host.exe");
    for (wchar_t& c : path)
        c = static_cast<wchar_t>(towlower(c));
    choices.hideFileSet.AddPath(path);
    choices.hideFileSet.AddPath(L"C:\\SOMEWHERE\\ELSE.EXE");
    choices.topWindow = std::make_unique<CCvWnd>(other.Window(0)); // same file, but the top window

    // Pushed in the order of the catalogue.
    std::vector<HWND> expected;
    for (int i = 0; i < catalogues.windowCatalogue.GetSize(); ++i) {
        HWND window = catalogues.windowCatalogue[i]->GetHandle();
        if (window == host.Window(0) || window == host.Window(1))
            expected.push_back(window);
    }
    ASSERT_EQ(expected.size(), 2u);
    EXPECT_EQ(HideAll(), 2);
    EXPECT_EQ(Stack(), expected);
    EXPECT_TRUE(HasVisibleStyle(other.Window(0)));
    EXPECT_EQ(RestoreHidden(), 2);
    EXPECT_TRUE(HasVisibleStyle(host.Window(0)) && HasVisibleStyle(host.Window(1)));
}

TEST_F(Hiding, AWindowOpenedSinceTheLastRebuildIsLeftToTheNext)
{
    WindowHost host({"CvHostPlain|old"});
    ASSERT_TRUE(host.Ready());
    Rebuild();
    WindowHost newer({"CvHostPlain|new"});
    ASSERT_TRUE(newer.Ready());
    choices.hideProcessSet.Add(host.ProcessId());
    choices.hideProcessSet.Add(newer.ProcessId());
    EXPECT_EQ(HideAll(), 1);
    EXPECT_TRUE(HasVisibleStyle(newer.Window(0)));
    RestoreHidden();
}

TEST_F(Hiding, ClosedWindowsAreDroppedByTheRestore)
{
    WindowHost host({"CvHostPlain|stays", "CvHostPlain|goes"});
    ASSERT_TRUE(host.Ready());
    choices.hideWindowSet.Add(host.Window(0));
    choices.hideWindowSet.Add(host.Window(1));
    EXPECT_EQ(HideAll(), 2);
    PostMessageW(host.Window(1), WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(host.Window(1)); }));
    EXPECT_EQ(RestoreHidden(), 1);
    EXPECT_TRUE(hidden.hiddenStack.IsEmpty());
    EXPECT_TRUE(HasVisibleStyle(host.Window(0)));
}

// A program that has stopped pumping messages must not hold the engine up:
// its windows are hidden and shown all the same, as soon as it wakes.
TEST_F(Hiding, AHungWindowDoesNotHoldUpHideOrRestore)
{
    WindowHost host({"CvHostPlain|hung", "CvHostPlain|hung too"});
    TestWindow mine(L"CvHideTest", L"responsive");
    ASSERT_TRUE(host.Ready());
    choices.hideWindowSet.Add(host.Window(0));
    choices.hideWindowSet.Add(mine);
    choices.hideWindowSet.Add(host.Window(1));

    // Just stopped: the system does not call it hung yet.
    host.Hang(3000);
    ASSERT_TRUE(WaitUntil([&] { return !host.Responds(50); }, 3000));
    ULONGLONG start = GetTickCount64();
    EXPECT_EQ(HideAll(), 3);
    EXPECT_LT(GetTickCount64() - start, 1000u);
    EXPECT_EQ(hidden.hiddenStack.GetSize(), 3);
    EXPECT_FALSE(HasVisibleStyle(mine));
    // Carried out once the program pumps again.
    EXPECT_TRUE(WaitUntil([&] { return !HasVisibleStyle(host.Window(0)) && !HasVisibleStyle(host.Window(1)); }, 10000));

    // Hung long enough for the system to call it so.
    host.Hang(30000);
    ASSERT_TRUE(WaitUntil([&] { return IsHungAppWindow(host.Window(0)) != FALSE; }, 15000));
    start = GetTickCount64();
    {
        EXPECT_EQ(RestoreHidden(), 3);
    }
    EXPECT_LT(GetTickCount64() - start, 1000u);
    EXPECT_TRUE(HasVisibleStyle(mine));
    start = GetTickCount64();
    EXPECT_EQ(HideAll(), 3);
    EXPECT_LT(GetTickCount64() - start, 1000u);
}

TEST_F(Hiding, AHungTopWindowDoesNotHoldUpTheEngine)
{
    WindowHost host({"CvHostPlain|hung top|m"});
    ASSERT_TRUE(host.Ready());
    choices.topWindow = std::make_unique<CCvWnd>(host.Window(0));
    host.Hang(3000);
    ASSERT_TRUE(WaitUntil([&] { return !host.Responds(50); }, 3000));
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(BringTopWindow(), 1);
    EXPECT_LT(GetTickCount64() - start, 1000u);
    // Restored once it pumps again.
    EXPECT_TRUE(WaitUntil([&] { return !(GetWindowLongW(host.Window(0), GWL_STYLE) & WS_MINIMIZE); }, 10000));
}

// Windows hides owned windows with a minimised owner, not with a hidden one.
TEST_F(Hiding, OwnedWindowsGoWithTheirOwnerAndComeBackAfterIt)
{
    WindowHost host({"CvHostPlain|owner", "CvHostPlain|palette|O", "CvHostPlain|bystander"});
    ASSERT_TRUE(host.Ready());
    HWND dialog = host.OpenOwnedWindow(host.Window(1)); // owned in turn by the palette
    ASSERT_NE(dialog, nullptr);
    choices.hideWindowSet.Add(host.Window(0));
    EXPECT_EQ(HideAll(), 1);
    const HideCheck check = Finish();
    EXPECT_EQ(check.ownedHidden, 2);
    EXPECT_EQ(check.NotHidden(), 0);
    EXPECT_EQ(Stack().size(), 3u);
    EXPECT_FALSE(HasVisibleStyle(host.Window(1)) || HasVisibleStyle(dialog));
    EXPECT_TRUE(HasVisibleStyle(host.Window(2)));
    EXPECT_EQ(RestoreHidden(), 3);
    for (HWND window : {host.Window(0), host.Window(1), dialog})
        EXPECT_TRUE(HasVisibleStyle(window));
}

namespace {
std::vector<HWND> shownInOrder;
std::vector<HWND> activatedInOrder;
LRESULT CALLBACK NoteShows(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SHOWWINDOW && wParam)
        shownInOrder.push_back(window);
    if (message == WM_ACTIVATE && LOWORD(wParam) != WA_INACTIVE)
        activatedInOrder.push_back(window);
    return DefWindowProcW(window, message, wParam, lParam);
}
// The class of windows that note their shows and activations.
const wchar_t* NotingClass()
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = NoteShows;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"CvNoteShows";
    RegisterClassW(&wc);
    return wc.lpszClassName;
}
} // namespace

// Hidden first, the window in front would hand the activation to the next
// window in line, a chosen one too, and that one to the next.
TEST_F(Hiding, TheWindowInFrontIsHiddenLastSoNoOtherChosenWindowIsActivated)
{
    TestWindow last(NotingClass(), L"last");
    TestWindow middle(NotingClass(), L"middle");
    TestWindow front(NotingClass(), L"front");
    ASSERT_TRUE(SetForegroundWindow(front));
    for (HWND window : {front.Handle(), middle.Handle(), last.Handle()})
        choices.hideWindowSet.Add(window);
    activatedInOrder.clear();
    EXPECT_EQ(HideAll(), 3);
    EXPECT_EQ(Stack(), (std::vector<HWND>{front, middle, last}));
    EXPECT_FALSE(IsWindowVisible(front) || IsWindowVisible(middle) || IsWindowVisible(last));
    EXPECT_TRUE(activatedInOrder.empty());
    EXPECT_EQ(RestoreHidden(), 3);
}

TEST_F(Hiding, TheRestoreShowsAnOwnerBeforeWhatItOwnsAndActivatesOnlyTheFirstHidden)
{
    NotingClass();
    TestWindow owner(L"CvNoteShows", L"owner");
    TestWindow other(L"CvNoteShows", L"other");
    TestWindow owned(L"CvNoteShows", L"owned", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, owner);
    choices.hideWindowSet.Add(owner);
    choices.hideWindowSet.Add(other);
    HideAll();
    EXPECT_EQ(Finish().ownedHidden, 1);
    shownInOrder.clear();
    EXPECT_EQ(RestoreHidden(), 3);
    EXPECT_EQ(shownInOrder, (std::vector<HWND>{other, owner, owned}));
    EXPECT_EQ(GetForegroundWindow(), owner.Handle());
}

// A program may refuse the hide (or run with rights Covelin lacks): its
// window is minimised instead, not counted, and comes back as it was.
TEST_F(Hiding, AWindowThatRefusesToHideIsMinimisedInsteadAndNotCounted)
{
    WindowHost host({"CvHostPlain|refuses|R", "CvHostPlain|obeys"});
    ASSERT_TRUE(host.Ready());
    testsupport::ScratchDir dir;
    hidden.hiddenJournal.Open(dir.File(L"hidden.dat"));
    choices.hideWindowSet.Add(host.Window(0));
    choices.hideWindowSet.Add(host.Window(1));
    EXPECT_EQ(HideAll(), 2);
    const HideCheck check = Finish();
    EXPECT_EQ(check.minimised, 1);
    EXPECT_EQ(check.pushesNotHidden, 1);
    EXPECT_EQ(check.leftInView, 0);
    EXPECT_TRUE(HasVisibleStyle(host.Window(0)) && IsIconic(host.Window(0)));
    EXPECT_FALSE(HasVisibleStyle(host.Window(1)));
    const auto& entries = hidden.hiddenJournal.Record().entries;
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_TRUE(entries[0].minimised && !entries[1].minimised);
    EXPECT_EQ(RestoreHidden(), 2);
    EXPECT_TRUE(WaitUntil([&] { return !IsIconic(host.Window(0)); }));
    EXPECT_TRUE(HasVisibleStyle(host.Window(0)) && HasVisibleStyle(host.Window(1)));
    hidden.hiddenJournal.Open(L"");
}

TEST_F(Hiding, WhatAChosenProgramShowsWhileHiddenIsHiddenAtOnceAndComesBack)
{
    WindowHost chosen({"CvHostPlain|chosen"});
    WindowHost byHand({"CvHostPlain|by hand"});
    WindowHost other({"CvHostPlain|other"});
    ASSERT_TRUE(chosen.Ready() && byHand.Ready() && other.Ready());
    Rebuild();
    choices.hideProcessSet.Add(chosen.ProcessId());
    choices.hideWindowSet.Add(byHand.Window(0));
    EXPECT_EQ(HideAll(), 2);
    CCriticalSection lock;
    HiddenWatch watch;
    watch.Start(CaptureTargets(choices, &catalogues), hidden, lock);

    // Hidden soon after showing (the bound leaves room for a loaded machine): opened shown, owned by a hidden window
    // of a program not chosen, and created hidden and shown 400 ms later.
    auto hiddenWithin = [&](HWND window, ULONGLONG shownAt, int hiddenSoFar) {
        EXPECT_TRUE(WaitUntil([&] { return watch.HiddenSoFar() == hiddenSoFar && !HasVisibleStyle(window); }, 3000, 1));
        return GetTickCount64() - shownAt;
    };
    HWND opened = chosen.OpenWindow();
    ASSERT_NE(opened, nullptr);
    EXPECT_LE(hiddenWithin(opened, GetTickCount64(), 1),
              2000u); // the watch acts on the window at once; the margin is for a loaded machine
    HWND dialog = byHand.OpenOwnedWindow(byHand.Window(0));
    ASSERT_NE(dialog, nullptr);
    EXPECT_LE(hiddenWithin(dialog, GetTickCount64(), 2), 2000u);
    HWND later = chosen.OpenWindowShownLater(400);
    ASSERT_NE(later, nullptr);
    EXPECT_LE(hiddenWithin(later, GetTickCount64() + 400, 3), 2000u);
    HWND stranger = other.OpenWindow();
    ASSERT_NE(stranger, nullptr);
    EXPECT_FALSE(WaitUntil([&] { return !HasVisibleStyle(stranger); }, 500));
    EXPECT_TRUE(HasVisibleStyle(stranger) && HasVisibleStyle(other.Window(0)));
    EXPECT_EQ(watch.HiddenSoFar(), 3);
    watch.Stop();
    EXPECT_FALSE(watch.Running());
    EXPECT_EQ(RestoreHidden(), 5);
    for (HWND window : {opened, later, dialog})
        EXPECT_TRUE(HasVisibleStyle(window));
}

// A Store app's frame belongs to ApplicationFrameHost.exe; the app draws
// in a child window of its own process inside it.
TEST_F(Hiding, AStoreFrameFollowsTheRulesOfTheAppInside)
{
    testsupport::ScratchDir dir;
    const std::wstring hostExe = dir.File(L"ApplicationFrameHost.exe");
    const std::wstring appExe = dir.File(L"StoreApp.exe");
    ASSERT_TRUE(CopyFileW(testsupport::HelperProgramPath(L"window_host.exe").c_str(), hostExe.c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(testsupport::HelperProgramPath(L"window_host.exe").c_str(), appExe.c_str(), FALSE));
    {
        WindowHost frameHost({"ApplicationFrameWindow|Store app"}, hostExe);
        WindowHost app({"Windows.UI.Core.CoreWindow|Store app"}, appExe);
        ASSERT_TRUE(frameHost.Ready() && app.Ready());
        ASSERT_TRUE(app.MakeChildOf(app.Window(0), frameHost.Window(0)));
        EXPECT_EQ(CountedProcessOf(frameHost.Window(0)), app.ProcessId());
        Rebuild();
        choices.hideProcessSet.Add(frameHost.ProcessId());
        EXPECT_EQ(HideAll(), 0) << "the host's rule hides no Store app";
        choices.hideProcessSet.RemoveAll();
        std::wstring path;
        ASSERT_TRUE(CCvWnd(frameHost.Window(0)).GetModulePath(path));
        choices.hideFileSet.AddPath(path);
        EXPECT_EQ(HideAll(), 1);
        EXPECT_FALSE(HasVisibleStyle(frameHost.Window(0)));
        RestoreHidden();
    }
}

namespace {
HWND shellCloaked = nullptr;
HWND appCloaked = nullptr;
const ShellWindowQueries kCloaks{
    [](HWND window) -> DWORD {
        return window == shellCloaked ? kCloakedByShell : window == appCloaked ? kCloakedByApp : 0;
    },
    [](HWND window) { return window != shellCloaked; }};
} // namespace

TEST_F(Hiding, CloakedWindowsAreLeftOutOrShownWithoutTakingTheUserToTheirDesktop)
{
    WindowHost host({"CvHostPlain|app cloaked", "CvHostPlain|other desktop", "CvHostPlain|here"});
    ASSERT_TRUE(host.Ready());
    appCloaked = host.Window(0);
    shellCloaked = host.Window(1);
    SetShellWindowQueriesForTests(&kCloaks);
    Rebuild();
    std::vector<HWND> listed;
    for (int i = 0; i < catalogues.windowCatalogue.GetSize(); ++i)
        listed.push_back(catalogues.windowCatalogue[i]->GetHandle());
    EXPECT_EQ(std::count(listed.begin(), listed.end(), appCloaked), 0) << "not on screen at all";
    EXPECT_EQ(std::count(listed.begin(), listed.end(), shellCloaked), 1) << "the user's, on another desktop";
    choices.hideWindowSet.Add(shellCloaked);
    choices.hideWindowSet.Add(host.Window(2));
    EXPECT_EQ(HideAll(), 2);
    EXPECT_EQ(RestoreHidden(), 2);
    EXPECT_TRUE(HasVisibleStyle(shellCloaked));
    EXPECT_EQ(GetForegroundWindow(), host.Window(2)) << "the first hidden on this desktop is brought forward";
    SetShellWindowQueriesForTests(nullptr);
}

} // namespace
