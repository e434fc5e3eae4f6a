#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <thread>
#include <vector>

#include "framework/Dialog.h"
#include "framework/Handles.h"
#include "framework/MessageWindow.h"
#include "framework/TemplateBuilder.h"
#include "support/Wait.h"

using testsupport::WaitUntil;

namespace {

constexpr wchar_t kClass[] = L"CovelinTestMessageWindow";
constexpr UINT kPing = WM_APP + 7;

// What a window's object saw: each message, and whether the object already
// knew its window when the message came.
struct Seen {
    UINT message;
    bool knewWindow;
};

class RecordingWindow : public CMessageWindow {
public:
    explicit RecordingWindow(std::vector<Seen>& seen) : seen_(seen) {}

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        seen_.push_back({message, Window() != nullptr});
        if (message == kPing)
            return static_cast<LRESULT>(wParam) + 1;
        return CMessageWindow::WindowProc(message, wParam, lParam);
    }

private:
    std::vector<Seen>& seen_;
};

const Seen* Find(const std::vector<Seen>& seen, UINT message)
{
    for (const Seen& s : seen)
        if (s.message == message)
            return &s;
    return nullptr;
}

TEST(MessageWindow, TheObjectIsThereFromTheFirstCreationMessageOn)
{
    std::vector<Seen> seen;
    RecordingWindow window(seen);
    ASSERT_TRUE(window.Create(kClass, WS_POPUP, WS_EX_TOOLWINDOW));
    ASSERT_NE(window.Window(), nullptr);
    const Seen* ncCreate = Find(seen, WM_NCCREATE);
    const Seen* create = Find(seen, WM_CREATE);
    ASSERT_NE(ncCreate, nullptr);
    ASSERT_NE(create, nullptr);
    EXPECT_TRUE(ncCreate->knewWindow);
    EXPECT_TRUE(create->knewWindow);
    EXPECT_LT(ncCreate, create);
    EXPECT_FALSE(window.Create(kClass)); // one window per object
}

TEST(MessageWindow, TwoObjectsOfOneClassEachGetTheirOwnMessagesAndOneRegistration)
{
    std::vector<Seen> firstSeen;
    std::vector<Seen> secondSeen;
    RecordingWindow first(firstSeen);
    RecordingWindow second(secondSeen);
    ASSERT_TRUE(first.Create(kClass, 0, 0, HWND_MESSAGE));
    ASSERT_TRUE(second.Create(kClass, 0, 0, HWND_MESSAGE));
    ASSERT_NE(first.Window(), second.Window());

    EXPECT_EQ(::SendMessageW(first.Window(), kPing, 10, 0), 11);
    EXPECT_EQ(::SendMessageW(second.Window(), kPing, 20, 0), 21);
    auto pings = [](const std::vector<Seen>& seen) {
        int count = 0;
        for (const Seen& s : seen)
            count += s.message == kPing ? 1 : 0;
        return count;
    };
    EXPECT_EQ(pings(firstSeen), 1);
    EXPECT_EQ(pings(secondSeen), 1);

    // The class was registered once, with the framework's procedure: a
    // second registration of the same name would have failed (and been logged).
    WNDCLASSEXW info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(::GetClassInfoExW(::GetModuleHandleW(nullptr), kClass, &info));
    EXPECT_TRUE(CMessageWindow::RegisterWindowClass(kClass));
    WNDCLASSEXW again{};
    again.cbSize = sizeof again;
    ASSERT_TRUE(::GetClassInfoExW(::GetModuleHandleW(nullptr), kClass, &again));
    EXPECT_EQ(info.lpfnWndProc, again.lpfnWndProc);

    // A class name someone else has taken is refused, not shared.
    WNDCLASSW foreign{};
    foreign.lpfnWndProc = ::DefWindowProcW;
    foreign.hInstance = ::GetModuleHandleW(nullptr);
    foreign.lpszClassName = L"CovelinTestForeignClass";
    ASSERT_NE(::RegisterClassW(&foreign), 0);
    std::vector<Seen> strayed;
    RecordingWindow stray(strayed);
    EXPECT_FALSE(stray.Create(L"CovelinTestForeignClass"));
    EXPECT_EQ(stray.Window(), nullptr);
    ::UnregisterClassW(L"CovelinTestForeignClass", ::GetModuleHandleW(nullptr));
}

TEST(MessageWindow, ThreadsCreatingAtOnceRegisterTheClassOnce)
{
    constexpr int kThreads = 6;
    std::atomic<int> ready{0};
    const UniqueEvent allReady;
    std::atomic<int> made{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&] {
            std::vector<Seen> seen;
            RecordingWindow window(seen);
            // Released together once every thread has its object.
            if (++ready == kThreads)
                allReady.Set();
            EXPECT_TRUE(allReady.Wait(5000));
            if (window.Create(L"CovelinTestRacedClass", 0, 0, HWND_MESSAGE) &&
                ::SendMessageW(window.Window(), kPing, 1, 0) == 2)
                ++made;
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(made.load(), kThreads);
}

TEST(MessageWindow, DestructionUnbindsBeforeTheWindowGoes)
{
    std::vector<Seen> seen;
    HWND handle = nullptr;
    size_t seenAtDestruction = 0;
    {
        RecordingWindow window(seen);
        ASSERT_TRUE(window.Create(kClass, WS_POPUP));
        handle = window.Window();
        // Queued for later: must never reach the object once it is gone.
        ::PostMessageW(handle, kPing, 0, 0);
        seenAtDestruction = seen.size();
    }
    EXPECT_FALSE(::IsWindow(handle));
    testsupport::PumpMessages();
    // Neither the window's last messages nor the queued one came to the
    // object being destroyed.
    EXPECT_EQ(seen.size(), seenAtDestruction);

    // Destroyed from outside: the object hears the end and lets go.
    RecordingWindow window(seen);
    ASSERT_TRUE(window.Create(kClass, WS_POPUP));
    handle = window.Window();
    ::DestroyWindow(handle);
    EXPECT_EQ(window.Window(), nullptr);
    EXPECT_NE(Find(seen, WM_DESTROY), nullptr);
    ASSERT_NE(Find(seen, WM_NCDESTROY), nullptr);
    EXPECT_EQ(::GetWindowLongPtrW(handle, GWLP_USERDATA), 0);
    ASSERT_TRUE(window.Create(kClass, WS_POPUP)); // and may make another
}

TEST(MessageWindow, AnObjectDestroyedOnAnotherThreadClosesItsWindowThroughItsOwnThread)
{
    std::vector<Seen> seen;
    auto* window = new RecordingWindow(seen);
    ASSERT_TRUE(window->Create(kClass, 0, 0, HWND_MESSAGE));
    const HWND handle = window->Window();
    std::thread([window] { delete window; }).join();
    const size_t seenAfterDelete = seen.size();
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(handle); }, 3000));
    EXPECT_EQ(seen.size(), seenAfterDelete);
}

// Whether the dialog's window still led to an object when it was told of
// its destruction (seen from outside the dialog, before its procedure runs).
HWND watchedDialog = nullptr;
int destroyMessages = 0;
int objectsFoundAtDestroy = 0;

LRESULT CALLBACK WatchDestruction(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && call->hwnd == watchedDialog &&
        (call->message == WM_DESTROY || call->message == WM_NCDESTROY)) {
        ++destroyMessages;
        objectsFoundAtDestroy += CWnd::FromHandlePermanent(call->hwnd) != nullptr ? 1 : 0;
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST(DialogTeardown, TheDestructorLetsGoOfTheWindowBeforeDestroyingIt)
{
    frameworktest::TemplateBuilder t(WS_POPUP | WS_CAPTION, 0, 100, 60, L"Teardown");
    const HHOOK hook = ::SetWindowsHookExW(WH_CALLWNDPROC, WatchDestruction, nullptr, ::GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    {
        CDialog dialog;
        ASSERT_TRUE(dialog.CreateIndirect(t.Get()));
        watchedDialog = dialog.m_hWnd;
        EXPECT_EQ(CWnd::FromHandlePermanent(watchedDialog), &dialog);
    }
    ::UnhookWindowsHookEx(hook);
    EXPECT_FALSE(::IsWindow(watchedDialog));
    EXPECT_EQ(destroyMessages, 2);
    // Nothing could route a message to the half-destroyed object.
    EXPECT_EQ(objectsFoundAtDestroy, 0);
}

} // namespace
