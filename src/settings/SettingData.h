#pragma once
#include "settings/HotkeyChord.h"

#include <cstddef>
#include <cstdint>

// Everything the program remembers except its target lists. Stored byte for
// byte as "setting.dat": 540 bytes, little-endian, no header, no gaps.
struct SettingData {
    int32_t trayIcon;            // 0..8: tray image, and string 1000 + index as tooltip
    int32_t hideOwnIcon;         // remove our own tray icon while armed
    HotkeyChord showDialogChord; // ends the engine and brings the dialog back
    HotkeyChord toggleChord;     // hides, and at the next press restores
    // The five side actions, written and read as one group in this order.
    int32_t hideNotifyArea;
    int32_t muteVolume;
    int32_t lockComputer;
    int32_t startScreensaver;
    int32_t restoreResolution;
};

static_assert(sizeof(SettingData) == 540, "setting.dat is exactly 540 bytes");
static_assert(offsetof(SettingData, trayIcon) == 0);
static_assert(offsetof(SettingData, hideOwnIcon) == 4);
static_assert(offsetof(SettingData, showDialogChord) == 8);
static_assert(offsetof(SettingData, toggleChord) == 264);
static_assert(offsetof(SettingData, hideNotifyArea) == 520);
static_assert(offsetof(SettingData, muteVolume) == 524);
static_assert(offsetof(SettingData, lockComputer) == 528);
static_assert(offsetof(SettingData, startScreensaver) == 532);
static_assert(offsetof(SettingData, restoreResolution) == 536);

constexpr int kTrayImageCount = 9;

// The record used on a first run and by "Use Default": all zero but for
// Ctrl+Left (show the dialog) and Ctrl+` (hide/restore).
SettingData MakeDefaultSettings();
