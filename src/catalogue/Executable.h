#pragma once
#include <windows.h>

#include <string>

// The first icon of the executable (or icon) file at `path`; for a file
// without icons, or one that is not an executable, the program's default
// file icon (resource DEFAULT_APP_ICON). The icon always belongs to the
// caller, who holds it in a UniqueIcon. Null only if not even the
// default icon can be had.
HICON ExecutableIcon(const wchar_t* path);

// Icon resource shown for files that have none of their own.
inline constexpr int DEFAULT_APP_ICON = 131;
