#pragma once
// What the main dialog's tests share: a settings file of their own, a
// recorder in place of the tray icon, and the registry values the pages
// touch put back afterwards.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "settings/SettingFile.h"
#include "support/Chords.h"
#include "support/ScratchDir.h"
#include "support/ScratchRegistry.h"
#include "ui/DialogDriver.h"
#include "ui/TestProgram.h"

namespace uitest {

// The settings record on disk, or an empty string when there is no file.
std::string ReadSettingFile();
SettingData SettingsOnDisk();

using testsupport::ChordOf;

// Sets the thread's keyboard state to exactly these keys down (empty: all up).
void HoldKeys(std::initializer_list<unsigned> codes);

class MainDialogTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The value the pages read for "ScreenSaveActive"; null deletes it.
    void SetScreensaverActive(const wchar_t* value);

    testsupport::ScratchDir scratch_;
    // The profile's key for the run: the choices kept outside the file go
    // there.
    testsupport::ScratchRegKey profile_;
    TrayRecorder& tray_ = Program().tray;
    std::unique_ptr<testsupport::RegValueGuard> runValue_;
    std::unique_ptr<testsupport::RegValueGuard> screensaverValue_;
    std::unique_ptr<testsupport::RegValueGuard> screensaverProgram_;
    std::unique_ptr<testsupport::RegKeyGuard> desktopPolicy_;

private:
    std::wstring savedPath_;
    SettingData savedData_{};
};

inline constexpr wchar_t kRunKeyPath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t kDesktopKeyPath[] = L"Control Panel\\Desktop";
inline constexpr wchar_t kDesktopPolicyKeyPath[] = L"Software\\Policies\\Microsoft\\Windows\\Control Panel\\Desktop";

} // namespace uitest
