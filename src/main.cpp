#include <windows.h>

#include "app/CommandLine.h"
#include "app/CovelinApp.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    // With a switch this start only carries a command to the instance that
    // already runs; it never becomes one.
    if (const CommandLineSwitch given = ParseCommandLine(ProcessArguments()); given != CommandLineSwitch::None)
        return RunCommandLineSwitch(given);

    // A local rather than a global: the application object then comes to life
    // after every process-wide object it sets up (the settings file, the
    // catalogues, the hide sets, the tray icon), whatever order the linker
    // gives the globals, and goes before them.
    CCovelinApp app;
    const int exitCode = AfxWinMain();
    if (!app.WorkersEnded()) {
        // A worker did not end in time and may still be inside the objects
        // that the normal end of the process would destroy: end here.
        TerminateProcess(GetCurrentProcess(), static_cast<UINT>(exitCode));
    }
    return exitCode;
}
