#pragma once
#include <unordered_map>
#include <utility>
#include <vector>

#include "catalogue/Catalogues.h"
#include "choices/HideSets.h"
#include "framework/Handles.h"
#include "ui/ListPage.h"

// The Windows page: every catalogued window on the left, the windows to be
// hidden (hideWindowSet) on the right, and the top window at the bottom.
class CWindowsDlg : public CListPairDlg<HWND> {
public:
    // The page lists `catalogues`' windows and edits `choices`' window set
    // and top window; both outlive it.
    CWindowsDlg(Catalogues& catalogues, HideChoices& choices);
    ~CWindowsDlg() override;
    CWindowsDlg(const CWindowsDlg&) = delete;
    CWindowsDlg& operator=(const CWindowsDlg&) = delete;

    // How the page asks a window for its icon (the caller owns the icon),
    // with the executables' icons read lately: the window record's own
    // question unless a test puts in another.
    using IconQuery = HICON (*)(HWND window, CProcessIcons& known);
    static IconQuery iconQuery;

    void SyncWithCatalogue() override;
    // Makes the first selected window of the left list the top window; with
    // nothing selected, clears the top window.
    void SetAsTopWindow();
    // Blanks the title when there is no top window, fetches the icon when
    // the top window has changed, and has the icon and the title repainted.
    void RefreshTopWindowDisplay();

    // The window handle of each row of the left list.
    CEnArray<HWND> rowHandles;
    CStatic topWindowTitle;

protected:
    CEnArray<HWND>& RowKeys() override { return rowHandles; }
    std::wstring TextOfKey(HWND window) override;
    HICON IconOfKey(HWND window) override;
    bool StillPresent(HWND window) override;
    bool MayHide(HWND window) override;
    bool KeptOutOfReverse(HWND window) override;

    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    bool IsTopWindow(HWND window) const;
    // The rectangle of control `id` in the page's client coordinates.
    RECT ControlRect(int id) const;
    // Asks the top window for its icon when it is another window than the
    // one whose icon the page holds; painting uses the icon held.
    void FetchTopWindowIcon();
    void ReleaseTopWindowIcon();
    bool PaintTopWindowIcon();
    // The executables' icons read within the last second; older ones are
    // read again, since a process id may be given to a new program.
    CProcessIcons& RecentProcessIcons();
    // Whether the window's program runs as administrator while we do not
    // (asked once per process as long as the process icons are kept).
    bool RunsAsAdministrator(HWND window);
    // The windows of `catalogued` that yield an icon, in order: those listed
    // already, and of the others those whose executable can be found (its
    // icon, or the program's own, is there when the row first shows) or
    // that hand over an icon of their own.
    // `catalogued`: each window with the process it counts as.
    std::vector<HWND> WindowsWithIcons(const std::vector<std::pair<HWND, DWORD>>& catalogued);

    Catalogues& catalogues_;
    HideChoices& choices_;
    HWND topWindowIconOf_ = nullptr;
    UniqueIcon topWindowIcon_;
    CProcessIcons processIcons_;
    ULONGLONG processIconsSince_ = 0;
    std::unordered_map<DWORD, bool> outranksUs_;
    std::unordered_map<DWORD, bool> pathFound_; // kept as the process icons
};
