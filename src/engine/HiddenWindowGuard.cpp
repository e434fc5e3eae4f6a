#include "engine/HiddenWindowGuard.h"

#include "engine/FaultGuard.h"
#include "engine/SettingFile.h"

RecoveryReport StartHiddenWindowGuard(CEngine& engine)
{
    const std::wstring path = moduleDirectory.empty() ? std::wstring() : moduleDirectory + kHiddenJournalName;
    RecoveryReport report = RecoverLeftHiddenWindows(path);
    engine.Journal().Open(path);
    InstallFaultGuard(engine.Journal());
    return report;
}
