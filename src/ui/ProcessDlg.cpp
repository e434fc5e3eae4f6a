#include "ui/ProcessDlg.h"

#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "system/Elevation.h"

namespace {

const CListPairDlg<unsigned long>::Layout kProcessLayout{IDC_ALL_PROCESSES, IDC_HIDE_PROCESSES, kColumnProcessName,
                                                         kMsgProcessAlreadyHidden};

} // namespace

CProcessDlg::CProcessDlg(Catalogues& catalogues, HideChoices& choices)
    : CListPairDlg<unsigned long>(IDD_PROCESS_PAGE, kProcessLayout, choices.hideProcessSet), catalogues_(catalogues)
{
}

void CProcessDlg::SyncWithCatalogue()
{
    // Records of the catalogue live only while its lock is held: copy the
    // ids and paths under it, and read the icons from the files after, so
    // that the refresher never waits on the disk for the page.
    std::vector<std::pair<unsigned long, std::wstring>> listed;
    bool changed = false;
    {
        std::lock_guard<CCriticalSection> lock(catalogues_.processLock);
        changed =
            CatalogueDiffers(catalogues_.processCatalogue, [](CProcess* record) { return record->GetProcessId(); });
        if (changed) {
            listed.reserve(static_cast<size_t>(catalogues_.processCatalogue.GetSize()));
            for (int i = 0; i < catalogues_.processCatalogue.GetSize(); ++i) {
                CProcess* record = catalogues_.processCatalogue[i];
                const wchar_t* path = record != nullptr ? record->GetPath() : nullptr;
                if (path != nullptr)
                    listed.emplace_back(record->GetProcessId(), path);
            }
        }
    }
    if (changed) {
        std::vector<unsigned long> keys;
        std::unordered_map<unsigned long, std::wstring> paths;
        keys.reserve(listed.size());
        for (auto& [processId, path] : listed) {
            if (paths.emplace(processId, std::move(path)).second)
                keys.push_back(processId);
        }
        paths_.swap(paths);
        // A process's rights are fixed for its life: only the listed ones
        // are remembered.
        for (auto it = outranksUs_.begin(); it != outranksUs_.end();)
            it = paths_.count(it->first) != 0 ? std::next(it) : outranksUs_.erase(it);
        ShowListedKeys(keys);
    }
    PruneHideList();
}

std::wstring CProcessDlg::TextOfKey(unsigned long processId)
{
    auto path = paths_.find(processId);
    if (path == paths_.end())
        return std::wstring();
    CProcess copy(processId, path->second.c_str());
    const wchar_t* name = copy.GetName();
    std::wstring text = name != nullptr ? name : L"";
    // The user learns before choosing it that its windows will stay in view.
    auto [known, isNew] = outranksUs_.try_emplace(processId, false);
    if (isNew)
        known->second = ProcessOutranksUs(processId);
    if (known->second)
        text += kRowAdministratorSuffix;
    return text;
}

HICON CProcessDlg::IconOfKey(unsigned long processId)
{
    // A listed process's icon comes from the path the catalogue read.
    auto path = paths_.find(processId);
    if (path == paths_.end())
        return CProcess(processId).GetIcon();
    return CProcess(processId, path->second.c_str()).GetIcon();
}

bool CProcessDlg::StillPresent(unsigned long processId)
{
    // A process stays chosen while it is listed: once it has left the
    // catalogue (or no longer yields an icon) it goes, even if its id is
    // meanwhile used again.
    return rowPids.Find(processId) >= 0;
}
