#pragma once
// Every text the program shows to the user, kept byte for byte in one place.
// Message boxes take the application's name as caption.

inline constexpr wchar_t kAppName[] = L"Covelin";
