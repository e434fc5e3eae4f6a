#include "settings/SettingFile.h"
#include "framework/FileSystem.h"
#include "support/ScratchDir.h"
#include "system/ProcessInfo.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

using testsupport::ReadBytes;
using testsupport::ScratchDir;
using testsupport::WriteBytes;

namespace {

std::string Bytes(const SettingData& data)
{
    return std::string(reinterpret_cast<const char*>(&data), sizeof data);
}

// A record where every byte differs from its neighbours, including the low
// bits of chord bytes that mean nothing but must survive a round trip.
std::string PatternRecord()
{
    std::string bytes(540, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>((i * 37 + 11) & 0xFF);
    const int32_t trayIcon = 7;
    std::memcpy(bytes.data(), &trayIcon, 4);
    return bytes;
}

// Held by another program (a backup tool, a virus scanner) for `ms`.
void HoldFor(const std::wstring& path, DWORD ms)
{
    HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(held, INVALID_HANDLE_VALUE);
    std::thread([held, ms] {
        // Sleep: the other program's hold has its own length; Save marks no moment an event could.
        Sleep(ms);
        CloseHandle(held);
    }).detach();
}

} // namespace

TEST(DefaultSettings, AreZeroButTheFourChordKeys)
{
    const std::string bytes = Bytes(MakeDefaultSettings());
    for (size_t i = 0; i < bytes.size(); ++i) {
        const bool chordKey = i == 8 + 0x11 || i == 8 + 0x25 || i == 264 + 0x11 || i == 264 + 0xC0;
        EXPECT_EQ(static_cast<unsigned char>(bytes[i]), chordKey ? 0x80 : 0x00) << "byte " << i;
    }
}

TEST(SettingFile, FirstRunCreatesTheFileFailsAndTheFollowingSaveWritesDefaults)
{
    ScratchDir dir;
    SettingFile file(dir.File(L"setting.dat"));
    const SettingData defaults = MakeDefaultSettings();

    EXPECT_FALSE(file.Load(defaults));
    std::string onDisk;
    ASSERT_TRUE(ReadBytes(file.Path(), &onDisk)) << "the load creates the file";
    EXPECT_EQ(onDisk.size(), 0u);
    EXPECT_EQ(Bytes(*file.Data()), Bytes(defaults));

    EXPECT_TRUE(file.Save());
    ASSERT_TRUE(ReadBytes(file.Path(), &onDisk));
    EXPECT_EQ(onDisk, Bytes(defaults));

    SettingFile again(file.Path());
    EXPECT_TRUE(again.Load(SettingData{}));
    EXPECT_EQ(Bytes(*again.Data()), Bytes(defaults));
}

TEST(SettingFile, OnlyExactly540BytesLoad)
{
    ScratchDir dir;
    const SettingData defaults = MakeDefaultSettings();
    for (size_t size : {539u, 541u, 1080u}) {
        SettingFile file(dir.File(L"setting.dat"));
        std::string content = PatternRecord();
        content.resize(size, 'x');
        ASSERT_TRUE(WriteBytes(file.Path(), content));
        EXPECT_FALSE(file.Load(defaults)) << size << " bytes";
        EXPECT_EQ(Bytes(*file.Data()), Bytes(defaults)) << size << " bytes";

        // The save after a failed load cuts the file to one default record.
        EXPECT_TRUE(file.Save());
        std::string onDisk;
        ASSERT_TRUE(ReadBytes(file.Path(), &onDisk));
        EXPECT_EQ(onDisk, Bytes(defaults)) << size << " bytes";
    }
}

TEST(SettingFile, ValidFileLoadsUnchangedAndSavesBackByteIdentical)
{
    ScratchDir dir;
    SettingFile file(dir.File(L"setting.dat"));
    const std::string record = PatternRecord();
    ASSERT_TRUE(WriteBytes(file.Path(), record));

    EXPECT_TRUE(file.Load(MakeDefaultSettings()));
    EXPECT_EQ(Bytes(*file.Data()), record);
    EXPECT_EQ(file.Data()->trayIcon, 7);

    ASSERT_TRUE(WriteBytes(file.Path(), std::string(700, 'z')));
    EXPECT_TRUE(file.Save());
    std::string onDisk;
    ASSERT_TRUE(ReadBytes(file.Path(), &onDisk));
    EXPECT_EQ(onDisk, record) << "a longer file is overwritten and cut to 540 bytes";
}

TEST(SettingFile, TrayIconOutOfRangeInAForeignFileReadsAsZero)
{
    ScratchDir dir;
    SettingFile file(dir.File(L"setting.dat"));
    for (int32_t foreign : {9, -1, 0x7FFFFFFF}) {
        std::string record = PatternRecord();
        std::memcpy(record.data(), &foreign, 4);
        ASSERT_TRUE(WriteBytes(file.Path(), record));
        EXPECT_TRUE(file.Load(MakeDefaultSettings()));
        EXPECT_EQ(file.Data()->trayIcon, 0) << foreign;
        EXPECT_EQ(Bytes(*file.Data()).substr(4), record.substr(4)) << "the rest stays as stored";
    }
}

TEST(SettingFile, DirectoryNamedLikeTheFileFailsLoadAndSave)
{
    ScratchDir dir;
    SettingFile file(dir.File(L"setting.dat"));
    ASSERT_TRUE(CreateDirectoryW(file.Path().c_str(), nullptr));
    const SettingData defaults = MakeDefaultSettings();
    EXPECT_FALSE(file.Load(defaults));
    EXPECT_EQ(Bytes(*file.Data()), Bytes(defaults));
    EXPECT_FALSE(file.Save());
}

TEST(SettingFile, AFileHeldForAMomentIsWaitedForAndAFailedSaveLeavesItWhole)
{
    ScratchDir dir;
    SettingFile file(dir.File(L"setting.dat"));
    ASSERT_TRUE(WriteBytes(file.Path(), PatternRecord()));
    HoldFor(file.Path(), 1000);
    EXPECT_TRUE(file.Load(SettingData{}));
    EXPECT_EQ(Bytes(*file.Data()), PatternRecord());
    HoldFor(file.Path(), 1000);
    EXPECT_TRUE(file.Save());

    file.SetHeldFileWait(200);
    HANDLE held = CreateFileW(file.Path().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const SettingData defaults = MakeDefaultSettings();
    EXPECT_FALSE(file.Load(defaults));
    EXPECT_EQ(Bytes(*file.Data()), Bytes(defaults));
    EXPECT_FALSE(file.Save());
    CloseHandle(held);
    file.SetWriter([](HANDLE target, const void* data, DWORD size, DWORD* written) -> BOOL {
        WriteFile(target, data, size / 2, written, nullptr); // the disk is full halfway
        return FALSE;
    });
    EXPECT_FALSE(file.Save());

    std::string onDisk;
    ASSERT_TRUE(ReadBytes(file.Path(), &onDisk));
    EXPECT_EQ(onDisk, PatternRecord()) << "a failed save leaves the file alone";
}

// A folder locked down by an administrator who left the file writable: no
// new file to replace it with, so the record goes over it in place.
TEST(SettingFile, AFolderThatTakesNoNewFileHasTheRecordWrittenInPlace)
{
    ScratchDir dir;
    SettingFile file(dir.File(L"setting.dat"));
    ASSERT_TRUE(WriteBytes(file.Path(), std::string(700, 'z')));
    testsupport::FolderTakingNoNewFile locked(dir.Path());
    if (!locked.Ready())
        GTEST_SKIP() << "no folder here can be made to refuse new files";
    std::memcpy(file.Data(), PatternRecord().data(), sizeof(SettingData));
    HoldFor(file.Path(), 500); // and waited for while it is held, as a replacement is
    EXPECT_TRUE(file.Save());
    std::string onDisk;
    ASSERT_TRUE(ReadBytes(file.Path(), &onDisk));
    EXPECT_EQ(onDisk, PatternRecord()) << "the longer file is cut to the record";
    EXPECT_EQ(PathExists(file.Path() + L".tmp", 0), 0);
}

TEST(SettingFile, MissingDirectoryFailsEveryAccessButKeepsTheRecord)
{
    ScratchDir dir;
    SettingFile file(dir.File(L"no-such-dir\\setting.dat"));
    const SettingData defaults = MakeDefaultSettings();
    EXPECT_FALSE(file.Load(defaults));
    EXPECT_FALSE(file.CreateEmpty());
    file.Data()->muteVolume = 1;
    EXPECT_FALSE(file.Save());
    EXPECT_EQ(file.Data()->muteVolume, 1);
}

TEST(SettingFile, CreateEmptyRefusesAnExistingFile)
{
    ScratchDir dir;
    SettingFile file(dir.File(L"setting.dat"));
    EXPECT_TRUE(file.CreateEmpty());
    EXPECT_FALSE(file.CreateEmpty());
}

TEST(SettingsLocation, FollowsTheExecutableNotTheCurrentDirectory)
{
    ScratchDir dir;
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(dir.Path().c_str());
    ProgramHome home;
    home.Locate();
    SetCurrentDirectoryW(previous);

    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring exeDir(exe);
    exeDir.resize(exeDir.find_last_of(L'\\') + 1);
    EXPECT_EQ(home.moduleDirectory, exeDir);
    EXPECT_EQ(home.settingFile.Path(), exeDir + L"setting.dat");
    EXPECT_EQ(Bytes(home.defaultSettings), Bytes(MakeDefaultSettings()));
    EXPECT_EQ(home.ownExecutablePath, UpperCasePath(exe));
}

TEST(PathExists, TellsFilesFromDirectories)
{
    ScratchDir dir;
    ASSERT_TRUE(WriteBytes(dir.File(L"f"), "x"));
    EXPECT_TRUE(PathExists(dir.File(L"f"), false));
    EXPECT_FALSE(PathExists(dir.File(L"f"), true));
    EXPECT_TRUE(PathExists(dir.Path(), true));
    EXPECT_FALSE(PathExists(dir.File(L"missing"), false));
}
