#include "engine/Volume.h"

#include <endpointvolume.h>
#include <mmdeviceapi.h>
#include <objbase.h>

namespace {

OsMajorVersionSource osVersionSource = nullptr;
WaveVolumeCalls waveCalls = {&waveOutGetVolume, &waveOutSetVolume};
EndpointMuteObserver endpointObserver = nullptr;

// Releases a COM interface when it goes out of scope.
template <class T>
class ComRef {
public:
    ComRef() = default;
    ~ComRef() {
        if (pointer_ != nullptr) pointer_->Release();
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;

    T* operator->() const { return pointer_; }
    T* Get() const { return pointer_; }
    void** OutVoid() { return reinterpret_cast<void**>(&pointer_); }
    T** Out() { return &pointer_; }

private:
    T* pointer_ = nullptr;
};

} // namespace

void VolumeMute::SetEndpointMute(bool mute) {
    // The result does not matter: a second call on a thread that already
    // joined the apartment is harmless, and a failure shows up below.
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);

    ComRef<IMMDeviceEnumerator> enumerator;
    CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                     enumerator.OutVoid());
    if (enumerator.Get() == nullptr) return;

    ComRef<IMMDevice> device;
    if (FAILED(enumerator->GetDefaultAudioEndpoint(eRender, eMultimedia, device.Out())) || device.Get() == nullptr)
        return;

    ComRef<IAudioEndpointVolume> endpoint;
    if (FAILED(device->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_ALL, nullptr, endpoint.OutVoid())) ||
        endpoint.Get() == nullptr)
        return;

    // Only the mute switch: the user's level stays as it is.
    endpoint->SetMute(mute ? TRUE : FALSE, nullptr);
    if (endpointObserver != nullptr) endpointObserver(endpoint.Get());
    muted_ = mute;
    // Released in reverse order: endpoint, device, enumerator.
}

void VolumeMute::SetWaveMute(bool mute) {
    HWAVEOUT device0 = nullptr;
    if (mute) {
        // Muting twice must not save the silence over the user's volume.
        if (!muted_) {
            DWORD volume = 0;
            // Without a readable volume there is nothing we could put back,
            // so nothing is muted either.
            if (waveCalls.getVolume(device0, &volume) != MMSYSERR_NOERROR) return;
            savedWaveVolume_ = volume;
        }
        if (waveCalls.setVolume(device0, 0) != MMSYSERR_NOERROR) return;
        muted_ = true;
    } else {
        waveCalls.setVolume(device0, savedWaveVolume_);
        muted_ = false;
    }
}

DWORD SystemMajorVersion() {
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    static_assert(sizeof(OSVERSIONINFOW) == 276);
#if defined(_MSC_VER)
#pragma warning(suppress : 4996)
#endif
    if (!GetVersionExW(&info)) return 0;
    return info.dwMajorVersion;
}

void SetVolumeOsVersionSource(OsMajorVersionSource source) { osVersionSource = source; }

void SetWaveVolumeCalls(const WaveVolumeCalls* calls) {
    if (calls != nullptr && calls->getVolume != nullptr && calls->setVolume != nullptr)
        waveCalls = *calls;
    else
        waveCalls = {&waveOutGetVolume, &waveOutSetVolume};
}

void SetEndpointMuteObserver(EndpointMuteObserver observer) { endpointObserver = observer; }

void VolumeMute::SetVolumeMute(bool mute) {
    std::lock_guard<std::mutex> guard(lock_);
    if (!muted_ && !mute) return; // nothing to undo

    DWORD major = osVersionSource != nullptr ? osVersionSource() : SystemMajorVersion();
    if (major >= 6)
        SetEndpointMute(mute);
    else
        SetWaveMute(mute);
}

bool VolumeMute::Muted() const {
    std::lock_guard<std::mutex> guard(lock_);
    return muted_;
}

DWORD VolumeMute::SavedWaveVolume() const {
    std::lock_guard<std::mutex> guard(lock_);
    return savedWaveVolume_;
}

void VolumeMute::TakeOver(DWORD savedWaveVolume) {
    std::lock_guard<std::mutex> guard(lock_);
    savedWaveVolume_ = savedWaveVolume;
    muted_ = true;
}

void VolumeMute::Forget() {
    std::lock_guard<std::mutex> guard(lock_);
    muted_ = false;
}
