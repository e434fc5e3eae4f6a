#pragma once
// The application object: decides whether this process may run at all (one
// instance per user session, told by a named pipe), loads what earlier runs
// stored, puts up the tray icon, starts the two catalogue refreshers, runs
// the main dialog modally, and at the end stops every worker in a fixed
// order before the process ends.
#include <windows.h>

#include <atomic>
#include <functional>
#include <initializer_list>

#include "actions/Display.h"
#include "app/ArmedSession.h"
#include "app/InstanceChannel.h"
#include "app/TrayIcon.h"
#include "catalogue/Catalogues.h"
#include "choices/HideSets.h"
#include "engine/Engine.h"
#include "framework/Handles.h"
#include "framework/Thread.h"
#include "framework/WinApp.h"
#include "recovery/SessionGuard.h"
#include "settings/SettingFile.h"

// The clock shutdown's waits go by: GetTickCount64 and Sleep, unless a test
// gives its own.
struct ShutdownClock {
    ULONGLONG (*now)();
    void (*sleep)(DWORD milliseconds);
};
ShutdownClock RealShutdownClock();

// Shutdown waits for each worker's done flag in turn, testing every 100 ms.
// A worker that is blocked for good must not keep the process alive, so the
// waits share one deadline: they give up at `deadlineTick` (of `clock`) and
// report false. True when every flag was seen non-zero.
bool WaitForDoneFlags(std::initializer_list<std::function<bool()>> doneFlags, ULONGLONG deadlineTick,
                      const ShutdownClock& clock = RealShutdownClock());

class CCovelinApp : public CWinApp {
public:
    // How long shutdown waits, in all, for the workers to report their end.
    // A refresher ends within one rebuild and 100 ms, the engine within one
    // 20 ms poll; anything far beyond that is a worker stuck elsewhere.
    static constexpr DWORD kWorkerStopBudgetMs = 4000;
    // Whatever happens after the main dialog has closed, the process is gone
    // this long afterwards.
    static constexpr DWORD kExitWatchdogMs = 8000;

    // Computes the program's own path, the settings location and defaults.
    CCovelinApp();
    CCovelinApp(const CCovelinApp&) = delete;
    CCovelinApp& operator=(const CCovelinApp&) = delete;
    ~CCovelinApp() override;

    // The whole run; always FALSE, so the framework goes straight on to
    // ExitInstance and runs no message loop of its own.
    BOOL InitInstance() override;
    // The exit step; 0 is the process exit code.
    int ExitInstance() override;

    // Takes this session's instance pipe; true when another instance has
    // it. Taking it and testing for it are one step, so two starts at the
    // same moment cannot both pass.
    [[nodiscard]] bool IsAnotherInstanceRunning();
    InstanceClaim CreateInstancePipe();

    // False when a worker was still running when shutdown stopped waiting:
    // the process must then end at once, without running the destructors
    // of objects that worker may still be using.
    bool WorkersEnded() const { return workersEnded_; }

    // The display mode in force at start-up, read once here; the Options
    // page shows it and each armed run switches back to it.
    DisplayMode storedDisplayMode;

    // Server end of the single-instance pipe, held for the whole run; later
    // starts with a switch send their commands through it.
    UniqueHandle pipeHandle;

    // What the run works on, from before start-up to after shutdown. The
    // dialog, its pages and the engine are handed these by reference.
    ProgramHome home;
    Catalogues catalogues;
    HideChoices choices;
    // Made before the engine, which tells through it of windows left in view.
    CTrayIcon theTrayIcon;
    // The engine: its runs, and what a hide leaves behind until the restore.
    CEngine engine{&theTrayIcon};

private:
    // Shows our icon in the notification area (the user is told if it cannot be made).
    void AddTrayIcon();
    void StopWorkers();
    void StartExitWatchdog();

    // Set once the single-instance test has passed: a refused start must
    // not save (and so wipe) the list that the running instance stored.
    bool instanceAccepted_ = false;
    bool workersEnded_ = true;
    bool engineEnded_ = true;
    CWinThread windowRefresher_;
    CWinThread processRefresher_;
    ProgramTrayTarget trayTarget_{engine};
    // Arming, as the dialog asks for it.
    CArmedSession armedSession_{engine, home, catalogues, choices, theTrayIcon, storedDisplayMode};
    InstanceChannelServer instanceChannel_;
    // Restores the hidden windows when the session ends.
    CSessionGuard sessionGuard_;
};
