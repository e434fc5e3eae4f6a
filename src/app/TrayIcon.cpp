#include "app/TrayIcon.h"

#include <shellapi.h>

#include <cwchar>
#include <mutex>

#include "engine/Engine.h"
#include "framework/Controls.h"
#include "framework/Dpi.h"
#include "framework/Log.h"
#include "framework/Sync.h"
#include "framework/WinApp.h"
#include "ui/Texts.h"
#include "ui/res/resource.h"

namespace {

constexpr wchar_t kWindowClass[] = L"wndCvTrayIcon";
constexpr UINT kIconId = 1;
constexpr UINT kMenuTrackFlags = TPM_RIGHTBUTTON | TPM_BOTTOMALIGN | TPM_VERPOSANIMATION; // 0x1022

static_assert(CTrayIcon::kCommandRestoreExit == ID_TRAY_RESTORE_EXIT);
static_assert(CTrayIcon::kCommandSetting == ID_TRAY_SETTING);
static_assert(CTrayIcon::kCommandHideRestore == ID_TRAY_HIDE_RESTORE);
static_assert(kMenuTrackFlags == 0x1022);

// Guards what Update remembers for a re-add: Update also runs on the engine
// thread (notification-area restore) while the shell may announce a restart
// to the main thread.
CCriticalSection shellStateLock;

// Stands in until the program's target is given: nothing to act on.
class NoTarget : public TrayCommandTarget {
public:
    bool DialogVisible() const override { return false; }
    void CloseDialog() override {}
    bool EngineHasRun() const override { return false; }
    bool PostEngineCommand(UINT) override { return false; }
    bool HoldsHiddenWindows() override { return false; }
};

// The main dialog's window while it exists.
HWND MainDialogWindow()
{
    CWinApp* app = AfxGetApp();
    return app != nullptr && app->m_pMainWnd != nullptr ? app->m_pMainWnd->m_hWnd : nullptr;
}

} // namespace

bool ProgramTrayTarget::DialogVisible() const
{
    const HWND dialog = MainDialogWindow();
    return dialog != nullptr && IsWindowVisible(dialog);
}

void ProgramTrayTarget::CloseDialog()
{
    if (const HWND dialog = MainDialogWindow())
        PostMessageW(dialog, WM_CLOSE, 0, 0);
}

bool ProgramTrayTarget::EngineHasRun() const
{
    return engine_.HasRun();
}

bool ProgramTrayTarget::PostEngineCommand(UINT message)
{
    return engine_.PostCommand(message);
}

bool ProgramTrayTarget::HoldsHiddenWindows()
{
    return engine_.HoldsHiddenWindows();
}

TrayCommandTarget& CTrayIcon::Target() const
{
    static NoTarget none;
    if (target_ != nullptr)
        return *target_;
    return none;
}

CTrayIcon::CTrayIcon() = default;

CTrayIcon::~CTrayIcon()
{
    // Shutdown removes the icon; a start-up that ended early, or a test,
    // may not have, and the shell would keep a dead icon until hovered.
    Remove(shownIndex_);
}

int CTrayIcon::Create()
{
    if (created_)
        return 0;
    if (!LoadIcons())
        return 0;
    if (!CreateHiddenWindow()) {
        ClearIcons();
        return 0;
    }
    if (!LoadContextMenu()) {
        ClearIcons();
        DestroyHiddenWindow();
        return 0;
    }
    created_ = 1;
    return 1;
}

int CTrayIcon::LoadIcons()
{
    if (icons_[0])
        return 0;
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    // The notification area draws small icons at the primary monitor's
    // scale, the system DPI: each image has a drawing of that size.
    const int size = SmallIconSize(SystemDpi());
    // Shared resource icons: the system frees them with the module.
    for (int i = 0; i < kTrayImageCount; ++i) {
        icons_[i] = static_cast<HICON>(
            LoadImageW(instance, MAKEINTRESOURCEW(IDI_TRAY_FIRST + i), IMAGE_ICON, size, size, LR_SHARED));
        // 20 units: a name is cut to 19 characters.
        wchar_t name[20] = {};
        LoadStringW(instance, IDS_TRAY_FIRST + i, name, ARRAYSIZE(name));
        names_[i] = name;
    }
    return 1;
}

int CTrayIcon::CreateHiddenWindow()
{
    if (window_)
        return 0;
    // A real top-level window (never shown), not a message-only one: only
    // top-level windows hear the shell's "TaskbarCreated" broadcast.
    if (!window_.Create(kWindowClass, WS_POPUP | WS_MINIMIZE)) {
        Log::Failure(L"Creating the tray icon's window");
        return 0;
    }

    taskbarCreatedMessage_ = RegisterWindowMessageW(L"TaskbarCreated");
    // An elevated program would not hear the broadcast from a normal shell.
    if (taskbarCreatedMessage_)
        ChangeWindowMessageFilterEx(window_.Window(), taskbarCreatedMessage_, MSGFLT_ALLOW, nullptr);
    return 1;
}

int CTrayIcon::LoadContextMenu()
{
    if (popup_ || menu_)
        return 0;
    menu_.reset(LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_TRAY_MENU)));
    if (!menu_) {
        Log::Failure(L"Loading the tray menu");
        return 0;
    }
    popup_ = GetSubMenu(menu_.get(), 0);
    if (!popup_) {
        menu_.reset();
        return 0;
    }
    popupSubMenu_ = GetSubMenu(popup_, 0);
    return 1;
}

int CTrayIcon::Update(int index, int remove, const wchar_t* tooltip)
{
    if (!created_)
        return 0;
    std::lock_guard<CCriticalSection> guard(shellStateLock);
    if (remove && !shown_)
        return 1;

    // An index from a damaged settings file must not read past the table.
    if (index < 0 || index >= kTrayImageCount)
        index = 0;

    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window_.Window();
    data.uID = kIconId;
    data.uFlags = NIF_MESSAGE | NIF_ICON;
    data.uCallbackMessage = UM_TRAY_NOTIFY;
    data.hIcon = icons_[index];
    if (tooltip) {
        data.uFlags |= NIF_TIP;
        baseTooltip_ = tooltip;
        lstrcpynW(data.szTip, TooltipWithNote().c_str(), ARRAYSIZE(data.szTip));
    }

    if (remove) {
        Shell_NotifyIconW(NIM_DELETE, &data);
        shown_ = 0;
        shownTooltip_.clear();
        return 1;
    }
    const bool adding = !shown_;
    // The shell's refusal changes nothing here (shown follows what was
    // asked), but a user without an icon needs to be able to tell us why.
    if (!Shell_NotifyIconW(adding ? NIM_ADD : NIM_MODIFY, &data))
        Log::Failure(adding ? L"Adding the tray icon" : L"Changing the tray icon");
    shown_ = 1;
    shownIndex_ = index;
    // A change without a text keeps the shell's text; an add without one has none.
    if (tooltip)
        shownTooltip_ = data.szTip;
    else if (adding)
        shownTooltip_.clear();
    return 1;
}

void CTrayIcon::Show(int index)
{
    // An index from a damaged settings file must not read past the table.
    const int named = index >= 0 && index < kTrayImageCount ? index : 0;
    Update(index, 0, names_[named].c_str());
}

void CTrayIcon::Hide()
{
    Update(shownIndex_, 1, nullptr);
}

std::wstring CTrayIcon::TooltipWithNote() const
{
    if (notHidden_ <= 0)
        return baseTooltip_;
    wchar_t note[64] = {};
    if (notHidden_ == 1)
        lstrcpynW(note, kTrayTipOneNotHidden, ARRAYSIZE(note));
    else
        std::swprintf(note, ARRAYSIZE(note), kTrayTipSomeNotHidden, notHidden_);
    return baseTooltip_.empty() ? std::wstring(note) : baseTooltip_ + L"\n" + note;
}

void CTrayIcon::NoteNotHidden(int windows)
{
    if (!created_)
        return;
    std::lock_guard<CCriticalSection> guard(shellStateLock);
    if (windows == notHidden_)
        return;
    notHidden_ = windows;
    if (!shown_)
        return; // the icon is out (hidden on purpose): nobody would see it
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window_.Window();
    data.uID = kIconId;
    data.uFlags = NIF_TIP;
    lstrcpynW(data.szTip, TooltipWithNote().c_str(), ARRAYSIZE(data.szTip));
    if (Shell_NotifyIconW(NIM_MODIFY, &data))
        shownTooltip_ = data.szTip;
}

void CTrayIcon::ReAddAfterShellRestart()
{
    std::lock_guard<CCriticalSection> guard(shellStateLock);
    // Taken out on purpose (hidden own icon): it stays out.
    if (!created_ || !shown_)
        return;
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window_.Window();
    data.uID = kIconId;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = UM_TRAY_NOTIFY;
    data.hIcon = icons_[shownIndex_];
    lstrcpynW(data.szTip, shownTooltip_.c_str(), ARRAYSIZE(data.szTip));
    // The broadcast also comes when the shell merely lays out the taskbar
    // anew and kept our icon; then the add is refused and a change will do.
    if (!Shell_NotifyIconW(NIM_ADD, &data) && !Shell_NotifyIconW(NIM_MODIFY, &data))
        Log::Failure(L"Adding the tray icon again after the shell restarted");
}

int CTrayIcon::Remove(int index)
{
    if (!created_)
        return 0;
    if (shown_) {
        Update(index, 1, nullptr);
        shown_ = 0;
    }
    if (!DestroyContextMenu())
        return 0;
    if (!DestroyHiddenWindow())
        return 0;
    ClearIcons();
    created_ = 0;
    return 1;
}

int CTrayIcon::DestroyContextMenu()
{
    if (!popup_ || !menu_)
        return 0;
    popup_ = nullptr;
    popupSubMenu_ = nullptr;
    menu_.reset();
    return 1;
}

int CTrayIcon::DestroyHiddenWindow()
{
    if (!window_)
        return 0;
    window_.Destroy();
    return 1;
}

int CTrayIcon::ClearIcons()
{
    // Shared resource icons are not destroyed, only forgotten. A table whose
    // first image failed to load is cleared all the same.
    for (HICON& icon : icons_)
        icon = nullptr;
    return 1;
}

void CTrayIcon::PrepareMenu()
{
    if (!popup_)
        return;
    // The engine's commands mean nothing while the dialog is on screen.
    const bool dialogVisible = Target().DialogVisible();
    const UINT state = dialogVisible ? (MF_DISABLED | MF_GRAYED) : MF_ENABLED;

    EnableMenuItem(popup_, kCommandSetting, MF_BYCOMMAND | state);
    ModifyMenuW(popup_, kCommandRestoreExit, MF_BYCOMMAND | MF_STRING, kCommandRestoreExit,
                Target().HoldsHiddenWindows() ? kTrayTextRestoreExit : kTrayTextExit);
    ModifyMenuW(popup_, kCommandHideRestore, MF_BYCOMMAND | MF_STRING | state, kCommandHideRestore,
                Target().HoldsHiddenWindows() ? kTrayTextRestore : kTrayTextHide);
}

void CTrayIcon::ShowContextMenu(POINT at)
{
    if (!popup_)
        return;
    PrepareMenu();
    SetForegroundWindow(window_.Window());
    if (menuTracker_ != nullptr)
        menuTracker_(popup_, kMenuTrackFlags, at.x, at.y, window_.Window());
    else
        TrackPopupMenu(popup_, kMenuTrackFlags, at.x, at.y, 0, window_.Window(), nullptr);
    // A message of its own after the menu lets the window notice that it
    // lost the foreground: otherwise a click elsewhere leaves the next menu
    // open, or a second right-click closes it at once.
    PostMessageW(window_.Window(), WM_NULL, 0, 0);
}

bool CTrayIcon::OnCommand(UINT command)
{
    // While the engine has a run the engine owns the dialog's fate. A run
    // that has already ended (after "Restore && Exit", while the dialog is
    // still closing) is left alone: PostCommand refuses it.
    TrayCommandTarget& target = Target();
    switch (command) {
    case kCommandRestoreExit:
        if (target.EngineHasRun())
            return target.PostEngineCommand(UM_RESTORE_EXIT);
        target.CloseDialog();
        return true;
    case kCommandSetting:
        return target.EngineHasRun() && target.PostEngineCommand(UM_SHOW_SETTINGS);
    case kCommandHideRestore:
        return target.EngineHasRun() && target.PostEngineCommand(UM_TOGGLE_HIDE);
    default:
        return false;
    }
}

LRESULT CTrayIcon::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == UM_TRAY_NOTIFY) {
        POINT cursor{};
        GetCursorPos(&cursor);
        switch (static_cast<UINT>(lParam)) {
        case WM_LBUTTONDBLCLK:
            SendMessageW(window_.Window(), WM_COMMAND, kCommandSetting, 0);
            break;
        case WM_RBUTTONUP:
            ShowContextMenu(cursor);
            break;
        default:
            break;
        }
        return 0;
    }
    if (message == WM_COMMAND && HIWORD(wParam) == 0) {
        OnCommand(LOWORD(wParam));
        return 0;
    }
    if (taskbarCreatedMessage_ && message == taskbarCreatedMessage_) {
        ReAddAfterShellRestart();
        return 0;
    }
    if (message == WM_CLOSE) {
        // Another program asks us to close (as "taskkill" does): the program
        // ends the way Exit ends it, this window with it, never on its own.
        Target().CloseDialog();
        return 0;
    }
    return DefWindowProcW(window_.Window(), message, wParam, lParam);
}
