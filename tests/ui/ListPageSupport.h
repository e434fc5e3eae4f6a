#pragma once
// Helpers of the Windows, Processes and Executable Files page tests: a host
// window for a page, windows of our own with icons of known colours, and
// row-level views and double clicks of a list.
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "framework/Dialog.h"
#include "framework/Handles.h"
#include "framework/ListCtrl.h"

namespace listpage {

// A top-level window (never catalogued: it carries the main dialog's mark)
// that holds one page as its child, as the main dialog does.
class PageHost {
public:
    PageHost();
    ~PageHost();
    PageHost(const PageHost&) = delete;
    PageHost& operator=(const PageHost&) = delete;

    // Creates `page` from `templateId` inside the host and shows it.
    bool Open(CDialog& page, UINT templateId);
    CWnd& Window() { return host_; }

private:
    CWnd host_;
};

// A visible top-level window of this thread whose small icon is a square
// of one colour, so that an image can be traced back to its window.
class ColouredWindow {
public:
    ColouredWindow(const std::wstring& title, COLORREF colour);
    ~ColouredWindow();
    ColouredWindow(const ColouredWindow&) = delete;
    ColouredWindow& operator=(const ColouredWindow&) = delete;

    HWND Handle() const { return window_; }
    COLORREF Colour() const { return colour_; }
    void Destroy();

private:
    HWND window_ = nullptr;
    HICON icon_ = nullptr;
    COLORREF colour_;
};

// A 16 x 16 icon filled with `colour` (the caller destroys it).
HICON SolidIcon(COLORREF colour);
// The colour at the centre of an icon.
COLORREF CentreColour(HICON icon);
// The colour at the centre of image `index` of an image list (CLR_INVALID
// when there is no such image).
COLORREF ImageColour(HIMAGELIST images, int index);

// Takes every access right away from process `processId` (an empty access
// list), so that nobody can open it any more for its executable path: its
// windows then yield no icon except one they hand over themselves.
bool DenyQueryAccess(DWORD processId);

// Rebuilds both catalogues now, under their locks, as the refreshers would.
void RefreshWindowCatalogue();
void RefreshProcessCatalogue();
bool WindowIsCatalogued(HWND window);

// Presses OK on every message box of this process captioned "Covelin" and
// keeps their texts in order. It reads windows only with calls that send no
// message, so it can never wait on the test's thread (which may be busy
// joining it).
class MessageBoxWatcher {
public:
    MessageBoxWatcher();
    ~MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

    std::vector<std::wstring> Texts();

private:
    void Run();

    // Set to end the watch; its 10 ms waits are the pace of the look-ups.
    UniqueEvent stop_;
    std::mutex mutex_;
    std::vector<std::wstring> texts_;
    std::thread thread_;
};

// Makes `list` refuse new rows (LVM_INSERTITEM answers -1), as a list view
// does when it cannot make room for one; or takes the refusal away.
void RefuseRowInserts(HWND list, bool refuse);

// The column-1 texts of a list, top to bottom.
std::vector<std::wstring> RowTexts(const CListCtrl& list);
// The image index of every row.
std::vector<int> RowImages(const CListCtrl& list);
// The rows whose state is selected.
std::vector<int> SelectedRows(const CListCtrl& list);
// The row whose column-1 text is `text`, or -1.
int FindRow(const CListCtrl& list, const std::wstring& text);

// Selects `row` alone, makes it the selection mark, puts the mouse cursor
// on it and tells the page that the list was double-clicked, as the list
// view does after a double click.
void DoubleClickRow(CDialog& page, CListCtrl& list, int row);
// Marks `row` but double-clicks the empty area below the last row.
void DoubleClickBelowRows(CDialog& page, CListCtrl& list, int markedRow);
// Only the notification, with the cursor wherever it is.
void SendDoubleClick(CDialog& page, CListCtrl& list);
// Selects exactly `rows`.
void SelectRows(CListCtrl& list, const std::vector<int>& rows);
// Clicks a button of the page as the user would (BN_CLICKED).
void ClickButton(CDialog& page, int id);

// A title no other test run uses (ASCII, so that window_host takes it too).
std::wstring UniqueTitle(const std::wstring& stem);
std::string Narrow(const std::wstring& ascii);

} // namespace listpage
