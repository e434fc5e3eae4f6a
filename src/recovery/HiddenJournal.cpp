#include "recovery/HiddenJournal.h"

#include <algorithm>

#include "framework/Handles.h"
#include "framework/Log.h"
#include "recovery/FaultGuard.h"
#include "recovery/HiddenMark.h"

HiddenJournal::HiddenJournal() : token_(0)
{
}

HiddenJournal::HiddenJournal(ULONG_PTR token) : token_(token)
{
}

HiddenJournal::~HiddenJournal()
{
    ReleaseFaultGuard(*this);
}

void HiddenJournal::Open(const std::wstring& path)
{
    path_ = path;
    if (token_ == 0)
        token_ = MarkToken();
    MarkKey(); // now, not first in a fault handler
    record_ = HiddenRecord{};
    record_.writer = token_;
    noted_.clear();
    created_.clear();
    dirty_ = false;
    onDisk_ = false;
    faultCount_.store(0);
}

void HiddenJournal::NoteHiding(HWND window)
{
    if (!Active() || window == nullptr)
        return;
    // One hide can reach a window twice (chosen, and in a chosen process):
    // it is listed, and shown again, once.
    if (!noted_.insert(window).second)
        return;

    HiddenEntry entry;
    entry.window = window;
    GetWindowThreadProcessId(window, &entry.processId);
    auto cached =
        std::find_if(created_.begin(), created_.end(), [&](const auto& item) { return item.first == entry.processId; });
    if (cached == created_.end())
        cached = created_.insert(created_.end(), {entry.processId, ProcessCreationTime(entry.processId)});
    entry.processCreated = cached->second;
    entry.marked = SetPropW(window, MarkKey(), reinterpret_cast<HANDLE>(token_)) != FALSE;

    record_.entries.push_back(entry);
    dirty_ = true;

    const LONG slot = faultCount_.load();
    if (slot < kFaultViewSize) {
        faultView_[slot] = window;
        faultCount_.store(slot + 1);
    }
}

void HiddenJournal::NoteMinimised(HWND window)
{
    if (!Active() || noted_.count(window) == 0)
        return;
    for (HiddenEntry& entry : record_.entries) {
        if (entry.window == window && !entry.minimised) {
            entry.minimised = true;
            dirty_ = true;
        }
    }
}

void HiddenJournal::Forget(HWND window)
{
    if (!Active() || noted_.erase(window) == 0)
        return;
    for (auto entry = record_.entries.begin(); entry != record_.entries.end(); ++entry) {
        if (entry->window != window)
            continue;
        if (entry->marked && IsWindow(window) && MarkOf(window) == token_)
            RemovePropW(window, MarkKey());
        record_.entries.erase(entry);
        dirty_ = true;
        break;
    }
    // The fault view keeps it: a fault shows only windows that still carry
    // our mark, and this one no longer does.
}

void HiddenJournal::NoteSideActions(const MuteState& mute, bool notifyAreaHidden)
{
    if (!Active())
        return;
    const MuteState noted = record_.Mute();
    if (noted.volumeMuted == mute.volumeMuted && noted.endpointId == mute.endpointId &&
        noted.endpointWasMuted == mute.endpointWasMuted && noted.savedWaveVolume == mute.savedWaveVolume &&
        noted.sessions == mute.sessions && noted.moreEndpoints == mute.moreEndpoints &&
        record_.notifyAreaHidden == notifyAreaHidden)
        return;
    record_.SetMute(mute);
    record_.notifyAreaHidden = notifyAreaHidden;
    dirty_ = true;
}

bool HiddenJournal::Save()
{
    if (!Active())
        return false;
    if (!dirty_)
        return true;
    if (Empty()) {
        if (onDisk_ && !DeleteFileW(path_.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND)
            return false;
        onDisk_ = false;
        dirty_ = false;
        return true;
    }

    // Written beside the journal and moved over it in one step: whoever
    // reads the journal (the next instance, after we died at any moment)
    // finds the old one or the new one, never half of either. Not written
    // through to the disk: what the journal names does not outlive a power
    // cut anyway, and a process's death leaves the system's cache intact.
    const std::string bytes = EncodeHiddenRecord(record_);
    const std::wstring temporary = path_ + L".tmp";
    bool complete = false;
    {
        const UniqueHandle file(
            CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            Log::Failure(L"Creating the journal " + temporary);
            return false;
        }
        DWORD written = 0;
        complete = WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                   written == bytes.size();
    } // closed before it is moved over the journal
    if (!complete || !MoveFileExW(temporary.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        Log::Failure(L"Writing the journal " + path_);
        DeleteFileW(temporary.c_str());
        return false; // still dirty: the next Save tries again
    }
    onDisk_ = true;
    dirty_ = false;
    return true;
}

void HiddenJournal::Clear()
{
    if (!Active())
        return;
    faultCount_.store(0);
    for (const HiddenEntry& entry : record_.entries) {
        // Only our own mark: another program may have marked it since, and
        // gets its own back. One call a window where asking first took two.
        if (!entry.marked)
            continue;
        const HANDLE removed = RemovePropW(entry.window, MarkKey());
        if (removed != nullptr && reinterpret_cast<ULONG_PTR>(removed) != token_)
            SetPropW(entry.window, MarkKey(), removed);
    }
    record_ = HiddenRecord{};
    record_.writer = token_;
    noted_.clear();
    created_.clear();
    dirty_ = false;
    if (onDisk_ && (DeleteFileW(path_.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND))
        onDisk_ = false;
}

int HiddenJournal::ShowForFault()
{
    // The atom was taken when the journal was opened; asking for it here
    // would only read the static.
    const ATOM atom = MarkAtomIfAdded();
    const LONG count = faultCount_.exchange(0);
    if (atom == 0)
        return 0;
    int shown = 0;
    for (LONG i = (count < kFaultViewSize ? count : kFaultViewSize) - 1; i >= 0; --i) {
        HWND window = faultView_[i];
        if (!IsWindow(window) || reinterpret_cast<ULONG_PTR>(GetPropW(window, MAKEINTATOM(atom))) != token_)
            continue;
        ShowWindowAsync(window, SW_SHOW);
        RemovePropW(window, MAKEINTATOM(atom));
        ++shown;
    }
    return shown;
}
