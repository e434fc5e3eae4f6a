#include "actions/Volume.h"

#include <audiopolicy.h>
#include <endpointvolume.h>
#include <mmdeviceapi.h>
#include <objbase.h>

#include <algorithm>
#include <atomic>
#include <memory>

#include "framework/Handles.h"
#include "system/ProcessInfo.h"

namespace {

OsMajorVersionSource osVersionSource = nullptr;
WaveVolumeCalls waveCalls = {&waveOutGetVolume, &waveOutSetVolume};
EndpointMuteObserver endpointObserver = nullptr;

// ---- the system's audio ------------------------------------------------------------

// Text the audio interfaces hand out, freed with CoTaskMemFree.
std::wstring TakeCoText(LPWSTR text)
{
    std::wstring copy = text != nullptr ? text : L"";
    CoTaskMemFree(text);
    return copy;
}

ComPtr<IMMDeviceEnumerator> DeviceEnumerator()
{
    // The result does not matter: a second call on a thread that already
    // joined the apartment is harmless, and a failure shows up below.
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    ComPtr<IMMDeviceEnumerator> enumerator;
    CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                     enumerator.put_void());
    return enumerator;
}

template <typename Interface>
ComPtr<Interface> Activate(IMMDevice* device)
{
    ComPtr<Interface> activated;
    if (FAILED(device->Activate(__uuidof(Interface), CLSCTX_ALL, nullptr, activated.put_void())))
        activated.reset();
    return activated;
}

// The endpoint of `id`, as long as it is there at all.
ComPtr<IMMDevice> DeviceById(IMMDeviceEnumerator* enumerator, const std::wstring& id)
{
    ComPtr<IMMDevice> device;
    if (FAILED(enumerator->GetDevice(id.c_str(), device.put())))
        device.reset();
    return device;
}

bool SystemDefaultEndpoint(std::wstring& id, bool& muted)
{
    const ComPtr<IMMDeviceEnumerator> enumerator = DeviceEnumerator();
    if (!enumerator)
        return false;
    ComPtr<IMMDevice> device;
    if (FAILED(enumerator->GetDefaultAudioEndpoint(eRender, eMultimedia, device.put())) || !device)
        return false;
    LPWSTR text = nullptr;
    if (FAILED(device->GetId(&text)))
        return false;
    id = TakeCoText(text);
    const ComPtr<IAudioEndpointVolume> endpoint = Activate<IAudioEndpointVolume>(device.get());
    BOOL mute = FALSE;
    if (!endpoint || FAILED(endpoint->GetMute(&mute)))
        return false;
    muted = mute != FALSE;
    return true;
}

bool SystemSetEndpointMute(const std::wstring& id, bool mute)
{
    const ComPtr<IMMDeviceEnumerator> enumerator = DeviceEnumerator();
    if (!enumerator)
        return false;
    const ComPtr<IMMDevice> device = DeviceById(enumerator.get(), id);
    if (!device)
        return false;
    const ComPtr<IAudioEndpointVolume> endpoint = Activate<IAudioEndpointVolume>(device.get());
    if (!endpoint)
        return false;
    // Only the mute switch: the user's level stays as it is.
    const bool set = SUCCEEDED(endpoint->SetMute(mute ? TRUE : FALSE, nullptr));
    if (endpointObserver != nullptr)
        endpointObserver(endpoint.get());
    return set;
}

// Calls `visit` with every session of `device`; false when the device's
// sessions cannot be listed.
template <typename Visit>
bool ForEachSession(IMMDevice* device, Visit visit)
{
    const ComPtr<IAudioSessionManager2> manager = Activate<IAudioSessionManager2>(device);
    if (!manager)
        return false;
    ComPtr<IAudioSessionEnumerator> sessions;
    int count = 0;
    if (FAILED(manager->GetSessionEnumerator(sessions.put())) || !sessions || FAILED(sessions->GetCount(&count)))
        return false;
    for (int i = 0; i < count; ++i) {
        ComPtr<IAudioSessionControl> control;
        ComPtr<IAudioSessionControl2> control2;
        if (FAILED(sessions->GetSession(i, control.put())) || !control ||
            FAILED(control->QueryInterface(__uuidof(IAudioSessionControl2), control2.put_void())) || !control2)
            continue;
        ComPtr<ISimpleAudioVolume> volume;
        if (FAILED(control->QueryInterface(__uuidof(ISimpleAudioVolume), volume.put_void())) || !volume)
            continue;
        if (!visit(control2.get(), volume.get()))
            break;
    }
    return true;
}

bool SystemListSessions(std::vector<AudioSession>& listed)
{
    const ComPtr<IMMDeviceEnumerator> enumerator = DeviceEnumerator();
    if (!enumerator)
        return false;
    ComPtr<IMMDeviceCollection> devices;
    UINT count = 0;
    if (FAILED(enumerator->EnumAudioEndpoints(eRender, DEVICE_STATE_ACTIVE, devices.put())) || !devices ||
        FAILED(devices->GetCount(&count)) || count == 0)
        return false;
    bool anyListed = false;
    for (UINT i = 0; i < count; ++i) {
        ComPtr<IMMDevice> device;
        LPWSTR text = nullptr;
        if (FAILED(devices->Item(i, device.put())) || !device || FAILED(device->GetId(&text)))
            continue;
        const std::wstring endpointId = TakeCoText(text);
        anyListed |= ForEachSession(device.get(), [&](IAudioSessionControl2* control, ISimpleAudioVolume* volume) {
            AudioSession session;
            session.endpointId = endpointId;
            // A session shared by several processes answers with a success
            // code other than S_OK and the first of them.
            control->GetProcessId(&session.processId);
            LPWSTR instance = nullptr;
            if (FAILED(control->GetSessionInstanceIdentifier(&instance)))
                return true;
            session.sessionId = TakeCoText(instance);
            BOOL mute = FALSE;
            volume->GetMute(&mute);
            session.muted = mute != FALSE;
            if (control->IsSystemSoundsSession() == S_OK)
                session.processId = 0;
            listed.push_back(std::move(session));
            return true;
        });
    }
    return anyListed;
}

bool SystemSetSessionMute(const std::wstring& endpointId, const std::wstring& sessionId, bool mute)
{
    const ComPtr<IMMDeviceEnumerator> enumerator = DeviceEnumerator();
    if (!enumerator)
        return false;
    const ComPtr<IMMDevice> device = DeviceById(enumerator.get(), endpointId);
    if (!device)
        return false;
    bool set = false;
    ForEachSession(device.get(), [&](IAudioSessionControl2* control, ISimpleAudioVolume* volume) {
        LPWSTR instance = nullptr;
        if (FAILED(control->GetSessionInstanceIdentifier(&instance)) || TakeCoText(instance) != sessionId)
            return true;
        set = SUCCEEDED(volume->SetMute(mute ? TRUE : FALSE, nullptr));
        return false;
    });
    return set;
}

AudioCalls audioCalls = SystemAudioCalls();

} // namespace

AudioCalls SystemAudioCalls()
{
    return {&SystemDefaultEndpoint, &SystemSetEndpointMute, &SystemListSessions, &SystemSetSessionMute};
}

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
        std::wstring id;
        bool wasMuted = false;
        if (!audioCalls.defaultEndpoint(id, wasMuted))
            return;
        // The user's own mute stays theirs: nothing to switch, nothing to
        // switch back.
        if (!wasMuted && !audioCalls.setEndpointMute(id, true))
            return;
        state_.volumeMuted = true;
        state_.endpointId = id;
        state_.endpointWasMuted = wasMuted;
        return;
    }
    if (!state_.volumeMuted)
        return;
    // The endpoint that was muted, whichever is the default now. One that
    // has gone away cannot be unmuted, and stays forgotten.
    if (!state_.endpointWasMuted) {
        std::wstring id = state_.endpointId;
        bool ignored = false;
        // A mute taken over from an older journal names no endpoint: it
        // was the default one's.
        if (!id.empty() || audioCalls.defaultEndpoint(id, ignored))
            audioCalls.setEndpointMute(id, false);
    }
    state_.volumeMuted = false;
    state_.endpointId.clear();
    state_.endpointWasMuted = false;
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
    std::lock_guard<std::mutex> guard(lock_);
    if (!mute) {
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

bool VolumeMute::MuteSessionsOf(const std::vector<std::wstring>& executables)
{
    std::vector<AudioSession> sessions;
    if (!audioCalls.listSessions(sessions))
        return false;
    std::lock_guard<std::mutex> guard(lock_);
    // A browser plays from child processes of the same executable: the
    // path, not the window's own process, decides.
    std::vector<std::pair<DWORD, bool>> asked; // process id, runs one of them
    for (const AudioSession& session : sessions) {
        if (session.processId == 0 || session.muted)
            continue;
        auto known =
            std::find_if(asked.begin(), asked.end(), [&](const auto& item) { return item.first == session.processId; });
        if (known == asked.end()) {
            std::wstring path;
            const bool hidden =
                ExecutablePathOfProcess(session.processId, path) &&
                std::find(executables.begin(), executables.end(), UpperCasePath(path)) != executables.end();
            known = asked.insert(asked.end(), {session.processId, hidden});
        }
        const MutedSession muted{session.endpointId, session.sessionId};
        if (!known->second || std::find(state_.sessions.begin(), state_.sessions.end(), muted) != state_.sessions.end())
            continue;
        if (audioCalls.setSessionMute(session.endpointId, session.sessionId, true))
            state_.sessions.push_back(muted);
    }
    return true;
}

bool VolumeMute::Muted() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return !state_.Empty();
}

MuteState VolumeMute::State() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return state_;
}

DWORD VolumeMute::SavedWaveVolume() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return state_.savedWaveVolume;
}

void VolumeMute::TakeOver(const MuteState& state)
{
    std::lock_guard<std::mutex> guard(lock_);
    state_ = state;
}

void VolumeMute::Forget()
{
    std::lock_guard<std::mutex> guard(lock_);
    const DWORD saved = state_.savedWaveVolume;
    state_ = MuteState{};
    state_.savedWaveVolume = saved;
}

// ---- asking without joining an apartment ---------------------------------------------

namespace {

struct SessionProbe {
    std::atomic<bool> listable{false};
};

DWORD WINAPI ProbeSessions(LPVOID parameter)
{
    const std::unique_ptr<std::shared_ptr<SessionProbe>> probe(static_cast<std::shared_ptr<SessionProbe>*>(parameter));
    std::vector<AudioSession> sessions;
    (*probe)->listable.store(audioCalls.listSessions(sessions));
    return 0;
}

} // namespace

bool AudioSessionsListable(DWORD timeoutMs)
{
    // Shared with the thread, which may outlive a wait given up on.
    auto probe = std::make_shared<SessionProbe>();
    auto parameter = std::make_unique<std::shared_ptr<SessionProbe>>(probe);
    const UniqueHandle thread(CreateThread(nullptr, 0, ProbeSessions, parameter.get(), 0, nullptr));
    if (!thread)
        return false;
    static_cast<void>(parameter.release()); // the thread owns it now
    return WaitForSingleObject(thread.get(), timeoutMs) == WAIT_OBJECT_0 && probe->listable.load();
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

void SetEndpointMuteObserver(EndpointMuteObserver observer)
{
    endpointObserver = observer;
}
