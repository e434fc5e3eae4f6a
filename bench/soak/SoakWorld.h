#pragma once
// What the soak runs against: three other programs with ten windows each,
// the Windows and Processes pages in a window of their own with both
// catalogue refreshers running, and an engine whose clock lets every command
// count (no one-second debounce) and whose side actions are left out.
#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/Catalogues.h"
#include "choices/HideSets.h"
#include "engine/Engine.h"
#include "framework/Thread.h"
#include "support/ScratchDir.h"
#include "support/WindowHost.h"
#include "ui/ProcessDlg.h"
#include "ui/WindowsDlg.h"

namespace soak {

// Raised on the engine's thread as it finishes a hide or a restore.
extern std::atomic<int> hidesDone;
extern std::atomic<int> restoresDone;

// The real operations but for the keyboard (never held), the clock (a
// second passes at every look) and the side actions (none).
EngineOperations QuickOperations();

// Pumps this thread's messages until `condition` holds or `timeoutMs` has
// passed; whether it held.
template <class Condition>
bool PumpUntil(Condition condition, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (condition())
            return true;
        if (GetTickCount64() >= deadline)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 2, QS_ALLINPUT);
    }
}

class SoakWorld {
public:
    SoakWorld(int hosts, int windowsPerHost);
    ~SoakWorld();
    SoakWorld(const SoakWorld&) = delete;
    SoakWorld& operator=(const SoakWorld&) = delete;

    bool Ready() const;

    // Every live window of the other programs.
    std::vector<HWND> HostWindows() const;
    // Closes one window of host `index` (never its first, whose end ends
    // the program) and opens another in its place.
    void CloseAndOpenWindow(int index, unsigned pick);

    // The user at the pages: a change of the chosen windows, the chosen
    // processes, the top window and the chosen files, in turn by `round`.
    // Asks for nothing that would raise a message box.
    void ChangeChoices(int round);
    // Both catalogues rebuilt now and both pages brought in step.
    void SyncPages();

    CEngine engine;
    // What the application object would own: the catalogues the pages and
    // the engine look at, and the choices the pages make.
    Catalogues catalogues;
    HideChoices choices;

private:
    void DoubleClickRow(CDialog& page, CListCtrl& list, int row);
    void ChangeWindowChoices(int round);
    void ChangeProcessChoices(int round);

    std::vector<std::unique_ptr<testsupport::WindowHost>> hosts_;
    std::wstring hostProgram_;
    testsupport::ScratchDir journalDir_;
    CWnd pageHost_;
    CWindowsDlg windowsPage_{catalogues, choices};
    CProcessDlg processPage_{catalogues, choices};
    CWinThread windowRefresher_;
    CWinThread processRefresher_;
};

} // namespace soak
