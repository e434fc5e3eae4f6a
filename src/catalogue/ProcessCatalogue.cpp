#include "catalogue/ProcessCatalogue.h"

#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "catalogue/SystemProcessList.h"
#include "system/OwnProcess.h"
#include "system/ProcessInfo.h"

namespace {

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
    SystemProcessList lister;
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
            Add(std::make_unique<CProcess>(entry.id, path.c_str()));
    }

    // Forget the processes that have ended.
    for (auto it = memory.decisions.begin(); it != memory.decisions.end();)
        it = it->second.generation == generation ? std::next(it) : memory.decisions.erase(it);
    return GetSize();
}
