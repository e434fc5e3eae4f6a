#include "app/ArmedSession.h"

bool CArmedSession::Arm(HWND dialog)
{
    // The engine works on a copy of the choices: the pages stay free to
    // change their lists while it runs.
    RunChoices choices;
    choices.storedDisplayMode = &storedDisplayMode_;
    choices.muteHiddenOnly = home_.settingFile.MuteHiddenOnly();
    choices.hideActiveChord = home_.settingFile.HideActiveChord();
    return engine_.Start(*home_.settingFile.Data(), CaptureTargets(choices_, &catalogues_), dialog, choices);
}

void CArmedSession::DialogShown(bool shown)
{
    // Only the pages look at the catalogues: while the dialog is hidden the
    // refreshers rest (a hide rebuilds the windows' for itself), and the
    // dialog shown again finds them rebuilt at once.
    catalogues_.windowRefresher.Rest(!shown);
    catalogues_.processRefresher.Rest(!shown);
    const SettingData* data = home_.settingFile.Data();
    if (shown) {
        // Shown again: the engine has ended or is ending by itself.
        engine_.ForgetRun();
        if (data->hideOwnIcon)
            trayIcon_.Show(data->trayIcon); // with its name again
    } else if (data->hideOwnIcon) {
        trayIcon_.Hide();
    }
}
