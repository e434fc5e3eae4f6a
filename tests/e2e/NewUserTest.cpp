// A new user's first session with two of the system's own programs: a title
// rule made in the dialog, the toggle pressed as fast as a macro tool sends
// it, and the key that hides the window in front.
#include "E2eCase.h"

#include <commctrl.h>

namespace e2e {
namespace {

constexpr int kRuleList = 1060;    // IDC_RULE_LIST
constexpr int kRuleField = 1061;   // IDC_RULE_FIELD: "Title" or "Class"
constexpr int kRulePattern = 1062; // IDC_RULE_PATTERN
constexpr int kRuleMatches = 1063; // IDC_RULE_MATCHES
constexpr int kAddRule = 1064;     // IDC_ADD_RULE
constexpr wchar_t kProfileKey[] = L"Software\\Tessary\\Covelin";
constexpr wchar_t kRulesKey[] = L"Software\\Tessary\\Covelin\\Rules";
constexpr ULONGLONG kToggleBounceMs = 1000;
const std::vector<WORD> kHideActiveKeys = {VK_CONTROL, VK_SHIFT, 'H'};

// The keys' makes and breaks in one SendInput call, as a macro pad or a
// mouse's extra button sends a chord.
void SendChordAtOnce(const std::vector<WORD>& keys)
{
    std::vector<INPUT> records;
    for (int up = 0; up < 2; ++up) {
        for (size_t i = 0; i < keys.size(); ++i) {
            INPUT input{};
            input.type = INPUT_KEYBOARD;
            input.ki.wVk = keys[up ? keys.size() - 1 - i : i];
            input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(input.ki.wVk, MAPVK_VK_TO_VSC));
            input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
            records.push_back(input);
        }
    }
    SendInput(static_cast<UINT>(records.size()), records.data(), sizeof(INPUT));
}

// An edit control keeps its text to itself: asked with WM_GETTEXT.
std::wstring EditText(HWND edit)
{
    wchar_t text[256] = {};
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(edit, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, kActMs, &copied);
    return text;
}

HWND VisibleWindowOf(const Process& process)
{
    for (HWND window : WindowsOf(process.Id(), nullptr, nullptr)) {
        if (IsWindowVisible(window) && GetWindow(window, GW_OWNER) == nullptr)
            return window;
    }
    return nullptr;
}

HWND StartSystemProgram(Process& process, const wchar_t* name)
{
    wchar_t folder[MAX_PATH] = {};
    GetSystemDirectoryW(folder, MAX_PATH);
    if (!process.Start(std::wstring(folder) + L"\\" + name))
        return nullptr;
    HWND window = nullptr;
    WaitUntil([&] { return (window = VisibleWindowOf(process)) != nullptr; }, kStartMs);
    return window;
}

bool BringToFront(HWND window)
{
    return WaitUntil(
        [&] {
            SetForegroundWindow(window);
            return GetForegroundWindow() == window;
        },
        kActMs);
}

class NewUser : public CovelinCase {
protected:
    void SetUp() override
    {
        CovelinCase::SetUp();
        ASSERT_TRUE(install.WriteSettings(DefaultSettings()));
        std::vector<BYTE> chord(256, 0);
        for (WORD key : kHideActiveKeys)
            chord[key] = 0x80;
        ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueW(HKEY_CURRENT_USER, kProfileKey, L"HideActiveChord", REG_BINARY,
                                                 chord.data(), static_cast<DWORD>(chord.size())));
    }

    testsupport::RegKeySetAside rules{HKEY_CURRENT_USER, kRulesKey};
    testsupport::RegValueGuard hideActiveChord{HKEY_CURRENT_USER, kProfileKey, L"HideActiveChord"};
};

TEST_F(NewUser, ATitleRuleTheToggleAtMacroSpeedAndTheKeyForTheWindowInFront)
{
    Process notepadProcess;
    Process minesProcess;
    HWND notepad = StartSystemProgram(notepadProcess, L"notepad.exe");
    HWND mines = StartSystemProgram(minesProcess, L"winemine.exe");
    ASSERT_NE(nullptr, notepad);
    ASSERT_NE(nullptr, mines);
    HWND notepadText = FindWindowExW(notepad, nullptr, L"Edit", nullptr);
    ASSERT_NE(nullptr, notepadText);

    Process covelin;
    HWND dialog = StartToDialog(covelin);
    ASSERT_NE(nullptr, dialog);

    // The rule as typed into the Executable Files page: the count says at
    // once what it catches (once the catalogue has met notepad's window).
    HWND pattern = FindControl(dialog, kRulePattern);
    HWND matches = FindControl(dialog, kRuleMatches);
    ASSERT_TRUE(pattern != nullptr && matches != nullptr && FindControl(dialog, kRuleField) != nullptr);
    EXPECT_TRUE(WaitUntil(
        [&] {
            SendMessageW(pattern, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"*Notepad"));
            return WindowTitle(matches) == L"Matches 1 window";
        },
        kActMs))
        << Narrow(WindowTitle(matches));
    HWND add = FindControl(dialog, kAddRule);
    HWND ruleList = FindControl(dialog, kRuleList);
    ASSERT_TRUE(add != nullptr && ruleList != nullptr);
    PostCommand(GetParent(add), kAddRule, add);
    ASSERT_TRUE(WaitUntil([&] { return SendMessageW(ruleList, LVM_GETITEMCOUNT, 0, 0) == 1; }, kActMs));
    ASSERT_TRUE(Arm(dialog));

    // A plain backquote reaches notepad; the chord, sent all at once, hides
    // it and never reaches it. The other program stays.
    ASSERT_TRUE(BringToFront(notepad));
    testsupport::SendKeys({VK_OEM_3}, false);
    testsupport::SendKeys({VK_OEM_3}, true);
    ASSERT_TRUE(WaitUntil([&] { return EditText(notepadText) == L"`"; }, kActMs)) << "the keys reach no window";
    SendMessageW(notepadText, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
    SendChordAtOnce(kToggleKeys);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(notepad); }, kActMs));
    // Counted from the hide seen, which is no earlier than the press the
    // engine took: a loaded machine may take it late.
    const ULONGLONG toggledAt = GetTickCount64();
    EXPECT_TRUE(IsWindowVisible(mines));
    EXPECT_EQ(L"", EditText(notepadText));

    // The window in front, hidden by its own key; the toggle brings back all.
    ASSERT_TRUE(BringToFront(mines));
    SendChordAtOnce(kHideActiveKeys);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(mines); }, kActMs));
    // A toggle within a second of the last one is taken for a bounce.
    WaitUntil([&] { return GetTickCount64() - toggledAt > kToggleBounceMs; }, kActMs);
    SendChordAtOnce(kToggleKeys);
    EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(notepad) && IsWindowVisible(mines); }, kActMs));
    EXPECT_EQ(L"", EditText(notepadText));

    ASSERT_TRUE(HoldKeysUntil(kShowDialogKeys, [&] { return IsWindowVisible(dialog) != FALSE; }));
    ASSERT_TRUE(WaitForDialogBack(dialog));
    ExitExpectingZero(covelin, dialog);
}

} // namespace
} // namespace e2e
