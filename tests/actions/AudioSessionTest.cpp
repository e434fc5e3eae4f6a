#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "actions/AudioWorld.h"
#include "actions/Volume.h"
#include "support/WindowHost.h"
#include "system/ProcessInfo.h"

namespace {

std::wstring UpperPathOf(DWORD processId)
{
    std::wstring path;
    EXPECT_TRUE(ExecutablePathOfProcess(processId, path));
    return UpperCasePath(path);
}

} // namespace

// A headset picked in an app, or the communications device, plays on too
// unless every active endpoint is muted; each comes back as it was.
TEST(EveryEndpointMute, EachActiveEndpointIsMutedOnceAndPutBackAsItWas)
{
    audiotest::WorldScope scope;
    audiotest::World& world = audiotest::TheWorld();
    world.endpoints = {{L"{speakers}", false}, {L"{headset}", true}, {L"{comms}", false}, {L"{hdmi}", false, false}};
    world.defaultId = L"{speakers}";

    VolumeMute volume;
    volume.SetVolumeMute(true);
    // Muting again (a second hide's call) must not take our own mute for the user's.
    volume.SetVolumeMute(true);
    EXPECT_TRUE(world.EndpointMuted(L"{speakers}") && world.EndpointMuted(L"{comms}"));
    EXPECT_FALSE(world.EndpointMuted(L"{hdmi}")) << "not active: not listed, not touched";
    const MuteState state = volume.State();
    EXPECT_EQ(state.endpointId, L"{speakers}");
    EXPECT_FALSE(state.endpointWasMuted);
    EXPECT_EQ(state.moreEndpoints, (std::vector<std::wstring>{L"{comms}"})) << "the user's headset mute is not ours";

    volume.SetVolumeMute(false);
    EXPECT_FALSE(volume.Muted());
    EXPECT_FALSE(world.EndpointMuted(L"{speakers}"));
    EXPECT_FALSE(world.EndpointMuted(L"{comms}"));
    EXPECT_TRUE(world.EndpointMuted(L"{headset}")) << "the user's own mute stays";

    // Taken over from a journal: the same endpoints come back.
    world.endpoints[2].muted = true;
    VolumeMute after;
    after.TakeOver(state);
    after.SetVolumeMute(false);
    EXPECT_FALSE(world.EndpointMuted(L"{comms}"));
}

TEST(SessionWatch, SessionsStartedLaterAndThoseOfHiddenProgramsChildrenGoQuiet)
{
    audiotest::WorldScope scope;
    audiotest::World& world = audiotest::TheWorld();
    world.endpoints = {{L"{speakers}", false}};
    world.defaultId = L"{speakers}";
    // The helper is a child process of this test program: as a web view's
    // audio process is the child of the app whose window is hidden.
    testsupport::WindowHost child({testsupport::WindowsOfClass(1, "CovelinAudioHost", "helper")});
    ASSERT_TRUE(child.Ready());
    const std::vector<std::wstring> hiddenPrograms = {UpperPathOf(GetCurrentProcessId())};
    world.sessions = {{L"{speakers}", L"child-at-hide", child.ProcessId(), false}};

    VolumeMute volume;
    ASSERT_TRUE(volume.MuteSessionsOf(hiddenPrograms));
    EXPECT_TRUE(world.SessionMuted(L"child-at-hide")) << "it descends from a hidden program";

    // Started after the hide: caught by the watch; one of a program that
    // is not hidden plays on.
    world.StartSession({L"{speakers}", L"child-later", child.ProcessId(), false});
    world.StartSession({L"{speakers}", L"system-sounds", 0, false});
    EXPECT_TRUE(world.SessionMuted(L"child-later"));
    EXPECT_FALSE(world.SessionMuted(L"system-sounds"));
    EXPECT_EQ(volume.State().sessions.size(), 2u) << "both are journalled";

    volume.SetVolumeMute(false);
    EXPECT_FALSE(world.SessionMuted(L"child-at-hide"));
    EXPECT_FALSE(world.SessionMuted(L"child-later"));
    EXPECT_EQ(world.created, nullptr) << "the watch ends with the unmute";
    world.StartSession({L"{speakers}", L"after-restore", child.ProcessId(), false});
    EXPECT_FALSE(world.SessionMuted(L"after-restore"));
}

TEST(SessionWatch, AProgramTheWatchHidLaterIsMutedToo)
{
    audiotest::WorldScope scope;
    audiotest::World& world = audiotest::TheWorld();
    world.endpoints = {{L"{speakers}", false}};
    world.defaultId = L"{speakers}";
    testsupport::WindowHost player({testsupport::WindowsOfClass(1, "CovelinAudioHost", "player")});
    ASSERT_TRUE(player.Ready());
    world.sessions = {{L"{speakers}", L"player", player.ProcessId(), false}};

    VolumeMute volume;
    volume.AddHiddenProgram(player.ProcessId());
    EXPECT_FALSE(world.SessionMuted(L"player")) << "no session mute in force: nothing to add to";
    ASSERT_TRUE(volume.MuteSessionsOf({L"C:\\SOMEWHERE\\ELSE.EXE"}));
    EXPECT_FALSE(world.SessionMuted(L"player"));
    volume.AddHiddenProgram(player.ProcessId());
    EXPECT_TRUE(world.SessionMuted(L"player"));
    world.StartSession({L"{speakers}", L"player-later", player.ProcessId(), false});
    EXPECT_TRUE(world.SessionMuted(L"player-later"));
    volume.SetVolumeMute(false);
    EXPECT_FALSE(world.SessionMuted(L"player") || world.SessionMuted(L"player-later"));
}
