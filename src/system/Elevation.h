#pragma once
// Whether a process runs with more rights than ours. A program running with
// an elevated token (started "as administrator") does not let a normal
// process hide, minimise or activate its windows, nor join its input: the
// system drops what we send. Asked of the token (TokenElevation), as the
// system's own tools do.
#include <windows.h>

// Whether process `processId` runs elevated: its token says so, or its token
// cannot even be read by us for want of rights. False when the process
// cannot be opened at all (it has ended) and for our own process.
bool IsProcessElevated(DWORD processId);

// Whether process `processId` runs elevated while we do not: then its
// windows are out of our reach.
bool ProcessOutranksUs(DWORD processId);

// False when nothing can outrank us (we run elevated ourselves): spares
// asking each process.
bool MayBeOutranked();

// The question itself; tests put in one that names elevated processes.
// Null puts back the token's answer.
using ElevationQuery = bool (*)(DWORD processId);
void SetElevationQueryForTests(ElevationQuery query);
