#include "ui/ProcessDlg.h"

#include <mutex>

namespace {

const CListPairDlg<unsigned long>::Layout kProcessLayout{
    IDC_ALL_PROCESSES, IDC_HIDE_PROCESSES, kColumnProcessName, kMsgProcessAlreadyHidden};

} // namespace

CProcessDlg::CProcessDlg() : CListPairDlg<unsigned long>(IDD_PROCESS_PAGE, kProcessLayout, hideProcessSet)
{
}

int CProcessDlg::SyncWithCatalogue()
{
    {
        std::lock_guard<CCriticalSection> lock(processLock);
        if (CatalogueDiffers(processCatalogue, [](CProcess* record) { return record->GetProcessId(); })) {
            ClearAllList();
            for (int i = 0; i < processCatalogue.GetSize(); ++i) {
                CProcess* record = processCatalogue[i];
                if (record == nullptr)
                    continue;
                HICON icon = record->GetIcon();
                if (icon == nullptr)
                    continue;
                const wchar_t* name = record->GetName();
                AppendListedRow(record->GetProcessId(), icon, name != nullptr ? name : L"");
            }
        }
    }
    PruneHideList();
    return 1;
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
