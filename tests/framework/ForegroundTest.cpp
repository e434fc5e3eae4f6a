#include "framework/Foreground.h"

#include <gtest/gtest.h>

#include <atomic>

#include "support/Keyboard.h"

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
