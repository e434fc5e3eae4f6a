#include <gtest/gtest.h>

#include <windows.h>

#include <endpointvolume.h>

#include <cstdio>
#include <string>
#include <vector>

#include "actions/AudioWorld.h"
#include "actions/Volume.h"
#include "support/ChildRun.h"
#include "support/ScratchDir.h"
#include "support/ScratchRegistry.h"
#include "support/WindowHost.h"
#include "system/ProcessInfo.h"

namespace {

DWORD OlderSystem()
{
    return 5;
}
DWORD VistaOrLater()
{
    return 6;
}

// The wave-output device as the recorders see it.
struct WaveDevice {
    std::vector<std::string> calls;
    DWORD volume = 0;
    MMRESULT getResult = MMSYSERR_NOERROR;
};
WaveDevice wave;

MMRESULT WINAPI RecordGetVolume(HWAVEOUT device, LPDWORD volume)
{
    wave.calls.push_back("get " + std::to_string(reinterpret_cast<UINT_PTR>(device)));
    if (wave.getResult == MMSYSERR_NOERROR)
        *volume = wave.volume;
    return wave.getResult;
}

MMRESULT WINAPI RecordSetVolume(HWAVEOUT device, DWORD volume)
{
    char text[64];
    std::snprintf(text, sizeof(text), "set %u %08lX", unsigned(reinterpret_cast<UINT_PTR>(device)), volume);
    wave.calls.push_back(text);
    wave.volume = volume;
    return MMSYSERR_NOERROR;
}

class WaveVolumeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        wave = WaveDevice{};
        SetVolumeOsVersionSource(&OlderSystem);
        const WaveVolumeCalls calls = {&RecordGetVolume, &RecordSetVolume};
        SetWaveVolumeCalls(&calls);
    }
    void TearDown() override
    {
        SetVolumeOsVersionSource(nullptr);
        SetWaveVolumeCalls(nullptr);
    }

    VolumeMute volume;
};

} // namespace

TEST_F(WaveVolumeTest, MuteSavesBothChannelsAndUnmutePutsThemBack)
{
    wave.volume = 0x8000C000;    // right half, left three quarters
    volume.SetVolumeMute(false); // nothing muted yet: nothing to undo
    EXPECT_TRUE(wave.calls.empty());

    volume.SetVolumeMute(true);
    EXPECT_EQ(wave.calls, (std::vector<std::string>{"get 0", "set 0 00000000"}));
    EXPECT_TRUE(volume.Muted());
    EXPECT_EQ(volume.SavedWaveVolume(), 0x8000C000u);

    wave.calls.clear();
    volume.SetVolumeMute(false);
    EXPECT_EQ(wave.calls, (std::vector<std::string>{"set 0 8000C000"}));
    EXPECT_FALSE(volume.Muted());
    EXPECT_EQ(wave.volume, 0x8000C000u);

    wave.calls.clear();
    volume.SetVolumeMute(false);
    EXPECT_TRUE(wave.calls.empty());
}

TEST_F(WaveVolumeTest, MutingTwiceKeepsTheUsersVolume)
{
    wave.volume = 0x40004000;
    volume.SetVolumeMute(true);
    volume.SetVolumeMute(true);
    volume.SetVolumeMute(false);
    EXPECT_EQ(wave.volume, 0x40004000u);
}

TEST_F(WaveVolumeTest, WithoutADeviceNothingIsMutedOrPutBack)
{
    wave.volume = 0x12345678;
    wave.getResult = MMSYSERR_BADDEVICEID;
    volume.SetVolumeMute(true);
    EXPECT_EQ(wave.calls, (std::vector<std::string>{"get 0"}));
    EXPECT_FALSE(volume.Muted());
    wave.calls.clear();
    volume.SetVolumeMute(false);
    EXPECT_TRUE(wave.calls.empty());
    EXPECT_EQ(wave.volume, 0x12345678u);
}

// The Core Audio path runs against Wine's real audio stack. Wine settles its
// devices once per process, so each case runs in a child copy of this
// program, started after the registry says which devices to offer: ALSA's
// null device as the only render endpoint, or no audio driver at all.
namespace {

constexpr wchar_t kReportVariable[] = L"COVELIN_VOLUME_REPORT";

struct EndpointSeen {
    int calls = 0;
    BOOL mute = -1;
    float level = -1;
};
EndpointSeen endpointSeen;

void ObserveEndpoint(IAudioEndpointVolume* endpoint)
{
    ++endpointSeen.calls;
    endpoint->GetMute(&endpointSeen.mute);
    endpoint->GetMasterVolumeLevelScalar(&endpointSeen.level);
}

// One step of the child's run: what `muted` and the endpoint showed.
std::string Step(const char* name, const VolumeMute& volume)
{
    char text[128];
    std::snprintf(text, sizeof(text), "%s muted=%d calls=%d mute=%d level=%.2f\n", name, int(volume.Muted()),
                  endpointSeen.calls, int(endpointSeen.mute), endpointSeen.level);
    endpointSeen = EndpointSeen{};
    return text;
}

// Starts this program again with `filter` and waits (bounded) for it;
// returns what the child wrote into the report, or "" when it did not end.
std::string RunChild(const std::string& filter)
{
    testsupport::ScratchDir dir;
    const std::wstring report = dir.File(L"report.txt");
    EXPECT_EQ(testsupport::RunTestChild(filter, kReportVariable, report), 0);
    std::string bytes;
    testsupport::ReadBytes(report, &bytes);
    return bytes;
}

// The audio settings Wine reads at a process's first use of audio, and the
// device records it keeps; all put back afterwards.
class CoreAudioTest : public ::testing::Test {
protected:
    testsupport::RegValueGuard driver_{HKEY_CURRENT_USER, L"Software\\Wine\\Drivers", L"Audio"};
    testsupport::RegValueGuard alsaDevices_{HKEY_CURRENT_USER, L"Software\\Wine\\Drivers\\winealsa.drv",
                                            L"ALSAOutputDevices"};
    testsupport::RegKeyGuard deviceRecords_{HKEY_LOCAL_MACHINE,
                                            L"Software\\Microsoft\\Windows\\CurrentVersion\\MMDevices"};
};

} // namespace

// Runs only as the child of the tests below.
TEST(VolumeEndpointChild, DISABLED_MuteThenUnmute)
{
    wchar_t report[MAX_PATH] = {};
    ASSERT_NE(GetEnvironmentVariableW(kReportVariable, report, MAX_PATH), 0u);
    VolumeMute volume;
    endpointSeen = EndpointSeen{};
    SetVolumeOsVersionSource(&VistaOrLater);
    SetEndpointMuteObserver(&ObserveEndpoint);
    std::string steps;
    volume.SetVolumeMute(false);
    steps += Step("guard", volume);
    volume.SetVolumeMute(true);
    steps += Step("mute", volume);
    volume.SetVolumeMute(false);
    steps += Step("unmute", volume);

    // Wine's session manager does not list sessions: the choice to mute
    // only the hidden programs falls back to the whole output here.
    steps += "sessions listable=" + std::to_string(int(AudioSessionsListable())) + "\n";
    SetEndpointMuteObserver(nullptr);
    SetVolumeOsVersionSource(nullptr);
    ASSERT_TRUE(testsupport::WriteBytes(report, steps));
}

TEST_F(CoreAudioTest, MutesAndUnmutesTheDefaultEndpointLevelUntouched)
{
    ASSERT_TRUE(testsupport::SetRawText(HKEY_CURRENT_USER, L"Software\\Wine\\Drivers", L"Audio", L"alsa"));
    const wchar_t nullDevice[] = L"null\0"; // REG_MULTI_SZ: one name and the list's end
    ASSERT_TRUE(testsupport::SetRawValue(HKEY_CURRENT_USER, L"Software\\Wine\\Drivers\\winealsa.drv",
                                         L"ALSAOutputDevices", REG_MULTI_SZ, nullDevice, sizeof(nullDevice)));
    EXPECT_EQ(RunChild("VolumeEndpointChild.DISABLED_MuteThenUnmute"), "guard muted=0 calls=0 mute=-1 level=-1.00\n"
                                                                       "mute muted=1 calls=1 mute=1 level=1.00\n"
                                                                       "unmute muted=0 calls=1 mute=0 level=1.00\n"
                                                                       "sessions listable=0\n");
}

TEST_F(CoreAudioTest, WithoutADeviceNothingIsMuted)
{
    // An empty driver list: Wine offers no audio device at all.
    ASSERT_TRUE(testsupport::SetRawText(HKEY_CURRENT_USER, L"Software\\Wine\\Drivers", L"Audio", L""));
    EXPECT_EQ(RunChild("VolumeEndpointChild.DISABLED_MuteThenUnmute"), "guard muted=0 calls=0 mute=-1 level=-1.00\n"
                                                                       "mute muted=0 calls=0 mute=-1 level=-1.00\n"
                                                                       "unmute muted=0 calls=0 mute=-1 level=-1.00\n"
                                                                       "sessions listable=0\n");
}

TEST(VolumeVersion, TheSystemReportsAVersion)
{
    // Wine reports the version of the Windows it imitates; 6 and up means
    // the Core Audio path.
    EXPECT_GE(SystemMajorVersion(), 6u);
}

// ---- through the audio seam: what Wine cannot show -------------------------------------

TEST(EndpointMute, TheUsersOwnMuteStaysAndTheMutedEndpointIsTheOneUnmuted)
{
    audiotest::WorldScope scope;
    audiotest::World& world = audiotest::TheWorld();
    world.endpoints = {{L"{speakers}", false}, {L"{headset}", false}};
    world.defaultId = L"{speakers}";

    // Muted by the user before the hide: left muted by the restore.
    world.endpoints[0].muted = true;
    VolumeMute volume;
    volume.SetVolumeMute(true);
    EXPECT_TRUE(volume.Muted());
    EXPECT_TRUE(volume.State().endpointWasMuted);
    volume.SetVolumeMute(false);
    EXPECT_FALSE(volume.Muted());
    EXPECT_TRUE(world.EndpointMuted(L"{speakers}"));

    // The default changes between the hide and the restore (a headset
    // plugged in later): the endpoint that was muted is unmuted, the new
    // default is not touched.
    world.endpoints[0].muted = false;
    world.endpoints[1].active = false;
    volume.SetVolumeMute(true);
    world.endpoints[1].active = true;
    EXPECT_EQ(volume.State().endpointId, L"{speakers}");
    EXPECT_FALSE(volume.State().endpointWasMuted);
    EXPECT_TRUE(world.EndpointMuted(L"{speakers}"));
    world.defaultId = L"{headset}";
    world.endpoints[1].muted = true; // the user's, on the new default
    volume.SetVolumeMute(false);
    EXPECT_FALSE(world.EndpointMuted(L"{speakers}"));
    EXPECT_TRUE(world.EndpointMuted(L"{headset}"));

    // The muted endpoint is unplugged meanwhile: nothing is left to undo.
    world.defaultId = L"{speakers}";
    volume.SetVolumeMute(true);
    world.endpoints.erase(world.endpoints.begin());
    volume.SetVolumeMute(false);
    EXPECT_FALSE(volume.Muted());
    EXPECT_TRUE(world.EndpointMuted(L"{headset}"));

    // No default endpoint at all: nothing muted.
    world.defaultId.clear();
    volume.SetVolumeMute(true);
    EXPECT_FALSE(volume.Muted());
}

TEST(SessionMute, OnlySessionsOfTheHiddenExecutablesEachBackAsItWas)
{
    audiotest::WorldScope scope;
    audiotest::World& world = audiotest::TheWorld();
    // Two processes of one executable, as a browser plays from a child of
    // the process whose window is hidden; and our own process, not hidden.
    testsupport::WindowHost hidden({testsupport::WindowsOfClass(1, "CovelinAudioHost", "hidden")});
    testsupport::WindowHost child({testsupport::WindowsOfClass(1, "CovelinAudioHost", "child")});
    ASSERT_TRUE(hidden.Ready() && child.Ready());
    std::wstring path;
    ASSERT_TRUE(ExecutablePathOfProcess(hidden.ProcessId(), path));
    const std::vector<std::wstring> executables = {UpperCasePath(path)};

    world.endpoints = {{L"{speakers}", false}, {L"{headset}", false}};
    world.defaultId = L"{speakers}";
    world.sessions = {{L"{speakers}", L"browser", hidden.ProcessId(), false},
                      {L"{headset}", L"browser-child", child.ProcessId(), false},
                      {L"{speakers}", L"already-muted", child.ProcessId(), true},
                      {L"{speakers}", L"ours", GetCurrentProcessId(), false},
                      {L"{speakers}", L"system-sounds", 0, false}};

    VolumeMute volume;
    ASSERT_TRUE(volume.MuteSessionsOf(executables));
    EXPECT_TRUE(volume.Muted());
    EXPECT_TRUE(world.SessionMuted(L"browser"));
    EXPECT_TRUE(world.SessionMuted(L"browser-child"));
    EXPECT_TRUE(world.SessionMuted(L"already-muted"));
    EXPECT_FALSE(world.SessionMuted(L"ours"));
    EXPECT_FALSE(world.SessionMuted(L"system-sounds"));
    EXPECT_FALSE(world.EndpointMuted(L"{speakers}")); // the output itself plays on
    EXPECT_EQ(volume.State().sessions,
              (std::vector<MutedSession>{{L"{speakers}", L"browser"}, {L"{headset}", L"browser-child"}}));

    volume.SetVolumeMute(false);
    EXPECT_FALSE(volume.Muted());
    EXPECT_FALSE(world.SessionMuted(L"browser"));
    EXPECT_FALSE(world.SessionMuted(L"browser-child"));
    EXPECT_TRUE(world.SessionMuted(L"already-muted")); // the user's own

    // Sessions that cannot be listed: the caller is told, nothing changes.
    world.sessionsListable = false;
    EXPECT_FALSE(volume.MuteSessionsOf(executables));
    EXPECT_FALSE(volume.Muted());
}
