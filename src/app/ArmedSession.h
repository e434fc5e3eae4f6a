#pragma once
// The application's side of arming: the engine's run on the saved settings,
// the catalogue refreshers resting while the dialog is hidden, and the tray
// icon taken out while armed when the user asked for that.
#include "actions/Display.h"
#include "actions/TrayIconPort.h"
#include "catalogue/Catalogues.h"
#include "choices/HideSets.h"
#include "engine/Engine.h"
#include "settings/SettingFile.h"
#include "ui/ArmedSession.h"

class CArmedSession : public ArmedSessionPort {
public:
    // Everything handed in belongs to the application and outlives this.
    CArmedSession(CEngine& engine, ProgramHome& home, Catalogues& catalogues, HideChoices& choices,
                  TrayIconPort& trayIcon, const DisplayMode& storedDisplayMode)
        : engine_(engine), home_(home), catalogues_(catalogues), choices_(choices), trayIcon_(trayIcon),
          storedDisplayMode_(storedDisplayMode)
    {
    }

    bool Arm(HWND dialog) override;
    void DialogShown(bool shown) override;

private:
    CEngine& engine_;
    ProgramHome& home_;
    Catalogues& catalogues_;
    HideChoices& choices_;
    TrayIconPort& trayIcon_;
    const DisplayMode& storedDisplayMode_;
};
