#pragma once
#include <windows.h>

#include <atomic>
#include <string>

#include "catalogue/EnArray.h"
#include "framework/Sync.h"
#include "framework/Thread.h"

// How many process ids one rebuild of the process catalogue takes in.
inline constexpr int MAX_PROCESS_IDS = 600;

// The record of one process. The path (and the file name in it) is looked
// up once, on first demand, and kept for the record's life.
class CProcess {
public:
    explicit CProcess(unsigned long processId) : processId_(processId) {}
    // A record whose path is already known (the path may be empty).
    CProcess(unsigned long processId, const wchar_t* path);

    unsigned long GetProcessId() const { return processId_; }

    // The executable path, resolved now if still empty; null if it cannot be.
    const wchar_t* GetPath();
    // The executable's file name (text after the last backslash); null if
    // the path cannot be resolved.
    const wchar_t* GetName();
    // The executable's icon (caller owns it, see ExecutableIcon); null if
    // the path cannot be resolved.
    HICON GetIcon();

    static constexpr int kPathSize = 260;

private:
    void SetPath(const wchar_t* path);

    unsigned long processId_ = 0;
    wchar_t path_[kPathSize] = {};
    wchar_t name_[kPathSize] = {};
};

// An array that owns its process records: removing a record deletes it.
class CProcessArray : public COwningArray<CProcess> {
public:
    // Rebuilds the array from the running processes and returns the number
    // of records: newest enumeration entries first, leaving out processes
    // whose path or owner cannot be read, every one of ours (see
    // IsOwnExecutableName), and the service accounts.
    int Refresh();
};

// Drops what Refresh remembers about processes, so that the next rebuild
// reads the system's process list and looks every process up afresh. For
// measurements and tests.
void ForgetResolvedProcesses();

extern CProcessArray processCatalogue;
extern CCriticalSection processLock;

// Stop/done protocol of the process refresher, as for the window refresher.
extern std::atomic<int> processRefreshStop;
extern std::atomic<int> processRefreshDone;

// The process refresher: rebuilds processCatalogue under processLock, then
// waits 500 ms, until processRefreshStop is set. The parameter is unused.
// Setting the flag alone ends it within one period; RequestProcessRefreshStop
// ends it at once.
UINT ProcessRefreshThread(LPVOID);

// Clears the process refresher's flags and starts it; see
// StartWindowRefreshThread.
CWinThread* StartProcessRefreshThread();

// Sets processRefreshStop and wakes the refresher from its wait.
void RequestProcessRefreshStop();

// Shutdown's stop request for both refreshers: windowRefreshStop, then
// processRefreshStop, each refresher woken so that neither waits out its
// period.
void RequestRefreshersStop();
