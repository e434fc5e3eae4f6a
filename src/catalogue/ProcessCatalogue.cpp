#include "catalogue/ProcessCatalogue.h"

#include <psapi.h>
#include <winternl.h>

#include <algorithm>
#include <cwchar>
#include <memory>
#include <unordered_map>
#include <vector>

#include "catalogue/Executable.h"
#include "catalogue/WindowCatalogue.h"
#include "system/OwnProcess.h"
#include "system/ProcessInfo.h"

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
    if (IsOwnExecutableName(name) || IsServiceAccount(account))
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
//
// Reading the whole list is dear (under Wine it reads the times and memory
// counters of every process and thread from the host), twice a second for
// the whole run, though the list rarely changes. So once a list has been
// read, later calls hand it out again while two cheap signs say nothing has
// changed:
// - no process of the list has ended: each is held open and waited on (a
//   held process also keeps its id from going to a new process);
// - the sizes the system asks for the whole list and for the extended list
//   (which weighs each thread differently) are what they were when the list
//   was read. A new process adds its record and name to both; threads ending
//   elsewhere would have to make up for that in both sizes, by different
//   amounts, at the same moment.
// The list is also read afresh every kFullListEvery calls whatever the signs
// say, and always where they cannot be had (a process that cannot be held
// open, or a list at the MAX_PROCESS_IDS cut).
class ProcessLister {
public:
    ProcessLister() = default;
    ProcessLister(const ProcessLister&) = delete;
    ProcessLister& operator=(const ProcessLister&) = delete;
    ~ProcessLister() { Unwatch(); }

    // The current list, or null when it cannot be read.
    const std::vector<ProcessEntry>* List()
    {
        if (listValid_ && sinceFullList_ + 1 < kFullListEvery && Unchanged()) {
            ++sinceFullList_;
            return &entries_;
        }
        sinceFullList_ = 0;
        listValid_ = false;
        ListSizes before{}, after{};
        const bool sized = Sizes(before);
        if (!ReadList())
            return nullptr;
        // The signs hold for this list only if nothing changed while it was read.
        if (sized && Sizes(after) && after == before && Watch()) {
            sizes_ = after;
            listValid_ = true;
        }
        return &entries_;
    }

    // The next List reads the system's list afresh.
    void Forget() { listValid_ = false; }

private:
    using QueryFn = NTSTATUS(NTAPI*)(SYSTEM_INFORMATION_CLASS, PVOID, ULONG, PULONG);
    static constexpr NTSTATUS kLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);
    static constexpr auto kExtendedProcessInformation = static_cast<SYSTEM_INFORMATION_CLASS>(57);
    static constexpr unsigned kFullListEvery = 120; // about a minute of rebuilds

    struct ListSizes {
        ULONG plain;
        ULONG extended; // 0 where the system has no extended list
        bool operator==(const ListSizes&) const = default;
    };

    struct Watched {
        LONGLONG createTime;
        HANDLE process;
    };

    bool ReadList()
    {
        entries_.clear();
        if (!query_)
            return ReadListWithoutTimes();
        for (int attempt = 0; attempt < 8; ++attempt) {
            ULONG needed = 0;
            NTSTATUS status = query_(SystemProcessInformation, buffer_.get(), bufferSize_, &needed);
            if (status == kLengthMismatch) {
                bufferSize_ = std::max<ULONG>(bufferSize_ * 2, needed + 16384);
                buffer_.reset(new BYTE[bufferSize_]);
                continue;
            }
            if (status < 0)
                return false;
            const BYTE* at = buffer_.get();
            for (;;) {
                auto* info = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(at);
                if (static_cast<int>(entries_.size()) == MAX_PROCESS_IDS)
                    break;
                entries_.push_back({static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(info->UniqueProcessId)),
                                    info->CreateTime.QuadPart});
                if (!info->NextEntryOffset)
                    break;
                at += info->NextEntryOffset;
            }
            return true;
        }
        return false;
    }

    // Without the system list: the ids alone; no creation times, so nothing
    // can be remembered across rebuilds.
    bool ReadListWithoutTimes()
    {
        DWORD ids[MAX_PROCESS_IDS];
        DWORD bytes = 0;
        if (!EnumProcesses(ids, sizeof(ids), &bytes))
            return false;
        for (DWORD i = 0; i < bytes / sizeof(DWORD); ++i)
            entries_.push_back({ids[i], 0});
        return true;
    }

    // What the system asks for the whole list, without reading it.
    bool Sizes(ListSizes& sizes) const
    {
        if (!query_)
            return false;
        sizes = {};
        if (query_(SystemProcessInformation, nullptr, 0, &sizes.plain) != kLengthMismatch || !sizes.plain)
            return false;
        if (query_(kExtendedProcessInformation, nullptr, 0, &sizes.extended) != kLengthMismatch)
            sizes.extended = 0;
        return true;
    }

    bool Unchanged() const
    {
        ListSizes now{};
        if (!Sizes(now) || !(now == sizes_))
            return false;
        // Last, so that a process ending while the sizes were taken is seen.
        for (size_t first = 0; first < handles_.size(); first += MAXIMUM_WAIT_OBJECTS) {
            const DWORD count = static_cast<DWORD>(std::min<size_t>(MAXIMUM_WAIT_OBJECTS, handles_.size() - first));
            if (WaitForMultipleObjects(count, handles_.data() + first, FALSE, 0) != WAIT_TIMEOUT)
                return false;
        }
        return true;
    }

    // Holds every process of the list open, keeping those already held.
    // False if one cannot be held, or is not the process the list saw.
    bool Watch()
    {
        if (entries_.size() >= static_cast<size_t>(MAX_PROCESS_IDS))
            return false; // what lies beyond the cut is not watched
        bool all = true;
        std::unordered_map<unsigned long, Watched> kept;
        for (const ProcessEntry& entry : entries_) {
            if (!entry.createTime) {
                all = false;
                continue;
            }
            auto found = watched_.find(entry.id);
            if (found != watched_.end() && found->second.createTime == entry.createTime) {
                kept.emplace(entry.id, found->second);
                watched_.erase(found);
                continue;
            }
            if (entry.id == 0)
                continue; // the idle process of Windows never ends
            HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.id);
            FILETIME created{}, exited, kernel, user;
            if (!process || !GetProcessTimes(process, &created, &exited, &kernel, &user) ||
                static_cast<LONGLONG>((static_cast<ULONGLONG>(created.dwHighDateTime) << 32) |
                                      created.dwLowDateTime) != entry.createTime ||
                WaitForSingleObject(process, 0) != WAIT_TIMEOUT) {
                // Gone or going, or its id now belongs to another process.
                if (process)
                    CloseHandle(process);
                all = false;
                continue;
            }
            kept.emplace(entry.id, Watched{entry.createTime, process});
        }
        Unwatch(); // what is left there is no longer listed
        watched_ = std::move(kept);
        for (const auto& [id, watched] : watched_)
            handles_.push_back(watched.process);
        return all;
    }

    void Unwatch()
    {
        for (const auto& [id, watched] : watched_)
            CloseHandle(watched.process);
        watched_.clear();
        handles_.clear();
    }

    QueryFn query_ = reinterpret_cast<QueryFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    // Not cleared: the system writes what it lists, and pages never written
    // cost no memory.
    ULONG bufferSize_ = 256 * 1024;
    std::unique_ptr<BYTE[]> buffer_{new BYTE[bufferSize_]};
    std::vector<ProcessEntry> entries_;
    bool listValid_ = false;
    ListSizes sizes_{};
    unsigned sinceFullList_ = 0;
    std::unordered_map<unsigned long, Watched> watched_;
    std::vector<HANDLE> handles_;
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
    memory.lister.Forget();
}

int CProcessArray::Refresh()
{
    RemoveAll();
    Memory& memory = TheMemory();
    std::lock_guard<CCriticalSection> guard(memory.lock);
    const std::vector<ProcessEntry>* entries = memory.lister.List();
    if (!entries)
        return 0;

    const unsigned generation = ++memory.generation;
    const LONGLONG now = Now100ns();
    // Newest enumeration entries first.
    for (auto it = entries->rbegin(); it != entries->rend(); ++it) {
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

namespace {

constexpr DWORD kRefreshPeriodMs = 500;

// Signalled by RequestProcessRefreshStop: the refresher waits out its period
// in one wait and still ends at once when shutdown asks.
HANDLE ProcessRefreshWake()
{
    static const HANDLE wake = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return wake;
}

// Waits one refresh period, or less when a stop is asked for. A stop set
// through the flag alone is seen after the period at the latest.
void WaitPeriod()
{
    if (HANDLE wake = ProcessRefreshWake()) {
        if (!processRefreshStop.load())
            WaitForSingleObject(wake, kRefreshPeriodMs);
        return;
    }
    for (DWORD waited = 0; waited < kRefreshPeriodMs && !processRefreshStop.load(); waited += 100)
        Sleep(100);
}

} // namespace

UINT ProcessRefreshThread(LPVOID)
{
    // As for the window refresher: the stop flag is cleared by the starter.
    processRefreshDone = 0;
    while (!processRefreshStop.load()) {
        processLock.Lock();
        processCatalogue.Refresh();
        processLock.Unlock();
        WaitPeriod();
    }
    processRefreshDone = 1;
    return 0;
}

CWinThread* StartProcessRefreshThread()
{
    processRefreshStop = 0;
    processRefreshDone = 0;
    if (HANDLE wake = ProcessRefreshWake())
        ResetEvent(wake);
    CWinThread* thread = AfxBeginThread(ProcessRefreshThread, nullptr);
    if (!thread)
        processRefreshDone = 1;
    return thread;
}

void RequestProcessRefreshStop()
{
    processRefreshStop = 1;
    if (HANDLE wake = ProcessRefreshWake())
        SetEvent(wake);
}

void RequestRefreshersStop()
{
    RequestWindowRefreshStop();
    RequestProcessRefreshStop();
}
