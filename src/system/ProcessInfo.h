#pragma once
// What the program asks about other processes. Every look-up opens the
// process with limited query access only, which the system grants for
// elevated processes too, and closes it again before returning.
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

// The full path of the main executable of process `processId`. Returns
// false (and leaves `path` alone) when the process cannot be opened, has
// ended, or its path does not fit in MAX_PATH.
bool ExecutablePathOfProcess(unsigned long processId, std::wstring& path);

// The account name (without domain) that owns process `processId`; false
// (and `account` left alone) when the process or its token cannot be read.
bool ProcessOwnerName(unsigned long processId, std::wstring& account);

// Whether `sid` is one of the accounts services run under: LocalSystem
// (S-1-5-18), LocalService (S-1-5-19) or NetworkService (S-1-5-20). Their
// names are translated with the system ("SYSTEM" is "Système" elsewhere);
// their SIDs are the same everywhere.
bool IsServiceAccountSid(PSID sid);

// The account name of process `processId`'s owner, and whether it is one of
// the service accounts; false when the process or its token cannot be read.
bool ReadProcessOwner(unsigned long processId, std::wstring& account, bool& serviceAccount);

// How an owner's SID is named; tests put in the names of a system in
// another language. Null puts back LookupAccountSidW.
using AccountNameLookup = bool (*)(PSID sid, std::wstring& account);
void SetAccountNameLookupForTests(AccountNameLookup lookup);

// The creation time of a process (FILETIME units), 0 when it cannot be
// opened. With the id, it tells a process from a later one given the same id.
ULONGLONG ProcessCreationTime(DWORD processId);
// The same for a process already open (with at least limited query access).
ULONGLONG CreationTimeOfProcess(HANDLE process);

// Every running process's parent (process id, parent's id), from one
// snapshot of the system. A parent id may since have been given to a later
// process: compare creation times before trusting it.
std::vector<std::pair<DWORD, DWORD>> ProcessParents();

// Compares names of executables and accounts folding only A to Z: the
// names compared are ASCII, and folding more would depend on the locale.
bool EqualsIgnoringAsciiCase(const wchar_t* a, const wchar_t* b);

// The upper-casing used for every executable path the program compares.
std::wstring UpperCasePath(const std::wstring& path);
