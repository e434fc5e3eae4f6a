#include "actions/Volume.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "framework/Thread.h"
#include "system/ProcessInfo.h"

namespace {

OsMajorVersionSource osVersionSource = nullptr;
WaveVolumeCalls waveCalls = {&waveOutGetVolume, &waveOutSetVolume};
AudioCalls audioCalls = SystemAudioCalls();

// Limits the walk up a process tree: deeper chains are taken as loops.
constexpr int kMaxProcessDepth = 16;

// Whether a process runs one of the hidden programs' executables, or
// descends from a process that does. Each process is asked once.
class ProgramMatch {
public:
    explicit ProgramMatch(const std::vector<std::wstring>& executables) : executables_(executables) {}

    bool Matches(DWORD processId)
    {
        for (int depth = 0; processId != 0 && depth < kMaxProcessDepth; ++depth) {
            if (Runs(processId))
                return true;
            processId = ParentOf(processId);
        }
        return false;
    }

private:
    bool Runs(DWORD processId)
    {
        auto known = runs_.find(processId);
        if (known == runs_.end()) {
            std::wstring path;
            const bool hidden =
                ExecutablePathOfProcess(processId, path) &&
                std::find(executables_.begin(), executables_.end(), UpperCasePath(path)) != executables_.end();
            known = runs_.emplace(processId, hidden).first;
        }
        return known->second;
    }

    DWORD ParentOf(DWORD processId)
    {
        if (!parentsRead_) {
            for (const auto& [child, parent] : ProcessParents())
                parents_.emplace(child, parent);
            parentsRead_ = true;
        }
        auto found = parents_.find(processId);
        if (found == parents_.end() || found->second == 0 || found->second == processId)
            return 0;
        // The parent's id may have gone to a later process since: only one
        // that started before the child is its parent.
        const ULONGLONG parentStart = ProcessCreationTime(found->second);
        const ULONGLONG childStart = ProcessCreationTime(processId);
        return parentStart != 0 && childStart != 0 && parentStart <= childStart ? found->second : 0;
    }

    const std::vector<std::wstring>& executables_;
    std::unordered_map<DWORD, bool> runs_;
    std::unordered_map<DWORD, DWORD> parents_;
    bool parentsRead_ = false;
};

} // namespace

void SetAudioCalls(const AudioCalls* calls)
{
    audioCalls = calls != nullptr ? *calls : SystemAudioCalls();
}

// ---- the mute ----------------------------------------------------------------------

void VolumeMute::SetEndpointMute(bool mute)
{
    if (mute) {
        if (state_.volumeMuted)
            return; // one mute in force at a time: the first knows the user's state
        std::vector<AudioEndpoint> endpoints;
        if (!audioCalls.activeEndpoints(endpoints))
            return;
        MuteState muted;
        // With no default endpoint, nothing is undone on its account.
        muted.endpointWasMuted = true;
        for (const AudioEndpoint& endpoint : endpoints) {
            // The user's own mute stays theirs: nothing to switch, nothing
            // to switch back.
            const bool switched = !endpoint.muted && audioCalls.setEndpointMute(endpoint.id, true);
            if (endpoint.isDefault) {
                if (!endpoint.muted && !switched)
                    continue; // refused: not ours to undo
                muted.endpointId = endpoint.id;
                muted.endpointWasMuted = endpoint.muted;
                muted.volumeMuted = true;
            } else if (switched) {
                muted.moreEndpoints.push_back(endpoint.id);
                muted.volumeMuted = true;
            }
        }
        if (!muted.volumeMuted)
            return;
        state_.volumeMuted = true;
        state_.endpointId = muted.endpointId;
        state_.endpointWasMuted = muted.endpointWasMuted;
        state_.moreEndpoints = muted.moreEndpoints;
        return;
    }
    if (!state_.volumeMuted)
        return;
    // The endpoints that were muted, whichever is the default now. One that
    // has gone away cannot be unmuted, and stays forgotten.
    if (!state_.endpointWasMuted) {
        std::wstring id = state_.endpointId;
        if (id.empty()) {
            // A mute taken over from an older journal names no endpoint: it
            // was the default one's.
            std::vector<AudioEndpoint> endpoints;
            audioCalls.activeEndpoints(endpoints);
            for (const AudioEndpoint& endpoint : endpoints) {
                if (endpoint.isDefault)
                    id = endpoint.id;
            }
        }
        if (!id.empty())
            audioCalls.setEndpointMute(id, false);
    }
    for (const std::wstring& id : state_.moreEndpoints)
        audioCalls.setEndpointMute(id, false);
    state_.volumeMuted = false;
    state_.endpointId.clear();
    state_.endpointWasMuted = false;
    state_.moreEndpoints.clear();
}

void VolumeMute::SetWaveMute(bool mute)
{
    HWAVEOUT device0 = nullptr;
    if (mute) {
        // Muting twice must not save the silence over the user's volume.
        if (!state_.volumeMuted) {
            DWORD volume = 0;
            // Without a readable volume there is nothing we could put back,
            // so nothing is muted either.
            if (waveCalls.getVolume(device0, &volume) != MMSYSERR_NOERROR)
                return;
            state_.savedWaveVolume = volume;
        }
        if (waveCalls.setVolume(device0, 0) != MMSYSERR_NOERROR)
            return;
        state_.volumeMuted = true;
    } else if (state_.volumeMuted) {
        waveCalls.setVolume(device0, state_.savedWaveVolume);
        state_.volumeMuted = false;
    }
}

void VolumeMute::SetVolumeMute(bool mute)
{
    std::lock_guard<CCriticalSection> guard(lock_);
    if (!mute) {
        // No session is muted behind the unmute's back.
        StopWatching();
        // Each session back as it was: only those we muted are listed.
        for (const MutedSession& session : state_.sessions)
            audioCalls.setSessionMute(session.endpointId, session.sessionId, false);
        state_.sessions.clear();
    }
    if (!state_.volumeMuted && !mute)
        return; // nothing to undo

    DWORD major = osVersionSource != nullptr ? osVersionSource() : SystemMajorVersion();
    if (major >= 6)
        SetEndpointMute(mute);
    else
        SetWaveMute(mute);
}

void VolumeMute::MuteMatching(const std::vector<AudioSession>& sessions, const std::vector<std::wstring>& executables)
{
    ProgramMatch match(executables);
    for (const AudioSession& session : sessions) {
        if (session.processId == 0 || session.muted)
            continue;
        const MutedSession muted{session.endpointId, session.sessionId};
        if (std::find(state_.sessions.begin(), state_.sessions.end(), muted) != state_.sessions.end() ||
            !match.Matches(session.processId))
            continue;
        if (audioCalls.setSessionMute(session.endpointId, session.sessionId, true))
            state_.sessions.push_back(muted);
    }
}

bool VolumeMute::MuteSessionsOf(const std::vector<std::wstring>& executables)
{
    std::lock_guard<CCriticalSection> guard(lock_);
    std::vector<AudioSession> sessions;
    if (!audioCalls.listSessions(sessions))
        return false;
    {
        std::lock_guard<CCriticalSection> watchGuard(watchLock_);
        for (const std::wstring& executable : executables) {
            if (std::find(hiddenExecutables_.begin(), hiddenExecutables_.end(), executable) == hiddenExecutables_.end())
                hiddenExecutables_.push_back(executable);
        }
        watching_ = true;
    }
    // Watched from before the sessions are muted: one that starts meanwhile
    // is caught by one or the other.
    if (watch_ == nullptr && audioCalls.watchSessions != nullptr)
        watch_ = audioCalls.watchSessions(&VolumeMute::OnSessionCreated, this);
    MuteMatching(sessions, executables);
    return true;
}

void VolumeMute::AddHiddenProgram(DWORD processId)
{
    std::wstring path;
    if (processId == 0 || !ExecutablePathOfProcess(processId, path))
        return;
    const std::wstring executable = UpperCasePath(path);
    std::lock_guard<CCriticalSection> guard(lock_);
    {
        std::lock_guard<CCriticalSection> watchGuard(watchLock_);
        if (!watching_ ||
            std::find(hiddenExecutables_.begin(), hiddenExecutables_.end(), executable) != hiddenExecutables_.end())
            return;
        hiddenExecutables_.push_back(executable);
    }
    std::vector<AudioSession> sessions;
    if (audioCalls.listSessions(sessions))
        MuteMatching(sessions, {executable});
}

void VolumeMute::OnSessionCreated(void* context, const AudioSession& session, const std::function<bool()>& mute)
{
    auto* volume = static_cast<VolumeMute*>(context);
    if (session.processId == 0 || session.muted)
        return;
    // Decided and muted under the watch's lock: the unmute takes the list
    // only after the last such mute, and no mute comes after it.
    std::lock_guard<CCriticalSection> guard(volume->watchLock_);
    if (!volume->watching_ || !ProgramMatch(volume->hiddenExecutables_).Matches(session.processId))
        return;
    if (mute())
        volume->mutedLater_.push_back({session.endpointId, session.sessionId});
}

void VolumeMute::StopWatching()
{
    if (watch_ != nullptr && audioCalls.stopWatchingSessions != nullptr)
        audioCalls.stopWatchingSessions(watch_);
    watch_ = nullptr;
    std::vector<MutedSession> later;
    {
        std::lock_guard<CCriticalSection> watchGuard(watchLock_);
        watching_ = false;
        hiddenExecutables_.clear();
        later.swap(mutedLater_);
    }
    for (MutedSession& session : later) {
        if (std::find(state_.sessions.begin(), state_.sessions.end(), session) == state_.sessions.end())
            state_.sessions.push_back(std::move(session));
    }
}

VolumeMute::~VolumeMute()
{
    // The audio service must not call into a mute that has gone.
    std::lock_guard<CCriticalSection> guard(lock_);
    StopWatching();
}

MuteState VolumeMute::StateWithLater() const
{
    MuteState state = state_;
    std::lock_guard<CCriticalSection> watchGuard(watchLock_);
    for (const MutedSession& session : mutedLater_) {
        if (std::find(state.sessions.begin(), state.sessions.end(), session) == state.sessions.end())
            state.sessions.push_back(session);
    }
    return state;
}

bool VolumeMute::Muted() const
{
    std::lock_guard<CCriticalSection> guard(lock_);
    return !StateWithLater().Empty();
}

MuteState VolumeMute::State() const
{
    std::lock_guard<CCriticalSection> guard(lock_);
    return StateWithLater();
}

DWORD VolumeMute::SavedWaveVolume() const
{
    std::lock_guard<CCriticalSection> guard(lock_);
    return state_.savedWaveVolume;
}

void VolumeMute::TakeOver(const MuteState& state)
{
    std::lock_guard<CCriticalSection> guard(lock_);
    state_ = state;
}

void VolumeMute::Forget()
{
    std::lock_guard<CCriticalSection> guard(lock_);
    const DWORD saved = state_.savedWaveVolume;
    state_ = MuteState{};
    state_.savedWaveVolume = saved;
}

// ---- asking without joining an apartment ---------------------------------------------

namespace {

struct SessionProbe {
    std::atomic<bool> listable{false};
};

} // namespace

bool AudioSessionsListable(DWORD timeoutMs)
{
    // Shared with the thread, which may outlive a wait given up on.
    auto probe = std::make_shared<SessionProbe>();
    CWinThread thread;
    if (!thread.Start([probe] {
            std::vector<AudioSession> sessions;
            probe->listable.store(audioCalls.listSessions(sessions));
        }))
        return false;
    return thread.Wait(timeoutMs) && probe->listable.load();
}

// ---- the system's version and the older path's calls -----------------------------------

DWORD SystemMajorVersion()
{
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    static_assert(sizeof(OSVERSIONINFOW) == 276);
#if defined(_MSC_VER)
#pragma warning(suppress : 4996)
#endif
    if (!GetVersionExW(&info))
        return 0;
    return info.dwMajorVersion;
}

void SetVolumeOsVersionSource(OsMajorVersionSource source)
{
    osVersionSource = source;
}

void SetWaveVolumeCalls(const WaveVolumeCalls* calls)
{
    if (calls != nullptr && calls->getVolume != nullptr && calls->setVolume != nullptr)
        waveCalls = *calls;
    else
        waveCalls = {&waveOutGetVolume, &waveOutSetVolume};
}
