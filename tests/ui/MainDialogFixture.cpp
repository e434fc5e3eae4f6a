#include "ui/MainDialogFixture.h"

#include <cstring>
#include <cwctype>

#include "actions/Display.h"
#include "choices/HideSets.h"
#include "engine/Engine.h"
#include "framework/Profile.h"
#include "framework/WinApp.h"
#include "support/Wait.h"
#include "system/OwnProcess.h"
#include "ui/OptionDlg.h"
#include "ui/TestProgram.h"
#include "ui/Texts.h"

namespace uitest {

// The program's application object is named after Covelin.exe, and message
// boxes take that name as caption; the tests find the boxes by it.
CWinApp testApplication(kAppName);

std::string ReadSettingFile()
{
    std::string bytes;
    if (!testsupport::ReadBytes(Program().home.settingFile.Path(), &bytes))
        return std::string();
    return bytes;
}

SettingData SettingsOnDisk()
{
    SettingData data{};
    std::string bytes = ReadSettingFile();
    EXPECT_EQ(bytes.size(), sizeof(SettingData));
    if (bytes.size() == sizeof(SettingData))
        std::memcpy(&data, bytes.data(), sizeof(data));
    return data;
}

void HoldKeys(std::initializer_list<unsigned> codes)
{
    BYTE state[256] = {};
    for (unsigned code : codes)
        state[code] = 0x80;
    ::SetKeyboardState(state);
}

void MainDialogTest::SetUp()
{
    savedPath_ = Program().home.settingFile.Path();
    savedData_ = *Program().home.settingFile.Data();
    Program().home.defaultSettings = MakeDefaultSettings();
    Program().home.settingFile.SetPath(scratch_.File(L"setting.dat"));
    *Program().home.settingFile.Data() = Program().home.defaultSettings;
    tray_.calls.clear();
    if (Program().home.ownExecutablePath.empty()) {
        // What the application object computes at start: our own path in
        // upper case.
        wchar_t path[MAX_PATH] = {};
        ::GetModuleFileNameW(nullptr, path, MAX_PATH);
        Program().home.ownExecutablePath = path;
        for (wchar_t& c : Program().home.ownExecutablePath)
            c = static_cast<wchar_t>(::towupper(c));
    }
    runValue_ = std::make_unique<testsupport::RegValueGuard>(HKEY_CURRENT_USER, kRunKeyPath, L"Covelin");
    screensaverValue_ =
        std::make_unique<testsupport::RegValueGuard>(HKEY_CURRENT_USER, kDesktopKeyPath, L"ScreenSaveActive");
    screensaverProgram_ =
        std::make_unique<testsupport::RegValueGuard>(HKEY_CURRENT_USER, kDesktopKeyPath, L"SCRNSAVE.EXE");
    desktopPolicy_ = std::make_unique<testsupport::RegKeyGuard>(HKEY_CURRENT_USER, kDesktopPolicyKeyPath);
    // A screensaver program that is there: "ScreenSaveActive" alone decides.
    wchar_t program[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, program, MAX_PATH);
    testsupport::SetRawText(HKEY_CURRENT_USER, kDesktopKeyPath, L"SCRNSAVE.EXE", program);
    ProfileSetKey(profile_.Company().c_str(), L"Covelin");
    Program().home.settingFile.SetMuteHiddenOnly(false);
    testsupport::DeleteRawValue(HKEY_CURRENT_USER, kRunKeyPath, L"Covelin");
    HoldKeys({});
}

void MainDialogTest::TearDown()
{
    // An engine a test left armed must not outlive it.
    Program().engine.RequestStop();
    EXPECT_TRUE(Program().engine.WaitEnded(GetTickCount64() + 3000));
    Program().engine.ForgetRun();
    HoldKeys({});
    SetDisplayModeReader(nullptr);
    COptionDlg::SetSessionsListableFunction(nullptr);
    ProfileSetKey(nullptr);
    Program().home.settingFile.SetMuteHiddenOnly(false);
    desktopPolicy_.reset();
    screensaverProgram_.reset();
    screensaverValue_.reset();
    runValue_.reset();
    Program().home.settingFile.SetPath(savedPath_);
    *Program().home.settingFile.Data() = savedData_;
}

void MainDialogTest::SetScreensaverActive(const wchar_t* value)
{
    if (value == nullptr)
        testsupport::DeleteRawValue(HKEY_CURRENT_USER, kDesktopKeyPath, L"ScreenSaveActive");
    else
        ASSERT_TRUE(testsupport::SetRawText(HKEY_CURRENT_USER, kDesktopKeyPath, L"ScreenSaveActive", value));
}

} // namespace uitest
