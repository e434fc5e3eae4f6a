#include <windows.h>

#include "app/CommandLine.h"
#include "app/CovelinApp.h"
#include "framework/Log.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    const ParsedCommandLine given = ParseCommandLine(ProcessArguments());
    StartLog(given);
    // With a switch this start only carries a command to the instance that
    // already runs (or recovers, or shows the usage); it never becomes one.
    if (given.which != CommandLineSwitch::None)
        return RunCommandLineSwitch(given.which);

    // The application object owns everything the run works on (the
    // settings, the catalogues, the hide sets, the tray icon); a local, so
    // that all of it comes and goes in the order the object lays down.
    CCovelinApp app;
    const int exitCode = AfxWinMain();
    Log::Line(app.WorkersEnded() ? L"Covelin ends" : L"Covelin ends at once: a worker did not stop in time");
    if (!app.WorkersEnded()) {
        // A worker did not end in time and may still be inside the objects
        // that the normal end of the process would destroy: end here.
        TerminateProcess(GetCurrentProcess(), static_cast<UINT>(exitCode));
    }
    return exitCode;
}
