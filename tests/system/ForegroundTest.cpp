#include "system/Foreground.h"

#include <gtest/gtest.h>

#include <atomic>

#include "support/Keyboard.h"
#include "support/WindowHost.h"

namespace {

std::atomic<int> calls{0};
std::atomic<bool> attachedOnRetry{false};

// The system's refusal, as Windows answers a background process: the first
// call fails; the retry notes whether this thread shares the foreground
// thread's input (it then sees that thread's focus) and goes through.
BOOL WINAPI RefuseFirst(HWND window)
{
    if (calls++ == 0)
        return FALSE;
    attachedOnRetry = GetFocus() != nullptr;
    return SetForegroundWindow(window);
}

} // namespace

TEST(Foreground, ARefusedCallIsRetriedWithTheForegroundThreadsInputAndLeavesItDetached)
{
    testsupport::ForegroundWindow foreground; // this thread's window has the focus
    ASSERT_TRUE(foreground.HasForeground());
    HWND target = CreateWindowExW(0, L"STATIC", L"target", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(target, nullptr);

    // From a thread of its own, as the engine's.
    struct Outcome {
        HWND target;
        bool brought = false;
        bool focusAfter = true;
    } outcome{target};
    SetForegroundFunctionForTests(RefuseFirst);
    HANDLE worker = CreateThread(
        nullptr, 0,
        [](LPVOID parameter) -> DWORD {
            auto* result = static_cast<Outcome*>(parameter);
            result->brought = BringToForeground(result->target);
            result->focusAfter = GetFocus() != nullptr;
            return 0;
        },
        &outcome, 0, nullptr);
    ASSERT_NE(worker, nullptr);
    // The foreground thread pumps, as any program the user works in does.
    const ULONGLONG deadline = GetTickCount64() + 5000;
    while (MsgWaitForMultipleObjects(1, &worker, FALSE, 50, QS_ALLINPUT) != WAIT_OBJECT_0 &&
           GetTickCount64() < deadline) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }
    EXPECT_EQ(WaitForSingleObject(worker, 0), WAIT_OBJECT_0);
    CloseHandle(worker);
    SetForegroundFunctionForTests(nullptr);

    EXPECT_EQ(calls.load(), 2);
    EXPECT_TRUE(attachedOnRetry.load()) << "the retry ran without the foreground thread's input";
    EXPECT_TRUE(outcome.brought);
    EXPECT_FALSE(outcome.focusAfter) << "the worker's input was left attached";
    EXPECT_EQ(GetForegroundWindow(), target);
    DestroyWindow(target);

    // A window that is gone is not asked for at all.
    calls = 0;
    EXPECT_FALSE(BringToForeground(target));
    EXPECT_EQ(calls.load(), 0);
}

namespace {

// A foreground lock of our own making: the call goes through only while this
// thread's input is joined to the foreground thread's, or once unlocked (as
// far as each helps).
struct FakeLock {
    HWND foreground = nullptr;
    bool hung = false, elevated = false, attachHelps = true, unlockHelps = true;
    bool attached = false, unlocked = false;
    int calls = 0, attaches = 0;
} fake;

const ForegroundSystem kFakeSystem{[](HWND) -> BOOL {
                                       ++fake.calls;
                                       return (fake.attached && fake.attachHelps) ||
                                              (fake.unlocked && fake.unlockHelps);
                                   },
                                   []() { return fake.foreground; },
                                   [](HWND) -> BOOL { return fake.hung; },
                                   [](DWORD) { return fake.elevated; },
                                   [](DWORD, DWORD, BOOL attach) -> BOOL {
                                       fake.attaches += attach ? 1 : 0;
                                       fake.attached = attach != FALSE;
                                       return TRUE;
                                   },
                                   [](UINT code) -> BOOL { return fake.unlocked = code == LSFW_UNLOCK, TRUE; }};

} // namespace

TEST(Foreground, NeverJoinsAHungOrElevatedForegroundThreadAndAsksAtMostThrice)
{
    testsupport::WindowHost other({"CvForegroundTest|foreground"}); // a thread not ours
    ASSERT_TRUE(other.Ready());
    HWND target = CreateWindowExW(0, L"STATIC", L"target", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                                  nullptr, nullptr);
    SetForegroundSystemForTests(&kFakeSystem);
    struct Case {
        bool hung, elevated, attachHelps, unlockHelps;
        int attaches, calls;
        bool brought;
    };
    for (const Case& c : {Case{false, false, true, false, 1, 2, true}, Case{true, false, true, true, 0, 2, true},
                          Case{false, true, true, true, 0, 2, true}, Case{false, false, false, false, 1, 3, false}}) {
        fake = FakeLock{other.Window(0), c.hung, c.elevated, c.attachHelps, c.unlockHelps};
        EXPECT_EQ(BringToForeground(target), c.brought);
        EXPECT_EQ(fake.attaches, c.attaches) << "hung " << c.hung << ", elevated " << c.elevated;
        EXPECT_EQ(fake.calls, c.calls) << "hung " << c.hung << ", elevated " << c.elevated;
        EXPECT_FALSE(fake.attached) << "left attached";
    }
    SetForegroundSystemForTests(nullptr);
    DestroyWindow(target);
}
