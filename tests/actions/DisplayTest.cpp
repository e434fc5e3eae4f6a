#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "actions/Display.h"
#include "framework/Log.h"
#include "support/ScratchDir.h"
#include "support/Wait.h"

namespace {

int changeCalls = 0;
LONG changeAnswer = DISP_CHANGE_SUCCESSFUL;

std::vector<std::wstring> changedDevices;

LONG WINAPI RecordDisplayChange(LPCWSTR device, DEVMODEW* mode, HWND window, DWORD flags, LPVOID param)
{
    EXPECT_EQ(window, nullptr);
    EXPECT_EQ(param, nullptr);
    EXPECT_EQ(mode, nullptr) << "back to the registry's mode, none of ours";
    EXPECT_EQ(flags, 0u) << "a dynamic change, nothing written to the registry";
    changedDevices.emplace_back(device != nullptr ? device : L"(null)");
    ++changeCalls;
    return changeAnswer;
}

// Displays of our own, since Wine has one: each with the mode it is in and
// the mode the desktop is set to.
struct FakeDisplay {
    const wchar_t* name;
    DWORD state;
    DWORD current[3]; // width, height, refresh rate
    DWORD desktop[3];
};
std::vector<FakeDisplay> fakeDisplays;

BOOL WINAPI FakeDevices(LPCWSTR, DWORD index, PDISPLAY_DEVICEW info, DWORD)
{
    if (index >= fakeDisplays.size())
        return FALSE;
    wcscpy_s(info->DeviceName, fakeDisplays[index].name);
    info->StateFlags = fakeDisplays[index].state;
    return TRUE;
}

BOOL WINAPI FakeSettings(LPCWSTR device, DWORD which, DEVMODEW* mode)
{
    for (const FakeDisplay& display : fakeDisplays) {
        if (device == nullptr ? (display.state & DISPLAY_DEVICE_PRIMARY_DEVICE) == 0
                              : std::wcscmp(device, display.name) != 0)
            continue;
        const DWORD* values = which == ENUM_REGISTRY_SETTINGS ? display.desktop : display.current;
        mode->dmPelsWidth = values[0];
        mode->dmPelsHeight = values[1];
        mode->dmDisplayFrequency = values[2];
        mode->dmBitsPerPel = 32;
        return TRUE;
    }
    return FALSE;
}

class DisplayModeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        changeCalls = 0;
        changedDevices.clear();
        changeAnswer = DISP_CHANGE_SUCCESSFUL;
        SetDisplayChangeFunction(&RecordDisplayChange);
        constexpr DWORD kOnDesktop = DISPLAY_DEVICE_ATTACHED_TO_DESKTOP;
        fakeDisplays = {
            {L"\\\\.\\DISPLAY1", kOnDesktop | DISPLAY_DEVICE_PRIMARY_DEVICE, {1920, 1080, 60}, {1920, 1080, 60}},
            {L"\\\\.\\DISPLAY2", kOnDesktop, {800, 600, 75}, {1280, 1024, 60}},
            {L"\\\\.\\DISPLAY3", 0, {640, 480, 60}, {1280, 1024, 60}}, // not part of the desktop
        };
    }
    void TearDown() override
    {
        SetDisplayChangeFunction(nullptr);
        SetDisplayModeReader(nullptr);
        SetDisplayEnumeration(nullptr);
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
    ASSERT_TRUE(EnumDisplaySettingsW(nullptr, ENUM_REGISTRY_SETTINGS, &current));
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

TEST_F(DisplayModeTest, EveryDisplayOffItsDesktopModeGoesBackAndEachResultIsLogged)
{
    const DisplayEnumeration fake{&FakeDevices, &FakeSettings};
    SetDisplayEnumeration(&fake);
    testsupport::ScratchDir dir;
    const std::wstring log = dir.File(L"covelin.log");
    Log::SetFile(log);

    // The label's mode is the desktop's own, whatever the primary is in now.
    fakeDisplays[0].current[0] = 1024;
    DisplayMode captured;
    ASSERT_TRUE(CaptureDisplayMode(captured));
    EXPECT_EQ(captured.Width, 1920u);

    // The primary (changed) and the second display (changed) go back; the
    // one not on the desktop is left alone.
    EXPECT_EQ(ApplyStoredDisplayMode(captured), DISP_CHANGE_SUCCESSFUL);
    EXPECT_EQ(changedDevices, (std::vector<std::wstring>{L"\\\\.\\DISPLAY1", L"\\\\.\\DISPLAY2"}));

    // A resolution the user set (current and desktop agree) stays; a
    // refusal is reported and logged with the display's name.
    fakeDisplays[0].current[0] = 1920;
    changedDevices.clear();
    changeAnswer = DISP_CHANGE_BADMODE;
    EXPECT_EQ(ApplyStoredDisplayMode(captured), DISP_CHANGE_BADMODE);
    EXPECT_EQ(changedDevices, (std::vector<std::wstring>{L"\\\\.\\DISPLAY2"}));
    Log::SetFile(L"");
    std::string text;
    ASSERT_TRUE(testsupport::ReadBytes(log, &text));
    EXPECT_NE(text.find("DISPLAY1 from 1024 x 1080, 60Hz to 1920 x 1080, 60Hz\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("DISPLAY2 from 800 x 600, 75Hz to 1280 x 1024, 60Hz"), std::string::npos) << text;
}

TEST_F(DisplayModeTest, NothingCapturedNothingApplied)
{
    EXPECT_NE(ApplyStoredDisplayMode(DisplayMode{}), DISP_CHANGE_SUCCESSFUL);
    EXPECT_EQ(changeCalls, 0);
    // Wine's one display is in its desktop mode: nothing to return.
    EXPECT_EQ(ApplyStoredDisplayMode(DisplayMode{800, 600, 75, 22}), DISP_CHANGE_SUCCESSFUL);
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
