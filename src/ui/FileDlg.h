#pragma once
#include <string>

#include "choices/HideSets.h"
#include "ui/ListPage.h"
#include "ui/RuleSection.h"

// The Executable Files page: what Covelin remembers from run to run. Above,
// the list of hideFileSet, each file with its icon and full path, and Add,
// Delete and Clear; below, the title and class rules (RuleSection.h).
class CFileDlg : public CDialog {
public:
    // The page edits `hideFileSet` and `hideRules`, and counts the windows of
    // `catalogues`, which all outlive it; it refuses `ownExecutablePath`.
    CFileDlg(CPathSet& hideFileSet, const std::wstring& ownExecutablePath, Catalogues& catalogues,
             CRuleList& hideRules);

    // Asks for a file with the open-file dialog and appends it to the set.
    void AddFile();
    // Removes the first selected row and its element.
    void DeleteFile();
    // Empties the list and the set.
    void ClearFiles();

    CListCtrl fileList;
    CImageList images;
    CRuleSection rules;

protected:
    BOOL OnInitDialog() override;
    // The image list at the new small-icon size, filled again; the columns
    // widened with the scale.
    void OnDpiChanged(UINT dpi) override;
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    // The icon of each file of the set, in order, or a blank in its place.
    void FillImages();

    CPathSet& hideFileSet;
    const std::wstring& ownExecutablePath_;
};
