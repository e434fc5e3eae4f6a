#include "engine/HiddenWindowGuard.h"

#include "recovery/FaultGuard.h"

RecoveryReport StartHiddenWindowGuard(CEngine& engine, const std::wstring& moduleDirectory)
{
    const std::wstring path = moduleDirectory.empty() ? std::wstring() : moduleDirectory + kHiddenJournalName;
    RecoveryReport report = RecoverLeftHiddenWindows(path);
    engine.Journal().Open(path);
    InstallFaultGuard(engine.Journal());
    return report;
}
