#pragma once
#include "engine/SettingData.h"

#include <string>

// Owns the path of "setting.dat" and the live settings record.
// Every access to the file shares it with nobody.
class SettingFile {
public:
    SettingFile() = default;
    explicit SettingFile(std::wstring path) : path_(std::move(path)) {}

    void SetPath(const std::wstring& path) { path_ = path; }
    const std::wstring& Path() const { return path_; }

    // The live record; callers keep the pointer and read fields when needed.
    SettingData* Data() { return &data_; }

    // 1 when a 540-byte file was read into the live record; otherwise the
    // live record becomes `defaults` and 0 is returned. A missing file is
    // created empty on the way (and then fails on its size).
    int Load(const SettingData& defaults);

    // 1 when the whole record was written (the file is cut to 540 bytes).
    int Save();

    // 1 when a new empty file could be created at the path.
    int CreateEmpty();

private:
    std::wstring path_;
    SettingData data_{};
};

// Process-wide settings state, set up once when the application starts.
extern SettingFile settingFile;
extern SettingData defaultSettings;
extern std::wstring moduleDirectory; // the executable's directory, trailing backslash kept

// Computes `moduleDirectory` from the running executable, fills
// `defaultSettings` and points `settingFile` at "setting.dat" beside the exe.
void InitialiseSettingsLocation();
