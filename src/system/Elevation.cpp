#include "system/Elevation.h"

#include <atomic>

#include "framework/Handles.h"

namespace {

std::atomic<ElevationQuery> elevationQuery{nullptr};

bool TokenIsElevated(HANDLE process)
{
    UniqueHandle token;
    if (!OpenProcessToken(process, TOKEN_QUERY, token.put()))
        return GetLastError() == ERROR_ACCESS_DENIED; // a token kept from us is one of higher rights
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    return GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size) &&
           elevation.TokenIsElevated != 0;
}

bool AskToken(DWORD processId)
{
    if (processId == 0)
        return false;
    if (processId == GetCurrentProcessId())
        return TokenIsElevated(GetCurrentProcess());
    const UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    return process && TokenIsElevated(process.get());
}

} // namespace

bool IsProcessElevated(DWORD processId)
{
    const ElevationQuery query = elevationQuery.load();
    return query != nullptr ? query(processId) : AskToken(processId);
}

bool ProcessOutranksUs(DWORD processId)
{
    if (processId == 0 || processId == GetCurrentProcessId())
        return false;
    if (const ElevationQuery query = elevationQuery.load())
        return !query(GetCurrentProcessId()) && query(processId);
    return MayBeOutranked() && AskToken(processId);
}

bool MayBeOutranked()
{
    if (const ElevationQuery query = elevationQuery.load())
        return !query(GetCurrentProcessId());
    static const bool selfElevated = AskToken(GetCurrentProcessId());
    return !selfElevated;
}

void SetElevationQueryForTests(ElevationQuery query)
{
    elevationQuery.store(query);
}
