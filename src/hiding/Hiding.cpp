#include "hiding/Hiding.h"

#include <algorithm>
#include <cwchar>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "catalogue/Catalogues.h"
#include "catalogue/Executable.h"
#include "framework/Foreground.h"
#include "framework/Log.h"
#include "hiding/ShowBatch.h"
#include "system/ProcessInfo.h"

namespace {

bool IsLive(HWND window)
{
    return window && IsWindow(window);
}

void HideAndPush(ShowBatch& batch, HiddenWindows& hidden, HWND window)
{
    // Marked and listed before it goes, so that a window we hide is never
    // unknown to whoever restores after our death.
    hidden.Push(window);
    batch.Issue(window);
}

// The hide commands are out: the journal reaches the disk before we wait
// for the windows to carry them out.
std::vector<HWND> SettleHides(ShowBatch& batch, HiddenWindows& hidden)
{
    hidden.hiddenJournal.Save();
    return batch.Settle();
}

} // namespace

int HideChosenWindows(const EngineTargets& targets, HiddenWindows& hidden)
{
    ShowBatch batch(SW_HIDE);
    int count = 0;
    for (HWND window : targets.windows) {
        if (!IsLive(window))
            continue;
        HideAndPush(batch, hidden, window);
        ++count;
    }
    SettleHides(batch, hidden);
    return count;
}

int HideProcessWindows(const EngineTargets& targets, HiddenWindows& hidden)
{
    ShowBatch batch(SW_HIDE);
    int count = 0;
    const CCvWndArray* catalogue = targets.catalogues ? &targets.catalogues->windowCatalogue : nullptr;
    if (targets.processes.empty() || catalogue == nullptr)
        return 0; // nothing can match
    for (int i = 0; i < catalogue->GetSize(); ++i) {
        HWND window = (*catalogue)[i]->GetHandle();
        if (targets.IsTopWindow(window) || !IsLive(window))
            continue;
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        if (std::find(targets.processes.begin(), targets.processes.end(), processId) == targets.processes.end())
            continue;
        HideAndPush(batch, hidden, window);
        ++count;
    }
    SettleHides(batch, hidden);
    return count;
}

int HideFileWindows(const EngineTargets& targets, HiddenWindows& hidden)
{
    ShowBatch batch(SW_HIDE);
    int count = 0;
    const CCvWndArray* catalogue = targets.catalogues ? &targets.catalogues->windowCatalogue : nullptr;
    if (targets.files.empty() || catalogue == nullptr)
        return 0; // nothing can match: spare reading every window's path
    // Windows of one process share its path: read it once per process.
    std::unordered_map<DWORD, std::wstring> pathOfProcess;
    for (int i = 0; i < catalogue->GetSize(); ++i) {
        HWND window = (*catalogue)[i]->GetHandle();
        if (targets.IsTopWindow(window) || !IsLive(window))
            continue;
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        auto known = pathOfProcess.find(processId);
        if (known == pathOfProcess.end()) {
            // Asked of the process id just read, not of the window again: a
            // window closing right now must not leave an empty path on record
            // for its process and so spare the process's other windows.
            std::wstring path; // stays empty if it cannot be read
            if (processId != 0)
                ExecutablePathOfProcess(processId, path);
            known = pathOfProcess.emplace(processId, UpperCasePath(path)).first;
        }
        const std::wstring& path = known->second;
        if (!path.empty() && std::find(targets.files.begin(), targets.files.end(), path) != targets.files.end()) {
            HideAndPush(batch, hidden, window);
            ++count;
        }
    }
    SettleHides(batch, hidden);
    return count;
}

int BringTopWindow(const EngineTargets& targets)
{
    HWND window = targets.topWindow;
    if (!IsLive(window))
        return 0;
    if (GetWindowLongW(window, GWL_STYLE) & WS_MINIMIZE) {
        ShowBatch restore(SW_RESTORE);
        restore.Issue(window);
        restore.Settle();
    }
    CCvWnd top(window, CCvWnd::Seen{});
    top.BringToFront();
    Log::Line(L"Window '" + std::wstring(top.GetTitle()) + L"' has been brought onto top.");
    return 1;
}

namespace {

// The window that must end in front is not left to the burst of
// activations above: its show may still have been on its way (a busy
// program answers late), and a show carried out after the last activation
// leaves it behind. Wait briefly for it to be shown, activate it, and let
// its owner process the activation (a sent message is handled after the
// activation's own notification). A hung owner is never waited for.
void SettleForeground(HWND window)
{
    const ULONGLONG deadline = GetTickCount64() + 500;
    while (!IsHungAppWindow(window) && IsWindow(window)) {
        if (IsWindowVisible(window)) {
            BringToForeground(window);
            DWORD_PTR ignored = 0;
            SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 200, &ignored);
            if (GetForegroundWindow() == window)
                return;
        }
        if (GetTickCount64() >= deadline)
            return;
        Sleep(10);
    }
}

} // namespace

int RestoreHidden(HiddenWindows& hidden)
{
    ShowBatch batch(SW_SHOW);
    std::vector<HWND> shown; // in the order shown: top of the stack first
    for (int i = hidden.hiddenStack.GetSize() - 1; i >= 0; --i) {
        HWND window = hidden.hiddenStack[i];
        if (!IsLive(window))
            continue;
        batch.Issue(window);
        shown.push_back(window);
    }
    const std::vector<HWND> settledLate = batch.Settle();
    const std::unordered_set<HWND> late(settledLate.begin(), settledLate.end());
    // Each window shown becomes the foreground window in turn, so the one
    // hidden first ends in front. A window that has not answered is not
    // asked: activating it would wait on it.
    for (HWND window : shown) {
        if (late.count(window) == 0)
            BringToForeground(window);
    }
    if (!shown.empty())
        SettleForeground(shown.back());
    hidden.hiddenStack.RemoveAll();
    // Nothing is left hidden: the marks and the journal go too.
    hidden.hiddenJournal.Clear();
    return static_cast<int>(shown.size());
}
