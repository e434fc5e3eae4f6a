#include "engine/SettingFile.h"

#include "framework/FileSystem.h"
#include "framework/Handles.h"

#include <cstring>

SettingFile settingFile;
SettingData defaultSettings{};
std::wstring moduleDirectory;

SettingData MakeDefaultSettings()
{
    SettingData defaults{};
    defaults.showDialogChord.keys[VK_CONTROL] = HotkeyChord::kMember;
    defaults.showDialogChord.keys[VK_LEFT] = HotkeyChord::kMember;
    defaults.toggleChord.keys[VK_CONTROL] = HotkeyChord::kMember;
    defaults.toggleChord.keys[VK_OEM_3] = HotkeyChord::kMember; // the ` key
    return defaults;
}

void InitialiseSettingsLocation()
{
    moduleDirectory = DirectoryOf(OwnModulePath());
    defaultSettings = MakeDefaultSettings();
    settingFile.SetPath(moduleDirectory + L"setting.dat");
}

namespace {

UniqueHandle OpenExclusive(const std::wstring& path, DWORD access, DWORD disposition)
{
    return UniqueHandle(CreateFileW(path.c_str(), access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
}

} // namespace

int SettingFile::CreateEmpty()
{
    UniqueHandle file(OpenExclusive(path_, GENERIC_WRITE, CREATE_NEW));
    return file ? 1 : 0;
}

int SettingFile::Load(const SettingData& defaults)
{
    bool ok = PathExists(path_, 0) || CreateEmpty();
    if (ok) {
        UniqueHandle file(OpenExclusive(path_, GENERIC_READ, OPEN_EXISTING));
        ok = file && GetFileSize(file.get(), nullptr) == sizeof(SettingData);
        DWORD read = 0;
        ok = ok && ReadFile(file.get(), &data_, sizeof(SettingData), &read, nullptr);
    }
    if (!ok) {
        std::memcpy(&data_, &defaults, sizeof(SettingData));
        return 0;
    }
    // Nothing of ours writes another value; a foreign file must not make the
    // tray code index past its nine images.
    if (data_.trayIcon < 0 || data_.trayIcon >= kTrayImageCount)
        data_.trayIcon = 0;
    return 1;
}

int SettingFile::Save()
{
    if (!PathExists(path_, 0) && !CreateEmpty())
        return 0;
    UniqueHandle file(OpenExclusive(path_, GENERIC_WRITE, OPEN_EXISTING));
    if (!file)
        return 0;
    DWORD written = 0;
    const BOOL ok = WriteFile(file.get(), &data_, sizeof(SettingData), &written, nullptr);
    SetEndOfFile(file.get()); // a longer file is cut to the record
    return ok ? 1 : 0;
}
