#pragma once
// Whether a process runs with more rights than ours. The system keeps a
// process of a lower integrity level from hiding, minimising or activating
// the windows of one of a higher level, and from joining its input: what we
// send is dropped. A program started "as administrator" runs at the high
// level, ours normally at the medium one. Asked of the token's integrity
// level (TokenIntegrityLevel), which is what the system itself compares.
#include <windows.h>

// The integrity levels as the system numbers them (the label's last
// sub-authority); kIntegrityUnknown when a token cannot be read.
inline constexpr DWORD kIntegrityUnknown = 0xFFFFFFFF;
inline constexpr DWORD kIntegrityLow = 0x1000;
inline constexpr DWORD kIntegrityMedium = 0x2000;
inline constexpr DWORD kIntegrityHigh = 0x3000;
inline constexpr DWORD kIntegritySystem = 0x4000;

// The integrity level of process `processId`'s token, kIntegrityUnknown when
// the process or its token cannot be read.
DWORD IntegrityLevelOf(DWORD processId);

// The judgement itself: a process outranks ours only when both levels are
// known and its is higher. A token kept from us is not taken to be an
// administrator's: we cannot tell, and saying so would be a guess. Our own
// level unread counts as the medium level every normal start has.
bool Outranks(DWORD theirLevel, DWORD ourLevel);

// Whether process `processId` runs at a higher integrity level than ours:
// then its windows are out of our reach. False for our own process and for
// processes that have ended.
bool ProcessOutranksUs(DWORD processId);

// False when nothing the user sees can outrank us (we run as administrator
// ourselves): spares asking each process.
bool MayBeOutranked();

// How a token's level is read; tests answer with fake tokens. Null puts
// back the system's answer.
using IntegrityQuery = DWORD (*)(DWORD processId);
void SetIntegrityQueryForTests(IntegrityQuery query);

// The shorter form the pages' tests use: `query` names the processes that run
// as administrator (the high level); every other one runs at the medium
// level. Null puts back the system's answer.
using ElevationQuery = bool (*)(DWORD processId);
void SetElevationQueryForTests(ElevationQuery query);
