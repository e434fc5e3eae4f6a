#include "ui/SettingDlg.h"

#include "actions/TrayIconPort.h"
#include "framework/Dpi.h"
#include "framework/Gdi.h"
#include "framework/WinApp.h"
#include "settings/HotkeyRegistration.h"
#include "settings/Registry.h"
#include "settings/SettingFile.h"
#include "ui/Texts.h"
#include "ui/res/resource.h"

namespace {

HINSTANCE ResourceModule()
{
    if (CWinApp* app = AfxGetApp())
        return app->m_hInstance;
    return ::GetModuleHandleW(nullptr);
}

// String resource `id`, cut to at most `maxChars` characters.
std::wstring LoadText(UINT id, int maxChars)
{
    wchar_t buffer[64] = {};
    int got = ::LoadStringW(ResourceModule(), id, buffer, maxChars + 1);
    return std::wstring(buffer, got > 0 ? static_cast<size_t>(got) : 0);
}

// A field never records a chord without a key, so one read from a damaged
// file is offered as the built-in chord instead: armed with it, no key could
// bring the dialog back (with our own tray icon hidden, nothing could).
const HotkeyChord& ChordOrDefault(const HotkeyChord& chord, const HotkeyChord& builtIn)
{
    return chord.IsEmpty() ? builtIn : chord;
}

} // namespace

CSettingDlg::CSettingDlg(ProgramHome& home, TrayIconPort& trayIcon)
    : CDialog(IDD_SETTING_PAGE), home_(home), trayIcon_(trayIcon)
{
}

void CSettingDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_SET_SHOW_DIALOG_KEY, showDialogEdit_);
    DDX_Control(pDX, IDC_SET_TOGGLE_KEY, toggleEdit_);
    DDX_Control(pDX, IDC_SET_HIDE_ACTIVE_KEY, hideActiveEdit_);
    DDX_Control(pDX, IDC_SET_TRAY_IMAGE, trayImageBox_);
}

BOOL CSettingDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    LoadTrayImages();
    for (int i = 0; i < kTrayImageCount; ++i)
        trayImageBox_.InsertItem(i, LoadText(IDS_TRAY_FIRST + i, 31), i);

    const SettingData* data = home_.settingFile.Data();
    trayImageBox_.SetCurSel(data->trayIcon);
    showDialogEdit_.SetChord(ChordOrDefault(data->showDialogChord, home_.defaultSettings.showDialogChord));
    toggleEdit_.SetChord(ChordOrDefault(data->toggleChord, home_.defaultSettings.toggleChord));
    hideActiveEdit_.AllowEmpty(true);
    hideActiveEdit_.SetChord(home_.settingFile.HideActiveChord());
    CheckDlgButton(IDC_SET_HIDE_OWN_ICON, data->hideOwnIcon != 0 ? BST_CHECKED : BST_UNCHECKED);
    // Only the Run value's presence counts, not where it points.
    CheckDlgButton(IDC_SET_START_WITH_WINDOWS, IsStartWithWindows() ? BST_CHECKED : BST_UNCHECKED);
    hotkeyNote_ = GetDlgItemText(IDC_SET_NOTE);
    NoteHotkeysHeldElsewhere();
    return TRUE;
}

void CSettingDlg::LoadTrayImages()
{
    const int size = SmallIconSize(GetDpi());
    trayImages_.Create(size, size, ILC_COLOR32 | ILC_MASK, kTrayImageCount, kTrayImageCount);
    for (int i = 0; i < kTrayImageCount; ++i) {
        const UniqueIcon icon(static_cast<HICON>(
            ::LoadImageW(ResourceModule(), MAKEINTRESOURCEW(IDI_TRAY_FIRST + i), IMAGE_ICON, size, size, 0)));
        if (icon)
            trayImages_.Add(icon.get());
    }
    trayImageBox_.SetImageList(trayImages_);
}

void CSettingDlg::OnDpiChanged(UINT dpi)
{
    CDialog::OnDpiChanged(dpi);
    LoadTrayImages();
    trayImageBox_.Invalidate();
}

void CSettingDlg::ApplyTrayIcon()
{
    const int selected = trayImageBox_.GetCurSel();
    if (selected < 0 || selected >= kTrayImageCount)
        return;
    trayIcon_.Show(selected);
}

void CSettingDlg::ApplyStartWithWindows()
{
    // Nothing is shown on failure: the box keeps the user's choice.
    ::ApplyStartWithWindows(IsDlgButtonChecked(IDC_SET_START_WITH_WINDOWS) == BST_CHECKED, home_.ownExecutablePath);
}

void CSettingDlg::UseDefault()
{
    showDialogEdit_.SetChord(home_.defaultSettings.showDialogChord);
    toggleEdit_.SetChord(home_.defaultSettings.toggleChord);
    hideActiveEdit_.SetChord(HotkeyChord{});
    CheckDlgButton(IDC_SET_HIDE_OWN_ICON, home_.defaultSettings.hideOwnIcon != 0 ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(IDC_SET_START_WITH_WINDOWS, BST_UNCHECKED);
    ApplyStartWithWindows();
    trayImageBox_.SetCurSel(home_.defaultSettings.trayIcon);
    ApplyTrayIcon();
}

bool CSettingDlg::SaveSettings()
{
    // The texts are compared, not the chords: chords that differ only in
    // keys without a name look the same to the user.
    // The third may be empty (no chord), but not read as either other one.
    const std::wstring hideActiveText = hideActiveEdit_.GetWindowText();
    if (showDialogEdit_.GetWindowText() == toggleEdit_.GetWindowText() ||
        (!hideActiveText.empty() &&
         (hideActiveText == showDialogEdit_.GetWindowText() || hideActiveText == toggleEdit_.GetWindowText()))) {
        AfxMessageBox(kMsgHotkeysEqual, MB_OK | MB_ICONINFORMATION);
        return false;
    }
    SettingData* data = home_.settingFile.Data();
    showDialogEdit_.GetChord(&data->showDialogChord);
    toggleEdit_.GetChord(&data->toggleChord);
    data->hideOwnIcon = IsDlgButtonChecked(IDC_SET_HIDE_OWN_ICON) == BST_CHECKED;
    const int selected = trayImageBox_.GetCurSel();
    if (selected >= 0 && selected < kTrayImageCount)
        data->trayIcon = selected;
    HotkeyChord hideActive{};
    hideActiveEdit_.GetChord(&hideActive);
    home_.settingFile.SetHideActiveChord(hideActive);
    // A registry that refuses the value is logged there; the chord still
    // holds for this run.
    SaveHideActiveChord(hideActive);
    if (!home_.settingFile.Save())
        AfxMessageBox(kMsgSaveSettingsFailed, MB_OK | MB_ICONWARNING);
    return true;
}

void CSettingDlg::NoteHotkeysHeldElsewhere()
{
    if (hotkeyNote_.empty())
        return; // before set-up: the fields are filled then
    std::wstring note = hotkeyNote_;
    for (const CHotkeyEdit* edit : {&showDialogEdit_, &toggleEdit_}) {
        HotkeyChord chord{};
        // The engine is not armed while the page is in use: a refusal is
        // another program's registration.
        if (edit->GetChord(&chord) && TryRegisterChord(chord) == ERROR_HOTKEY_ALREADY_REGISTERED) {
            note = edit->Text() + kHotkeyHeldElsewhere;
            break;
        }
    }
    if (GetDlgItemText(IDC_SET_NOTE) != note)
        SetDlgItemText(IDC_SET_NOTE, note);
}

bool CSettingDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_CTLCOLORSTATIC:
        return ColourStaticText(IDC_SET_NOTE, RGB(255, 0, 0), wParam, lParam, result);
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_SET_START_WITH_WINDOWS:
            if (HIWORD(wParam) != BN_CLICKED)
                return false;
            ApplyStartWithWindows();
            break;
        case IDC_SET_USE_DEFAULT:
            if (HIWORD(wParam) != BN_CLICKED)
                return false;
            UseDefault();
            break;
        case IDC_SET_SHOW_DIALOG_KEY:
        case IDC_SET_TOGGLE_KEY:
            if (HIWORD(wParam) != EN_CHANGE)
                return false;
            NoteHotkeysHeldElsewhere(); // a chord captured, or put back
            break;
        case IDC_SET_TRAY_IMAGE:
            if (HIWORD(wParam) != CBN_SELCHANGE)
                return false;
            ApplyTrayIcon();
            break;
        default:
            return false;
        }
        result = 0;
        return true;
    default:
        return false;
    }
}
