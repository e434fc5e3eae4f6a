// What the dialog saves when the user leaves it, and what it refuses.
#include "E2eCase.h"

#include <algorithm>

namespace e2e {
namespace {

constexpr wchar_t kHotkeysEqual[] = L"All the hotkeys must be different, please check it.";
constexpr wchar_t kMuteOption[] = L"Mute system volumn while hidding.";

using Settings = CovelinCase;

// A user's click on a check box or button of a page.
bool Click(HWND control)
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(control, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 2000, &result) != 0;
}

TEST_F(Settings, ExitSavesWhatTheUserChanged)
{
    ASSERT_TRUE(install.WriteSettings(DefaultSettings()));
    Process covelin;
    HWND dialog = StartToDialog(covelin);
    ASSERT_NE(nullptr, dialog);

    HWND mute = FindControl(dialog, 1015, kMuteOption);
    ASSERT_NE(nullptr, mute) << "no \"Mute system volumn\" option";
    ASSERT_EQ(BST_UNCHECKED, SendMessageW(mute, BM_GETCHECK, 0, 0));
    ASSERT_TRUE(Click(mute));
    ASSERT_EQ(BST_CHECKED, SendMessageW(mute, BM_GETCHECK, 0, 0));
    // Nothing is written before the user leaves the dialog.
    EXPECT_EQ(DefaultSettings(), install.ReadSettings());

    ExitExpectingZero(covelin, dialog);
    std::string expected = DefaultSettings();
    expected[kMuteVolumeAt] = 1;
    EXPECT_EQ(expected, install.ReadSettings());
}

TEST_F(Settings, EqualHotkeysKeepTheDialogOnStartCloseBoxAndExit)
{
    std::string same = DefaultSettings();
    std::copy_n(same.begin() + kToggleChordAt, 256, same.begin() + kShowDialogChordAt);
    ASSERT_TRUE(install.WriteSettings(same));
    Process covelin;
    HWND dialog = StartToDialog(covelin);
    ASSERT_NE(nullptr, dialog);

    struct Way {
        const char* name;
        std::function<void()> press;
    };
    const Way ways[] = {
        {"Start", [&] { PostCommand(dialog, 3, GetDlgItem(dialog, 3)); }},
        {"close box", [&] { PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }},
        {"Exit", [&] { PostCommand(dialog, IDCANCEL, GetDlgItem(dialog, IDCANCEL)); }},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        way.press();
        std::wstring seen;
        EXPECT_TRUE(ExpectMessageBox(covelin.Id(), kHotkeysEqual, &seen)) << Narrow(seen);
        // The dialog stays as it was: not armed, not closed.
        EXPECT_FALSE(WaitUntil([&] { return !IsWindowVisible(dialog) || !covelin.Running(); }, 700));
        EXPECT_EQ(same, install.ReadSettings());
    }

    // "Use Default" on the Settings page makes them different again, and
    // then Exit saves and ends.
    HWND useDefault = FindControl(dialog, 1017, L"Use Default");
    ASSERT_NE(nullptr, useDefault);
    ASSERT_TRUE(Click(useDefault));
    ExitExpectingZero(covelin, dialog);
    EXPECT_EQ(DefaultSettings(), install.ReadSettings());
}

} // namespace
} // namespace e2e
