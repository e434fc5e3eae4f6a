#include "support/HotkeyHolder.h"

#include <string>

#include "support/WindowHost.h"

namespace testsupport {

HotkeyHolder::HotkeyHolder(UINT modifiers, UINT key, DWORD timeoutMs)
{
    // Named after this process: tests in parallel prefixes never meet.
    const std::wstring suffix = std::to_wstring(GetCurrentProcessId());
    const std::wstring heldName = L"CovelinTestHotkeyHeld" + suffix;
    const std::wstring releaseName = L"CovelinTestHotkeyRelease" + suffix;
    heldEvent_ = CreateEventW(nullptr, TRUE, FALSE, heldName.c_str());
    releaseEvent_ = CreateEventW(nullptr, TRUE, FALSE, releaseName.c_str());
    const std::wstring exe = HelperProgramPath(L"hotkey_holder.exe");
    std::wstring commandLine = L"\"" + exe + L"\" " + std::to_wstring(modifiers) + L" " + std::to_wstring(key) + L" " +
                               heldName + L" " + releaseName;
    STARTUPINFOW startup{sizeof startup};
    PROCESS_INFORMATION info{};
    if (!heldEvent_ || !releaseEvent_ ||
        !CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return;
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    const HANDLE either[] = {heldEvent_, process_};
    held_ = WaitForMultipleObjects(2, either, FALSE, timeoutMs) == WAIT_OBJECT_0;
}

HotkeyHolder::~HotkeyHolder()
{
    if (releaseEvent_)
        SetEvent(releaseEvent_);
    if (process_) {
        if (WaitForSingleObject(process_, 5000) != WAIT_OBJECT_0)
            TerminateProcess(process_, 3);
        CloseHandle(process_);
    }
    for (HANDLE event : {heldEvent_, releaseEvent_})
        if (event)
            CloseHandle(event);
}

} // namespace testsupport
