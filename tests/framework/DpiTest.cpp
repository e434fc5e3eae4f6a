#include <gtest/gtest.h>

#include "framework/Dpi.h"
#include "support/WindowHost.h"

TEST(Dpi, WithoutTheNewerFunctionsEverythingFollowsTheSystemDpi)
{
    testsupport::TestWindow window(L"CovelinDpiTest", L"dpi");
    HDC screen = ::GetDC(nullptr);
    const UINT screenDpi = static_cast<UINT>(::GetDeviceCaps(screen, LOGPIXELSY));
    ::ReleaseDC(nullptr, screen);
    for (bool older : {false, true}) {
        UseOnlySystemDpiForTesting(older);
        EXPECT_EQ(SystemDpi(), screenDpi) << older;
        EXPECT_EQ(DpiForWindow(window), screenDpi) << older;
        EXPECT_EQ(SmallIconSize(screenDpi * 2), ::GetSystemMetrics(SM_CXSMICON) * 2) << older;
    }
    UseOnlySystemDpiForTesting(false);
}
