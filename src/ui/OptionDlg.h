#pragma once
// The Options page: the five side actions performed while windows are
// hidden, and the display mode that hiding switches back to.
#include "actions/Display.h"
#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "settings/SettingFile.h"

class COptionDlg : public CDialog {
public:
    // The page reads and saves `home`'s settings; `home` outlives it.
    explicit COptionDlg(ProgramHome& home);

    // Stores the five boxes into the live settings (1 ticked, 0 not) and
    // saves the file; a failed save is told to the user.
    void SaveOptions();

    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    // Shows the current display mode (which hiding will restore), read when
    // the page was set up; without one, the restore option is switched off
    // for this run. Waits for a read still running; once shown, does
    // nothing more.
    void ShowDisplayMode();

    // The system's screensaver settings: runs the display control panel
    // in `directory`. Tests put a recorder here; null puts the real one back.
    using OpenScreensaverSettingsFunction = void (*)(const wchar_t* directory);
    static void SetOpenScreensaverSettingsFunction(OpenScreensaverSettingsFunction function);

private:
    void OnScreensaverClicked();

    CButton options_[5];
    CStatic displayModeLabel_;
    // Started at set-up, so that the dialog comes up without waiting for it.
    DisplayModeRead displayModeRead_;
    bool displayModeShown_ = false;
    ProgramHome& home_;
};
