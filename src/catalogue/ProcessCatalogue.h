#pragma once
#include <windows.h>

#include "catalogue/ProcessRecord.h"
#include "framework/EnArray.h"
#include "framework/Sync.h"

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
