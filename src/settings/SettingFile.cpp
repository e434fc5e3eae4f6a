#include "settings/SettingFile.h"

#include "framework/FileSystem.h"
#include "framework/Handles.h"
#include "framework/Log.h"
#include "framework/Profile.h"
#include "settings/HideActiveChord.h"
#include "system/OwnProcess.h"

#include <cstring>

SettingData MakeDefaultSettings()
{
    SettingData defaults{};
    defaults.showDialogChord.keys[VK_CONTROL] = HotkeyChord::kMember;
    defaults.showDialogChord.keys[VK_LEFT] = HotkeyChord::kMember;
    defaults.toggleChord.keys[VK_CONTROL] = HotkeyChord::kMember;
    defaults.toggleChord.keys[VK_OEM_3] = HotkeyChord::kMember; // the ` key
    return defaults;
}

void ProgramHome::Locate()
{
    ownExecutablePath = ReadOwnExecutablePath();
    moduleDirectory = DirectoryOf(OwnModulePath());
    defaultSettings = MakeDefaultSettings();
    settingFile.SetPath(moduleDirectory + L"setting.dat");
}

namespace {

constexpr DWORD kHeldFileRetryMs = 50;

UniqueHandle OpenExclusive(const std::wstring& path, DWORD access, DWORD disposition)
{
    return UniqueHandle(CreateFileW(path.c_str(), access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Another program has the file open or locked: it usually lets go soon.
bool MerelyHeld(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

// Whether someone has the file open (replacing it is then refused, though
// only as "access denied").
bool IsHeld(const std::wstring& path)
{
    const UniqueHandle probe(OpenExclusive(path, GENERIC_READ, OPEN_EXISTING));
    return !probe && GetLastError() == ERROR_SHARING_VIOLATION;
}

// Runs `attempt`, which returns the error that stopped it (ERROR_SUCCESS
// when nothing did), again while the file is merely held and `waitMs` have
// not passed. Returns the last attempt's error.
template <class Attempt>
DWORD RetryWhileHeld(DWORD waitMs, Attempt attempt)
{
    const ULONGLONG deadline = GetTickCount64() + waitMs;
    for (;;) {
        const DWORD error = attempt();
        if (!MerelyHeld(error) || GetTickCount64() >= deadline)
            return error;
        Sleep(kHeldFileRetryMs);
    }
}

BOOL WriteWithWriteFile(HANDLE file, const void* data, DWORD size, DWORD* written)
{
    return WriteFile(file, data, size, written, nullptr);
}

} // namespace

void SettingFile::SetWriter(Writer writer)
{
    writer_ = writer;
}

bool SettingFile::CreateEmpty()
{
    const UniqueHandle file(OpenExclusive(path_, GENERIC_WRITE, CREATE_NEW));
    return static_cast<bool>(file);
}

bool SettingFile::Load(const SettingData& defaults)
{
    DWORD error = ERROR_SUCCESS;
    DWORD size = 0;
    if (!PathExists(path_, false) && !CreateEmpty())
        error = GetLastError();
    if (error == ERROR_SUCCESS) {
        error = RetryWhileHeld(heldFileWaitMs_, [this, &size]() -> DWORD {
            const UniqueHandle file(OpenExclusive(path_, GENERIC_READ, OPEN_EXISTING));
            if (!file)
                return GetLastError();
            size = GetFileSize(file.get(), nullptr);
            if (size != sizeof(SettingData))
                return ERROR_BAD_LENGTH;
            DWORD read = 0;
            return ReadFile(file.get(), &data_, sizeof(SettingData), &read, nullptr) ? ERROR_SUCCESS : GetLastError();
        });
    }
    if (error == ERROR_BAD_LENGTH)
        Log::Line(L"Loading the settings from " + path_ + L": the file holds " + std::to_wstring(size) +
                  L" bytes, not " + std::to_wstring(sizeof(SettingData)));
    else if (error != ERROR_SUCCESS)
        Log::Failure(L"Loading the settings from " + path_, error);
    if (error != ERROR_SUCCESS) {
        std::memcpy(&data_, &defaults, sizeof(SettingData));
        return false;
    }
    // Nothing of ours writes another value; a foreign file must not make the
    // tray code index past its nine images.
    if (data_.trayIcon < 0 || data_.trayIcon >= kTrayImageCount)
        data_.trayIcon = 0;
    return true;
}

SettingFile::WriteOutcome SettingFile::WriteRecordTo(const std::wstring& path, DWORD disposition, DWORD* error)
{
    UniqueHandle file;
    *error = RetryWhileHeld(heldFileWaitMs_, [&]() -> DWORD {
        file.reset(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
        return file ? ERROR_SUCCESS : GetLastError();
    });
    if (!file)
        return WriteOutcome::NotCreated;
    const Writer write = writer_ != nullptr ? writer_ : WriteWithWriteFile;
    DWORD written = 0;
    // On the disk before it replaces the old record: a crash right after the
    // replacement must not leave an empty file in its place. Written in
    // place over a longer file, what follows the record goes.
    const bool whole = write(file.get(), &data_, sizeof(SettingData), &written) && written == sizeof(SettingData) &&
                       (disposition != OPEN_EXISTING || SetEndOfFile(file.get())) && FlushFileBuffers(file.get());
    *error = whole ? ERROR_SUCCESS : GetLastError();
    if (!whole && *error == ERROR_SUCCESS)
        *error = ERROR_WRITE_FAULT; // a short write says nothing more
    return whole ? WriteOutcome::Written : WriteOutcome::Failed;
}

bool SettingFile::Save()
{
    // The old file stays whole until the new one holds the whole record.
    const std::wstring fresh = path_ + L".tmp";
    DWORD error = ERROR_SUCCESS;
    const WriteOutcome outcome = WriteRecordTo(fresh, CREATE_ALWAYS, &error);
    if (outcome == WriteOutcome::NotCreated) {
        // The folder takes no new file. The old file may still take a write:
        // the record then goes over it in place, as it is all we can do.
        Log::Failure(L"Creating " + fresh + L", so the settings are written in place", error);
        WriteRecordTo(path_, OPEN_EXISTING, &error);
    } else if (outcome == WriteOutcome::Written) {
        error = RetryWhileHeld(heldFileWaitMs_, [&]() -> DWORD {
            if (MoveFileExW(fresh.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
                return ERROR_SUCCESS;
            const DWORD refused = GetLastError();
            return refused == ERROR_ACCESS_DENIED && IsHeld(path_) ? ERROR_SHARING_VIOLATION : refused;
        });
    }
    if (outcome != WriteOutcome::NotCreated && error != ERROR_SUCCESS)
        DeleteFileW(fresh.c_str());
    if (error != ERROR_SUCCESS)
        Log::Failure(L"Saving the settings to " + path_, error);
    return error == ERROR_SUCCESS;
}

void SettingFile::LoadRegistryChoices()
{
    muteHiddenOnly_ = ProfileReadNumber(kMuteHiddenOnlyValue, 0) != 0;
    hideActiveChord_ = LoadHideActiveChord();
}

bool SettingFile::SaveRegistryChoices() const
{
    return ProfileWriteNumber(kMuteHiddenOnlyValue, muteHiddenOnly_ ? 1 : 0);
}
