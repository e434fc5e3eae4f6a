#include <gtest/gtest.h>

#include "framework/Dpi.h"
#include "support/WindowHost.h"

namespace {

// Acts as a system without the newer DPI functions while it lives.
struct OnlySystemDpi {
    OnlySystemDpi() { UseOnlySystemDpiForTesting(true); }
    ~OnlySystemDpi() { UseOnlySystemDpiForTesting(false); }
};

} // namespace

TEST(Dpi, WithoutTheNewerFunctionsEverythingFollowsTheSystemDpi)
{
    testsupport::TestWindow window(L"CovelinDpiTest", L"dpi");
    HDC screen = ::GetDC(nullptr);
    const UINT screenDpi = static_cast<UINT>(::GetDeviceCaps(screen, LOGPIXELSY));
    ::ReleaseDC(nullptr, screen);
    // Wine has them: the answers agree with the old ones at the system DPI.
    EXPECT_EQ(SystemDpi(), screenDpi);
    EXPECT_EQ(DpiForWindow(window), screenDpi);
    EXPECT_EQ(SmallIconSize(SystemDpi()), ::GetSystemMetrics(SM_CXSMICON));

    OnlySystemDpi older;
    EXPECT_EQ(SystemDpi(), screenDpi);
    EXPECT_EQ(DpiForWindow(window), screenDpi);
    EXPECT_EQ(SmallIconSize(screenDpi * 2), ::GetSystemMetrics(SM_CXSMICON) * 2);
    RECT rect{0, 0, 400, 400}, expected = rect;
    ASSERT_TRUE(AdjustWindowRectForDpi(&rect, WS_CAPTION | WS_SYSMENU, FALSE, 0, screenDpi));
    ::AdjustWindowRectEx(&expected, WS_CAPTION | WS_SYSMENU, FALSE, 0);
    EXPECT_TRUE(::EqualRect(&rect, &expected));
}
