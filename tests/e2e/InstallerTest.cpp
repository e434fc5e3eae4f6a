// The per-user installer as a deployment script runs it: silently, and over
// or under a running Covelin that hides windows.
#include <filesystem>
#include <fstream>

#include "E2eCase.h"

namespace e2e {
namespace {

constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Covelin";
constexpr wchar_t kProfileKey[] = L"Software\\Tessary\\Covelin";
constexpr DWORD kSetupMs = 60000;

std::wstring Shortcut()
{
    return std::wstring(_wgetenv(L"APPDATA")) + L"\\Microsoft\\Windows\\Start Menu\\Programs\\Covelin.lnk";
}

using std::filesystem::exists;
using testsupport::KeyExists;

// A value under HKEY_CURRENT_USER as text (a number in decimal); "-" when missing.
std::wstring Value(const wchar_t* key, const wchar_t* name)
{
    BYTE data[2048] = {};
    DWORD size = sizeof data - sizeof(wchar_t), type = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_SZ | RRF_RT_REG_DWORD, &type, data, &size) !=
        ERROR_SUCCESS)
        return L"-";
    return type == REG_DWORD ? std::to_wstring(*reinterpret_cast<DWORD*>(data)) : reinterpret_cast<wchar_t*>(data);
}

class Installer : public CovelinCase {
protected:
    void SetUp() override
    {
        CovelinCase::SetUp();
        if (builtSetup.empty())
            GTEST_SKIP() << "no installer was built (makensis missing)";
        Uninstall(); // what an earlier failed run may have left
    }
    void TearDown() override { Uninstall(); }

    std::wstring Dir() const { return std::wstring(_wgetenv(L"LOCALAPPDATA")) + L"\\Programs\\Covelin"; }
    std::wstring Exe() const { return Dir() + L"\\Covelin.exe"; }
    std::wstring Uninstaller() const { return Dir() + L"\\uninstall.exe"; }

    DWORD Setup(const std::wstring& args) { return RunToEnd(builtSetup, args, kSetupMs); }

    // The uninstaller hands over to a copy of itself and returns at once:
    // its work is done when the folder and the Uninstall key have gone.
    bool Uninstall()
    {
        Process uninstall;
        if (exists(Uninstaller()))
            uninstall.Start(Uninstaller(), L"/S");
        return WaitUntil([&] { return !exists(Dir()) && !KeyExists(HKEY_CURRENT_USER, kUninstallKey); }, kSetupMs);
    }

    // Starts the installed program with the target's windows chosen, arms
    // it and hides them from the command line.
    void StartInstalledAndHide(Process& covelin)
    {
        WriteFileList({install.Target()});
        HWND dialog = covelin.Start(Exe()) ? WaitForMainDialog(covelin.Id()) : nullptr;
        ASSERT_TRUE(dialog && Arm(dialog));
        ASSERT_EQ(0u, RunToEnd(Exe(), L"/toggle"));
        ASSERT_TRUE(WaitUntil([&] { return NoneVisible(windows); }, kActMs));
    }

    std::unique_ptr<testsupport::WindowHost> target;
    std::vector<HWND> windows;
};

TEST_F(Installer, InstallsUpgradesAndUninstallsWithoutATraceWhileCovelinHidesWindows)
{
    ASSERT_EQ(0u, Setup(L"/S /StartWithWindows"));
    for (const std::wstring& file : {Exe(), Uninstaller(), Shortcut()})
        EXPECT_TRUE(exists(file)) << Narrow(file);
    const std::wstring quoted = L"\"" + Uninstaller() + L"\"";
    const std::pair<const wchar_t*, std::wstring> values[] = {{L"DisplayName", L"Covelin"},
                                                              {L"DisplayVersion", COVELIN_VERSION},
                                                              {L"Publisher", L"Tessary"},
                                                              {L"DisplayIcon", Exe()},
                                                              {L"InstallLocation", Dir()},
                                                              {L"UninstallString", quoted},
                                                              {L"QuietUninstallString", quoted + L" /S"},
                                                              {L"NoModify", L"1"},
                                                              {L"NoRepair", L"1"}};
    for (const auto& [name, expected] : values)
        EXPECT_EQ(Narrow(expected), Narrow(Value(kUninstallKey, name))) << Narrow(name);
    EXPECT_GT(std::stoul(L"0" + Value(kUninstallKey, L"EstimatedSize")), 100u) << "KB, the program alone is more";
    EXPECT_EQ(Narrow(L"\"" + Upper(Exe()) + L"\""), Narrow(Value(kRunKey, kRunValue)));

    // An upgrade while Covelin hides windows: it ends Covelin first, replaces
    // the program (one byte longer here) and keeps the settings and list.
    std::string settings = DefaultSettings();
    settings[0] = 3; // another tray image
    ASSERT_TRUE(testsupport::WriteBytes(Dir() + L"\\setting.dat", settings));
    const auto installedSize = std::filesystem::file_size(Exe());
    std::ofstream(std::filesystem::path(Exe()), std::ios::binary | std::ios::app) << 'x';
    ASSERT_EQ(installedSize + 1, std::filesystem::file_size(Exe()));
    target = StartTarget(2);
    ASSERT_TRUE(target);
    windows = target->Windows();
    Process covelin;
    StartInstalledAndHide(covelin);
    ASSERT_EQ(0u, Setup(L"/S"));
    EXPECT_FALSE(covelin.Running());
    EXPECT_TRUE(AllVisible(windows)) << "windows stayed hidden";
    EXPECT_EQ(installedSize, std::filesystem::file_size(Exe()));
    std::string kept;
    testsupport::ReadBytes(Dir() + L"\\setting.dat", &kept);
    EXPECT_EQ(settings, kept);
    EXPECT_EQ(std::vector<std::wstring>{Upper(install.Target())}, ReadFileList());

    // Uninstalling while Covelin hides windows leaves nothing behind.
    Process again;
    StartInstalledAndHide(again);
    ASSERT_TRUE(Uninstall()) << "the uninstaller did not finish";
    EXPECT_FALSE(again.Running());
    EXPECT_TRUE(AllVisible(windows)) << "windows stayed hidden";
    EXPECT_FALSE(exists(Dir()));
    EXPECT_FALSE(exists(Shortcut()));
    EXPECT_EQ("-", Narrow(Value(kRunKey, kRunValue)));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kProfileKey));
}

// Covelin died while hiding windows and is uninstalled before it starts
// again: the uninstaller shows them before it deletes their journal.
TEST_F(Installer, UninstallingAfterACrashShowsWhatTheDeadCovelinHid)
{
    ASSERT_EQ(0u, Setup(L"/S"));
    ASSERT_TRUE(testsupport::WriteBytes(Dir() + L"\\setting.dat", DefaultSettings()));
    target = StartTarget(2);
    ASSERT_TRUE(target);
    windows = target->Windows();
    Process covelin;
    StartInstalledAndHide(covelin);
    ASSERT_TRUE(WaitUntil([&] { return exists(Dir() + L"\\hidden.dat"); }, kActMs));
    covelin.Kill();
    ASSERT_TRUE(Uninstall()) << "the uninstaller did not finish";
    EXPECT_TRUE(WaitUntil([&] { return AllVisible(windows); }, kActMs)) << "windows stayed hidden";
    EXPECT_FALSE(exists(Dir()));
}

} // namespace
} // namespace e2e
