#pragma once
// The main dialog: six tab pages above "Exit" and "Start". Start (and the
// close box) saves the pages, hides the dialog and arms the engine; Exit
// saves and ends the program.
#include <functional>
#include <memory>

#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "framework/Gdi.h"
#include "framework/Handles.h"
#include "ui/AboutDlg.h"
#include "ui/FileDlg.h"
#include "ui/OptionDlg.h"
#include "ui/ProcessDlg.h"
#include "ui/SettingDlg.h"
#include "ui/WindowsDlg.h"
#include "ui/res/resource.h"

class ArmedSessionPort;
class TrayIconPort;
struct Catalogues;
struct HideChoices;
struct ProgramHome;

// What the dialog and its pages work on. All of it belongs to the
// application object, which outlives the dialog.
struct DialogState {
    ArmedSessionPort& session; // what Start arms, and the dialog's show and hide tell
    ProgramHome& home;
    Catalogues& catalogues;
    HideChoices& choices;
    TrayIconPort& trayIcon; // the program's icon in the notification area
    // The display mode read at start-up, which the Options page shows.
    const DisplayMode& storedDisplayMode;
};

class CMainDlg : public CDialog {
public:
    static constexpr int kPageCount = 6;
    // Pixels at 96 DPI, scaled to the dialog's DPI: the client area's edge.
    static constexpr int kClientSize = 400;

    explicit CMainDlg(const DialogState& state);

    // The page of tab `index` (0 to 5), or null.
    CDialog* GetPage(int index);
    int CurrentPage() const { return currentPage; }

    CWindowsDlg& WindowsPage() { return windowsPage_; }
    CProcessDlg& ProcessPage() { return processPage_; }
    CFileDlg& FilePage() { return filePage_; }
    COptionDlg& OptionPage() { return optionPage_; }
    CSettingDlg& SettingPage() { return settingPage_; }
    CAboutDlg& AboutPage() { return aboutPage_; }
    CTabCtrl& Tabs() { return tabs_; }

    // Saves both pages, minimises and hides the dialog and arms the session;
    // nothing happens when the Settings page refuses its hotkeys.
    void OnStart();

    // Work that nothing on screen needs at start-up: run once the dialog has
    // been drawn for the first time (posted from its set-up), or by Start,
    // whichever comes first. The dialog's share is the pages behind the
    // first tab; `work` is the application's (the tray icon, the session
    // watch).
    void SetAfterShownWork(std::function<void()> work) { afterShownWork_ = std::move(work); }
    void RunAfterShownWork();

    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    void OnCancel() override;
    // Moved to a monitor of another scale: the layout, the window icons and
    // every page follow.
    void OnDpiChanged(UINT dpi) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void ArrangeControls();
    // Creates page `index` unless it exists; true when it was created now.
    bool CreatePage(int index);
    void CreateAllPages();
    // A page's place and size below the tab strip.
    void PlacePage(CDialog& page);
    // The big and small window icons at their sizes for the dialog's DPI.
    void LoadWindowIcons();
    // The window size whose client area is the dialog's at `dpi`.
    SIZE WindowSizeForDpi(UINT dpi) const;
    void OnTabSelChange();
    void OnShowWindow(BOOL show);
    bool OnPaint();
    void UpdateTitle();

    HICON icon_;
    UniqueIcon bigIcon_;
    UniqueIcon smallIcon_;
    CTabCtrl tabs_;
    int currentPage = 0;
    CButton exitButton_;
    CButton startButton_;
    CWindowsDlg windowsPage_;
    CProcessDlg processPage_;
    CFileDlg filePage_;
    COptionDlg optionPage_;
    CSettingDlg settingPage_;
    CAboutDlg aboutPage_;
    void OnEngineShowDialog();

    std::function<void()> afterShownWork_;
    bool afterShownDone_ = false;
    ArmedSessionPort& session_;
};
