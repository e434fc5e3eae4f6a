#include "actions/Volume.h"

#include <audiopolicy.h>
#include <endpointvolume.h>
#include <mmdeviceapi.h>
#include <objbase.h>

#include <atomic>
#include <memory>
#include <utility>
#include <vector>

#include "framework/Handles.h"

// The system's side of the audio calls (Core Audio), behind AudioCalls.

namespace {

EndpointMuteObserver endpointObserver = nullptr;

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

std::wstring IdOf(IMMDevice* device)
{
    LPWSTR text = nullptr;
    return SUCCEEDED(device->GetId(&text)) ? TakeCoText(text) : std::wstring();
}

bool SystemActiveEndpoints(std::vector<AudioEndpoint>& endpoints)
{
    const ComPtr<IMMDeviceEnumerator> enumerator = DeviceEnumerator();
    if (!enumerator)
        return false;
    std::wstring defaultId;
    ComPtr<IMMDevice> defaultDevice;
    if (SUCCEEDED(enumerator->GetDefaultAudioEndpoint(eRender, eMultimedia, defaultDevice.put())) && defaultDevice)
        defaultId = IdOf(defaultDevice.get());
    ComPtr<IMMDeviceCollection> devices;
    UINT count = 0;
    if (FAILED(enumerator->EnumAudioEndpoints(eRender, DEVICE_STATE_ACTIVE, devices.put())) || !devices ||
        FAILED(devices->GetCount(&count)))
        return false;
    for (UINT i = 0; i < count; ++i) {
        ComPtr<IMMDevice> device;
        if (FAILED(devices->Item(i, device.put())) || !device)
            continue;
        AudioEndpoint endpoint;
        endpoint.id = IdOf(device.get());
        const ComPtr<IAudioEndpointVolume> volume = Activate<IAudioEndpointVolume>(device.get());
        BOOL mute = FALSE;
        if (endpoint.id.empty() || !volume || FAILED(volume->GetMute(&mute)))
            continue;
        endpoint.muted = mute != FALSE;
        endpoint.isDefault = endpoint.id == defaultId;
        endpoints.push_back(std::move(endpoint));
    }
    return !endpoints.empty();
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

// ---- new sessions ------------------------------------------------------------------

// Told by the session manager of each session created on one endpoint. The
// system calls it on a thread of its own; it asks its owner and mutes the
// session through the interface in hand.
class SessionNotifier : public IAudioSessionNotification {
public:
    SessionNotifier(std::wstring endpointId, SessionCreated created, void* context)
        : endpointId_(std::move(endpointId)), created_(created), context_(context)
    {
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (object == nullptr)
            return E_POINTER;
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IAudioSessionNotification)) {
            *object = static_cast<IAudioSessionNotification*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references_); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG left = --references_;
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }

    HRESULT STDMETHODCALLTYPE OnSessionCreated(IAudioSessionControl* control) override
    {
        ComPtr<IAudioSessionControl2> control2;
        ComPtr<ISimpleAudioVolume> volume;
        if (control == nullptr ||
            FAILED(control->QueryInterface(__uuidof(IAudioSessionControl2), control2.put_void())) || !control2 ||
            FAILED(control->QueryInterface(__uuidof(ISimpleAudioVolume), volume.put_void())) || !volume)
            return S_OK;
        AudioSession session;
        session.endpointId = endpointId_;
        control2->GetProcessId(&session.processId);
        LPWSTR instance = nullptr;
        if (FAILED(control2->GetSessionInstanceIdentifier(&instance)))
            return S_OK;
        session.sessionId = TakeCoText(instance);
        BOOL mute = FALSE;
        volume->GetMute(&mute);
        session.muted = mute != FALSE;
        if (control2->IsSystemSoundsSession() == S_OK)
            session.processId = 0;
        ISimpleAudioVolume* raw = volume.get();
        created_(context_, session, [raw] { return SUCCEEDED(raw->SetMute(TRUE, nullptr)); });
        return S_OK;
    }

private:
    virtual ~SessionNotifier() = default;

    std::atomic<LONG> references_{1};
    std::wstring endpointId_;
    SessionCreated created_;
    void* context_;
};

// Every registration of one watch, undone together.
struct SessionWatch {
    std::vector<std::pair<ComPtr<IAudioSessionManager2>, SessionNotifier*>> registrations;
};

void* SystemWatchSessions(SessionCreated created, void* context)
{
    const ComPtr<IMMDeviceEnumerator> enumerator = DeviceEnumerator();
    ComPtr<IMMDeviceCollection> devices;
    UINT count = 0;
    if (!enumerator || FAILED(enumerator->EnumAudioEndpoints(eRender, DEVICE_STATE_ACTIVE, devices.put())) ||
        !devices || FAILED(devices->GetCount(&count)))
        return nullptr;
    auto watch = std::make_unique<SessionWatch>();
    for (UINT i = 0; i < count; ++i) {
        ComPtr<IMMDevice> device;
        if (FAILED(devices->Item(i, device.put())) || !device)
            continue;
        ComPtr<IAudioSessionManager2> manager = Activate<IAudioSessionManager2>(device.get());
        if (!manager)
            continue;
        auto* notifier = new SessionNotifier(IdOf(device.get()), created, context);
        // The manager tells of new sessions only once its enumerator exists.
        ComPtr<IAudioSessionEnumerator> sessions;
        if (SUCCEEDED(manager->RegisterSessionNotification(notifier)) &&
            SUCCEEDED(manager->GetSessionEnumerator(sessions.put())))
            watch->registrations.emplace_back(std::move(manager), notifier);
        else
            notifier->Release();
    }
    if (watch->registrations.empty())
        return nullptr;
    return watch.release();
}

void SystemStopWatchingSessions(void* handle)
{
    std::unique_ptr<SessionWatch> watch(static_cast<SessionWatch*>(handle));
    if (!watch)
        return;
    for (auto& [manager, notifier] : watch->registrations) {
        manager->UnregisterSessionNotification(notifier);
        notifier->Release();
    }
}

} // namespace

AudioCalls SystemAudioCalls()
{
    return {&SystemActiveEndpoints, &SystemSetEndpointMute, &SystemListSessions,
            &SystemSetSessionMute,  &SystemWatchSessions,   &SystemStopWatchingSessions};
}

void SetEndpointMuteObserver(EndpointMuteObserver observer)
{
    endpointObserver = observer;
}
