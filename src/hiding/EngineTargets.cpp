#include "hiding/EngineTargets.h"

#include "choices/HideSets.h"

EngineTargets CaptureTargets(const HideChoices& choices, Catalogues* catalogues)
{
    EngineTargets targets;
    targets.windows.assign(choices.hideWindowSet.begin(), choices.hideWindowSet.end());
    for (unsigned long processId : choices.hideProcessSet)
        targets.processes.push_back(static_cast<DWORD>(processId));
    for (int i = 0; i < choices.hideFileSet.GetSize(); ++i) {
        if (const std::wstring* path = choices.hideFileSet[i])
            targets.files.push_back(*path);
    }
    targets.rules = choices.hideRules.rules;
    if (choices.topWindow != nullptr)
        targets.topWindow = choices.topWindow->GetHandle();
    targets.catalogues = catalogues;
    return targets;
}
