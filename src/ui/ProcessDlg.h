#pragma once
#include <unordered_map>

#include "catalogue/HideSets.h"
#include "catalogue/ProcessCatalogue.h"
#include "ui/ListPage.h"

// The Processes page: every catalogued process on the left, the processes
// whose windows are to be hidden (hideProcessSet) on the right.
class CProcessDlg : public CListPairDlg<unsigned long> {
public:
    CProcessDlg();

    int SyncWithCatalogue() override;

    // The process id of each row of the left list.
    CEnArray<unsigned long> rowPids;

protected:
    CEnArray<unsigned long>& RowKeys() override { return rowPids; }
    HICON IconOfKey(unsigned long processId) override;
    bool StillPresent(unsigned long processId) override;

private:
    // Whether each listed process runs as administrator while we do not.
    std::unordered_map<unsigned long, bool> outranksUs_;
};
