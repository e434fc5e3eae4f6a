#pragma once

// What the notification-area code needs from the program's own tray icon:
// when the area comes back it takes our icon out and puts it in again, so
// that the shell lays the area out anew. CTrayIcon implements this; tests
// put a recorder in its place.
class TrayIconPort {
public:
    virtual ~TrayIconPort() = default;

    // remove == 0: shows image `index` (with `tooltip` when not null);
    // remove != 0: takes the icon out. 1 on success, 0 on failure.
    virtual int Update(int index, int remove, const wchar_t* tooltip) = 0;
};

// The tray object HideNotificationArea(false) works through. Start-up sets
// it to &theTrayIcon before the engine can run; null (the default) means no
// tray icon, and the icon step is then left out.
void SetNotifyAreaTrayIcon(TrayIconPort* trayIcon);
TrayIconPort* NotifyAreaTrayIcon();
