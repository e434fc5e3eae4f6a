#pragma once

// The program's one icon in the notification area, as the rooms below the
// application see it. The application's tray icon implements it and hands it
// down to whoever changes the icon; tests put a recorder in its place.
class TrayIconPort {
public:
    virtual ~TrayIconPort() = default;

    // Shows tray image `index` (0 to 8) with the image's name as its tooltip:
    // added when the icon is out, changed when it is in.
    virtual void Show(int index) = 0;

    // Takes the icon out of the notification area (nothing when it is out).
    virtual void Hide() = 0;

    // The tooltip's line under the name while windows are hidden: how many
    // stayed in view (0: none, and the tooltip is its usual self again).
    // Told in the tooltip alone, never with a balloon or a sound. Any thread.
    virtual void NoteNotHidden(int windows) = 0;
};
