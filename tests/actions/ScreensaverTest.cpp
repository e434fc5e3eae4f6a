#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "actions/Screensaver.h"
#include "support/Fuzz.h"
#include "support/ScratchDir.h"
#include "support/ScratchRegistry.h"

using testsupport::FuzzSource;
using testsupport::GetRawValue;
using testsupport::OddRegistryValues;
using testsupport::RegValueGuard;
using testsupport::SetRawText;
using testsupport::SetRawValue;
using testsupport::StoredValue;

// The user's desktop values put back afterwards, with a screensaver program
// that is there: "ScreenSaveActive" alone decides.
struct ScreensaverProgramThere {
    static constexpr const wchar_t* kDesktop = L"Control Panel\\Desktop";
    RegValueGuard active{HKEY_CURRENT_USER, kDesktop, L"ScreenSaveActive"};
    RegValueGuard program{HKEY_CURRENT_USER, kDesktop, L"SCRNSAVE.EXE"};
    ScreensaverProgramThere()
    {
        wchar_t self[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        EXPECT_TRUE(SetRawText(HKEY_CURRENT_USER, kDesktop, L"SCRNSAVE.EXE", self));
    }
};

TEST(ScreensaverSetting, ReadsOnlyWhatIsStoredAndNeverPastIt)
{
    const wchar_t* desktop = ScreensaverProgramThere::kDesktop;
    ScreensaverProgramThere screensaver;
    auto store = [&](DWORD type, const void* data, DWORD size) {
        ASSERT_TRUE(SetRawValue(HKEY_CURRENT_USER, desktop, L"ScreenSaveActive", type, data, size));
    };

    store(REG_SZ, L"1", 4);
    EXPECT_TRUE(IsScreensaverChosen());
    store(REG_SZ, L"0", 4);
    EXPECT_FALSE(IsScreensaverChosen());
    store(REG_EXPAND_SZ, L"1", 4);
    EXPECT_TRUE(IsScreensaverChosen());

    // Stored without the terminating zero, and with an odd byte count.
    store(REG_SZ, L"0", 2);
    EXPECT_FALSE(IsScreensaverChosen());
    store(REG_SZ, L"1", 2);
    EXPECT_TRUE(IsScreensaverChosen());
    const BYTE oddZero[3] = {'0', 0, 0};
    store(REG_SZ, oddZero, 3);
    EXPECT_FALSE(IsScreensaverChosen());
    const BYTE oddMore[3] = {'0', 0, 'x'}; // "0x": something other than "0"
    store(REG_SZ, oddMore, 3);
    EXPECT_TRUE(IsScreensaverChosen());
    const BYTE single[1] = {'1'};
    store(REG_SZ, single, 1);
    EXPECT_TRUE(IsScreensaverChosen());

    // Not text, or far too large to be a setting: not chosen.
    const DWORD one = 1;
    store(REG_DWORD, &one, 4);
    EXPECT_FALSE(IsScreensaverChosen());
    const char binaryOne[] = {'1', '\0'};
    store(REG_BINARY, binaryOne, 2);
    EXPECT_FALSE(IsScreensaverChosen());
    std::vector<wchar_t> huge(size_t{512} * 1024, L'1');
    store(REG_SZ, huge.data(), DWORD(huge.size() * sizeof(wchar_t)));
    EXPECT_FALSE(IsScreensaverChosen());

    testsupport::DeleteRawValue(HKEY_CURRENT_USER, desktop, L"ScreenSaveActive");
    EXPECT_FALSE(IsScreensaverChosen());
}

TEST(ScreensaverSetting, OnlyAProgramThatIsThereCountsAndAPolicyComesFirst)
{
    const wchar_t desktop[] = L"Control Panel\\Desktop";
    const wchar_t policy[] = L"Software\\Policies\\Microsoft\\Windows\\Control Panel\\Desktop";
    RegValueGuard active(HKEY_CURRENT_USER, desktop, L"ScreenSaveActive");
    RegValueGuard program(HKEY_CURRENT_USER, desktop, L"SCRNSAVE.EXE");
    testsupport::RegKeyGuard policyKey(HKEY_CURRENT_USER, policy);
    RegValueGuard policyActive(HKEY_CURRENT_USER, policy, L"ScreenSaveActive");
    RegValueGuard policyProgram(HKEY_CURRENT_USER, policy, L"SCRNSAVE.EXE");
    testsupport::DeleteRawValue(HKEY_CURRENT_USER, policy, L"ScreenSaveActive");
    testsupport::DeleteRawValue(HKEY_CURRENT_USER, policy, L"SCRNSAVE.EXE");
    testsupport::ScratchDir dir;
    const std::wstring saver = dir.File(L"ribbons.scr");
    ASSERT_TRUE(testsupport::WriteBytes(saver, "MZ"));

    // A fresh Windows 10/11: active, and no program named.
    ASSERT_TRUE(SetRawText(HKEY_CURRENT_USER, desktop, L"ScreenSaveActive", L"1"));
    testsupport::DeleteRawValue(HKEY_CURRENT_USER, desktop, L"SCRNSAVE.EXE");
    EXPECT_EQ(IsScreensaverChosen(), 0);
    ASSERT_TRUE(SetRawText(HKEY_CURRENT_USER, desktop, L"SCRNSAVE.EXE", L""));
    EXPECT_EQ(IsScreensaverChosen(), 0);
    // A program that is gone, or a folder.
    ASSERT_TRUE(SetRawText(HKEY_CURRENT_USER, desktop, L"SCRNSAVE.EXE", dir.File(L"gone.scr")));
    EXPECT_EQ(IsScreensaverChosen(), 0);
    ASSERT_TRUE(SetRawText(HKEY_CURRENT_USER, desktop, L"SCRNSAVE.EXE", dir.Path()));
    EXPECT_EQ(IsScreensaverChosen(), 0);
    ASSERT_TRUE(SetRawText(HKEY_CURRENT_USER, desktop, L"SCRNSAVE.EXE", saver));
    EXPECT_EQ(IsScreensaverChosen(), 1);
    // Named through the environment, as REG_EXPAND_SZ values are.
    SetEnvironmentVariableW(L"COVELIN_SAVER_DIR", dir.Path().c_str());
    ASSERT_TRUE(
        SetRawText(HKEY_CURRENT_USER, desktop, L"SCRNSAVE.EXE", L"%COVELIN_SAVER_DIR%\\ribbons.scr", REG_EXPAND_SZ));
    EXPECT_EQ(IsScreensaverChosen(), 1);
    SetEnvironmentVariableW(L"COVELIN_SAVER_DIR", nullptr);
    ASSERT_TRUE(SetRawText(HKEY_CURRENT_USER, desktop, L"SCRNSAVE.EXE", saver));

    // A policy's values win over the user's, each on its own.
    ASSERT_TRUE(SetRawText(HKEY_CURRENT_USER, policy, L"ScreenSaveActive", L"0"));
    EXPECT_EQ(IsScreensaverChosen(), 0);
    ASSERT_TRUE(SetRawText(HKEY_CURRENT_USER, policy, L"ScreenSaveActive", L"1"));
    ASSERT_TRUE(SetRawText(HKEY_CURRENT_USER, desktop, L"ScreenSaveActive", L"0"));
    EXPECT_EQ(IsScreensaverChosen(), 1);
    ASSERT_TRUE(SetRawText(HKEY_CURRENT_USER, policy, L"SCRNSAVE.EXE", dir.File(L"gone.scr")));
    EXPECT_EQ(IsScreensaverChosen(), 0);
    testsupport::DeleteRawValue(HKEY_CURRENT_USER, policy, L"SCRNSAVE.EXE");
    EXPECT_EQ(IsScreensaverChosen(), 1);
}

TEST(ScreensaverSettingFuzz, AnyStoredValueReadsAsChosenOnlyWhenItIsShortTextOtherThanZero)
{
    FuzzSource random(1301);
    SCOPED_TRACE(random.Describe());
    const wchar_t* desktop = ScreensaverProgramThere::kDesktop;
    ScreensaverProgramThere screensaver;
    for (const StoredValue& value : OddRegistryValues(random)) {
        ASSERT_TRUE(SetRawValue(HKEY_CURRENT_USER, desktop, L"ScreenSaveActive", value.type, value.data.data(),
                                static_cast<DWORD>(value.data.size())));
        // As the registry gives the value back (Wine adds a zero to text
        // stored without one): the units up to the first zero, an odd last
        // byte a unit of its own.
        StoredValue before{}, after{};
        ASSERT_TRUE(GetRawValue(HKEY_CURRENT_USER, desktop, L"ScreenSaveActive", &before.type, &before.data));
        std::wstring text;
        for (size_t i = 0; i < before.data.size(); i += 2) {
            const wchar_t unit =
                static_cast<wchar_t>(before.data[i] | (i + 1 < before.data.size() ? before.data[i + 1] << 8 : 0));
            if (unit == 0)
                break;
            text += unit;
        }
        const bool chosen =
            (value.type == REG_SZ || value.type == REG_EXPAND_SZ) && before.data.size() <= 4096 && text != L"0";
        EXPECT_EQ(IsScreensaverChosen(), chosen) << value.Describe();
        ASSERT_TRUE(GetRawValue(HKEY_CURRENT_USER, desktop, L"ScreenSaveActive", &after.type, &after.data));
        EXPECT_TRUE(after == before) << value.Describe() << " changed by reading it";
    }
}
