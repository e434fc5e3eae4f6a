#include "settings/HotkeyChord.h"
#include "framework/Handles.h"
#include "settings/SettingData.h"
#include "support/Chords.h"
#include "support/Keyboard.h"
#include "support/RawInput.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <initializer_list>
#include <set>
#include <thread>

namespace {

using testsupport::ChordOf;

// A keyboard the test holds in its hands.
std::set<int> heldKeys;
std::vector<int> askedKeys;
SHORT WINAPI FakeKeyState(int code)
{
    askedKeys.push_back(code);
    return heldKeys.count(code) ? static_cast<SHORT>(0x8000) : 0;
}

} // namespace

TEST(KeyName, NamesFromTheTableAndTheRanges)
{
    const std::pair<unsigned, const wchar_t*> cases[] = {
        {1, L"LBUTTON"}, {2, L"RBUTTON"},     {8, L"BACK"},   {16, L"SHIFT"}, {17, L"CTRL"},       {18, L"ALT"},
        {27, L"ESC"},    {31, L"MODECHANGE"}, {32, L"SPACE"}, {37, L"LEFT"},  {47, L"HELP"},       {48, L"0"},
        {57, L"9"},      {65, L"A"},          {90, L"Z"},     {91, L"LWIN"},  {93, L"APPS"},       {95, L"SLEEP"},
        {96, L"NUM0"},   {105, L"NUM9"},      {106, L"NUM*"}, {107, L"NUM+"}, {108, L"SEPARATOR"}, {109, L"NUM-"},
        {110, L"NUM."},  {111, L"NUM/"},      {112, L"F1"},   {135, L"F24"},  {144, L"NUMLOCK"},   {145, L"SCROLL"},
        {186, L";"},     {187, L"="},         {188, L","},    {189, L"-"},    {190, L"."},         {191, L"/"},
        {192, L"`"},     {219, L"["},         {220, L"\\"},   {221, L"]"},    {222, L"'"},
    };
    for (const auto& [code, expected] : cases) {
        std::wstring name;
        EXPECT_TRUE(KeyName(code, name)) << code;
        EXPECT_EQ(name, expected) << code;
    }
}

TEST(KeyName, GapsHaveNoName)
{
    for (unsigned code : {0u,   7u,   10u,  11u,  14u,  15u,  22u,  26u,  58u,  64u,  94u,
                          136u, 143u, 146u, 160u, 165u, 185u, 193u, 218u, 223u, 226u, 255u}) {
        std::wstring name = L"unchanged";
        EXPECT_FALSE(KeyName(code, name)) << code;
        EXPECT_EQ(name, L"unchanged") << code;
    }
}

TEST(RenderText, DefaultsAndOrdering)
{
    const SettingData defaults = MakeDefaultSettings();
    EXPECT_EQ(RenderText(defaults.showDialogChord), L"CTRL+LEFT");
    EXPECT_EQ(RenderText(defaults.toggleChord), L"CTRL+`");
    EXPECT_EQ(RenderText(ChordOf({'A', VK_CONTROL, VK_SHIFT})), L"SHIFT+CTRL+A");
    EXPECT_EQ(RenderText(ChordOf({VK_SHIFT})), L"SHIFT");
    EXPECT_EQ(RenderText(ChordOf({VK_CONTROL, VK_ADD})), L"CTRL+NUM+") << "the name's own plus survives";
    EXPECT_EQ(RenderText(ChordOf({VK_ADD})), L"NUM+");
    EXPECT_EQ(RenderText(ChordOf({})), L"");
}

TEST(RenderText, NamelessKeysAreLeftOutAndLowBitsIgnored)
{
    EXPECT_EQ(RenderText(ChordOf({226})), L"");
    EXPECT_EQ(RenderText(ChordOf({VK_CONTROL, 226, 'B'})), L"CTRL+B");

    HotkeyChord chord = ChordOf({VK_CAPITAL});
    chord.keys[VK_CAPITAL] |= 0x01; // toggle bit of a lock key
    chord.keys['Q'] = 0x7F;         // every bit but the member bit
    EXPECT_EQ(RenderText(chord), L"CAPITAL");
}

TEST(ChordIsDown, NeedsEveryKeyOfTheChordAndAsksOnlyForThem)
{
    heldKeys = {VK_CONTROL, VK_SHIFT, 'A'};
    askedKeys.clear();
    EXPECT_EQ(ChordIsDown(ChordOf({VK_CONTROL, 'A'}), FakeKeyState), 1) << "contained in a larger chord";
    EXPECT_EQ(askedKeys, (std::vector<int>{VK_CONTROL, 'A'}));

    heldKeys = {VK_CONTROL};
    askedKeys.clear();
    EXPECT_EQ(ChordIsDown(ChordOf({VK_CONTROL, 'A', 'Z'}), FakeKeyState), 0);
    EXPECT_EQ(askedKeys, (std::vector<int>{VK_CONTROL, 'A'})) << "stops at the first key up";

    heldKeys = {226};
    EXPECT_EQ(ChordIsDown(ChordOf({226}), FakeKeyState), 1) << "nameless keys still count";
    heldKeys = {};
    EXPECT_EQ(ChordIsDown(ChordOf({226}), FakeKeyState), 0);
}

TEST(ChordIsDown, AChordWithoutKeysIsNeverDown)
{
    heldKeys = {VK_CONTROL};
    HotkeyChord chord{};
    chord.keys[VK_CONTROL] = 0x7F; // low bits only: not a member
    EXPECT_EQ(ChordIsDown(chord, FakeKeyState), 0);
    EXPECT_EQ(ChordIsDown(HotkeyChord{}, FakeKeyState), 0);
}

// The real keyboard: keys injected here are seen by another thread's poll,
// the way the engine thread sees the user's keys.
TEST(ChordIsDown, FollowsTheRealKeyboardFromAnotherThread)
{
    using testsupport::SendKey;
    testsupport::ForegroundWindow focus;
    ASSERT_TRUE(focus.HasForeground());

    const HotkeyChord chord = ChordOf({VK_CONTROL, VK_OEM_3});
    std::atomic<int> seen{-1};
    const UniqueEvent stop;
    // Asks every 5 ms, as the engine polls, until told to stop.
    std::thread poller([&] {
        do
            seen = ChordIsDown(chord);
        while (!stop.Wait(5));
    });

    EXPECT_TRUE(testsupport::WaitUntil([&] { return seen == 0; }, 3000));
    // Wine re-reads the modifiers once the focus has moved, which it may do
    // a moment after the foreground is ours, and an injected Ctrl is then
    // up again: keys are pressed again until they show, as auto-repeat would.
    const auto pressUntil = [](std::initializer_list<WORD> keys, const std::function<bool()>& shown) {
        return testsupport::WaitUntil(
            [&] {
                for (WORD key : keys)
                    SendKey(key, true);
                return shown();
            },
            3000, 30);
    };
    EXPECT_TRUE(pressUntil({VK_CONTROL}, [] { return GetAsyncKeyState(VK_CONTROL) < 0; }));
    EXPECT_EQ(seen, 0) << "Ctrl alone is not the chord";
    EXPECT_TRUE(pressUntil({VK_CONTROL, VK_OEM_3}, [&] { return seen == 1; }));
    SendKey(VK_OEM_3, false);
    SendKey(VK_CONTROL, false);
    EXPECT_TRUE(testsupport::WaitUntil([&] { return seen == 0; }, 3000));

    stop.Set();
    poller.join();
}

TEST(RawInputPressesChordKey, KnowsAChordKeyByEveryCodeRawInputMayGiveItAndNothingElse)
{
    using testsupport::RawKey, testsupport::RawMouse;
    // As captured: modifiers by their side-neutral codes.
    const HotkeyChord chord = ChordOf({VK_SHIFT, VK_CONTROL, VK_NUMPAD1, VK_LBUTTON});
    const auto presses = [&](const RAWINPUT& input) { return RawInputPressesChordKey(input, chord); };
    for (USHORT code : {VK_SHIFT, VK_LSHIFT, VK_RSHIFT, VK_CONTROL, VK_RCONTROL, VK_NUMPAD1, VK_END})
        EXPECT_TRUE(presses(RawKey(code, true))) << code;
    for (USHORT code : {VK_MENU, VK_LMENU, 0x41, VK_NUMPAD2, 0, 0xFF}) // 0x41: A
        EXPECT_FALSE(presses(RawKey(code, true))) << code;
    EXPECT_FALSE(presses(RawKey(VK_CONTROL, false)));
    // Swapped buttons: the physical right one is the logical left one.
    for (USHORT flags : {RI_MOUSE_LEFT_BUTTON_DOWN, RI_MOUSE_RIGHT_BUTTON_DOWN | RI_MOUSE_WHEEL})
        EXPECT_TRUE(presses(RawMouse(flags))) << flags;
    for (USHORT flags : {0, RI_MOUSE_LEFT_BUTTON_UP, RI_MOUSE_MIDDLE_BUTTON_DOWN, RI_MOUSE_BUTTON_5_DOWN})
        EXPECT_FALSE(presses(RawMouse(flags))) << flags;
    // A side's code in the chord (an older file) is met by the neutral one.
    EXPECT_TRUE(RawInputPressesChordKey(RawKey(VK_MENU, true), ChordOf({VK_RMENU})));
    EXPECT_TRUE(ChordHasMouseButton(ChordOf({VK_XBUTTON2})));
    EXPECT_FALSE(ChordHasMouseButton(ChordOf({VK_SHIFT, VK_F1})));
}
