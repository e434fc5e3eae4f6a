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
        ClearAllList();
        std::unordered_map<unsigned long, bool> outranksUs;
        for (const auto& [processId, path] : listed) {
            CProcess copy(processId, path.c_str());
            const wchar_t* name = copy.GetName();
            std::wstring text = name != nullptr ? name : L"";
            // The user learns before choosing it that its windows will stay
            // in view. A process's rights are fixed for its life.
            auto known = outranksUs_.find(processId);
            const bool outranks = known != outranksUs_.end() ? known->second : ProcessOutranksUs(processId);
            outranksUs.emplace(processId, outranks);
            if (outranks)
                text += kRowAdministratorSuffix;
            AppendListedRow(processId, copy.GetIcon(), text.c_str());
        }
        outranksUs_.swap(outranksUs); // only the listed processes are remembered
    }
    PruneHideList();
}

HICON CProcessDlg::IconOfKey(unsigned long processId)
{
    CProcess record(processId);
    return record.GetIcon();
}

bool CProcessDlg::StillPresent(unsigned long processId)
{
    // A process stays chosen while it is listed: once it has left the
    // catalogue (or no longer yields an icon) it goes, even if its id is
    // meanwhile used again.
    return rowPids.Find(processId) >= 0;
}
