#pragma once
#include <windows.h>

// The record of one process. The path (and the file name in it) is looked
// up once, on first demand, and kept for the record's life.
class CProcess {
public:
    explicit CProcess(unsigned long processId) : processId_(processId) {}
    // A record whose path is already known (the path may be empty).
    CProcess(unsigned long processId, const wchar_t* path);

    unsigned long GetProcessId() const { return processId_; }

    // The executable path, resolved now if still empty; null if it cannot be.
    const wchar_t* GetPath();
    // The executable's file name (text after the last backslash); null if
    // the path cannot be resolved.
    const wchar_t* GetName();
    // The executable's icon (caller owns it, see ExecutableIcon); null if
    // the path cannot be resolved.
    HICON GetIcon();

    static constexpr int kPathSize = 260;

private:
    void SetPath(const wchar_t* path);

    unsigned long processId_ = 0;
    wchar_t path_[kPathSize] = {};
    wchar_t name_[kPathSize] = {};
};
