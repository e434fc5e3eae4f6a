#include "recovery/HiddenWindowGuard.h"

#include "recovery/FaultGuard.h"

RecoveryReport StartHiddenWindowGuard(HiddenWindowsOwner& owner, const std::wstring& moduleDirectory)
{
    const std::wstring path = moduleDirectory.empty() ? std::wstring() : moduleDirectory + kHiddenJournalName;
    RecoveryReport report = RecoverLeftHiddenWindows(path);
    owner.Journal().Open(path);
    InstallFaultGuard(owner.Journal());
    return report;
}
