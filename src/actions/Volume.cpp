#include "actions/Volume.h"

#include <endpointvolume.h>
#include <mmdeviceapi.h>
#include <objbase.h>

#include "framework/Handles.h"

namespace {

OsMajorVersionSource osVersionSource = nullptr;
WaveVolumeCalls waveCalls = {&waveOutGetVolume, &waveOutSetVolume};
EndpointMuteObserver endpointObserver = nullptr;

} // namespace

void VolumeMute::SetEndpointMute(bool mute)
{
    // The result does not matter: a second call on a thread that already
    // joined the apartment is harmless, and a failure shows up below.
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);

    ComPtr<IMMDeviceEnumerator> enumerator;
    CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                     enumerator.put_void());
    if (enumerator.get() == nullptr)
        return;

    ComPtr<IMMDevice> device;
    if (FAILED(enumerator->GetDefaultAudioEndpoint(eRender, eMultimedia, device.put())) || device.get() == nullptr)
        return;

    ComPtr<IAudioEndpointVolume> endpoint;
    if (FAILED(device->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_ALL, nullptr, endpoint.put_void())) ||
        endpoint.get() == nullptr)
        return;

    // Only the mute switch: the user's level stays as it is.
    endpoint->SetMute(mute ? TRUE : FALSE, nullptr);
    if (endpointObserver != nullptr)
        endpointObserver(endpoint.get());
    muted_ = mute;
    // Released in reverse order: endpoint, device, enumerator.
}

void VolumeMute::SetWaveMute(bool mute)
{
    HWAVEOUT device0 = nullptr;
    if (mute) {
        // Muting twice must not save the silence over the user's volume.
        if (!muted_) {
            DWORD volume = 0;
            // Without a readable volume there is nothing we could put back,
            // so nothing is muted either.
            if (waveCalls.getVolume(device0, &volume) != MMSYSERR_NOERROR)
                return;
            savedWaveVolume_ = volume;
        }
        if (waveCalls.setVolume(device0, 0) != MMSYSERR_NOERROR)
            return;
        muted_ = true;
    } else {
        waveCalls.setVolume(device0, savedWaveVolume_);
        muted_ = false;
    }
}

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

void SetEndpointMuteObserver(EndpointMuteObserver observer)
{
    endpointObserver = observer;
}

void VolumeMute::SetVolumeMute(bool mute)
{
    std::lock_guard<std::mutex> guard(lock_);
    if (!muted_ && !mute)
        return; // nothing to undo

    DWORD major = osVersionSource != nullptr ? osVersionSource() : SystemMajorVersion();
    if (major >= 6)
        SetEndpointMute(mute);
    else
        SetWaveMute(mute);
}

bool VolumeMute::Muted() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return muted_;
}

DWORD VolumeMute::SavedWaveVolume() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return savedWaveVolume_;
}

void VolumeMute::TakeOver(DWORD savedWaveVolume)
{
    std::lock_guard<std::mutex> guard(lock_);
    savedWaveVolume_ = savedWaveVolume;
    muted_ = true;
}

void VolumeMute::Forget()
{
    std::lock_guard<std::mutex> guard(lock_);
    muted_ = false;
}
