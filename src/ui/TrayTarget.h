#pragma once
// The tray icon the dialogs change. Start-up hands the program's own in;
// tests put a recorder in its place. Until one is set (or after null is
// set) there is no tray icon, and the dialogs' changes go nowhere.
#include "actions/TrayIconPort.h"

TrayIconPort& DialogTrayIcon();
void SetDialogTrayIcon(TrayIconPort* trayIcon);
