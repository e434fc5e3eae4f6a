#pragma once
#include <windows.h>
#include <winternl.h>

#include <memory>
#include <unordered_map>
#include <vector>

#include "framework/Handles.h"

// One entry of the system's process list.
struct ProcessEntry {
    unsigned long id;
    LONGLONG createTime; // 0 where the system gave none
};

// The system's process list, whole, in the order EnumProcesses gives it
// (which reads the same list): a busy workstation or a terminal server runs
// many hundreds of processes, and the user's newest come last. The list comes
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
// open).
//
// Not thread-safe: its user holds a lock around it.
class SystemProcessList {
public:
    // NtQuerySystemInformation, or a stand-in a test gives.
    using QueryFn = NTSTATUS(NTAPI*)(SYSTEM_INFORMATION_CLASS, PVOID, ULONG, PULONG);

    SystemProcessList();
    // Reads the list through `query`; without one, through EnumProcesses.
    explicit SystemProcessList(QueryFn query);
    SystemProcessList(const SystemProcessList&) = delete;
    SystemProcessList& operator=(const SystemProcessList&) = delete;

    // The current list, or null when it cannot be read.
    const std::vector<ProcessEntry>* List();

    // The next List reads the system's list afresh.
    void Forget() { listValid_ = false; }

private:
    static constexpr unsigned kFullListEvery = 120; // about a minute of rebuilds

    struct ListSizes {
        ULONG plain;
        ULONG extended; // 0 where the system has no extended list
        bool operator==(const ListSizes&) const = default;
    };

    struct Watched {
        LONGLONG createTime;
        UniqueHandle process;
    };

    bool ReadList();
    bool ReadListWithoutTimes();
    bool Sizes(ListSizes& sizes) const;
    bool Unchanged() const;
    bool Watch();
    void Unwatch();

    QueryFn query_;
    // Not cleared: the system writes what it lists, and pages never written
    // cost no memory.
    ULONG bufferSize_ = 256 * 1024;
    std::unique_ptr<BYTE[]> buffer_;
    std::vector<ProcessEntry> entries_;
    bool listValid_ = false;
    ListSizes sizes_{};
    unsigned sinceFullList_ = 0;
    std::unordered_map<unsigned long, Watched> watched_;
    std::vector<HANDLE> handles_; // the watched processes, for one wait
};
