#pragma once
#include <windows.h>

#include <string>

#include "actions/TrayIconPort.h"
#include "engine/WindowMessages.h"
#include "framework/Handles.h"
#include "framework/MessageWindow.h"
#include "ui/res/resource.h"

// What the tray's menu asks of the rest of the program: the main dialog and
// the engine. The program's own unless a test puts a recorder in its place.
class TrayCommandTarget {
public:
    virtual ~TrayCommandTarget() = default;
    virtual bool DialogVisible() const = 0;
    // A close request, handled on the dialog's own thread as its Exit button.
    virtual void CloseDialog() = 0;
    // The engine owns the dialog's fate (it has a run the dialog has not
    // taken back).
    virtual bool EngineHasRun() const = 0;
    // Posts a UM_ command to the engine's run; false when it takes none.
    virtual bool PostEngineCommand(UINT message) = 0;
    virtual bool HoldsHiddenWindows() = 0;
};

class CEngine;

// The program's own: the engine's run and the application's main window.
class ProgramTrayTarget : public TrayCommandTarget {
public:
    explicit ProgramTrayTarget(CEngine& engine) : engine_(engine) {}
    bool DialogVisible() const override;
    void CloseDialog() override;
    bool EngineHasRun() const override;
    bool PostEngineCommand(UINT message) override;
    bool HoldsHiddenWindows() override;

private:
    CEngine& engine_;
};

// The program's one icon in the taskbar's notification area, with its hidden
// window that receives the shell's notifications and the context menu's
// commands. Everything here runs on the main thread, except Update, which the
// notification-area code also calls from the engine thread while the main
// dialog is hidden.
class CTrayIcon : public TrayIconPort {
public:
    // Context menu commands (menu resource 136).
    static constexpr UINT kCommandRestoreExit = ID_TRAY_RESTORE_EXIT; // "Exit" / "Restore && Exit"
    static constexpr UINT kCommandSetting = ID_TRAY_SETTING;          // "Setting..."
    static constexpr UINT kCommandHideRestore = ID_TRAY_HIDE_RESTORE; // "Hide" / "Restore"

    CTrayIcon();
    // Takes the icon away and releases what Create made, if Remove has not.
    ~CTrayIcon() override;
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;

    // Loads the images and their names, creates the hidden window and loads
    // the menu; does not show the icon. 1 on success, 0 on failure (or when
    // already created).
    int Create();

    // remove == 0: shows image `index` (adds it, or changes it when already
    // shown), with `tooltip` when given. remove != 0: takes the icon out when
    // it is shown. 0 only when not created.
    int Update(int index, int remove, const wchar_t* tooltip);

    // The port's: image `index` with its name (cut to 19 characters) as the
    // tooltip; the icon out; a line in the tooltip saying how many windows
    // could not be hidden (0 takes it off again). Nothing before Create.
    void Show(int index) override;
    void Hide() override;
    void NoteNotHidden(int windows) override;

    // Takes the icon away and releases all that Create made.
    int Remove(int index);

    // Sets the menu's run-time texts and states, as just before it is shown.
    void PrepareMenu();

    // Carries out one menu command: the menu's, and the same commands given
    // on the command line. True when it reached the engine, or for Exit the
    // dialog; false when it had nothing to act on (no engine run for
    // Hide/Restore and Setting...).
    bool OnCommand(UINT command);

    // Where the menu's commands go; until one is given (or after null) they
    // find nothing to act on.
    void SetTarget(TrayCommandTarget* target) { target_ = target; }

    // What shows the context menu and runs it until it closes:
    // TrackPopupMenu, unless a test gives a stand-in (null puts it back).
    using MenuTracker = BOOL (*)(HMENU menu, UINT flags, int x, int y, HWND owner);
    void SetMenuTracker(MenuTracker tracker) { menuTracker_ = tracker; }

    HWND Window() const { return window_.Window(); }
    HMENU Popup() const { return popup_; }
    // Tray image `index` (0 to 8) as loaded, or null.
    HICON Icon(int index) const { return index >= 0 && index < 9 ? icons_[index] : nullptr; }
    bool IsCreated() const { return created_ != 0; }
    bool IsShown() const { return shown_ != 0; }
    // The text the shell was last given for the tooltip.
    std::wstring ShownTooltip() const { return shownTooltip_; }

private:
    // The hidden window: its messages are the icon's.
    class TrayWindow : public CMessageWindow {
    public:
        explicit TrayWindow(CTrayIcon& icon) : icon_(icon) {}

    protected:
        LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
        {
            return icon_.HandleMessage(message, wParam, lParam);
        }

    private:
        CTrayIcon& icon_;
    };

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void ShowContextMenu(POINT at);
    void ReAddAfterShellRestart();
    std::wstring TooltipWithNote() const;
    int LoadIcons();
    int CreateHiddenWindow();
    int LoadContextMenu();
    int DestroyContextMenu();
    int DestroyHiddenWindow();
    int ClearIcons();

    TrayWindow window_{*this};
    int reserved1_ = 0;
    HICON icons_[9] = {};
    std::wstring names_[9]; // the images' names, the tooltips
    int created_ = 0;
    int shown_ = 0;
    int reserved2_ = 0;
    UniqueMenu menu_;
    HMENU popup_ = nullptr;
    HMENU popupSubMenu_ = nullptr;

    // What the shell was last given, to put the icon back after the shell
    // has restarted and lost it.
    int shownIndex_ = 0;
    std::wstring shownTooltip_;
    std::wstring baseTooltip_; // the tooltip as last given, without the note
    int notHidden_ = 0;
    UINT taskbarCreatedMessage_ = 0;
    TrayCommandTarget* target_ = nullptr;
    MenuTracker menuTracker_ = nullptr;

    TrayCommandTarget& Target() const;
};
