#pragma once
#include <string>

// Whether something exists at `path` (with `directoryOnly`: only when it is
// a directory). A path whose attributes cannot be read counts as absent.
[[nodiscard]] bool PathExists(const std::wstring& path, bool directoryOnly);

// The full path of the running executable (empty when it cannot be read).
std::wstring OwnModulePath();

// The running executable's file name without its extension ("Covelin" for
// "Covelin.exe"); empty when the path cannot be read.
std::wstring ExecutableBaseName();

// `path` cut after its last backslash, the backslash kept; empty when the
// path holds no backslash.
std::wstring DirectoryOf(const std::wstring& path);
