#pragma once
#include "catalogue/HideSets.h"
#include "catalogue/WindowCatalogue.h"
#include "ui/ListPage.h"

// The Windows page: every catalogued window on the left, the windows to be
// hidden (hideWindowSet) on the right, and the top window at the bottom.
class CWindowsDlg : public CListPairDlg<HWND> {
public:
    CWindowsDlg();

    int SyncWithCatalogue() override;
    // Makes the first selected window of the left list the top window; with
    // nothing selected, clears the top window.
    void SetAsTopWindow();
    // Blanks the title when there is no top window and has the icon and the
    // title repainted.
    void RefreshTopWindowDisplay();

    // The window handle of each row of the left list.
    CEnArray<HWND> rowHandles;
    CStatic topWindowTitle;

protected:
    CEnArray<HWND>& RowKeys() override { return rowHandles; }
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
    bool PaintTopWindowIcon();
};
