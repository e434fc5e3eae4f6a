#pragma once
#include <string>

#include "choices/HideSets.h"
#include "ui/ListPage.h"

// The Executable Files page: the list of hideFileSet, each file with its
// icon and full path, and Add, Delete and Clear.
class CFileDlg : public CDialog {
public:
    // The page edits `hideFileSet`, which outlives it, and refuses
    // `ownExecutablePath`.
    CFileDlg(CPathSet& hideFileSet, const std::wstring& ownExecutablePath);

    // Asks for a file with the open-file dialog and appends it to the set.
    void AddFile();
    // Removes the first selected row and its element.
    void DeleteFile();
    // Empties the list and the set.
    void ClearFiles();

    CListCtrl fileList;
    CImageList images;

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
