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

    // While windows are hidden: how many stayed in view (0: none, and the
    // tooltip is its usual self again). Told in the tooltip alone, never
    // with a balloon or a sound. Any thread.
    virtual void NoteNotHidden(int windows) { static_cast<void>(windows); }
};

// The tray object HideNotificationArea(false) works through. Start-up sets
// it to &theTrayIcon before the engine can run; null (the default) means no
// tray icon, and the icon step is then left out.
void SetNotifyAreaTrayIcon(TrayIconPort* trayIcon);
TrayIconPort* NotifyAreaTrayIcon();
