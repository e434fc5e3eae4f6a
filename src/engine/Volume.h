#pragma once
#include <windows.h>

// Mutes (true) or unmutes (false) the system's sound output. From Windows
// Vista on the default render endpoint's mute switch is set or cleared and
// its level is left alone; before that the wave-output volume of device 0 is
// saved, set to silence and put back. Called only by the engine thread.
// Nothing is reported: without a sound device the call does nothing.
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
