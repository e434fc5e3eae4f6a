// A Store app's frame belongs to ApplicationFrameHost.exe; the app draws
// in a window of its own process that is inside the frame only while the
// app runs in view. Wine has no app ids: they come through the seam.
#include <gtest/gtest.h>

#include <windows.h>

#include <mutex>
#include <string>

#include "hiding/EngineTargets.h"
#include "hiding/HiddenWatch.h"
#include "hiding/Hiding.h"
#include "support/ScratchDir.h"
#include "support/Wait.h"
#include "support/WindowHost.h"
#include "system/ShellWindows.h"
#include "system/StoreApps.h"

using testsupport::HasVisibleStyle;
using testsupport::WaitUntil;
using testsupport::WindowHost;

namespace {

constexpr wchar_t kAppId[] = L"Contoso.Notes_8wekyb3d8bbwe!App";
HWND framesWithId[2] = {};
DWORD appProcess = 0;

const AppIdQueries kAppIds{[](HWND window, std::wstring& id) {
                               const bool carries = window == framesWithId[0] || window == framesWithId[1];
                               if (carries)
                                   id = kAppId;
                               return carries;
                           },
                           [](DWORD processId, std::wstring& id) {
                               if (processId != appProcess)
                                   return false;
                               id = kAppId;
                               return true;
                           },
                           nullptr};

struct Frames {
    testsupport::ScratchDir dir;
    std::unique_ptr<WindowHost> frameHost;
    std::unique_ptr<WindowHost> app;

    Frames()
    {
        const std::wstring hostExe = dir.File(L"ApplicationFrameHost.exe");
        const std::wstring appExe = dir.File(L"Notes.exe");
        const std::wstring helper = testsupport::HelperProgramPath(L"window_host.exe");
        CopyFileW(helper.c_str(), hostExe.c_str(), FALSE);
        CopyFileW(helper.c_str(), appExe.c_str(), FALSE);
        frameHost = std::make_unique<WindowHost>(
            std::vector<std::string>{"ApplicationFrameWindow|Notes", "ApplicationFrameWindow|Notes (minimised)"},
            hostExe);
        app = std::make_unique<WindowHost>(
            std::vector<std::string>{"Windows.UI.Core.CoreWindow|Notes|h", "Windows.UI.Core.CoreWindow|Notes 2|h"},
            appExe);
        appProcess = app->ProcessId();
    }
    bool Ready() const { return frameHost->Ready() && app->Ready(); }
};

} // namespace

TEST(StoreFrame, AFrameCountsAsItsAppWhetherOrNotTheAppIsInside)
{
    Frames frames;
    ASSERT_TRUE(frames.Ready());
    HWND frame = frames.frameHost->Window(0);
    HWND appWindow = frames.app->Window(0);
    const DWORD host = frames.frameHost->ProcessId();
    const DWORD app = frames.app->ProcessId();
    struct Case {
        const char* what;
        bool inside;
        bool carriesId;
        DWORD counted;
    };
    const Case cases[] = {
        {"the app inside", true, false, app},
        {"the app inside, id too", true, true, app},
        {"the app gone out (minimised), id kept", false, true, app},
        {"empty, no id yet", false, false, host},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(frames.app->MakeChildOf(appWindow, c.inside ? frame : nullptr));
        framesWithId[0] = c.carriesId ? frame : nullptr;
        SetAppIdQueriesForTests(&kAppIds);
        EXPECT_EQ(CountedProcessOf(frame), c.counted);
        SetAppIdQueriesForTests(nullptr);
    }
    // Only an id alone: a frame that never held the app.
    framesWithId[0] = frames.frameHost->Window(1);
    SetAppIdQueriesForTests(&kAppIds);
    EXPECT_EQ(CountedProcessOf(frames.frameHost->Window(1)), app);
    SetAppIdQueriesForTests(nullptr);
    framesWithId[0] = nullptr;
    // And for real under Wine: no id is kept, the host's frame is its own.
    EXPECT_EQ(CountedProcessOf(frames.frameHost->Window(1)), host);
}

// A Store app opened while its program's windows are hidden: the frame is
// there before the app is in it, and must be looked at again once it is.
TEST(StoreFrame, AFrameOpenedEmptyWhileHiddenIsHiddenOnceItsAppEntersIt)
{
    Frames frames;
    ASSERT_TRUE(frames.Ready());
    EngineTargets targets;
    targets.processes = {frames.app->ProcessId()};
    HiddenWindows hidden;
    CCriticalSection lock;
    HiddenWatch watch;
    watch.Start(targets, hidden, lock);
    HWND frame = frames.frameHost->OpenWindow();
    ASSERT_NE(frame, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return watch.LooksSoFar() > 2; }));
    EXPECT_TRUE(HasVisibleStyle(frame)) << "nobody's yet";
    EXPECT_EQ(watch.HiddenSoFar(), 0);

    ASSERT_TRUE(frames.app->MakeChildOf(frames.app->Window(1), frame));
    // Wine tells of no other program's reparenting: the watch's own look
    // finds it; on Windows the event does.
    // The watch counts a window just after asking its program to hide it:
    // the program may be quicker.
    EXPECT_TRUE(WaitUntil([&] { return !HasVisibleStyle(frame) && watch.HiddenSoFar() == 1; })) << watch.HiddenSoFar();
    watch.Stop();
    EXPECT_EQ(RestoreHidden(hidden), 1);
    EXPECT_TRUE(HasVisibleStyle(frame));
}
