#include "ui/TrayTarget.h"

#include "app/TrayIcon.h"

namespace {
TrayIconPort* dialogTrayIcon = nullptr;
} // namespace

TrayIconPort& DialogTrayIcon()
{
    return dialogTrayIcon != nullptr ? *dialogTrayIcon : theTrayIcon;
}

void SetDialogTrayIcon(TrayIconPort* trayIcon)
{
    dialogTrayIcon = trayIcon;
}
