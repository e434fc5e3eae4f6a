#pragma once
#include <windows.h>

#include <mmsystem.h>

#include <mutex>

struct IAudioEndpointVolume;

// The system's sound output as far as we changed it: whether we muted it and,
// on older systems, the volume to put back. One object per engine; every
// thread that mutes or unmutes goes through it, one at a time.
class VolumeMute {
public:
    // Mutes (true) or unmutes (false) the system's sound output. From Windows
    // Vista on the default render endpoint's mute switch is set or cleared and
    // its level is left alone; before that the wave-output volume of device 0
    // is saved, set to silence and put back. The calling thread joins the
    // multithreaded COM apartment. Nothing is reported: without a sound
    // device the call does nothing.
    void SetVolumeMute(bool mute);

    // We muted the output and have not unmuted it yet. An unmute finds
    // nothing to undo while this is false.
    bool Muted() const;
    // Older systems only: the wave-output volume read just before muting (low
    // word left channel, high word right channel).
    DWORD SavedWaveVolume() const;

    // Takes over the mute a dead instance left, so that the next unmute
    // undoes it.
    void TakeOver(DWORD savedWaveVolume);
    // Forgets a mute that cannot be undone.
    void Forget();

private:
    void SetEndpointMute(bool mute);
    void SetWaveMute(bool mute);

    mutable std::mutex lock_; // held for a whole mute or unmute
    bool muted_ = false;
    DWORD savedWaveVolume_ = 0;
};

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

// Called with the endpoint's volume interface right after its mute switch
// was set, while the interface is still held. Tests use it to look at the
// endpoint; null (the default) for none.
using EndpointMuteObserver = void (*)(IAudioEndpointVolume* endpoint);
void SetEndpointMuteObserver(EndpointMuteObserver observer);
