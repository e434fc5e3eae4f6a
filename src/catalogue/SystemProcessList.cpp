#include "catalogue/SystemProcessList.h"

#include <psapi.h>

#include <algorithm>

#include "system/ProcessInfo.h"

namespace {

constexpr NTSTATUS kLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);
constexpr auto kExtendedProcessInformation = static_cast<SYSTEM_INFORMATION_CLASS>(57);

} // namespace

SystemProcessList::SystemProcessList()
    : SystemProcessList(reinterpret_cast<QueryFn>(
          reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation"))))
{
}

SystemProcessList::SystemProcessList(QueryFn query) : query_(query), buffer_(new BYTE[bufferSize_])
{
}

const std::vector<ProcessEntry>* SystemProcessList::List()
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

bool SystemProcessList::ReadList()
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
bool SystemProcessList::ReadListWithoutTimes()
{
    // EnumProcesses does not tell how much room the whole list needs: a
    // full buffer may have been cut, so it is asked again with more room.
    std::vector<DWORD> ids(1024);
    DWORD bytes = 0;
    for (;;) {
        const DWORD room = static_cast<DWORD>(ids.size() * sizeof(DWORD));
        if (!EnumProcesses(ids.data(), room, &bytes))
            return false;
        if (bytes < room)
            break;
        ids.resize(ids.size() * 2);
    }
    for (DWORD i = 0; i < bytes / sizeof(DWORD); ++i)
        entries_.push_back({ids[i], 0});
    return true;
}

// What the system asks for the whole list, without reading it.
bool SystemProcessList::Sizes(ListSizes& sizes) const
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

bool SystemProcessList::Unchanged() const
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
bool SystemProcessList::Watch()
{
    bool all = true;
    std::unordered_map<unsigned long, Watched> kept;
    for (const ProcessEntry& entry : entries_) {
        if (!entry.createTime) {
            all = false;
            continue;
        }
        auto found = watched_.find(entry.id);
        if (found != watched_.end() && found->second.createTime == entry.createTime) {
            kept.emplace(entry.id, std::move(found->second));
            watched_.erase(found);
            continue;
        }
        if (entry.id == 0)
            continue; // the idle process of Windows never ends
        UniqueHandle process(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.id));
        if (!process || static_cast<LONGLONG>(CreationTimeOfProcess(process.get())) != entry.createTime ||
            WaitForSingleObject(process.get(), 0) != WAIT_TIMEOUT) {
            // Gone or going, or its id now belongs to another process.
            all = false;
            continue;
        }
        kept.emplace(entry.id, Watched{entry.createTime, std::move(process)});
    }
    Unwatch(); // what is left there is no longer listed
    watched_ = std::move(kept);
    for (const auto& [id, watched] : watched_)
        handles_.push_back(watched.process.get());
    return all;
}

void SystemProcessList::Unwatch()
{
    handles_.clear();
    watched_.clear();
}
