#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "actions/Display.h"
#include "framework/Log.h"
#include "support/ScratchDir.h"
#include "support/Wait.h"

namespace {

DEVMODEW lastRecord;
DWORD lastFlags = 0;
const wchar_t* lastDevice = L"unset";
int changeCalls = 0;
LONG changeAnswer = DISP_CHANGE_SUCCESSFUL;

LONG WINAPI RecordDisplayChange(LPCWSTR device, DEVMODEW* mode, HWND window, DWORD flags, LPVOID param)
{
    EXPECT_EQ(window, nullptr);
    EXPECT_EQ(param, nullptr);
    std::memcpy(&lastRecord, mode, sizeof(lastRecord));
    lastDevice = device;
    lastFlags = flags;
    ++changeCalls;
    return changeAnswer;
}

class DisplayModeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        changeCalls = 0;
        changeAnswer = DISP_CHANGE_SUCCESSFUL;
        SetDisplayChangeFunction(&RecordDisplayChange);
    }
    void TearDown() override
    {
        SetDisplayChangeFunction(nullptr);
        SetDisplayModeReader(nullptr);
        Log::SetFile(L"");
    }
};

} // namespace

TEST_F(DisplayModeTest, CaptureReadsThePrimaryDisplaysModeWithoutDirect3D)
{
    DisplayMode mode;
    std::memset(&mode, 0xCD, sizeof(mode));
    ASSERT_TRUE(CaptureDisplayMode(mode));
    // One question to the system: no graphics library comes in for it.
    EXPECT_EQ(GetModuleHandleW(L"d3d9.dll"), nullptr);
    EXPECT_EQ(GetModuleHandleW(L"wined3d.dll"), nullptr);

    DEVMODEW current{};
    current.dmSize = sizeof(current);
    ASSERT_TRUE(EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &current));
    EXPECT_EQ(mode.Width, current.dmPelsWidth);
    EXPECT_EQ(mode.Height, current.dmPelsHeight);
    EXPECT_EQ(mode.RefreshRate, current.dmDisplayFrequency);
    EXPECT_EQ(mode.Format, DisplayFormatOfDepth(current.dmBitsPerPel));
    if (current.dmBitsPerPel == 32) {
        EXPECT_EQ(mode.Format, 22u); // Direct3D 9's X8R8G8B8
    }
    EXPECT_NE(mode.Format, 0u);

    // A mode that cannot be read leaves nothing half read behind.
    SetDisplayModeReader([](DisplayMode& unread) { return unread.Width = 640, false; });
    EXPECT_FALSE(CaptureDisplayMode(mode));
    EXPECT_FALSE(mode.Known());
    EXPECT_EQ(mode.Width, 0u);
    EXPECT_EQ(mode.RefreshRate, 0u);
}

TEST_F(DisplayModeTest, AppliesWidthHeightAndRateOnlyInA220ByteRecord)
{
    const DisplayMode stored{1280, 1024, 60, 22};
    EXPECT_EQ(ApplyStoredDisplayMode(stored), DISP_CHANGE_SUCCESSFUL);
    ASSERT_EQ(changeCalls, 1);
    EXPECT_EQ(lastDevice, nullptr); // the primary display
    EXPECT_EQ(lastFlags, 0u);       // dynamic, not stored in the system's settings

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

TEST_F(DisplayModeTest, NothingCapturedNothingAppliedAndARefusalIsLogged)
{
    EXPECT_NE(ApplyStoredDisplayMode(DisplayMode{}), DISP_CHANGE_SUCCESSFUL);
    EXPECT_EQ(changeCalls, 0);

    testsupport::ScratchDir dir;
    const std::wstring log = dir.File(L"covelin.log");
    Log::SetFile(log);
    changeAnswer = DISP_CHANGE_BADMODE;
    EXPECT_EQ(ApplyStoredDisplayMode(DisplayMode{800, 600, 75, 22}), DISP_CHANGE_BADMODE);
    EXPECT_EQ(changeCalls, 1);
    Log::SetFile(L"");
    std::string text;
    ASSERT_TRUE(testsupport::ReadBytes(log, &text));
    EXPECT_NE(text.find("800 x 600, 75Hz"), std::string::npos) << text;
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
