#pragma once
// An audio world the tests control, behind the volume code's audio calls:
// endpoints with their mute switches, which one is the default, and the
// sessions playing on them. Wine offers one endpoint at most and no
// sessions, so switching the default or muting a browser's session can
// only be seen here.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "actions/Volume.h"

namespace audiotest {

struct Endpoint {
    std::wstring id;
    bool muted = false;
    bool active = true; // unplugged or disabled endpoints are not listed
};

struct World {
    std::vector<Endpoint> endpoints;
    std::wstring defaultId; // empty: no default endpoint
    std::vector<AudioSession> sessions;
    bool sessionsListable = true;
    // The watch for new sessions, while one runs.
    SessionCreated created = nullptr;
    void* createdContext = nullptr;

    // A program starts playing: the session is listed, and a watch is told.
    void StartSession(const AudioSession& session)
    {
        sessions.push_back(session);
        if (created == nullptr)
            return;
        const std::wstring endpointId = session.endpointId;
        const std::wstring sessionId = session.sessionId;
        created(createdContext, session, [this, endpointId, sessionId] {
            AudioSession* started = FindSession(endpointId, sessionId);
            return started != nullptr && (started->muted = true);
        });
    }

    Endpoint* Find(const std::wstring& id)
    {
        auto found = std::find_if(endpoints.begin(), endpoints.end(), [&](const Endpoint& e) { return e.id == id; });
        return found != endpoints.end() ? &*found : nullptr;
    }
    AudioSession* FindSession(const std::wstring& endpointId, const std::wstring& sessionId)
    {
        auto found = std::find_if(sessions.begin(), sessions.end(), [&](const AudioSession& s) {
            return s.endpointId == endpointId && s.sessionId == sessionId;
        });
        return found != sessions.end() ? &*found : nullptr;
    }
    bool EndpointMuted(const std::wstring& id) { return Find(id) != nullptr && Find(id)->muted; }
    bool SessionMuted(const std::wstring& sessionId)
    {
        for (const AudioSession& s : sessions)
            if (s.sessionId == sessionId)
                return s.muted;
        return false;
    }
};

inline World& TheWorld()
{
    static World world;
    return world;
}

inline AudioCalls WorldCalls()
{
    AudioCalls calls{};
    calls.activeEndpoints = [](std::vector<AudioEndpoint>& endpoints) {
        for (const Endpoint& endpoint : TheWorld().endpoints) {
            if (endpoint.active)
                endpoints.push_back({endpoint.id, endpoint.muted, endpoint.id == TheWorld().defaultId});
        }
        return !endpoints.empty();
    };
    calls.setEndpointMute = [](const std::wstring& id, bool mute) {
        Endpoint* endpoint = TheWorld().Find(id);
        if (endpoint == nullptr)
            return false;
        endpoint->muted = mute;
        return true;
    };
    calls.listSessions = [](std::vector<AudioSession>& sessions) {
        if (!TheWorld().sessionsListable)
            return false;
        sessions = TheWorld().sessions;
        return true;
    };
    calls.setSessionMute = [](const std::wstring& endpointId, const std::wstring& sessionId, bool mute) {
        AudioSession* session = TheWorld().FindSession(endpointId, sessionId);
        if (session == nullptr)
            return false;
        session->muted = mute;
        return true;
    };
    calls.watchSessions = [](SessionCreated created, void* context) -> void* {
        TheWorld().created = created;
        TheWorld().createdContext = context;
        return &TheWorld();
    };
    calls.stopWatchingSessions = [](void* watch) {
        static_cast<World*>(watch)->created = nullptr;
        static_cast<World*>(watch)->createdContext = nullptr;
    };
    return calls;
}

// Puts the world in place of the system's audio for one test, fresh, on
// the Core Audio path.
class WorldScope {
public:
    WorldScope()
    {
        TheWorld() = World{};
        const AudioCalls calls = WorldCalls();
        SetAudioCalls(&calls);
        SetVolumeOsVersionSource([]() -> DWORD { return 10; });
    }
    ~WorldScope()
    {
        SetAudioCalls(nullptr);
        SetVolumeOsVersionSource(nullptr);
    }
    WorldScope(const WorldScope&) = delete;
    WorldScope& operator=(const WorldScope&) = delete;
};

} // namespace audiotest
