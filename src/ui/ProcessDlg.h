#pragma once
#include "catalogue/HideSets.h"
#include "catalogue/ProcessCatalogue.h"
#include "ui/ListPage.h"

// The Processes page: every catalogued process on the left, the processes
// whose windows are to be hidden (hideProcessSet) on the right.
class CProcessDlg : public CListPairDlg<unsigned long> {
public:
    CProcessDlg();

    // Nothing until the page is first shown: the rows' icons are read from
    // every program's file, which the start of Covelin should not wait for.
    int SyncWithCatalogue() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    // The process id of each row of the left list.
    CEnArray<unsigned long> rowPids;

protected:
    CEnArray<unsigned long>& RowKeys() override { return rowPids; }
    HICON IconOfKey(unsigned long processId) override;
    bool StillPresent(unsigned long processId) override;

private:
    bool shown_ = false;
};
