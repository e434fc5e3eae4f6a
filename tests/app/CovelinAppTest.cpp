#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "app/CovelinApp.h"
#include "choices/HideSets.h"
#include "framework/FileSystem.h"
#include "framework/Profile.h"
#include "settings/SettingFile.h"
#include "system/OwnProcess.h"

namespace {

std::wstring UniquePipeName()
{
    return L"\\\\.\\pipe\\CovelinTest-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(GetTickCount64());
}

// ---- single instance ------------------------------------------------------------

TEST(SingleInstance, TakingTheNameIsTheTestAndItIsFreeAgainWithTheLastHandle)
{
    DWORD session = 0;
    ASSERT_TRUE(ProcessIdToSessionId(GetCurrentProcessId(), &session));
    EXPECT_EQ(L"\\\\.\\pipe\\Covelin-" + std::to_wstring(session), InstancePipeName());

    const std::wstring name = UniquePipeName();
    HANDLE server = nullptr;
    ASSERT_EQ(InstanceClaim::Claimed, ClaimInstancePipe(name, &server));
    ASSERT_NE(nullptr, server);

    // Held, whether or not a client is connected to its one instance.
    HANDLE other = nullptr;
    EXPECT_EQ(InstanceClaim::HeldByAnother, ClaimInstancePipe(name, &other));
    HANDLE client = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, client);
    EXPECT_EQ(InstanceClaim::HeldByAnother, ClaimInstancePipe(name, &other));
    EXPECT_EQ(nullptr, other);
    CloseHandle(client);

    CloseHandle(server);
    ASSERT_EQ(InstanceClaim::Claimed, ClaimInstancePipe(name, &server)) << "the name must go with the last handle";
    CloseHandle(server);
}

// ---- shutdown waits -----------------------------------------------------------------

// A clock that moves only when shutdown sleeps, and counts the sleeps.
struct FakeShutdownClock {
    static inline ULONGLONG now = 0;
    static inline int sleeps = 0;
    static ShutdownClock Make()
    {
        now = 1000;
        sleeps = 0;
        return ShutdownClock{[] { return now; }, [](DWORD milliseconds) { now += milliseconds, ++sleeps; }};
    }
};

TEST(ShutdownWait, ReturnsAtOnceWhenEveryWorkerHasEnded)
{
    const ShutdownClock clock = FakeShutdownClock::Make();
    EXPECT_TRUE(WaitForDoneFlags({[] { return true; }, [] { return true; }, [] { return true; }},
                                 FakeShutdownClock::now + 5000, clock));
    EXPECT_EQ(FakeShutdownClock::sleeps, 0);
}

TEST(ShutdownWait, WaitsForEachWorkerInTurn)
{
    // The first worker ends after two of the waits' sleeps, the second
    // after four; each flag is looked at only once the one before is seen.
    const ShutdownClock clock = FakeShutdownClock::Make();
    std::vector<std::string> looks;
    const bool ended = WaitForDoneFlags({[&] { return looks.push_back("first"), FakeShutdownClock::sleeps >= 2; },
                                         [&] { return looks.push_back("second"), FakeShutdownClock::sleeps >= 4; }},
                                        FakeShutdownClock::now + 5000, clock);
    EXPECT_TRUE(ended);
    EXPECT_EQ(FakeShutdownClock::sleeps, 4);
    EXPECT_EQ(looks, (std::vector<std::string>{"first", "first", "first", "second", "second", "second"}));
}

// A worker blocked for good (on another program, say) must not hold the
// process: the waits give up at their deadline and say so.
TEST(ShutdownWait, GivesUpOnAWorkerThatNeverEnds)
{
    const ShutdownClock clock = FakeShutdownClock::Make();
    std::atomic<int> checkedLater{0};
    const bool ended = WaitForDoneFlags({[] { return false; },
                                         [&] {
                                             checkedLater = 1;
                                             return true;
                                         }},
                                        FakeShutdownClock::now + 400, clock);
    EXPECT_FALSE(ended);
    EXPECT_EQ(FakeShutdownClock::sleeps, 4) << "one test every 100 ms until the deadline";
    EXPECT_EQ(0, checkedLater.load()) << "the order is kept: later workers are not looked at first";
}

// ---- the application object ----------------------------------------------------------

class ApplicationObject : public ::testing::Test {};

TEST_F(ApplicationObject, ConstructionKnowsItsOwnPathAndKeepsSettingsBesideTheExe)
{
    const std::wstring exe = OwnModulePath();
    ASSERT_FALSE(exe.empty());
    std::wstring upper = exe;
    CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    const std::wstring directory = exe.substr(0, exe.find_last_of(L'\\') + 1);

    CCovelinApp app;
    EXPECT_EQ(&app, AfxGetApp());
    EXPECT_EQ(upper, app.home.ownExecutablePath);
    EXPECT_EQ(directory, app.home.moduleDirectory);
    EXPECT_EQ(directory + L"setting.dat", app.home.settingFile.Path());
    // The profile is kept under the executable's base name.
    EXPECT_EQ(L"test_app", app.m_pszAppName);
    const SettingData defaults = MakeDefaultSettings();
    EXPECT_EQ(0, std::memcmp(&app.home.defaultSettings, &defaults, sizeof defaults));
}

// A start refused by the single-instance test goes through the exit step
// without having loaded the list: it must not save (and so wipe) the list
// that the running instance keeps.
TEST_F(ApplicationObject, ExitAfterARefusedStartLeavesTheStoredListAlone)
{
    CCovelinApp app;
    app.SetRegistryKey(L"Tessary");
    const std::wstring key = L"Software\\Tessary\\" + app.m_pszAppName + L"\\Files";
    HKEY files = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &files, nullptr));
    const wchar_t stored[] = L"C:\\SOMEWHERE\\KEPT.EXE";
    RegSetValueExW(files, L"file_0", 0, REG_SZ, reinterpret_cast<const BYTE*>(stored), sizeof stored);
    ASSERT_TRUE(app.choices.hideFileSet.IsEmpty());

    EXPECT_EQ(0, app.ExitInstance());

    wchar_t read[64] = {};
    DWORD size = sizeof read - sizeof(wchar_t);
    EXPECT_EQ(ERROR_SUCCESS,
              RegQueryValueExW(files, L"file_0", nullptr, nullptr, reinterpret_cast<BYTE*>(read), &size));
    EXPECT_STREQ(stored, read);
    RegCloseKey(files);
    RegDeleteTreeW(HKEY_CURRENT_USER, (L"Software\\Tessary\\" + app.m_pszAppName).c_str());
    ProfileSetKey(nullptr);
}

} // namespace
