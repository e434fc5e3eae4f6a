#include "ui/OptionDlg.h"

#include <shellapi.h>

#include <cwchar>

#include "actions/Display.h"
#include "framework/WinApp.h"
#include "settings/Registry.h"
#include "settings/SettingFile.h"
#include "ui/Texts.h"
#include "ui/res/resource.h"

namespace {

// Posted by the page to itself at set-up, and by its display-mode read when
// the read has ended.
constexpr UINT UM_START_DISPLAY_MODE_READ = WM_APP + 50;
constexpr UINT UM_DISPLAY_MODE_READ = WM_APP + 51;

void RunDisplayControlPanel(const wchar_t* directory)
{
    // Page 1 of the display control panel is where the screensaver is chosen.
    ::ShellExecuteW(nullptr, L"open", L"rundll32.exe", L"shell32.dll,Control_RunDLL desk.cpl,,1", directory,
                    SW_SHOWNORMAL);
}

COptionDlg::OpenScreensaverSettingsFunction openScreensaverSettings = &RunDisplayControlPanel;

// The five option fields in the order of check boxes 1014 to 1018.
int32_t* OptionField(SettingData* data, int index)
{
    static constexpr int32_t SettingData::*kFields[5] = {&SettingData::hideNotifyArea, &SettingData::muteVolume,
                                                         &SettingData::lockComputer, &SettingData::startScreensaver,
                                                         &SettingData::restoreResolution};
    return &(data->*kFields[index]);
}

} // namespace

void COptionDlg::SetOpenScreensaverSettingsFunction(OpenScreensaverSettingsFunction function)
{
    openScreensaverSettings = function != nullptr ? function : &RunDisplayControlPanel;
}

COptionDlg::COptionDlg(ProgramHome& home) : CDialog(IDD_OPTION_PAGE), home_(home)
{
}

void COptionDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    for (int i = 0; i < 5; ++i)
        DDX_Control(pDX, IDC_OPT_HIDE_NOTIFY + i, options_[i]);
    DDX_Control(pDX, IDC_OPT_DISPLAY_MODE, displayModeLabel_);
}

BOOL COptionDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    SettingData* data = home_.settingFile.Data();
    for (int i = 0; i < 5; ++i)
        options_[i].SetCheck(*OptionField(data, i) != 0 ? BST_CHECKED : BST_UNCHECKED);
    // Read once the dialog is on screen (the request waits in the queue
    // behind the dialog's set-up), so the program's start does not share
    // the processor with it.
    PostMessage(UM_START_DISPLAY_MODE_READ);
    return TRUE;
}

void COptionDlg::ShowDisplayMode()
{
    if (displayModeShown_)
        return;
    displayModeShown_ = true;
    D3DDISPLAYMODE mode{};
    const bool captured = displayModeRead_.Pending() ? displayModeRead_.Take(mode) : CaptureDisplayMode(mode);
    if (captured) {
        wchar_t text[64];
        std::swprintf(text, 64, kDisplayModeFormat, static_cast<int>(mode.Width), static_cast<int>(mode.Height),
                      static_cast<int>(mode.RefreshRate));
        displayModeLabel_.SetWindowText(text);
        return;
    }
    home_.settingFile.Data()->restoreResolution = 0;
    CButton& restore = options_[4];
    restore.SetCheck(BST_UNCHECKED);
    restore.EnableWindow(FALSE);
    displayModeLabel_.SetWindowText(kMsgDisplayNotSupported);
}

void COptionDlg::OnScreensaverClicked()
{
    // Asked at every click, so a screensaver chosen meanwhile counts at once.
    const bool chosen = IsScreensaverChosen();
    CButton& screensaver = options_[3];
    if (screensaver.GetCheck() != BST_CHECKED || chosen)
        return;
    if (AfxMessageBox(kMsgChooseScreensaver, MB_YESNO | MB_ICONQUESTION) == IDYES)
        openScreensaverSettings(home_.moduleDirectory.c_str());
    screensaver.SetCheck(BST_UNCHECKED);
}

void COptionDlg::SaveOptions()
{
    // A mode that cannot be read turns its box off before the box is saved.
    ShowDisplayMode();
    SettingData* data = home_.settingFile.Data();
    for (int i = 0; i < 5; ++i)
        *OptionField(data, i) = options_[i].GetCheck() == BST_CHECKED ? 1 : 0;
    if (!home_.settingFile.Save())
        AfxMessageBox(kMsgSaveOptionsFailed, MB_OK | MB_ICONWARNING);
}

bool COptionDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_CTLCOLORSTATIC:
        // The note is red; everything else keeps the dialog's colours.
        return ColourStaticText(IDC_OPT_NOTE, RGB(255, 0, 0), wParam, lParam, result);
    case UM_START_DISPLAY_MODE_READ:
        // Without a thread of its own the mode is read here and now.
        if (!displayModeShown_ && !displayModeRead_.Start(m_hWnd, UM_DISPLAY_MODE_READ))
            ShowDisplayMode();
        result = 0;
        return true;
    case UM_DISPLAY_MODE_READ:
        ShowDisplayMode();
        result = 0;
        return true;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_OPT_SCREENSAVER && HIWORD(wParam) == BN_CLICKED) {
            OnScreensaverClicked();
            result = 0;
            return true;
        }
        return false;
    default:
        return false;
    }
}
