#pragma once
// The Settings page: the three hotkeys (the third, hiding the window in
// front, may be empty), the tray image, hiding the own tray
// icon while armed, and starting with Windows.
#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "framework/ImageList.h"
#include "settings/HideActiveChord.h"
#include "settings/SettingFile.h"
#include "ui/HotkeyEdit.h"

class TrayIconPort;

class CSettingDlg : public CDialog {
public:
    // The page reads and saves `home`'s settings and changes `trayIcon`'s
    // image; both outlive it.
    CSettingDlg(ProgramHome& home, TrayIconPort& trayIcon);

    // False when two hotkeys read the same (the user is told; nothing is
    // stored). Otherwise the page's values go into the live settings, the
    // file is saved (a failure is told to the user) and true is returned.
    [[nodiscard]] bool SaveSettings();

    // Shows the selected tray image, with its name as tooltip, at once.
    void ApplyTrayIcon();
    // Writes or deletes the Run value after box 1015.
    void ApplyStartWithWindows();
    // "Use Default": the built-in hotkeys, tray image and options on screen.
    void UseDefault();

    BOOL OnInitDialog() override;
    // The tray images at the new small-icon size.
    void OnDpiChanged(UINT dpi) override;
    void DoDataExchange(CDataExchange* pDX) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    CHotkeyEdit& ShowDialogEdit() { return showDialogEdit_; }
    CHotkeyEdit& ToggleEdit() { return toggleEdit_; }
    CHotkeyEdit& HideActiveEdit() { return hideActiveEdit_; }
    HIMAGELIST TrayImages() const { return trayImages_; }

private:
    // The nine tray images, each loaded at the small-icon size of the
    // page's DPI, given to the chooser.
    void LoadTrayImages();
    // The note under the hotkeys tells of a chord another program holds
    // (the system refuses to register it for us), or else says what it says.
    void NoteHotkeysHeldElsewhere();

    CHotkeyEdit showDialogEdit_;
    CHotkeyEdit toggleEdit_;
    CHotkeyEdit hideActiveEdit_;
    CComboBoxEx trayImageBox_;
    CImageList trayImages_;
    ProgramHome& home_;
    std::wstring hotkeyNote_; // the note's own text
    TrayIconPort& trayIcon_;
};
