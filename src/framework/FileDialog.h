#pragma once
#include <windows.h>

#include <commdlg.h>

#include <functional>
#include <string>

// What a file dialog is asked for, as the chooser seam (below) sees it.
struct FileDialogRequest {
    bool open = true; // open dialog (else save dialog)
    HWND parent = nullptr;
    DWORD flags = 0;     // OFN_ flags
    std::wstring filter; // "Description|pattern|...||"
    std::wstring defaultExtension;
    std::wstring fileName; // initial file name
};

// Replaces the system's file dialog: returns true with the chosen full path
// in `path`, or false for a cancelled dialog. Tests put one in so that they
// never meet a modal system dialog.
using FileDialogChooser = std::function<bool(const FileDialogRequest& request, std::wstring& path)>;

// Installs `chooser` for every CFileDialog of the process (an empty one
// restores the system dialog). Returns the chooser it replaces.
FileDialogChooser SetFileDialogChooser(FileDialogChooser chooser);

// The system's open or save dialog for one file.
class CFileDialog {
public:
    // `filter` holds description and pattern pairs separated by '|' and ends
    // with "||". With `vistaStyle` the newer dialog is used where the system
    // offers it, else the explorer-style common dialog.
    explicit CFileDialog(BOOL openFileDialog, const wchar_t* defaultExtension = nullptr,
                         const wchar_t* fileName = nullptr, DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                         const wchar_t* filter = nullptr, HWND parent = nullptr, BOOL vistaStyle = TRUE);

    // IDOK with a file chosen, else IDCANCEL.
    INT_PTR DoModal();
    // The full path chosen by the last DoModal that returned IDOK.
    std::wstring GetPathName() const { return m_pathName; }
    // The part of the path after its last backslash.
    std::wstring GetFileName() const;

    const FileDialogRequest& GetRequest() const { return m_request; }

private:
    bool ShowNewerDialog(std::wstring& path, bool& shown);
    bool ShowCommonDialog(std::wstring& path);

    FileDialogRequest m_request;
    BOOL m_vistaStyle;
    std::wstring m_pathName;
};
