#include "hiding/EngineTargets.h"

#include "catalogue/HideSets.h"

EngineTargets CaptureTargets()
{
    EngineTargets targets;
    targets.windows.assign(hideWindowSet.begin(), hideWindowSet.end());
    for (unsigned long processId : hideProcessSet)
        targets.processes.push_back(static_cast<DWORD>(processId));
    for (int i = 0; i < hideFileSet.GetSize(); ++i) {
        if (const std::wstring* path = hideFileSet[i])
            targets.files.push_back(*path);
    }
    if (topWindow != nullptr)
        targets.topWindow = topWindow->GetHandle();
    return targets;
}
