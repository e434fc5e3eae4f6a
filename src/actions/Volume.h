#pragma once
#include <windows.h>

#include <mmsystem.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/Sync.h"

struct IAudioEndpointVolume;

// An audio session as the system's session manager lists it.
struct AudioSession {
    std::wstring endpointId; // the render endpoint it plays on (IMMDevice::GetId)
    std::wstring sessionId;  // IAudioSessionControl2::GetSessionInstanceIdentifier
    DWORD processId = 0;     // 0 for the system sounds
    bool muted = false;      // the session's own mute (ISimpleAudioVolume)
};

// A session we muted, found again by its endpoint and instance identifier.
struct MutedSession {
    std::wstring endpointId;
    std::wstring sessionId;
    bool operator==(const MutedSession& other) const
    {
        return endpointId == other.endpointId && sessionId == other.sessionId;
    }
};

// What a mute left in force and a restore must undo; the journal carries it
// so that whoever restores after our death undoes exactly the same.
struct MuteState {
    // A whole-output mute is in force through us.
    bool volumeMuted = false;
    // The endpoint it was asked of (the default render endpoint at the hide).
    std::wstring endpointId;
    // The user had muted that endpoint already: a restore leaves it muted.
    bool endpointWasMuted = false;
    // The other active render endpoints (a headset, the communications
    // device) that the mute switched on: each is switched off again. Those
    // the user had muted are not listed, and stay muted.
    std::vector<std::wstring> moreEndpoints;
    // Older systems: the wave-output volume to put back.
    DWORD savedWaveVolume = 0;
    // Sessions of hidden programs that we muted (each was unmuted before).
    std::vector<MutedSession> sessions;

    bool Empty() const { return !volumeMuted && sessions.empty(); }
};

// An active render endpoint as the system lists it.
struct AudioEndpoint {
    std::wstring id; // IMMDevice::GetId
    bool muted = false;
    bool isDefault = false; // the default endpoint of the multimedia role
};

// Called for each audio session created while a watch runs, on a thread of
// the audio service; `mute` mutes it, true when that took.
using SessionCreated = void (*)(void* context, const AudioSession& session, const std::function<bool()>& mute);

// The Core Audio calls the mute goes through. The defaults are the system's
// (each call joins the calling thread to the multithreaded apartment); tests
// put an audio world of their own here, since the one Wine offers has no
// sessions and no second endpoint to switch to.
struct AudioCalls {
    // Every active render endpoint with its mute switch; false without any.
    bool (*activeEndpoints)(std::vector<AudioEndpoint>& endpoints);
    // Sets the mute switch of endpoint `id`; false when it is not there.
    bool (*setEndpointMute)(const std::wstring& id, bool mute);
    // Every session on every active render endpoint; false when the system
    // cannot list them.
    bool (*listSessions)(std::vector<AudioSession>& sessions);
    // Sets one session's mute; false when it is gone.
    bool (*setSessionMute)(const std::wstring& endpointId, const std::wstring& sessionId, bool mute);
    // Starts telling `created` of the sessions created on every active
    // render endpoint from now on; null when the system cannot.
    void* (*watchSessions)(SessionCreated created, void* context);
    // Ends what watchSessions started; once it returns, `created` is not
    // called again for it.
    void (*stopWatchingSessions)(void* watch);
};
void SetAudioCalls(const AudioCalls* calls);
AudioCalls SystemAudioCalls();

// The system's sound output as far as we changed it. One object per engine;
// every thread that mutes or unmutes goes through it, one at a time.
class VolumeMute {
public:
    VolumeMute() = default;
    ~VolumeMute();
    VolumeMute(const VolumeMute&) = delete;
    VolumeMute& operator=(const VolumeMute&) = delete;

    // Mutes (true) the whole output or undoes (false) every mute of ours.
    // From Windows Vista on, the mute switch of every active render endpoint
    // is set (the default one, a headset, the communications device), and
    // cleared again on each of those same endpoints, unless the user had
    // muted it before; the level is left alone. Before Vista the
    // wave-output volume of device 0 is saved, set to silence and put back.
    // A second mute while one is in force changes nothing: one unmute
    // undoes it. Nothing is reported: without a sound device the call does
    // nothing.
    void SetVolumeMute(bool mute);

    // Mutes only the audio sessions of processes that run one of
    // `executables` (upper-cased full paths), or descend from a process that
    // does (a browser's or a web view's sound plays from a helper process),
    // each unless it was muted already; and, until the unmute, every such
    // session created later. False when the system cannot list its
    // sessions (the caller then mutes the whole output instead).
    bool MuteSessionsOf(const std::vector<std::wstring>& executables);
    // While sessions are muted: the program of process `processId` is
    // hidden too (a window the watch hid later), and its sessions go quiet
    // as well. Nothing otherwise.
    void AddHiddenProgram(DWORD processId);

    // Some mute of ours is in force: an unmute finds nothing to undo while
    // this is false.
    bool Muted() const;
    MuteState State() const;
    // Older systems only: the wave-output volume read just before muting (low
    // word left channel, high word right channel).
    DWORD SavedWaveVolume() const;

    // Takes over the mute a dead instance left, so that the next unmute
    // undoes it.
    void TakeOver(const MuteState& state);
    // Forgets a mute that cannot be undone.
    void Forget();

private:
    void SetEndpointMute(bool mute);
    void SetWaveMute(bool mute);
    // The sessions of `executables`' processes and their descendants.
    void MuteMatching(const std::vector<AudioSession>& sessions, const std::vector<std::wstring>& executables);
    void StopWatching();
    MuteState StateWithLater() const; // under lock_
    static void OnSessionCreated(void* context, const AudioSession& session, const std::function<bool()>& mute);

    mutable CCriticalSection lock_; // held for a whole mute or unmute
    MuteState state_;

    // The watch for new sessions, while sessions are muted. Its lock is
    // held by the audio service's calls, never across a call to it.
    mutable CCriticalSection watchLock_;
    void* watch_ = nullptr; // the audio calls' handle; under lock_
    bool watching_ = false;
    std::vector<std::wstring> hiddenExecutables_;
    std::vector<MutedSession> mutedLater_; // muted by the watch
};

// Whether the system lists audio sessions, asked on a short-lived thread of
// its own (the audio interfaces join the calling thread to a COM apartment,
// which the user-interface thread must be left to choose). False too when
// the answer takes longer than `timeoutMs`.
bool AudioSessionsListable(DWORD timeoutMs = 3000);

// The system's major version decides the mechanism (6 and up: Core Audio).
// Tests replace the answer to drive either path; null puts back the real one.
using OsMajorVersionSource = DWORD (*)();
void SetVolumeOsVersionSource(OsMajorVersionSource source);

// The major version as the system reports it to GetVersionExW.
DWORD SystemMajorVersion();

// The wave-output calls of the older path. Wine accepts only opened
// handles, not the device number these calls are given, so tests put
// recorders here. Null puts back the multimedia library's functions.
struct WaveVolumeCalls {
    MMRESULT(WINAPI* getVolume)(HWAVEOUT device, LPDWORD volume);
    MMRESULT(WINAPI* setVolume)(HWAVEOUT device, DWORD volume);
};
void SetWaveVolumeCalls(const WaveVolumeCalls* calls);

// Called by the system calls with the endpoint's volume interface right after
// its mute switch was set, while the interface is still held. Tests use it
// to look at the endpoint; null (the default) for none.
using EndpointMuteObserver = void (*)(IAudioEndpointVolume* endpoint);
void SetEndpointMuteObserver(EndpointMuteObserver observer);
