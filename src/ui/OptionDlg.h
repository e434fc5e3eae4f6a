#pragma once
// The Options page: the side actions performed while windows are hidden,
// and the display mode that hiding switches back to.
#include "actions/Display.h"
#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "settings/SettingFile.h"

class COptionDlg : public CDialog {
public:
    // The page reads and saves `home`'s settings and shows
    // `storedDisplayMode`, the mode read at start-up (one not known switches
    // the restore option off); both outlive it.
    COptionDlg(ProgramHome& home, const DisplayMode& storedDisplayMode);

    // Stores the five boxes into the live settings (1 ticked, 0 not) and
    // saves the file, and the mute's choice kept outside it; a failed save
    // of the file is told to the user.
    void SaveOptions();

    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    // The system's screensaver settings, run in `directory`. Tests put a
    // recorder here; null puts the real one back.
    using OpenScreensaverSettingsFunction = void (*)(const wchar_t* directory);
    static void SetOpenScreensaverSettingsFunction(OpenScreensaverSettingsFunction function);
    // How the real one reaches the shell: ShellExecuteW unless a test records it.
    using ShellExecuteFunction = HINSTANCE(WINAPI*)(HWND, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters,
                                                    LPCWSTR directory, INT show);
    static void SetShellExecuteFunction(ShellExecuteFunction function);
    // Opens the screensaver settings: the screensaver page of the display
    // control panel as Windows 10 and 11 name it, and the older page number
    // where that cannot be run.
    static void OpenScreensaverSettings(const wchar_t* directory);

    // Whether audio sessions can be listed. The default asks the system (on
    // a thread of its own); tests answer here. Null puts the real one back.
    using SessionsListableFunction = bool (*)();
    static void SetSessionsListableFunction(SessionsListableFunction function);

private:
    // Shows the stored display mode; without one, the restore option is
    // switched off for this run.
    void ShowDisplayMode();
    // Without the shell's notification area the option is switched off.
    void ShowNotifyAreaAvailability();
    // Option `index` this system cannot carry out: unticked, stored 0,
    // greyed out, with `reason` in `reasonLabel`.
    void SwitchOff(int index, CStatic& reasonLabel, const wchar_t* reason);
    // The "only the hidden programs" choice: usable while the mute is on,
    // and telling where the whole volume is muted instead.
    void UpdateMuteChoice();
    void OnScreensaverClicked();

    CButton options_[5];
    CButton muteHiddenOnly_;
    CStatic displayModeLabel_;
    CStatic notifyReason_;
    CStatic muteFallback_;
    // Asked once per run, the first time the choice is ticked.
    int sessionsListable_ = -1;
    ProgramHome& home_;
    const DisplayMode& storedDisplayMode_;
};
