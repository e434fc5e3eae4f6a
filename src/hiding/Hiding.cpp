#include "hiding/Hiding.h"

#include <algorithm>
#include <cwchar>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "catalogue/Catalogues.h"
#include "catalogue/Executable.h"
#include "framework/Log.h"
#include "hiding/HideClock.h"
#include "hiding/ShowBatch.h"
#include "system/Elevation.h"
#include "system/Foreground.h"
#include "system/ProcessInfo.h"
#include "system/ShellWindows.h"

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

// Waits for the windows to carry the hide commands out. What has not taken
// by then is looked at again by the hide's check. The journal is written
// once, by the check: until then each window hidden carries our mark, which
// is what whoever restores after our death looks for first.
void SettleHides(ShowBatch& batch, HiddenWindows& hidden)
{
    const std::vector<HWND> late = batch.Settle();
    hidden.unsettled.insert(hidden.unsettled.end(), late.begin(), late.end());
}

// The process a catalogued window counts as: a Store app's frame counts as
// the app's.
DWORD ProcessOfRecord(const CCvWnd& record)
{
    if (const DWORD app = record.AppProcessId())
        return app;
    DWORD processId = 0;
    GetWindowThreadProcessId(record.GetHandle(), &processId);
    return processId;
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
        const DWORD processId = ProcessOfRecord(*(*catalogue)[i]);
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
        const DWORD processId = ProcessOfRecord(*(*catalogue)[i]);
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

// ---- the check after a hide ------------------------------------------------------------------

namespace {

// How long a window that refused to hide is given to minimise.
constexpr DWORD kMinimiseWaitMs = 500;
// Owner chains longer than this are taken to be loops.
constexpr int kMaxOwnerDepth = 32;

// Whether a window's owner chain reaches one of `owners`.
bool OwnedByOneOf(HWND window, const std::unordered_set<HWND>& owners)
{
    HWND owner = GetWindow(window, GW_OWNER);
    for (int depth = 0; owner != nullptr && depth < kMaxOwnerDepth; ++depth) {
        if (owners.count(owner) != 0)
            return true;
        owner = GetWindow(owner, GW_OWNER);
    }
    return false;
}

struct OwnedSearch {
    const EngineTargets* targets;
    const std::unordered_set<HWND>* owners;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectOwned(HWND window, LPARAM parameter)
{
    auto* search = reinterpret_cast<OwnedSearch*>(parameter);
    if (search->owners->count(window) != 0 || search->targets->IsTopWindow(window))
        return TRUE;
    // Most windows have no owner: one question each.
    if (GetWindow(window, GW_OWNER) == nullptr)
        return TRUE;
    if (OwnedByOneOf(window, *search->owners) && IsCataloguedWindow(window, nullptr))
        search->found.push_back(window);
    return TRUE;
}

int HideOwnedWindows(const EngineTargets& targets, HiddenWindows& hidden)
{
    if (hidden.IsEmpty())
        return 0;
    const std::unordered_set<HWND> owners(hidden.hiddenStack.begin(), hidden.hiddenStack.end());
    OwnedSearch search{&targets, &owners, {}};
    EnumWindows(CollectOwned, reinterpret_cast<LPARAM>(&search));
    ShowBatch batch(SW_HIDE);
    for (HWND window : search.found) {
        HideAndPush(batch, hidden, window);
        hidden.owned.insert(window);
    }
    if (!search.found.empty())
        SettleHides(batch, hidden);
    return static_cast<int>(search.found.size());
}

std::wstring Describe(HWND window)
{
    wchar_t title[CCvWnd::kTitleSize] = {};
    GetWindowTextW(window, title, CCvWnd::kTitleSize);
    wchar_t handle[32] = {};
    std::swprintf(handle, 32, L"%p", static_cast<void*>(window));
    return std::wstring(L"Window ") + handle + L" '" + title + L"'";
}

int PushesOf(const HiddenWindows& hidden, HWND window)
{
    return static_cast<int>(std::count(hidden.hiddenStack.begin(), hidden.hiddenStack.end(), window));
}

void TakeOffStack(HiddenWindows& hidden, HWND window)
{
    for (int i = hidden.hiddenStack.GetSize() - 1; i >= 0; --i) {
        if (hidden.hiddenStack[i] == window)
            hidden.hiddenStack.RemoveAt(i);
    }
}

} // namespace

HideCheck FinishHide(const EngineTargets& targets, HiddenWindows& hidden)
{
    HideCheck check;
    check.ownedHidden = HideOwnedWindows(targets, hidden);

    // Every window whose hide had not taken when the hides stopped waiting.
    std::vector<HWND> refused;
    std::unordered_set<HWND> seen;
    for (HWND window : hidden.unsettled) {
        if (!seen.insert(window).second || !IsLive(window) || !IsWindowVisible(window))
            continue; // gone, or hidden late
        // A hung window carries out its queued hide when it wakes up.
        if (IsHungAppWindow(window))
            continue;
        refused.push_back(window);
    }
    hidden.unsettled.clear();
    if (refused.empty()) {
        hidden.hiddenJournal.Save();
        return check;
    }

    // Minimised instead: out of the way, though not out of the taskbar. A
    // program with more rights than ours may drop this as well (the post is
    // then refused, or arrives and is ignored): it is tried all the same and
    // what happens is counted. One deadline for all of them, however many.
    for (HWND window : refused)
        PostMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    const ULONGLONG deadline = HideNow() + kMinimiseWaitMs;
    auto settled = [](HWND window) { return !IsWindow(window) || IsIconic(window) || !IsWindowVisible(window); };
    while (HideNow() < deadline && !std::all_of(refused.begin(), refused.end(), settled)) {
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        HidePause(5);
    }

    for (HWND window : refused) {
        if (!IsWindow(window) || !IsWindowVisible(window))
            continue; // the hide took after all
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        const wchar_t* why = ProcessOutranksUs(processId) ? L" (its program runs as administrator)" : L"";
        check.pushesNotHidden += PushesOf(hidden, window);
        if (IsIconic(window)) {
            ++check.minimised;
            hidden.minimised.insert(window);
            hidden.hiddenJournal.NoteMinimised(window);
            Log::Line(Describe(window) + L" could not be hidden and was minimised" + why);
        } else {
            ++check.leftInView;
            hidden.leftInView.insert(window);
            hidden.owned.erase(window);
            TakeOffStack(hidden, window);
            hidden.hiddenJournal.Forget(window);
            Log::Line(Describe(window) + L" could be neither hidden nor minimised" + why);
        }
    }
    hidden.hiddenJournal.Save();
    return check;
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

// The window that must end in front is not left to the shows above: its
// show may still be on its way (a busy program answers late). Wait briefly
// for it to be shown, ask for it once, and let its owner process the
// activation (a sent message is handled after the activation's own
// notification). A refused request is not repeated: each refusal flashes
// its taskbar button. A hung owner is never waited for.
void SettleForeground(HWND window)
{
    const ULONGLONG deadline = GetTickCount64() + 500;
    while (!IsHungAppWindow(window) && IsWindow(window)) {
        if (IsWindowVisible(window)) {
            if (!BringToForeground(window))
                return;
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

// The order of the shows: owned windows after every window they may be owned
// by, deeper ones later, so that an owner is never shown after what it owns.
std::vector<HWND> OwnersFirst(std::vector<HWND> order, const std::unordered_set<HWND>& owned)
{
    if (owned.empty())
        return order;
    std::vector<std::pair<int, HWND>> deferred;
    std::vector<HWND> result;
    result.reserve(order.size());
    for (HWND window : order) {
        if (owned.count(window) == 0) {
            result.push_back(window);
            continue;
        }
        int depth = 0;
        for (HWND owner = GetWindow(window, GW_OWNER); owner != nullptr && depth < kMaxOwnerDepth;
             owner = GetWindow(owner, GW_OWNER))
            ++depth;
        deferred.emplace_back(depth, window);
    }
    std::stable_sort(deferred.begin(), deferred.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [depth, window] : deferred)
        result.push_back(window);
    return result;
}

} // namespace

int RestoreHidden(HiddenWindows& hidden)
{
    std::vector<HWND> order; // top of the stack first
    for (int i = hidden.hiddenStack.GetSize() - 1; i >= 0; --i) {
        HWND window = hidden.hiddenStack[i];
        if (IsLive(window))
            order.push_back(window);
    }
    // Nothing is activated on the way: each activation would ask for the
    // foreground, and all but the last would only flash taskbar buttons. A
    // window on another virtual desktop activated would take the user there.
    ShowBatch show(SW_SHOWNA);
    ShowBatch unminimise(SW_SHOWNOACTIVATE);
    for (HWND window : OwnersFirst(order, hidden.owned))
        (hidden.minimised.count(window) != 0 ? unminimise : show).Issue(window);
    std::vector<HWND> late = show.Settle();
    const std::vector<HWND> lateFromMinimised = unminimise.Settle();
    late.insert(late.end(), lateFromMinimised.begin(), lateFromMinimised.end());
    const std::unordered_set<HWND> lateSet(late.begin(), late.end());

    // The one move: the first window hidden ends in front. A window that has
    // not answered is not asked (activating it would wait on it), nor one on
    // another virtual desktop; the next one hidden is taken instead.
    for (int i = 0; i < hidden.hiddenStack.GetSize(); ++i) {
        HWND window = hidden.hiddenStack[i];
        if (!IsLive(window) || lateSet.count(window) != 0 || !IsOnCurrentDesktop(window))
            continue;
        SettleForeground(window);
        break;
    }
    hidden.Forget();
    // Nothing is left hidden: the marks and the journal go too.
    hidden.hiddenJournal.Clear();
    return static_cast<int>(order.size());
}
