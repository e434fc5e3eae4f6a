#include "system/Foreground.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "support/Keyboard.h"

namespace {

std::atomic<int> calls{0};
std::atomic<bool> refuse{false};
std::atomic<bool> inputJoined{false};

// The system's answer, as Windows gives it: a refusal to a process without
// the right (noting whether our input was joined to the foreground thread's,
// which would show its focus here), else the real call.
BOOL WINAPI Answer(HWND window)
{
    ++calls;
    inputJoined = GetFocus() != nullptr;
    return refuse ? FALSE : SetForegroundWindow(window);
}

} // namespace

// A foreground right is never faked: the system is asked once, a refusal is
// final (each refused call flashes the taskbar button), and nothing joins our
// input to the foreground thread's or lifts another program's lock.
TEST(Foreground, TheSystemIsAskedOnceAndARefusalIsFinal)
{
    testsupport::ForegroundWindow foreground; // this thread's window has the focus
    ASSERT_TRUE(foreground.HasForeground());
    HWND target = CreateWindowExW(0, L"STATIC", L"target", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(target, nullptr);
    SetForegroundFunctionForTests(Answer);
    for (const bool refused : {true, false}) {
        calls = 0;
        refuse = refused;
        bool brought = refused;
        // From a thread of its own, as the engine's.
        std::thread([&] { brought = BringToForeground(target); }).join();
        EXPECT_EQ(calls.load(), 1) << "refused " << refused;
        EXPECT_EQ(brought, !refused);
        EXPECT_FALSE(inputJoined.load()) << "the input was joined to the foreground thread's";
    }
    SetForegroundFunctionForTests(nullptr);
    EXPECT_EQ(GetForegroundWindow(), target);
    DestroyWindow(target);
    // A window that is gone is not asked for at all.
    calls = 0;
    EXPECT_FALSE(BringToForeground(target));
    EXPECT_EQ(calls.load(), 0);
}
