#pragma once

// Whether a screensaver is chosen in the system, so that one would start:
// "SCRNSAVE.EXE" names a file that exists and "ScreenSaveActive" is text
// other than "0", each read from the current user's desktop policy key
// ("Software\Policies\Microsoft\Windows\Control Panel\Desktop") first and
// else from "Control Panel\Desktop". A missing value, a value of another
// type, or an oversized one counts as not chosen.
[[nodiscard]] bool IsScreensaverChosen();
