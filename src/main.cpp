#include <windows.h>

#include "app/CommandLine.h"
#include "app/CovelinApp.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    // With a switch this start only carries a command to the instance that
    // already runs; it never becomes one.
    if (const CommandLineSwitch given = ParseCommandLine(ProcessArguments()); given != CommandLineSwitch::None)
        return RunCommandLineSwitch(given);

    // The application object owns everything the run works on (the
    // settings, the catalogues, the hide sets, the tray icon); a local, so
    // that all of it comes and goes in the order the object lays down.
    CCovelinApp app;
    const int exitCode = AfxWinMain();
    if (!app.WorkersEnded()) {
        // A worker did not end in time and may still be inside the objects
        // that the normal end of the process would destroy: end here.
        TerminateProcess(GetCurrentProcess(), static_cast<UINT>(exitCode));
    }
    return exitCode;
}
