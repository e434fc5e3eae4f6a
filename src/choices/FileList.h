#pragma once
#include <string>

class CPathSet;

// The executable file list (hideFileSet) in the profile section "Files":
// "file_0", "file_1", ... numbered without gaps; the list ends at the first
// value that is missing or empty.
inline constexpr wchar_t kFileListSection[] = L"Files";

// Frees `hideFileSet` and refills it from the profile: every path that
// still exists, upper-cased, except `ownExecutablePath`. Returns how many
// non-empty values were read (kept or dropped).
int LoadFileList(CPathSet& hideFileSet, const std::wstring& ownExecutablePath);

// Deletes "file_0" onwards up to the first value that is not there, then
// writes `hideFileSet` in order. Returns how many values were written.
int SaveFileList(const CPathSet& hideFileSet);
