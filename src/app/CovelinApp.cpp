#include "app/CovelinApp.h"

#include <commctrl.h>

#include "app/CommandLine.h"
#include "catalogue/Executable.h"
#include "choices/FileList.h"
#include "choices/WindowRules.h"
#include "engine/Engine.h"
#include "framework/FileSystem.h"
#include "framework/Log.h"
#include "framework/Thread.h"
#include "recovery/HiddenWindowGuard.h"
#include "recovery/SessionGuard.h"
#include "settings/SettingFile.h"
#include "system/OwnProcess.h"
#include "ui/MainDlg.h"
#include "ui/Texts.h"
#include "ui/res/resource.h"

// ---- shutdown ----------------------------------------------------------------------

ShutdownClock RealShutdownClock()
{
    return ShutdownClock{[] { return GetTickCount64(); }, [](DWORD milliseconds) { Sleep(milliseconds); }};
}

bool WaitForDoneFlags(std::initializer_list<std::function<bool()>> doneFlags, ULONGLONG deadlineTick,
                      const ShutdownClock& clock)
{
    constexpr DWORD kPollMs = 100;
    for (const auto& done : doneFlags) {
        while (!done()) {
            if (clock.now() >= deadlineTick)
                return false;
            clock.sleep(kPollMs);
        }
    }
    return true;
}

// ---- the application object -------------------------------------------------------

CCovelinApp::CCovelinApp() : CWinApp(nullptr)
{
    // The executable's name is the application's (the profile key, the
    // message boxes' caption); ours when it cannot be read.
    if (m_pszAppName.empty())
        m_pszAppName = kAppName;

    // Our own path, moduleDirectory, home.defaultSettings and the path of
    // "setting.dat".
    home.Locate();
    theTrayIcon.SetTarget(&trayTarget_);
}

CCovelinApp::~CCovelinApp()
{
    instanceChannel_.Stop();
}

bool CCovelinApp::IsAnotherInstanceRunning()
{
    return CreateInstancePipe() == InstanceClaim::HeldByAnother;
}

InstanceClaim CCovelinApp::CreateInstancePipe()
{
    return ClaimInstancePipe(InstancePipeName(), pipeHandle.put());
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
        Log::Line(L"Another Covelin runs in this session: this one ends");
        AfxMessageBox(kMsgAnotherInstance, MB_OK | MB_ICONINFORMATION);
        return FALSE;
    }
    instanceAccepted_ = true;
    // Commands from later starts are carried out here, on the main thread,
    // through whichever loop runs it (a message box's too). Without a pipe
    // the run goes on, unreachable.
    if (pipeHandle && !instanceChannel_.Start(pipeHandle.get(), [this](InstanceCommand command) {
            return AnswerInstanceCommand(theTrayIcon, command);
        }))
        Log::Line(L"Commands from the command line cannot reach this Covelin");

    // Windows that an instance which died while hiding them left invisible
    // come back before anything else can keep the user waiting. Only past
    // the single-instance test: a running instance's hidden windows are
    // hidden on purpose.
    StartHiddenWindowGuard(engine, home.moduleDirectory);

    if (!home.settingFile.Load(home.defaultSettings)) {
        static_cast<void>(home.settingFile.Save()); // a failure is in the log
        AfxMessageBox(kMsgLoadSettingsFailed, MB_OK | MB_ICONWARNING);
    }
    home.settingFile.LoadRegistryChoices();
    // One question to the system, answered at once: the mode this run
    // switches back to.
    CaptureDisplayMode(storedDisplayMode);

    LoadFileList(choices.hideFileSet, home.ownExecutablePath);
    LoadRuleList(choices.hideRules);

    // Each Start... clears its worker's flags before the thread exists, so a
    // stop asked for at any moment from here on is never lost.
    windowRefresher_ = catalogues.windowRefresher.Start();
    processRefresher_ = catalogues.processRefresher.Start();

    {
        CMainDlg dialog(DialogState{armedSession_, home, catalogues, choices, theTrayIcon, storedDisplayMode});
        m_pMainWnd = &dialog;
        // Nothing on screen needs these; the dialog runs them once it is
        // drawn, or when Start comes first.
        dialog.SetAfterShownWork([this] {
            AddTrayIcon();
            sessionGuard_.Create(engine);
        });
        if (dialog.DoModal() == -1)
            Log::Failure(L"Showing the main dialog");

        StartExitWatchdog();
        theTrayIcon.Remove(home.settingFile.Data()->trayIcon);
        StopWorkers();
        // However the dialog ended, nothing stays hidden and no side action
        // stays in force once we are gone.
        engine.RestoreEverything(true);
        sessionGuard_.Destroy();

        m_pMainWnd = nullptr;
    }
    return FALSE;
}

void CCovelinApp::AddTrayIcon()
{
    // Until it exists, every change of the icon does nothing.
    if (!theTrayIcon.Create())
        AfxMessageBox(kMsgTrayIconFailed, MB_OK | MB_ICONWARNING);
    theTrayIcon.Show(home.settingFile.Data()->trayIcon);
}

void CCovelinApp::StopWorkers()
{
    // Sets both refreshers' stop flags and wakes them from their waits.
    catalogues.RequestRefreshersStop();
    engine.RequestStop();

    const ULONGLONG deadline = GetTickCount64() + kWorkerStopBudgetMs;
    engine.WaitEnded(deadline);
    WaitForDoneFlags({[this] { return catalogues.windowRefresher.done.load() != 0; },
                      [this] { return catalogues.processRefresher.done.load() != 0; }},
                     deadline);

    engineEnded_ = engine.RunEnded();
    const bool refreshersEnded =
        catalogues.windowRefresher.done.load() != 0 && catalogues.processRefresher.done.load() != 0;
    workersEnded_ = engineEnded_ && refreshersEnded;
    if (refreshersEnded) {
        // Their thread objects only hold the handles now.
        windowRefresher_.Close();
        processRefresher_.Close();
    }
}

void CCovelinApp::StartExitWatchdog()
{
    // Nobody waits for it: the handle goes at once, the thread runs on.
    CWinThread watchdog;
    static_cast<void>(watchdog.Start([] {
        Sleep(kExitWatchdogMs);
        // Still here: something in the shutdown is blocked on another program.
        // Nothing is left to save that the normal path has not saved by now.
        TerminateProcess(GetCurrentProcess(), 0);
    }));
}

int CCovelinApp::ExitInstance()
{
    // The engine works on its own copy of the choices: they can go.
    choices.topWindow.reset();
    if (instanceAccepted_) {
        SaveFileList(choices.hideFileSet);
        SaveRuleList(choices.hideRules);
    }
    choices.hideFileSet.RemoveAll();
    instanceChannel_.Stop();
    pipeHandle.reset();
    CWinApp::ExitInstance();
    return 0;
}
