// Records of "setting.dat" as anything may have left them, through the real
// dialog's set-up: the Settings and Options pages show what the record means
// (a chord without keys as the built-in one), nothing is written until the
// user leaves through Exit, and Exit saves the record in the pages' own
// terms.
#include <gtest/gtest.h>

#include <array>

#include "ListPageSupport.h"
#include "support/Fuzz.h"
#include "support/Wait.h"
#include "ui/MainDialogFixture.h"
#include "ui/OptionDlg.h"
#include "ui/SettingDlg.h"
#include "ui/TestProgram.h"
#include "ui/res/resource.h"

using namespace uitest;

namespace {

bool Checked(CDialog& page, int id)
{
    return page.IsDlgButtonChecked(id) == BST_CHECKED;
}

std::string RecordBytes(const SettingData& data)
{
    return std::string(reinterpret_cast<const char*>(&data), sizeof data);
}

// Records that a damaged file holds more often than chance would: zeros
// (a file cut short and filled up by the disk), all ones, chords of unnamed
// keys, the same chord twice; then random ones.
std::vector<std::string> BadRecords(testsupport::FuzzSource& random)
{
    std::vector<std::string> records{std::string(sizeof(SettingData), '\0'), std::string(sizeof(SettingData), '\xff')};
    std::string hiddenIconNoKeys(sizeof(SettingData), '\0');
    hiddenIconNoKeys[4] = 1;
    hiddenIconNoKeys[offsetof(SettingData, toggleChord) + 'T'] = '\x80';
    records.push_back(hiddenIconNoKeys);
    std::string unnamedKeys(sizeof(SettingData), '\0');
    unnamedKeys[offsetof(SettingData, showDialogChord) + 0xFF] = '\x80';
    unnamedKeys[offsetof(SettingData, toggleChord) + 0x07] = '\x81';
    records.push_back(unnamedKeys);
    std::string sameTwice = testsupport::RandomSettingRecord(random);
    sameTwice.replace(offsetof(SettingData, toggleChord), 256, sameTwice, offsetof(SettingData, showDialogChord), 256);
    records.push_back(sameTwice);
    while (records.size() < 50)
        records.push_back(testsupport::RandomSettingRecord(random));
    return records;
}

// The five option fields, in the order of their check boxes.
std::array<int32_t*, 5> OptionFields(SettingData& data)
{
    return {&data.hideNotifyArea, &data.muteVolume, &data.lockComputer, &data.startScreensaver,
            &data.restoreResolution};
}

const HotkeyChord& Shown(const HotkeyChord& loaded, const HotkeyChord& builtIn)
{
    return loaded.IsEmpty() ? builtIn : loaded;
}

} // namespace

TEST_F(MainDialogTest, FiftyBadRecordsAreShownAsTheyMeanAndWrittenOnlyByExit)
{
    testsupport::FuzzSource random(50);
    SCOPED_TRACE(random.Describe());
    const std::vector<std::string> records = BadRecords(random);
    const int optionIds[5] = {IDC_OPT_HIDE_NOTIFY, IDC_OPT_MUTE, IDC_OPT_LOCK, IDC_OPT_SCREENSAVER, IDC_OPT_RESOLUTION};
    MessageBoxAnswerer boxes;
    size_t boxesSeen = 0;
    for (size_t r = 0; r < records.size(); ++r) {
        SCOPED_TRACE("record " + std::to_string(r));
        ASSERT_TRUE(testsupport::WriteBytes(Program().home.settingFile.Path(), records[r]));
        ASSERT_TRUE(Program().home.settingFile.Load(Program().home.defaultSettings));
        SettingData loaded = *Program().home.settingFile.Data();
        const HotkeyChord& showDialog = Shown(loaded.showDialogChord, Program().home.defaultSettings.showDialogChord);
        const HotkeyChord& toggle = Shown(loaded.toggleChord, Program().home.defaultSettings.toggleChord);

        // The two pages that show the record, set up as the main dialog
        // sets them up.
        listpage::PageHost host;
        CSettingDlg settings{Program().home, Program().tray};
        COptionDlg options{Program().home, Program().storedDisplayMode};
        ASSERT_TRUE(host.Open(settings, IDD_SETTING_PAGE));
        ASSERT_TRUE(host.Open(options, IDD_OPTION_PAGE));
        EXPECT_EQ(settings.ShowDialogEdit().GetWindowText(), RenderText(showDialog));
        EXPECT_EQ(settings.ToggleEdit().GetWindowText(), RenderText(toggle));
        EXPECT_EQ(::SendMessageW(settings.GetDlgItem(IDC_SET_TRAY_IMAGE), CB_GETCURSEL, 0, 0), loaded.trayIcon);
        EXPECT_EQ(Checked(settings, IDC_SET_HIDE_OWN_ICON), loaded.hideOwnIcon != 0);
        EXPECT_FALSE(Checked(settings, IDC_SET_START_WITH_WINDOWS));
        // An option the system cannot carry out (no display mode known, no
        // notification area on this taskbar) starts off and is saved off.
        const bool displayKnown = ::IsWindowEnabled(options.GetDlgItem(IDC_OPT_RESOLUTION)) != FALSE;
        const bool notifyAreaThere = ::IsWindowEnabled(options.GetDlgItem(IDC_OPT_HIDE_NOTIFY)) != FALSE;
        const auto possible = [&](int i) { return (i != 4 || displayKnown) && (i != 0 || notifyAreaThere); };
        for (int i = 0; i < 5; ++i) {
            const bool set = *OptionFields(loaded)[i] != 0 && possible(i);
            EXPECT_EQ(Checked(options, optionIds[i]), set) << "option " << i;
        }
        testsupport::PumpMessages();
        EXPECT_TRUE(ReadSettingFile() == records[r]) << "written without Start or Exit";
        if (r % 5 != 0)
            continue;

        // Exit: the Settings page saves first; hotkeys that read the same
        // keep everything as it was.
        const bool sameTexts = RenderText(showDialog) == RenderText(toggle);
        EXPECT_EQ(settings.SaveSettings(), !sameTexts);
        if (sameTexts) {
            EXPECT_EQ(boxes.Count(), ++boxesSeen);
            EXPECT_TRUE(ReadSettingFile() == records[r]);
            continue;
        }
        options.SaveOptions();
        SettingData expected = loaded;
        expected.showDialogChord = showDialog;
        expected.toggleChord = toggle;
        expected.hideOwnIcon = loaded.hideOwnIcon != 0;
        for (int i = 0; i < 5; ++i)
            *OptionFields(expected)[i] = *OptionFields(loaded)[i] != 0 && possible(i) ? 1 : 0;
        EXPECT_TRUE(ReadSettingFile() == RecordBytes(expected)) << "Exit saved something else";
    }
    EXPECT_EQ(boxes.Count(), boxesSeen) << "a message box while setting up";
}
