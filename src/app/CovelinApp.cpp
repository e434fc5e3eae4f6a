#include "app/CovelinApp.h"

#include <commctrl.h>

#include "app/Messages.h"
#include "app/TrayIcon.h"
#include "catalogue/Executable.h"
#include "catalogue/FileList.h"
#include "catalogue/HideSets.h"
#include "catalogue/ProcessCatalogue.h"
#include "catalogue/WindowCatalogue.h"
#include "engine/Engine.h"
#include "engine/HiddenWindowGuard.h"
#include "engine/SessionGuard.h"
#include "engine/SettingFile.h"
#include "framework/FileSystem.h"
#include "framework/Thread.h"
#include "ui/MainDlg.h"
#include "ui/res/resource.h"

// ---- the single-instance pipe ----------------------------------------------------

int IsPipeNameHeld(const wchar_t* name)
{
    HANDLE pipe = CreateFileW(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (pipe == INVALID_HANDLE_VALUE) {
        // Only "no such name" means nobody runs. A busy pipe (its one
        // instance taken by an earlier refused start) or a refused access
        // still means the name is held.
        return GetLastError() == ERROR_FILE_NOT_FOUND ? 0 : 1;
    }
    CloseHandle(pipe);
    return 1;
}

HANDLE CreateSingleInstancePipe(const wchar_t* name)
{
    constexpr DWORD kOpenMode = PIPE_ACCESS_OUTBOUND;                         // 2
    constexpr DWORD kPipeMode = PIPE_TYPE_MESSAGE | PIPE_READMODE_BYTE | PIPE_WAIT; // 4
    constexpr DWORD kBufferSize = 32;
    constexpr DWORD kDefaultTimeoutMs = 1000;
    HANDLE pipe = CreateNamedPipeW(name, kOpenMode, kPipeMode, 1, kBufferSize, kBufferSize, kDefaultTimeoutMs, nullptr);
    return pipe == INVALID_HANDLE_VALUE ? nullptr : pipe;
}

// ---- shutdown ----------------------------------------------------------------------

bool WaitForDoneFlags(std::initializer_list<std::function<bool()>> doneFlags, ULONGLONG deadlineTick)
{
    constexpr DWORD kPollMs = 100;
    for (const auto& done : doneFlags) {
        while (!done()) {
            if (GetTickCount64() >= deadlineTick)
                return false;
            Sleep(kPollMs);
        }
    }
    return true;
}

namespace {

DWORD WINAPI ExitWatchdog(LPVOID)
{
    Sleep(CCovelinApp::kExitWatchdogMs);
    // Still here: something in the shutdown is blocked on another program.
    // Nothing is left to save that the normal path has not saved by now.
    TerminateProcess(GetCurrentProcess(), 0);
    return 0;
}

// The executable's file name without its extension: the application name
// under which the profile is kept.
std::wstring ExecutableBaseName()
{
    std::wstring path = OwnModulePath();
    std::wstring name = path.substr(path.find_last_of(L'\\') + 1);
    const size_t dot = name.find_last_of(L'.');
    if (dot != std::wstring::npos && dot > 0)
        name.resize(dot);
    return name;
}

} // namespace

// ---- the application object -------------------------------------------------------

CCovelinApp::CCovelinApp() : CWinApp(nullptr)
{
    if (std::wstring name = ExecutableBaseName(); !name.empty())
        m_pszAppName = name;

    std::wstring path;
    if (!ExecutablePathOfProcess(GetCurrentProcessId(), path))
        path = OwnModulePath(); // the same file, asked of the loader instead
    ownExecutablePath = UpperCasePath(path);

    // moduleDirectory, defaultSettings and the path of "setting.dat".
    InitialiseSettingsLocation();
}

CCovelinApp::~CCovelinApp()
{
    if (pipeHandle) {
        CloseHandle(pipeHandle);
        pipeHandle = nullptr;
    }
}

int CCovelinApp::IsAnotherInstanceRunning()
{
    return IsPipeNameHeld(kInstancePipeName);
}

void CCovelinApp::CreateInstancePipe()
{
    pipeHandle = CreateSingleInstancePipe(kInstancePipeName);
}

BOOL CCovelinApp::InitInstance()
{
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES | ICC_TAB_CLASSES |
                     ICC_UPDOWN_CLASS | ICC_PROGRESS_CLASS | ICC_HOTKEY_CLASS | ICC_ANIMATE_CLASS;
    InitCommonControlsEx(&controls);

    CWinApp::InitInstance();
    SetRegistryKey(L"Tessary");
    // Every resource (icons, the tray menu, the tray names) is in the exe.
    m_hInstance = GetModuleHandleW(nullptr);

    if (IsAnotherInstanceRunning()) {
        AfxMessageBox(kMsgAnotherInstance, MB_OK | MB_ICONINFORMATION);
        return FALSE;
    }
    instanceAccepted_ = true;
    CreateInstancePipe();

    // Windows that an instance which died while hiding them left invisible
    // come back before anything else can keep the user waiting. Only past
    // the single-instance test: a running instance's hidden windows are
    // hidden on purpose.
    StartHiddenWindowGuard(TheEngine());

    if (!settingFile.Load(defaultSettings)) {
        settingFile.Save();
        AfxMessageBox(kMsgLoadSettingsFailed, MB_OK | MB_ICONWARNING);
    }

    LoadFileList();

    if (!theTrayIcon.Create())
        AfxMessageBox(kMsgTrayIconFailed, MB_OK | MB_ICONWARNING);
    const int trayIcon = settingFile.Data()->trayIcon;
    // 20 units: the name is cut to 19 characters.
    wchar_t tooltip[20] = {};
    LoadStringW(m_hInstance, IDS_TRAY_FIRST + trayIcon, tooltip, 20);
    theTrayIcon.Update(trayIcon, 0, tooltip);

    // Each Start... clears its worker's flags before the thread exists, so a
    // stop asked for at any moment from here on is never lost.
    windowRefresher_ = StartWindowRefreshThread();
    processRefresher_ = StartProcessRefreshThread();

    {
        CMainDlg dialog(&TheEngine());
        m_pMainWnd = &dialog;
        dialog.DoModal();

        StartExitWatchdog();
        theTrayIcon.Remove(settingFile.Data()->trayIcon);
        StopWorkers();
        // However the dialog ended, nothing stays hidden and no side action
        // stays in force once we are gone.
        TheEngine().RestoreEverything(true);
        DestroySessionGuardWindow();

        m_pMainWnd = nullptr;
    }
    return FALSE;
}

void CCovelinApp::StopWorkers()
{
    // Sets both refreshers' stop flags and wakes them from their waits.
    RequestRefreshersStop();
    TheEngine().RequestStop();

    const ULONGLONG deadline = GetTickCount64() + kWorkerStopBudgetMs;
    TheEngine().WaitEnded(deadline);
    WaitForDoneFlags({[] { return windowRefreshDone.load() != 0; },
                      [] { return processRefreshDone.load() != 0; }},
                     deadline);

    engineEnded_ = TheEngine().RunEnded();
    const bool refreshersEnded = windowRefreshDone.load() != 0 && processRefreshDone.load() != 0;
    workersEnded_ = engineEnded_ && refreshersEnded;
    if (refreshersEnded) {
        // Their thread objects only hold the handles now.
        delete windowRefresher_;
        delete processRefresher_;
        windowRefresher_ = processRefresher_ = nullptr;
    }
}

void CCovelinApp::StartExitWatchdog()
{
    HANDLE thread = CreateThread(nullptr, 0, ExitWatchdog, nullptr, 0, nullptr);
    if (thread)
        CloseHandle(thread);
}

int CCovelinApp::ExitInstance()
{
    // The engine works on its own copy of the choices: they can go.
    delete topWindow;
    topWindow = nullptr;
    if (instanceAccepted_)
        SaveFileList();
    hideFileSet.RemoveAll();
    if (pipeHandle) {
        CloseHandle(pipeHandle);
        pipeHandle = nullptr;
    }
    CWinApp::ExitInstance();
    return 0;
}
