#include "recovery/HiddenMark.h"
#include "framework/Handles.h"

#include <atomic>

namespace {

// The mark's property is named by one global atom. The atom is added once
// per process and never deleted: the windows that carry the mark keep
// their property under that atom after we are gone, and the next instance
// must find the same atom by the same name.
std::atomic<ATOM> markAtom{0};

ATOM MarkAtom()
{
    static const ATOM atom = [] {
        ATOM added = GlobalAddAtomW(kHiddenMarkName);
        markAtom.store(added);
        return added;
    }();
    return atom;
}

// A 64-bit build keeps the low half of the creation time beside the process
// id; a 32-bit build has room for the id only.
ULONG_PTR MakeToken(DWORD processId, ULONGLONG created)
{
    const ULONGLONG token = (static_cast<ULONGLONG>(created & 0xFFFFFFFFu) << 32) | processId;
    return static_cast<ULONG_PTR>(token);
}

} // namespace

LPCWSTR MarkKey()
{
    return MAKEINTATOM(MarkAtom());
}

ATOM MarkAtomIfAdded()
{
    return markAtom.load();
}

bool MarkerRuns(ULONG_PTR token)
{
    const DWORD processId = static_cast<DWORD>(static_cast<ULONGLONG>(token) & 0xFFFFFFFFu);
    if (processId == 0)
        return false;
    const UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process)
        return false;
    DWORD exitCode = 0;
    const bool running = GetExitCodeProcess(process.get(), &exitCode) && exitCode == STILL_ACTIVE;
    return running && MakeToken(processId, CreationTimeOfProcess(process.get())) == token;
}

ULONG_PTR MarkTokenOf(DWORD processId)
{
    const ULONGLONG created = ProcessCreationTime(processId);
    return created == 0 ? 0 : MakeToken(processId, created);
}

ULONG_PTR MarkToken()
{
    static const ULONG_PTR token = [] {
        ULONG_PTR own = MarkTokenOf(GetCurrentProcessId());
        return own != 0 ? own : MakeToken(GetCurrentProcessId(), 0);
    }();
    return token;
}

ULONG_PTR MarkOf(HWND window)
{
    return reinterpret_cast<ULONG_PTR>(GetPropW(window, MarkKey()));
}
