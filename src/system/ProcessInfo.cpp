#include "system/ProcessInfo.h"

#include <tlhelp32.h>

#include <atomic>
#include <memory>

#include "framework/Handles.h"

namespace {

UniqueHandle OpenForQuery(unsigned long processId)
{
    if (processId == 0)
        return UniqueHandle(); // the idle process has no image, owner or time
    return UniqueHandle(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
}

} // namespace

bool ExecutablePathOfProcess(unsigned long processId, std::wstring& path)
{
    UniqueHandle process = OpenForQuery(processId);
    // A process that has ended still answers while someone holds it open;
    // it runs nothing any more, so it has no path for us.
    DWORD exitCode = 0;
    if (!process || !GetExitCodeProcess(process.get(), &exitCode) || exitCode != STILL_ACTIVE)
        return false;
    wchar_t buffer[MAX_PATH] = {};
    DWORD length = MAX_PATH;
    // Fails with a short buffer rather than cutting the path.
    if (!QueryFullProcessImageNameW(process.get(), 0, buffer, &length) || length == 0 || length >= MAX_PATH)
        return false;
    path.assign(buffer, length);
    return true;
}

namespace {

std::atomic<AccountNameLookup> accountNameLookup{nullptr};

bool LookUpAccountName(PSID sid, std::wstring& account)
{
    if (const AccountNameLookup lookup = accountNameLookup.load())
        return lookup(sid, account);
    wchar_t name[256] = {};
    wchar_t domain[256] = {};
    DWORD nameSize = 256;
    DWORD domainSize = 256;
    SID_NAME_USE use;
    if (!LookupAccountSidW(nullptr, sid, name, &nameSize, domain, &domainSize, &use))
        return false;
    account = name;
    return true;
}

} // namespace

bool IsServiceAccountSid(PSID sid)
{
    return sid != nullptr && IsValidSid(sid) &&
           (IsWellKnownSid(sid, WinLocalSystemSid) || IsWellKnownSid(sid, WinLocalServiceSid) ||
            IsWellKnownSid(sid, WinNetworkServiceSid));
}

bool ReadProcessOwner(unsigned long processId, std::wstring& account, bool& serviceAccount)
{
    UniqueHandle process = OpenForQuery(processId);
    UniqueHandle token;
    if (!process || !OpenProcessToken(process.get(), TOKEN_QUERY, token.put()))
        return false;
    DWORD needed = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &needed);
    if (needed == 0)
        return false;
    std::unique_ptr<BYTE[]> buffer(new BYTE[needed]);
    if (!GetTokenInformation(token.get(), TokenUser, buffer.get(), needed, &needed))
        return false;
    const auto* user = reinterpret_cast<const TOKEN_USER*>(buffer.get());
    std::wstring name;
    if (!LookUpAccountName(user->User.Sid, name))
        return false;
    account = name;
    serviceAccount = IsServiceAccountSid(user->User.Sid);
    return true;
}

bool ProcessOwnerName(unsigned long processId, std::wstring& account)
{
    bool serviceAccount = false;
    return ReadProcessOwner(processId, account, serviceAccount);
}

void SetAccountNameLookupForTests(AccountNameLookup lookup)
{
    accountNameLookup.store(lookup);
}

ULONGLONG ProcessCreationTime(DWORD processId)
{
    UniqueHandle process = OpenForQuery(processId);
    return process ? CreationTimeOfProcess(process.get()) : 0;
}

ULONGLONG CreationTimeOfProcess(HANDLE process)
{
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user))
        return 0;
    return (static_cast<ULONGLONG>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

bool EqualsIgnoringAsciiCase(const wchar_t* a, const wchar_t* b)
{
    for (;; ++a, ++b) {
        const wchar_t x = *a >= L'a' && *a <= L'z' ? static_cast<wchar_t>(*a - 32) : *a;
        const wchar_t y = *b >= L'a' && *b <= L'z' ? static_cast<wchar_t>(*b - 32) : *b;
        if (x != y)
            return false;
        if (x == L'\0')
            return true;
    }
}

std::wstring UpperCasePath(const std::wstring& path)
{
    std::wstring upper = path;
    if (!upper.empty())
        CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    return upper;
}

std::vector<std::pair<DWORD, DWORD>> ProcessParents()
{
    std::vector<std::pair<DWORD, DWORD>> parents;
    const UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return parents;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry))
        parents.emplace_back(entry.th32ProcessID, entry.th32ParentProcessID);
    return parents;
}
