#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "actions/Display.h"
#include "support/Wait.h"

namespace {

DEVMODEW lastRecord;
DWORD lastFlags = 0;
int changeCalls = 0;

LONG WINAPI RecordDisplayChange(DEVMODEW* mode, DWORD flags)
{
    std::memcpy(&lastRecord, mode, sizeof(lastRecord));
    lastFlags = flags;
    ++changeCalls;
    return DISP_CHANGE_SUCCESSFUL;
}

class DisplayModeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved_ = storedDisplayMode;
        changeCalls = 0;
        SetDisplayChangeFunction(&RecordDisplayChange);
    }
    void TearDown() override
    {
        SetDisplayChangeFunction(nullptr);
        storedDisplayMode = saved_;
    }
    D3DDISPLAYMODE saved_{};
};

} // namespace

TEST_F(DisplayModeTest, CaptureReadsThePrimaryAdaptersModeAndKeepsIt)
{
    // Direct3D 9 is there for the one read only, before and after it.
    ASSERT_EQ(GetModuleHandleW(L"d3d9.dll"), nullptr);
    D3DDISPLAYMODE mode;
    std::memset(&mode, 0xCD, sizeof(mode));
    storedDisplayMode = {1, 2, 3, D3DFMT_UNKNOWN};
    ASSERT_TRUE(CaptureDisplayMode(mode));
    EXPECT_EQ(GetModuleHandleW(L"d3d9.dll"), nullptr);

    DEVMODEW current{};
    current.dmSize = sizeof(current);
    ASSERT_TRUE(EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &current));
    EXPECT_EQ(mode.Width, current.dmPelsWidth);
    EXPECT_EQ(mode.Height, current.dmPelsHeight);
    EXPECT_EQ(mode.RefreshRate, current.dmDisplayFrequency);
    if (current.dmBitsPerPel == 32) {
        EXPECT_EQ(mode.Format, D3DFMT_X8R8G8B8);
    }
    EXPECT_NE(mode.Format, D3DFMT_UNKNOWN);
    EXPECT_EQ(std::memcmp(&mode, &storedDisplayMode, sizeof(mode)), 0);

    // A mode that cannot be read forgets the one read before.
    SetDisplayModeReader([](D3DDISPLAYMODE& unread) { return unread.Width = 640, false; });
    EXPECT_FALSE(CaptureDisplayMode(mode));
    SetDisplayModeReader(nullptr);
    EXPECT_EQ(storedDisplayMode.Width, 0u);
    EXPECT_EQ(storedDisplayMode.RefreshRate, 0u);
}

TEST_F(DisplayModeTest, AppliesWidthHeightAndRateOnlyInA220ByteRecord)
{
    storedDisplayMode = {1280, 1024, 60, D3DFMT_X8R8G8B8};
    EXPECT_EQ(ApplyStoredDisplayMode(), DISP_CHANGE_SUCCESSFUL);
    ASSERT_EQ(changeCalls, 1);
    EXPECT_EQ(lastFlags, 0u); // dynamic, not stored in the system's settings

    // Zero everywhere but the size, the field mask and the three fields: no
    // colour depth is asked for.
    DEVMODEW expected;
    std::memset(&expected, 0, sizeof(expected));
    expected.dmSize = 220;
    expected.dmFields = 0x580000;
    expected.dmPelsWidth = 1280;
    expected.dmPelsHeight = 1024;
    expected.dmDisplayFrequency = 60;
    EXPECT_EQ(std::memcmp(&lastRecord, &expected, sizeof(expected)), 0);
    EXPECT_EQ(lastRecord.dmBitsPerPel, 0u);
}

TEST_F(DisplayModeTest, NothingCapturedNothingApplied)
{
    storedDisplayMode = {};
    EXPECT_NE(ApplyStoredDisplayMode(), DISP_CHANGE_SUCCESSFUL);
    EXPECT_EQ(changeCalls, 0);
}

namespace {

std::atomic<int> screensaverRequests{0};

LRESULT CALLBACK CountScreensaverRequests(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Counted, and not passed on: no screensaver is started on the bench.
    if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_SCREENSAVE) {
        ++screensaverRequests;
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND MakeTopLevel(const wchar_t* title)
{
    static ATOM atom = [] {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = &CountScreensaverRequests;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"CovelinScreensaverProbe";
        return RegisterClassW(&wc);
    }();
    (void)atom;
    return CreateWindowExW(0, L"CovelinScreensaverProbe", title, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

} // namespace

TEST(Screensaver, RequestReachesTopLevelWindowsAndAHungOneCannotHoldItUp)
{
    screensaverRequests = 0;
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<HWND> hungWindow{nullptr};
    // A window whose thread stops taking messages, as a hung program would;
    // it comes back to life after ten seconds at the latest.
    std::thread hung([&] {
        HWND window = MakeTopLevel(L"hung");
        hungWindow = window;
        WaitForSingleObject(release, 10000);
        testsupport::WaitUntil([] { return screensaverRequests >= 2; }, 5000);
        DestroyWindow(window);
    });
    if (!testsupport::WaitUntil([&] { return hungWindow.load() != nullptr; })) {
        SetEvent(release);
        hung.join();
        FAIL() << "no hung window";
    }
    HWND answering = MakeTopLevel(L"answering");

    const ULONGLONG start = GetTickCount64();
    StartScreensaver();
    const ULONGLONG elapsed = GetTickCount64() - start;
    EXPECT_LT(elapsed, 2000u);

    EXPECT_TRUE(testsupport::WaitUntil([] { return screensaverRequests >= 1; }));
    SetEvent(release);
    // The hung window gets the request once it takes messages again.
    EXPECT_TRUE(testsupport::WaitUntil([] { return screensaverRequests >= 2; }, 8000));
    hung.join();
    DestroyWindow(answering);
    CloseHandle(release);
}
