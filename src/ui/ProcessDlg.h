#pragma once
#include <string>
#include <unordered_map>

#include "catalogue/Catalogues.h"
#include "choices/HideSets.h"
#include "ui/ListPage.h"

// The Processes page: every catalogued process on the left, the processes
// whose windows are to be hidden (hideProcessSet) on the right.
class CProcessDlg : public CListPairDlg<unsigned long> {
public:
    // The page lists `catalogues`' processes and edits `choices`' process
    // set; both outlive it.
    CProcessDlg(Catalogues& catalogues, HideChoices& choices);

    void SyncWithCatalogue() override;

    // The process id of each row of the left list.
    CEnArray<unsigned long> rowPids;

protected:
    CEnArray<unsigned long>& RowKeys() override { return rowPids; }
    std::wstring TextOfKey(unsigned long processId) override;
    HICON IconOfKey(unsigned long processId) override;
    bool StillPresent(unsigned long processId) override;

private:
    Catalogues& catalogues_;
    // The executable path of each listed process, as the catalogue read it.
    std::unordered_map<unsigned long, std::wstring> paths_;
    // Whether each listed process runs as administrator while we do not.
    std::unordered_map<unsigned long, bool> outranksUs_;
};
