#include "framework/FileDialog.h"

#include <shobjidl.h>

#include <utility>
#include <vector>

#include "framework/Handles.h"

namespace {

FileDialogChooser& Chooser()
{
    static FileDialogChooser chooser;
    return chooser;
}

// Splits "desc|pattern|desc|pattern||" into its pairs; a description
// without a pattern ends the list.
std::vector<std::pair<std::wstring, std::wstring>> SplitFilter(const std::wstring& filter)
{
    std::vector<std::wstring> parts;
    std::wstring current;
    for (wchar_t c : filter) {
        if (c == L'|') {
            parts.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty())
        parts.push_back(current);

    std::vector<std::pair<std::wstring, std::wstring>> pairs;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].empty() && parts[i + 1].empty())
            break;
        pairs.emplace_back(parts[i], parts[i + 1]);
    }
    return pairs;
}

} // namespace

FileDialogChooser SetFileDialogChooser(FileDialogChooser chooser)
{
    FileDialogChooser previous = std::move(Chooser());
    Chooser() = std::move(chooser);
    return previous;
}

CFileDialog::CFileDialog(BOOL openFileDialog, const wchar_t* defaultExtension, const wchar_t* fileName, DWORD flags,
                         const wchar_t* filter, HWND parent, BOOL vistaStyle)
    : m_vistaStyle(vistaStyle)
{
    m_request.open = openFileDialog != FALSE;
    m_request.parent = parent;
    m_request.flags = flags;
    m_request.filter = filter ? filter : L"";
    m_request.defaultExtension = defaultExtension ? defaultExtension : L"";
    m_request.fileName = fileName ? fileName : L"";
}

std::wstring CFileDialog::GetFileName() const
{
    const size_t slash = m_pathName.find_last_of(L'\\');
    return slash == std::wstring::npos ? m_pathName : m_pathName.substr(slash + 1);
}

INT_PTR CFileDialog::DoModal()
{
    std::wstring path;
    bool chosen = false;
    if (Chooser()) {
        chosen = Chooser()(m_request, path);
    } else {
        bool shown = false;
        if (m_vistaStyle)
            chosen = ShowNewerDialog(path, shown);
        if (!shown)
            chosen = ShowCommonDialog(path);
    }
    if (!chosen || path.empty())
        return IDCANCEL;
    m_pathName = path;
    return IDOK;
}

// The item-based dialog of Windows Vista and later. `shown` tells whether it
// could be used at all; when not, the caller falls back to the common dialog.
bool CFileDialog::ShowNewerDialog(std::wstring& path, bool& shown)
{
    shown = false;
    const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    if (FAILED(init))
        return false; // a multithreaded apartment: this dialog needs a single-threaded one

    bool chosen = false;
    {
        ComPtr<IFileDialog> dialog;
        const CLSID& clsid = m_request.open ? CLSID_FileOpenDialog : CLSID_FileSaveDialog;
        if (SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IFileDialog, dialog.put_void()))) {
            shown = true;
            const auto pairs = SplitFilter(m_request.filter);
            std::vector<COMDLG_FILTERSPEC> filters;
            filters.reserve(pairs.size());
            for (const auto& pair : pairs)
                filters.push_back(COMDLG_FILTERSPEC{pair.first.c_str(), pair.second.c_str()});
            if (!filters.empty()) {
                dialog->SetFileTypes(static_cast<UINT>(filters.size()), filters.data());
                dialog->SetFileTypeIndex(1);
            }
            FILEOPENDIALOGOPTIONS options = 0;
            dialog->GetOptions(&options);
            options |= FOS_FORCEFILESYSTEM;
            if (m_request.flags & OFN_FILEMUSTEXIST)
                options |= FOS_FILEMUSTEXIST;
            if (m_request.flags & OFN_PATHMUSTEXIST)
                options |= FOS_PATHMUSTEXIST;
            if (m_request.flags & OFN_OVERWRITEPROMPT)
                options |= FOS_OVERWRITEPROMPT;
            if (m_request.flags & OFN_NOCHANGEDIR)
                options |= FOS_NOCHANGEDIR;
            dialog->SetOptions(options);
            if (!m_request.defaultExtension.empty())
                dialog->SetDefaultExtension(m_request.defaultExtension.c_str());
            if (!m_request.fileName.empty())
                dialog->SetFileName(m_request.fileName.c_str());

            if (SUCCEEDED(dialog->Show(m_request.parent))) {
                ComPtr<IShellItem> item;
                if (SUCCEEDED(dialog->GetResult(item.put()))) {
                    wchar_t* name = nullptr;
                    if (SUCCEEDED(item->GetDisplayName(SIGDN_FILESYSPATH, &name)) && name) {
                        path = name;
                        chosen = true;
                    }
                    CoTaskMemFree(name);
                }
            }
        }
    }
    CoUninitialize();
    return chosen;
}

bool CFileDialog::ShowCommonDialog(std::wstring& path)
{
    // The common dialog wants the pairs separated by nulls, with a double
    // null at the end.
    std::wstring filter = m_request.filter;
    for (wchar_t& c : filter) {
        if (c == L'|')
            c = L'\0';
    }
    filter.push_back(L'\0');
    filter.push_back(L'\0');

    std::wstring buffer(4096, L'\0');
    m_request.fileName.copy(buffer.data(), buffer.size() - 1);

    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = m_request.parent;
    ofn.lpstrFilter = m_request.filter.empty() ? nullptr : filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = static_cast<DWORD>(buffer.size());
    ofn.lpstrDefExt = m_request.defaultExtension.empty() ? nullptr : m_request.defaultExtension.c_str();
    ofn.Flags = (m_request.flags | OFN_EXPLORER) & ~OFN_ALLOWMULTISELECT;

    // The common dialog library is loaded only when a dialog is asked for:
    // under Wine it drags the printing stack in with it, megabytes that a
    // program waiting in the tray should not carry.
    const UniqueModule library(LoadLibraryW(L"comdlg32.dll"));
    if (!library)
        return false;
    using DialogFn = BOOL(WINAPI*)(LPOPENFILENAMEW);
    const auto run = reinterpret_cast<DialogFn>(reinterpret_cast<void*>(
        GetProcAddress(library.get(), m_request.open ? "GetOpenFileNameW" : "GetSaveFileNameW")));
    const BOOL ok = run && run(&ofn);
    if (!ok)
        return false;
    // The dialog wrote a terminated path into a buffer of fixed size.
    path = buffer.substr(0, buffer.find(L'\0'));
    return true;
}
