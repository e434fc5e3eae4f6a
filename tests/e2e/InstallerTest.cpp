// The per-user installer as a user (or a deployment script) runs it: silent
// install, the installed program, an upgrade over it while it runs, and a
// silent uninstall while it runs that leaves nothing behind.
#include <shlobj.h>

#include "E2eCase.h"

namespace e2e {
namespace {

constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Covelin";
constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kProfileKey[] = L"Software\\Tessary\\Covelin";
constexpr DWORD kSetupMs = 60000;

std::wstring KnownFolder(REFKNOWNFOLDERID id)
{
    PWSTR path = nullptr;
    std::wstring text;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path)))
        text = path;
    CoTaskMemFree(path);
    return text;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool KeyExists(const wchar_t* key)
{
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    RegCloseKey(opened);
    return true;
}

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

    std::wstring Dir() const { return KnownFolder(FOLDERID_LocalAppData) + L"\\Programs\\Covelin"; }
    std::wstring Exe() const { return Dir() + L"\\Covelin.exe"; }
    std::wstring Uninstaller() const { return Dir() + L"\\uninstall.exe"; }

    DWORD Setup(const std::wstring& args)
    {
        Process setup;
        DWORD code = 1234;
        EXPECT_TRUE(setup.Start(builtSetup, args) && setup.WaitExit(kSetupMs, &code)) << "the setup did not end";
        return code;
    }

    // The uninstaller hands over to a copy of itself and returns at once:
    // its work is done when the folder and the Uninstall key have gone.
    bool Uninstall()
    {
        if (!Exists(Uninstaller()))
            return !Exists(Dir()) && !KeyExists(kUninstallKey);
        Process uninstall;
        return uninstall.Start(Uninstaller(), L"/S") &&
               WaitFor([&] { return !Exists(Dir()) && !KeyExists(kUninstallKey); }, kSetupMs);
    }

    // The installed program with `settings` and the target's windows chosen, armed.
    HWND StartInstalled(Process& covelin, const std::string& settings)
    {
        WriteFileList({install.Target()});
        EXPECT_TRUE(testsupport::WriteBytes(Dir() + L"\\setting.dat", settings));
        if (!covelin.Start(Exe()))
            return nullptr;
        HWND dialog = WaitForMainDialog(covelin.Id());
        return dialog && Arm(dialog) ? dialog : nullptr;
    }
};

TEST_F(Installer, InstallsForTheUserAndUninstallsWithoutATraceWhileCovelinHidesWindows)
{
    ASSERT_EQ(0u, Setup(L"/S /StartWithWindows"));
    for (const std::wstring& file : {Exe(), Uninstaller(), KnownFolder(FOLDERID_Programs) + L"\\Covelin.lnk"})
        EXPECT_TRUE(Exists(file)) << Narrow(file);
    const std::wstring quoted = L"\"" + Uninstaller() + L"\"";
    const std::pair<const wchar_t*, std::wstring> values[] = {
        {L"DisplayName", L"Covelin"},     {L"DisplayVersion", COVELIN_VERSION}, {L"Publisher", L"Tessary"},
        {L"DisplayIcon", Exe()},          {L"InstallLocation", Dir()},           {L"UninstallString", quoted},
        {L"QuietUninstallString", quoted + L" /S"}, {L"NoModify", L"1"},        {L"NoRepair", L"1"}};
    for (const auto& [name, expected] : values)
        EXPECT_EQ(Narrow(expected), Narrow(Value(kUninstallKey, name))) << Narrow(name);
    EXPECT_GT(std::stoul(L"0" + Value(kUninstallKey, L"EstimatedSize")), 100u) << "KB, the program alone is more";
    EXPECT_EQ(Narrow(L"\"" + Upper(Exe()) + L"\""), Narrow(Value(kRunKey, L"Covelin")));

    Process target;
    const std::vector<HWND> windows = StartTarget(target, 2);
    Process covelin;
    ASSERT_NE(nullptr, StartInstalled(covelin, DefaultSettings()));
    Process toggle;
    DWORD code = 1234;
    ASSERT_TRUE(toggle.Start(Exe(), L"/toggle") && toggle.WaitExit(kExitMs, &code));
    EXPECT_EQ(0u, code);
    ASSERT_TRUE(WaitFor([&] { return NoneVisible(windows); }, kActMs));

    ASSERT_TRUE(Uninstall()) << "the uninstaller did not finish";
    EXPECT_TRUE(covelin.WaitExit(kExitMs, &code)) << "Covelin still runs";
    EXPECT_TRUE(AllVisible(windows)) << "windows stayed hidden";
    EXPECT_FALSE(Exists(Dir()));
    EXPECT_FALSE(Exists(KnownFolder(FOLDERID_Programs) + L"\\Covelin.lnk"));
    EXPECT_EQ("-", Narrow(Value(kRunKey, L"Covelin")));
    EXPECT_FALSE(KeyExists(kProfileKey));
}

TEST_F(Installer, UpgradeEndsTheRunningCovelinReplacesItAndKeepsItsSettingsAndFileList)
{
    ASSERT_EQ(0u, Setup(L"/S"));
    std::string settings = DefaultSettings();
    settings[kMuteVolumeAt] = 1;
    // One byte more than what was installed, so the upgrade shows.
    WIN32_FILE_ATTRIBUTE_DATA installed{};
    ASSERT_TRUE(GetFileAttributesExW(Exe().c_str(), GetFileExInfoStandard, &installed));
    HANDLE exe = CreateFileW(Exe().c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(exe, "x", 1, &written, nullptr));
    CloseHandle(exe);

    Process covelin;
    ASSERT_NE(nullptr, StartInstalled(covelin, settings));
    ASSERT_EQ(0u, Setup(L"/S"));
    DWORD code = 1234;
    EXPECT_TRUE(covelin.WaitExit(0, &code)) << "the setup did not end Covelin first";
    WIN32_FILE_ATTRIBUTE_DATA upgraded{};
    ASSERT_TRUE(GetFileAttributesExW(Exe().c_str(), GetFileExInfoStandard, &upgraded));
    EXPECT_EQ(installed.nFileSizeLow, upgraded.nFileSizeLow);
    std::string kept;
    testsupport::ReadBytes(Dir() + L"\\setting.dat", &kept);
    EXPECT_EQ(settings, kept);
    EXPECT_EQ(std::vector<std::wstring>{Upper(install.Target())}, ReadFileList());
}

} // namespace
} // namespace e2e
