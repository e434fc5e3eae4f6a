#pragma once
#include <windows.h>

#include <string>

// The application's profile: string values in the current user's registry
// under Software\<company>\<application>\<section>. Until a company is set
// there is no profile: reads give the default and writes fail.

// Sets the company key (as "Tessary"); `application` null or empty means the
// executable's base name. A null or empty company turns the profile off.
void ProfileSetKey(const wchar_t* company, const wchar_t* application = nullptr);

// "Software\<company>\<application>", or empty when no company is set.
std::wstring ProfileKeyPath();
// The application name in use (the executable's base name unless set).
std::wstring ProfileApplicationName();

// The text of `entry` in `section`, or `defaultValue` when the value is
// missing, not text, or the profile is off. Reads are bounded: the stored
// text is cut at its first zero, and a value without one is still safe.
std::wstring ProfileReadString(const wchar_t* section, const wchar_t* entry, const wchar_t* defaultValue = L"");

// Writes `value` as text (REG_SZ with its terminating zero), creating the
// keys as needed. `value` null deletes the entry (fails when there was none);
// `entry` null deletes the whole section. False on failure, with the
// registry's error as the thread's last error.
[[nodiscard]] bool ProfileWriteString(const wchar_t* section, const wchar_t* entry, const wchar_t* value);

// A number (REG_DWORD) `entry` directly under the application's key, or
// `defaultValue` when it is missing, is not a number, or the profile is off.
DWORD ProfileReadNumber(const wchar_t* entry, DWORD defaultValue);
// Writes `entry` as a REG_DWORD under the application's key, creating the
// key as needed. True on success.
bool ProfileWriteNumber(const wchar_t* entry, DWORD value);
