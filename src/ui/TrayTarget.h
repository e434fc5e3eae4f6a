#pragma once
// The tray icon the dialogs change: the program's own (theTrayIcon) unless a
// test puts a recorder in its place.
#include "engine/TrayIconPort.h"

TrayIconPort& DialogTrayIcon();
// Null puts theTrayIcon back.
void SetDialogTrayIcon(TrayIconPort* trayIcon);
