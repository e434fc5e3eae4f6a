#include "catalogue/ProcessCatalogue.h"

#include <psapi.h>
#include <winternl.h>

#include <cwchar>
#include <memory>
#include <unordered_map>
#include <vector>

#include "catalogue/Executable.h"

CProcessArray processCatalogue;
CCriticalSection processLock;
std::atomic<int> processRefreshStop{0};
std::atomic<int> processRefreshDone{1};

// ---- CProcess ------------------------------------------------------------------

CProcess::CProcess(unsigned long processId, const wchar_t* path) : processId_(processId)
{
    if (path && *path)
        SetPath(path);
}

void CProcess::SetPath(const wchar_t* path)
{
    wcsncpy_s(path_, kPathSize, path, _TRUNCATE);
    const wchar_t* slash = std::wcsrchr(path_, L'\\');
    wcsncpy_s(name_, kPathSize, slash ? slash + 1 : path_, _TRUNCATE);
}

const wchar_t* CProcess::GetPath()
{
    if (!path_[0]) {
        std::wstring path;
        if (!ExecutablePathOfProcess(processId_, path))
            return nullptr;
        SetPath(path.c_str());
    }
    return path_;
}

const wchar_t* CProcess::GetName()
{
    if (name_[0])
        return name_;
    return GetPath() && name_[0] ? name_ : nullptr;
}

HICON CProcess::GetIcon()
{
    const wchar_t* path = GetPath();
    return path ? ExecutableIcon(path) : nullptr;
}

// ---- owner -------------------------------------------------------------------------

bool ProcessOwnerName(unsigned long processId, std::wstring& account)
{
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    if (!process)
        return false;
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token)) {
        CloseHandle(process);
        return false;
    }
    bool ok = false;
    DWORD needed = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &needed);
    if (needed) {
        std::unique_ptr<BYTE[]> buffer(new BYTE[needed]);
        if (GetTokenInformation(token, TokenUser, buffer.get(), needed, &needed)) {
            auto* user = reinterpret_cast<TOKEN_USER*>(buffer.get());
            wchar_t name[256] = {};
            wchar_t domain[256] = {};
            DWORD nameSize = 256;
            DWORD domainSize = 256;
            SID_NAME_USE use;
            if (LookupAccountSidW(nullptr, user->User.Sid, name, &nameSize, domain, &domainSize, &use)) {
                account = name;
                ok = true;
            }
        }
    }
    CloseHandle(token);
    CloseHandle(process);
    return ok;
}

// ---- the catalogue -------------------------------------------------------------------

namespace {

// Case folding of A-Z only: the names compared here are ASCII, and folding
// other letters would depend on the locale.
bool EqualsIgnoringAsciiCase(const wchar_t* a, const wchar_t* b)
{
    for (;; ++a, ++b) {
        wchar_t x = *a >= L'a' && *a <= L'z' ? static_cast<wchar_t>(*a - 32) : *a;
        wchar_t y = *b >= L'a' && *b <= L'z' ? static_cast<wchar_t>(*b - 32) : *b;
        if (x != y)
            return false;
        if (!x)
            return true;
    }
}

bool IsServiceAccount(const std::wstring& account)
{
    return EqualsIgnoringAsciiCase(account.c_str(), L"SYSTEM") ||
           EqualsIgnoringAsciiCase(account.c_str(), L"LOCAL SERVICE") ||
           EqualsIgnoringAsciiCase(account.c_str(), L"NETWORK SERVICE");
}

// Whether a process belongs in the catalogue, and its path if so. Reads the
// path, then the owner, and stops at the first test that fails.
bool Resolve(unsigned long processId, std::wstring& path, bool& transient)
{
    transient = false;
    CProcess record(processId);
    const wchar_t* name = record.GetName();
    std::wstring account;
    if (!name || !ProcessOwnerName(processId, account)) {
        transient = true; // the process may be starting up or ending
        return false;
    }
    if (EqualsIgnoringAsciiCase(name, L"Covelin.exe") || IsServiceAccount(account))
        return false;
    path = record.GetPath();
    return true;
}

// One entry of the system's process list.
struct ProcessEntry {
    unsigned long id;
    LONGLONG createTime;
};

// The system's process list, in the order EnumProcesses gives it (which
// reads the same list), at most MAX_PROCESS_IDS entries. The list comes
// with each process's creation time in the same call, and that time is
// what tells a reused process id from the process that had it before.
class ProcessLister {
public:
    bool List(std::vector<ProcessEntry>& entries)
    {
        entries.clear();
        if (!query_)
            return ListWithoutTimes(entries);
        for (int attempt = 0; attempt < 8; ++attempt) {
            ULONG needed = 0;
            NTSTATUS status = query_(SystemProcessInformation, buffer_.data(),
                                     static_cast<ULONG>(buffer_.size()), &needed);
            if (status == static_cast<NTSTATUS>(0xC0000004L)) { // info length mismatch
                buffer_.resize(std::max<size_t>(buffer_.size() * 2, needed + 16384));
                continue;
            }
            if (status < 0)
                return false;
            const BYTE* at = buffer_.data();
            for (;;) {
                auto* info = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(at);
                if (static_cast<int>(entries.size()) == MAX_PROCESS_IDS)
                    break;
                entries.push_back({static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(info->UniqueProcessId)),
                                   info->CreateTime.QuadPart});
                if (!info->NextEntryOffset)
                    break;
                at += info->NextEntryOffset;
            }
            return true;
        }
        return false;
    }

private:
    using QueryFn = NTSTATUS(NTAPI*)(SYSTEM_INFORMATION_CLASS, PVOID, ULONG, PULONG);

    // Without the system list: the ids alone; no creation times, so nothing
    // can be remembered across rebuilds.
    bool ListWithoutTimes(std::vector<ProcessEntry>& entries)
    {
        DWORD ids[MAX_PROCESS_IDS];
        DWORD bytes = 0;
        if (!EnumProcesses(ids, sizeof(ids), &bytes))
            return false;
        for (DWORD i = 0; i < bytes / sizeof(DWORD); ++i)
            entries.push_back({ids[i], 0});
        return true;
    }

    QueryFn query_ = reinterpret_cast<QueryFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    std::vector<BYTE> buffer_ = std::vector<BYTE>(256 * 1024);
};

// What the catalogue decided about each process, keyed by id and checked
// against the creation time. A process's executable and owner are fixed for
// its life, so a remembered decision is the one a fresh look-up would give.
// Failures that may be passing (a process still starting) are not kept.
struct Decision {
    LONGLONG createTime;
    bool keep;
    std::wstring path;
    unsigned generation;
};

struct Memory {
    CCriticalSection lock; // Refresh may run on several arrays at once
    ProcessLister lister;
    std::vector<ProcessEntry> entries;
    std::unordered_map<unsigned long, Decision> decisions;
    unsigned generation = 0;
};

Memory& TheMemory()
{
    static Memory memory;
    return memory;
}

// A failed look-up of a process younger than this is tried again at the
// next rebuild: it may have been caught before its main module was mapped.
constexpr LONGLONG kSettledAge100ns = 5LL * 10000000LL;

LONGLONG Now100ns()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return static_cast<LONGLONG>((static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime);
}

} // namespace

void ForgetResolvedProcesses()
{
    Memory& memory = TheMemory();
    std::lock_guard<CCriticalSection> guard(memory.lock);
    memory.decisions.clear();
}

CProcessArray::~CProcessArray()
{
    CProcessArray::RemoveAll();
}

void CProcessArray::RemoveAll()
{
    for (CProcess* record : items_)
        delete record;
    CArray::RemoveAll();
}

void CProcessArray::RemoveAt(int index, int count)
{
    if (index < 0 || index >= GetSize() || count <= 0)
        return;
    int end = index + std::min(count, GetSize() - index);
    for (int i = index; i < end; ++i)
        delete items_[static_cast<size_t>(i)];
    CArray::RemoveAt(index, end - index);
}

int CProcessArray::Refresh()
{
    RemoveAll();
    Memory& memory = TheMemory();
    std::lock_guard<CCriticalSection> guard(memory.lock);
    if (!memory.lister.List(memory.entries))
        return 0;

    const unsigned generation = ++memory.generation;
    const LONGLONG now = Now100ns();
    // Newest enumeration entries first.
    for (auto it = memory.entries.rbegin(); it != memory.entries.rend(); ++it) {
        const ProcessEntry& entry = *it;
        bool keep = false;
        std::wstring path;
        auto found = entry.createTime ? memory.decisions.find(entry.id) : memory.decisions.end();
        if (found != memory.decisions.end() && found->second.createTime == entry.createTime) {
            found->second.generation = generation;
            keep = found->second.keep;
            path = found->second.path;
        } else {
            bool transient = false;
            keep = Resolve(entry.id, path, transient);
            bool settled = !transient || now - entry.createTime > kSettledAge100ns;
            if (entry.createTime && settled)
                memory.decisions[entry.id] = Decision{entry.createTime, keep, path, generation};
            else if (found != memory.decisions.end())
                memory.decisions.erase(found);
        }
        if (keep)
            Add(new CProcess(entry.id, path.c_str()));
    }

    // Forget the processes that have ended.
    for (auto it = memory.decisions.begin(); it != memory.decisions.end();)
        it = it->second.generation == generation ? std::next(it) : memory.decisions.erase(it);
    return GetSize();
}

// ---- the refresher ---------------------------------------------------------------------

UINT ProcessRefreshThread(LPVOID)
{
    // As for the window refresher: the stop flag is cleared by the starter.
    processRefreshDone = 0;
    while (!processRefreshStop.load()) {
        processLock.Lock();
        processCatalogue.Refresh();
        processLock.Unlock();
        for (DWORD waited = 0; waited < 500 && !processRefreshStop.load(); waited += 100)
            Sleep(100);
    }
    processRefreshDone = 1;
    return 0;
}

CWinThread* StartProcessRefreshThread()
{
    processRefreshStop = 0;
    processRefreshDone = 0;
    CWinThread* thread = AfxBeginThread(ProcessRefreshThread, nullptr);
    if (!thread)
        processRefreshDone = 1;
    return thread;
}
