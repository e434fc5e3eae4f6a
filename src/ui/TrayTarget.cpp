#include "ui/TrayTarget.h"

namespace {

// Stands in while there is no tray icon, so the dialogs need not ask.
class NoTrayIcon : public TrayIconPort {
public:
    int Update(int, int, const wchar_t*) override { return 0; }
};

NoTrayIcon noTrayIcon;
TrayIconPort* dialogTrayIcon = nullptr;

} // namespace

TrayIconPort& DialogTrayIcon()
{
    if (dialogTrayIcon != nullptr)
        return *dialogTrayIcon;
    return noTrayIcon;
}

void SetDialogTrayIcon(TrayIconPort* trayIcon)
{
    dialogTrayIcon = trayIcon;
}
