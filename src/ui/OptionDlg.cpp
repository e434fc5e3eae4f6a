#include "ui/OptionDlg.h"

#include <shellapi.h>

#include <cwchar>

#include "actions/NotifyArea.h"
#include "actions/Screensaver.h"
#include "actions/Volume.h"
#include "framework/Log.h"
#include "framework/WinApp.h"
#include "settings/SettingFile.h"
#include "ui/Texts.h"
#include "ui/res/resource.h"

namespace {

COptionDlg::OpenScreensaverSettingsFunction openScreensaverSettings = &COptionDlg::OpenScreensaverSettings;
COptionDlg::ShellExecuteFunction shellExecute = &::ShellExecuteW;
COptionDlg::SessionsListableFunction sessionsListable = [] { return AudioSessionsListable(); };

// The five option fields in the order of check boxes 1014 to 1018.
int32_t* OptionField(SettingData* data, int index)
{
    static constexpr int32_t SettingData::*kFields[5] = {&SettingData::hideNotifyArea, &SettingData::muteVolume,
                                                         &SettingData::lockComputer, &SettingData::startScreensaver,
                                                         &SettingData::restoreResolution};
    return &(data->*kFields[index]);
}

constexpr int kNotifyOption = 0;
constexpr int kMuteOption = 1;
constexpr int kResolutionOption = 4;

} // namespace

void COptionDlg::OpenScreensaverSettings(const wchar_t* directory)
{
    // The screensaver page by its name, as Windows 10 and 11 have it; the
    // older page number where the control panel cannot be run that way.
    const auto opened = reinterpret_cast<INT_PTR>(
        shellExecute(nullptr, L"open", L"control.exe", L"desk.cpl,,@screensaver", directory, SW_SHOWNORMAL));
    if (opened > 32)
        return;
    Log::Failure(L"Opening the screensaver settings", static_cast<DWORD>(opened));
    shellExecute(nullptr, L"open", L"rundll32.exe", L"shell32.dll,Control_RunDLL desk.cpl,,1", directory,
                 SW_SHOWNORMAL);
}

void COptionDlg::SetOpenScreensaverSettingsFunction(OpenScreensaverSettingsFunction function)
{
    openScreensaverSettings = function != nullptr ? function : &COptionDlg::OpenScreensaverSettings;
}

void COptionDlg::SetShellExecuteFunction(ShellExecuteFunction function)
{
    shellExecute = function != nullptr ? function : &::ShellExecuteW;
}

void COptionDlg::SetSessionsListableFunction(SessionsListableFunction function)
{
    sessionsListable = function != nullptr ? function : [] { return AudioSessionsListable(); };
}

COptionDlg::COptionDlg(ProgramHome& home, const DisplayMode& storedDisplayMode)
    : CDialog(IDD_OPTION_PAGE), home_(home), storedDisplayMode_(storedDisplayMode)
{
}

void COptionDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    for (int i = 0; i < 5; ++i)
        DDX_Control(pDX, IDC_OPT_HIDE_NOTIFY + i, options_[i]);
    DDX_Control(pDX, IDC_OPT_MUTE_HIDDEN_ONLY, muteHiddenOnly_);
    DDX_Control(pDX, IDC_OPT_DISPLAY_MODE, displayModeLabel_);
    DDX_Control(pDX, IDC_OPT_NOTIFY_REASON, notifyReason_);
    DDX_Control(pDX, IDC_OPT_MUTE_FALLBACK, muteFallback_);
}

BOOL COptionDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    SettingData* data = home_.settingFile.Data();
    for (int i = 0; i < 5; ++i)
        options_[i].SetCheck(*OptionField(data, i) != 0 ? BST_CHECKED : BST_UNCHECKED);
    muteHiddenOnly_.SetCheck(home_.settingFile.MuteHiddenOnly() ? BST_CHECKED : BST_UNCHECKED);
    ShowNotifyAreaAvailability();
    UpdateMuteChoice();
    ShowDisplayMode();
    return TRUE;
}

void COptionDlg::ShowDisplayMode()
{
    if (storedDisplayMode_.Known()) {
        wchar_t text[64];
        std::swprintf(text, 64, kDisplayModeFormat, static_cast<int>(storedDisplayMode_.Width),
                      static_cast<int>(storedDisplayMode_.Height), static_cast<int>(storedDisplayMode_.RefreshRate));
        displayModeLabel_.SetWindowText(text);
        return;
    }
    SwitchOff(kResolutionOption, displayModeLabel_, kMsgDisplayNotSupported);
}

void COptionDlg::SwitchOff(int index, CStatic& reasonLabel, const wchar_t* reason)
{
    *OptionField(home_.settingFile.Data(), index) = 0;
    options_[index].SetCheck(BST_UNCHECKED);
    options_[index].EnableWindow(FALSE);
    reasonLabel.SetWindowText(reason);
}

void COptionDlg::ShowNotifyAreaAvailability()
{
    // The Windows 11 taskbar, and shells other than Explorer, have none of
    // the windows the option works on: a tick would promise what a hide
    // cannot do.
    if (NotifyAreaAvailable()) {
        notifyReason_.SetWindowText(L"");
        return;
    }
    SwitchOff(kNotifyOption, notifyReason_, kMsgNotifyAreaMissing);
}

void COptionDlg::UpdateMuteChoice()
{
    const bool muting = options_[kMuteOption].GetCheck() == BST_CHECKED;
    muteHiddenOnly_.EnableWindow(muting ? TRUE : FALSE);
    // The audio stack is loaded only for someone who wants the choice.
    const bool wanted = muting && muteHiddenOnly_.GetCheck() == BST_CHECKED;
    if (wanted && sessionsListable_ < 0)
        sessionsListable_ = sessionsListable() ? 1 : 0;
    muteFallback_.SetWindowText(wanted && sessionsListable_ == 0 ? kMsgMuteSessionsFallback : L"");
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
    SettingData* data = home_.settingFile.Data();
    for (int i = 0; i < 5; ++i)
        *OptionField(data, i) = options_[i].GetCheck() == BST_CHECKED ? 1 : 0;
    home_.settingFile.SetMuteHiddenOnly(muteHiddenOnly_.GetCheck() == BST_CHECKED);
    if (!home_.settingFile.SaveRegistryChoices())
        Log::Failure(L"Saving the choice to mute only the hidden programs");
    if (!home_.settingFile.Save())
        AfxMessageBox(kMsgSaveOptionsFailed, MB_OK | MB_ICONWARNING);
}

bool COptionDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_CTLCOLORSTATIC:
        // The note is red; everything else keeps the dialog's colours.
        return ColourStaticText(IDC_OPT_NOTE, RGB(255, 0, 0), wParam, lParam, result);
    case WM_COMMAND:
        if (HIWORD(wParam) != BN_CLICKED)
            return false;
        if (LOWORD(wParam) == IDC_OPT_SCREENSAVER) {
            OnScreensaverClicked();
            result = 0;
            return true;
        }
        if (LOWORD(wParam) == IDC_OPT_MUTE || LOWORD(wParam) == IDC_OPT_MUTE_HIDDEN_ONLY) {
            UpdateMuteChoice();
            result = 0;
            return true;
        }
        return false;
    default:
        return false;
    }
}
