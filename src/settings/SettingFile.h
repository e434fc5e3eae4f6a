#pragma once
#include <windows.h>

#include "settings/HotkeyChord.h"
#include "settings/SettingData.h"

#include <string>

// Owns the path of "setting.dat" and the live settings record.
// Every access to the file shares it with nobody. A file that another
// program merely holds for a moment (a backup tool, a virus scanner) is
// waited for, up to HeldFileWait(), before an access gives up.
class SettingFile {
public:
    // How the record reaches the disk: WriteFile, unless a test needs a
    // write that fails.
    using Writer = BOOL (*)(HANDLE file, const void* data, DWORD size, DWORD* written);
    static constexpr DWORD kDefaultHeldFileWaitMs = 2000;

    SettingFile() = default;
    explicit SettingFile(std::wstring path) : path_(std::move(path)) {}

    void SetPath(const std::wstring& path) { path_ = path; }
    const std::wstring& Path() const { return path_; }

    // The live record; callers keep the pointer and read fields when needed.
    SettingData* Data() { return &data_; }

    // True when a 540-byte file was read into the live record; otherwise the
    // live record becomes `defaults`. A missing file is created empty on the
    // way (and then fails on its size).
    [[nodiscard]] bool Load(const SettingData& defaults);

    // True when the whole record was written. The record goes to a new file
    // beside the old one, which it then replaces: a save that fails leaves
    // the old file as it was. A folder that takes no new file (made
    // read-only by an administrator who left the file itself writable) gets
    // the record written over the old file in place instead.
    [[nodiscard]] bool Save();

    // True when a new empty file could be created at the path.
    [[nodiscard]] bool CreateEmpty();

    // The choice kept outside the record (whose 540 bytes keep their layout
    // and meaning): mute only the programs whose windows were hidden. It
    // lives in the per-user registry as the number kMuteHiddenOnlyValue
    // under the application's key, beside the file list's section.
    bool MuteHiddenOnly() const { return muteHiddenOnly_; }
    void SetMuteHiddenOnly(bool on) { muteHiddenOnly_ = on; }
    // The chord that hides the window in front, kept in the registry too
    // (settings/HideActiveChord.h); empty by default.
    const HotkeyChord& HideActiveChord() const { return hideActiveChord_; }
    void SetHideActiveChord(const HotkeyChord& chord) { hideActiveChord_ = chord; }
    // Reads them (absent: off, no chord); writes the mute choice, true when
    // that worked. The chord is written by SaveHideActiveChord.
    void LoadRegistryChoices();
    bool SaveRegistryChoices() const;

    void SetWriter(Writer writer);
    void SetHeldFileWait(DWORD ms) { heldFileWaitMs_ = ms; }
    DWORD HeldFileWait() const { return heldFileWaitMs_; }

private:
    // How a write of the record to one file ended; the error, when it did
    // not, in `error`.
    enum class WriteOutcome { Written, NotCreated, Failed };
    WriteOutcome WriteRecordTo(const std::wstring& path, DWORD disposition, DWORD* error);

    std::wstring path_;
    SettingData data_{};
    bool muteHiddenOnly_ = false;
    HotkeyChord hideActiveChord_{};
    Writer writer_ = nullptr;
    DWORD heldFileWaitMs_ = kDefaultHeldFileWaitMs;
};

// The registry value of SettingFile::MuteHiddenOnly.
inline constexpr wchar_t kMuteHiddenOnlyValue[] = L"MuteHiddenProgramsOnly";

// The program's home: the executable it runs from, the folder beside it
// where its settings live, the live settings record and the defaults. The
// application object owns one and hands it, by reference, to whoever reads
// or writes the settings; only the user-interface thread does, and only
// while the engine is not armed (the engine works on its run's copy).
struct ProgramHome {
    std::wstring ownExecutablePath; // upper-cased; empty: nothing is refused as ours
    std::wstring moduleDirectory;   // the executable's directory, trailing backslash kept
    SettingData defaultSettings{};
    SettingFile settingFile;

    // Reads our own executable's path, computes `moduleDirectory` from it,
    // fills `defaultSettings` and points `settingFile` at "setting.dat"
    // beside the exe.
    void Locate();
};
