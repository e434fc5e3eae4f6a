#include "ui/FileDlg.h"

#include "catalogue/Executable.h"

#include <string>

#include "framework/FileDialog.h"
#include "system/OwnProcess.h"

CFileDlg::CFileDlg(CPathSet& hideFileSet, const std::wstring& ownExecutablePath, Catalogues& catalogues,
                   CRuleList& hideRules)
    : CDialog(IDD_FILE_PAGE), rules(catalogues, hideRules), hideFileSet(hideFileSet),
      ownExecutablePath_(ownExecutablePath)
{
}

void CFileDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_FILE_LIST, fileList);
    rules.Bind(pDX);
}

BOOL CFileDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    SetUpIconList(fileList, images, GetDpi());
    InsertIconColumns(fileList, kColumnPath, 350, GetDpi());
    FillImages();
    // Row i must stay element i (Delete removes both by index), so a file
    // whose icon cannot be had still gets its row, with a blank image.
    for (int i = 0; i < hideFileSet.GetSize(); ++i) {
        const std::wstring* path = hideFileSet[i];
        InsertIconRow(fileList, fileList.GetItemCount(), path != nullptr ? path->c_str() : L"", i);
    }
    rules.SetUp(GetDpi());
    return TRUE;
}

void CFileDlg::OnDpiChanged(UINT dpi)
{
    const UINT previous = GetDpi();
    CDialog::OnDpiChanged(dpi);
    RescaleColumns(fileList, previous, dpi);
    rules.Rescale(previous, dpi);
    SetUpIconList(fileList, images, dpi);
    FillImages();
}

void CFileDlg::FillImages()
{
    for (int i = 0; i < hideFileSet.GetSize(); ++i) {
        const std::wstring* path = hideFileSet[i];
        AddIconOrBlank(images, ExecutableIcon(path != nullptr ? path->c_str() : L""));
    }
}

BOOL CFileDlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (rules.OnCommand(wParam))
        return TRUE;
    if (HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
        case IDC_ADD_FILE:
            AddFile();
            return TRUE;
        case IDC_DELETE_FILE:
            DeleteFile();
            return TRUE;
        case IDC_CLEAR_FILES:
            ClearFiles();
            return TRUE;
        default:
            break;
        }
    }
    return CDialog::OnCommand(wParam, lParam);
}

BOOL CFileDlg::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header != nullptr && rules.OnNotify(*header)) {
        *result = 0;
        return TRUE;
    }
    if (header != nullptr && header->code == NM_DBLCLK && header->idFrom == IDC_FILE_LIST) {
        // Anywhere in the list: the double click deletes the first
        // selected row, not the one under the cursor.
        DeleteFile();
        *result = 0;
        return TRUE;
    }
    return CDialog::OnNotify(wParam, lParam, result);
}

void CFileDlg::AddFile()
{
    const std::wstring filter = std::wstring(kFileDialogFilterExecutables) + kFileDialogFilterAllFiles;
    for (;;) {
        CFileDialog dialog(TRUE, nullptr, nullptr, OFN_FILEMUSTEXIST, filter.c_str(), m_hWnd);
        if (dialog.DoModal() != IDOK)
            return;
        const std::wstring path = UpperCasePath(dialog.GetPathName());
        // Hiding our own windows would hide the way back: ask again.
        if (IsOwnExecutablePath(path, ownExecutablePath_)) {
            AfxMessageBox(kMsgOwnExecutableRefused, MB_OK | MB_ICONINFORMATION);
            continue;
        }
        if (hideFileSet.FindPath(path) >= 0) {
            AfxMessageBox(kMsgFileAlreadyListed, MB_OK | MB_ICONINFORMATION);
            return;
        }
        const int image = AddIconAndRelease(images, ExecutableIcon(path.c_str()));
        if (image < 0)
            return;
        const int row = fileList.GetItemCount();
        // Row i stays element i: a row the list refuses adds no file.
        if (InsertIconRow(fileList, row, path.c_str(), row) < 0) {
            images.Remove(image);
            return;
        }
        hideFileSet.AddPath(path);
        return;
    }
}

void CFileDlg::DeleteFile()
{
    const int row = fileList.GetFirstSelectedItem();
    if (row < 0 || row >= hideFileSet.GetSize())
        return;
    hideFileSet.RemoveAt(row); // frees the string
    fileList.DeleteItem(row);
    images.Remove(row);
    RenumberRowImages(fileList, row);
    SelectRowAfterRemoval(fileList, row);
}

void CFileDlg::ClearFiles()
{
    fileList.DeleteAllItems();
    hideFileSet.RemoveAll(); // frees the strings
    images.RemoveAll();
}
