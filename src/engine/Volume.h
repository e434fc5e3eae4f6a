#pragma once
#include <windows.h>

#include <mmsystem.h>

struct IAudioEndpointVolume;

// Mutes (true) or unmutes (false) the system's sound output. From Windows
// Vista on the default render endpoint's mute switch is set or cleared and
// its level is left alone; before that the wave-output volume of device 0 is
// saved, set to silence and put back. Called only by the engine thread
// (COM is joined to the multithreaded apartment there). Nothing is reported:
// without a sound device the call does nothing.
void SetVolumeMute(bool mute);

// We muted the output and have not unmuted it yet. An unmute finds nothing
// to undo while this is 0.
extern int muted;

// Older systems only: the wave-output volume read just before muting (low
// word left channel, high word right channel).
extern DWORD savedWaveVolume;

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
    MMRESULT (WINAPI* getVolume)(HWAVEOUT device, LPDWORD volume);
    MMRESULT (WINAPI* setVolume)(HWAVEOUT device, DWORD volume);
};
void SetWaveVolumeCalls(const WaveVolumeCalls* calls);

// Called with the endpoint's volume interface right after its mute switch
// was set, while the interface is still held. Tests use it to look at the
// endpoint; null (the default) for none.
using EndpointMuteObserver = void (*)(IAudioEndpointVolume* endpoint);
void SetEndpointMuteObserver(EndpointMuteObserver observer);
