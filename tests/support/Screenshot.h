#pragma once
#include <windows.h>

#include <string>

namespace testsupport {

// The folder named by COVELIN_SCREENSHOTS (a Unix path handed through Wine
// is turned into its Z: form), ending with a backslash; empty when unset.
// Tests that take pictures for a person to look at run only when it is set.
std::wstring ScreenshotFolder();

// The window as it is on screen, frame included, written as a 24-bit BMP.
bool SaveWindowPicture(HWND window, const std::wstring& path);

} // namespace testsupport
