#include "system/Elevation.h"

#include <atomic>
#include <vector>

#include "framework/Handles.h"

namespace {

std::atomic<IntegrityQuery> integrityQuery{nullptr};
std::atomic<ElevationQuery> elevationQuery{nullptr};

DWORD LevelOfToken(HANDLE process)
{
    UniqueHandle token;
    if (!OpenProcessToken(process, TOKEN_QUERY, token.put()))
        return kIntegrityUnknown;
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenIntegrityLevel, nullptr, 0, &size);
    if (size < sizeof(TOKEN_MANDATORY_LABEL))
        return kIntegrityUnknown;
    std::vector<BYTE> buffer(size);
    auto* label = reinterpret_cast<TOKEN_MANDATORY_LABEL*>(buffer.data());
    if (!GetTokenInformation(token.get(), TokenIntegrityLevel, label, size, &size) || !IsValidSid(label->Label.Sid))
        return kIntegrityUnknown;
    const UCHAR count = *GetSidSubAuthorityCount(label->Label.Sid);
    if (count == 0)
        return kIntegrityUnknown;
    return *GetSidSubAuthority(label->Label.Sid, count - 1U);
}

DWORD AskToken(DWORD processId)
{
    if (processId == 0)
        return kIntegrityUnknown;
    if (processId == GetCurrentProcessId())
        return LevelOfToken(GetCurrentProcess());
    const UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    return process ? LevelOfToken(process.get()) : kIntegrityUnknown;
}

DWORD LevelOf(DWORD processId)
{
    if (const ElevationQuery elevated = elevationQuery.load())
        return elevated(processId) ? kIntegrityHigh : kIntegrityMedium;
    if (const IntegrityQuery query = integrityQuery.load())
        return query(processId);
    return AskToken(processId);
}

bool Faked()
{
    return elevationQuery.load() != nullptr || integrityQuery.load() != nullptr;
}

DWORD OwnLevel()
{
    if (Faked())
        return LevelOf(GetCurrentProcessId());
    static const DWORD own = AskToken(GetCurrentProcessId());
    return own;
}

} // namespace

DWORD IntegrityLevelOf(DWORD processId)
{
    return LevelOf(processId);
}

bool Outranks(DWORD theirLevel, DWORD ourLevel)
{
    if (theirLevel == kIntegrityUnknown)
        return false;
    if (ourLevel == kIntegrityUnknown)
        ourLevel = kIntegrityMedium;
    return theirLevel > ourLevel;
}

bool ProcessOutranksUs(DWORD processId)
{
    if (processId == 0 || processId == GetCurrentProcessId() || !MayBeOutranked())
        return false;
    return Outranks(LevelOf(processId), OwnLevel());
}

bool MayBeOutranked()
{
    const DWORD own = OwnLevel();
    // Run as administrator ourselves, what is left above us (the system's
    // services) shows no windows of the user's.
    return own == kIntegrityUnknown || own < kIntegrityHigh;
}

void SetIntegrityQueryForTests(IntegrityQuery query)
{
    integrityQuery.store(query);
}

void SetElevationQueryForTests(ElevationQuery query)
{
    elevationQuery.store(query);
}
