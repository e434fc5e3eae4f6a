#include "hiding/HiddenWatch.h"

#include <algorithm>
#include <atomic>
#include <cwchar>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "catalogue/WindowCatalogue.h"
#include "framework/Handles.h"
#include "framework/Log.h"
#include "framework/Thread.h"
#include "system/ProcessInfo.h"
#include "system/ShellWindows.h"

namespace {

// A created window is waited for this long to show.
constexpr ULONGLONG kPendingLifeMs = 3000;
constexpr int kMaxOwnerDepth = 32;

// Sent when the desktop window manager draws a cloaked window again
// (Windows 8 and later); the system's headers declare it only for builds
// aimed at those.
constexpr DWORD kEventObjectUncloaked = 0x8018;

bool IsStoreFrame(HWND window)
{
    wchar_t className[64] = {};
    return GetClassNameW(window, className, 64) > 0 && std::wcscmp(className, kStoreFrameClass) == 0;
}

} // namespace

struct HiddenWatch::State {
    EngineTargets targets;
    HiddenWindows* hidden = nullptr;
    CCriticalSection* lock = nullptr;
    std::function<void(DWORD)> programHidden;
    UniqueEvent stop;
    CWinThread thread;
    std::atomic<int> hiddenCount{0};
    std::atomic<int> looksAgain{0};
    // A window of another program was seen to show: this system tells of
    // them, and the watch needs no look of its own any more.
    std::atomic<bool> eventDriven{false};

    // The watch's thread only, from here on.
    std::unordered_set<HWND> ours;   // on the stack: what was hidden
    std::unordered_set<HWND> leftBe; // the hide's check left these in view
    std::unordered_map<DWORD, bool> processChosen;
    // What each window met is, as far as the rules go: decided once, since
    // a window's process and owner stay.
    std::unordered_map<HWND, bool> wanted;
    // For the title and class rules: each window's class name (fixed for
    // its life), empty for a window of ours; the title is read every time.
    std::unordered_map<HWND, std::wstring> classOf;
    std::vector<std::pair<HWND, ULONGLONG>> pending; // created, not yet shown
    ULONGLONG lastLook = 0;

    bool ProcessIsChosen(DWORD processId);
    bool Wanted(HWND window);
    bool MatchesRule(HWND window);
    void Consider(HWND window, bool created);
    void OnEvent(DWORD event, HWND window);
    void Hide(HWND window, bool owned);
    void LookAgain();
    void LookAtPending();
    void Run();
};

namespace {

thread_local HiddenWatch::State* watchOfThread = nullptr;

void CALLBACK OnWindowEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD, DWORD)
{
    if (window == nullptr || object != OBJID_WINDOW || child != CHILDID_SELF)
        return;
    if (HiddenWatch::State* state = watchOfThread)
        state->OnEvent(event, window);
}

// Tests stand in for the system's events of other programs, which Wine
// never sends: posted to the watch's thread, taken as the hook's own.
constexpr UINT kTestEvent = WM_APP + 77;

} // namespace

bool HiddenWatch::State::ProcessIsChosen(DWORD processId)
{
    auto [entry, isNew] = processChosen.try_emplace(processId, false);
    if (isNew && processId != 0) {
        const auto& processes = targets.processes;
        entry->second = std::find(processes.begin(), processes.end(), processId) != processes.end();
        if (!entry->second && !targets.files.empty()) {
            std::wstring path;
            if (ExecutablePathOfProcess(processId, path)) {
                const std::wstring upper = UpperCasePath(path);
                entry->second = std::find(targets.files.begin(), targets.files.end(), upper) != targets.files.end();
            }
        }
    }
    return entry->second;
}

bool HiddenWatch::State::Wanted(HWND window)
{
    auto known = wanted.find(window);
    if (known != wanted.end())
        return known->second;
    bool want = false;
    if (!targets.IsTopWindow(window) && leftBe.count(window) == 0) {
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        if (processId != 0 && processId != GetCurrentProcessId()) {
            HWND owner = GetWindow(window, GW_OWNER);
            for (int depth = 0; owner != nullptr && depth < kMaxOwnerDepth && !want; ++depth) {
                want = ours.count(owner) != 0;
                owner = GetWindow(owner, GW_OWNER);
            }
            if (!want) {
                const DWORD counted = CountedProcessOf(window);
                // A Store app's frame exists before its app is in it: until
                // then it is nobody's, and is asked again next time.
                if (counted == processId && IsStoreFrame(window))
                    return false;
                want = ProcessIsChosen(counted);
            }
        }
    }
    wanted.emplace(window, want);
    return want;
}

bool HiddenWatch::State::MatchesRule(HWND window)
{
    if (targets.rules.empty() || targets.IsTopWindow(window))
        return false;
    auto [entry, isNew] = classOf.try_emplace(window);
    if (isNew) {
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        wchar_t className[CCvWnd::kTitleSize] = {};
        if (processId != 0 && processId != GetCurrentProcessId())
            GetClassNameW(window, className, CCvWnd::kTitleSize);
        entry->second = className;
    }
    if (entry->second.empty())
        return false;
    // A title may change (a browser's follows its tab): read afresh, without
    // a message to the window's program.
    wchar_t title[CCvWnd::kTitleSize] = {};
    InternalGetWindowText(window, title, CCvWnd::kTitleSize);
    for (const WindowRule& rule : targets.rules)
        if (rule.Matches(title, entry->second.c_str()))
            return true;
    return false;
}

void HiddenWatch::State::Consider(HWND window, bool created)
{
    if (leftBe.count(window) != 0)
        return; // the hide's check has been there
    if (ours.count(window) != 0) {
        // Shown again by its own program: hidden again, listed once. A hung
        // one still has its hide queued.
        if (!created && IsWindowVisible(window) && !IsHungAppWindow(window))
            ShowWindowAsync(window, SW_HIDE);
        return;
    }
    if ((GetWindowLongW(window, GWL_STYLE) & WS_CHILD) != 0)
        return;
    if (!Wanted(window) && !MatchesRule(window))
        return;
    if (!IsWindowVisible(window)) {
        if (created)
            pending.emplace_back(window, GetTickCount64() + kPendingLifeMs);
        return;
    }
    // As the catalogue would list it: not the shell's, a tooltip, cloaked
    // by its app, or ours.
    if (!IsCataloguedWindow(window, nullptr))
        return;
    HWND owner = GetWindow(window, GW_OWNER);
    Hide(window, owner != nullptr && ours.count(owner) != 0);
}

void HiddenWatch::State::OnEvent(DWORD event, HWND window)
{
    switch (event) {
    case EVENT_OBJECT_SHOW:
        eventDriven.store(true);
        Consider(window, false);
        break;
    case EVENT_OBJECT_CREATE:
        Consider(window, true);
        break;
    case EVENT_OBJECT_PARENTCHANGE:
    case kEventObjectUncloaked: {
        // A Store app entering its frame (or the frame coming on screen):
        // the frame is looked at afresh.
        HWND frame = event == EVENT_OBJECT_PARENTCHANGE ? GetAncestor(window, GA_ROOT) : window;
        if (frame != nullptr && frame != window && ours.count(frame) == 0)
            wanted.erase(frame);
        if (frame != nullptr && IsWindowVisible(frame))
            Consider(frame, false);
        break;
    }
    default:
        break;
    }
}

void HiddenWatch::State::Hide(HWND window, bool owned)
{
    ours.insert(window);
    {
        std::lock_guard<CCriticalSection> guard(*lock);
        hidden->Push(window);
        if (owned)
            hidden->owned.insert(window);
        hidden->hiddenJournal.Save();
    }
    ShowWindowAsync(window, SW_HIDE);
    hiddenCount.fetch_add(1);
    if (programHidden)
        programHidden(CountedProcessOf(window));
}

void HiddenWatch::State::LookAtPending()
{
    const ULONGLONG now = GetTickCount64();
    std::vector<std::pair<HWND, ULONGLONG>> waiting;
    waiting.swap(pending);
    for (const auto& [window, until] : waiting) {
        if (!IsWindow(window) || ours.count(window) != 0)
            continue;
        if (IsWindowVisible(window))
            Consider(window, false);
        else if (now < until)
            pending.emplace_back(window, until);
    }
}

void HiddenWatch::State::LookAgain()
{
    struct Look {
        State* state;
        std::unordered_set<HWND> met;
    } look{this, {}};
    EnumWindows(
        [](HWND window, LPARAM parameter) -> BOOL {
            auto* current = reinterpret_cast<Look*>(parameter);
            current->met.insert(window);
            const LONG style = GetWindowLongW(window, GWL_STYLE);
            if ((style & WS_VISIBLE) != 0 && (style & WS_CHILD) == 0)
                current->state->Consider(window, false);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&look));
    // Forget the windows that have gone: their handles may come back as
    // other windows.
    for (auto it = wanted.begin(); it != wanted.end();)
        it = look.met.count(it->first) != 0 ? std::next(it) : wanted.erase(it);
    for (auto it = classOf.begin(); it != classOf.end();)
        it = look.met.count(it->first) != 0 ? std::next(it) : classOf.erase(it);
}

void HiddenWatch::State::Run()
{
    watchOfThread = this;
    {
        std::lock_guard<CCriticalSection> guard(*lock);
        ours.insert(hidden->hiddenStack.begin(), hidden->hiddenStack.end());
        programHidden = hidden->programHidden;
        leftBe = hidden->leftInView;
        leftBe.insert(hidden->minimised.begin(), hidden->minimised.end());
    }
    const DWORD flags = WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS;
    const UniqueWinEventHook created(
        SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_CREATE, nullptr, OnWindowEvent, 0, 0, flags));
    const UniqueWinEventHook shown(
        SetWinEventHook(EVENT_OBJECT_SHOW, EVENT_OBJECT_SHOW, nullptr, OnWindowEvent, 0, 0, flags));
    const UniqueWinEventHook reparented(
        SetWinEventHook(EVENT_OBJECT_PARENTCHANGE, EVENT_OBJECT_PARENTCHANGE, nullptr, OnWindowEvent, 0, 0, flags));
    const UniqueWinEventHook uncloaked(
        SetWinEventHook(kEventObjectUncloaked, kEventObjectUncloaked, nullptr, OnWindowEvent, 0, 0, flags));
    if (!created || !shown)
        Log::Failure(L"Hooking the window events for the hidden watch");
    lastLook = GetTickCount64();
    HANDLE stopEvent = stop.get();
    for (;;) {
        // The look of our own only until the system shows it tells of other
        // programs' windows shown (Wine never does).
        const bool looking = !eventDriven.load();
        const ULONGLONG now = GetTickCount64();
        const ULONGLONG nextLook = lastLook + kLookAgainMs;
        DWORD wait = !looking ? INFINITE : nextLook > now ? static_cast<DWORD>(nextLook - now) : 0;
        if (!pending.empty())
            wait = std::min(wait, kPendingLookMs);
        const DWORD woke = MsgWaitForMultipleObjectsEx(1, &stopEvent, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woke == WAIT_OBJECT_0)
            break;
        // The hooks' calls come while messages are taken.
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.hwnd == nullptr && msg.message == kTestEvent)
                OnEvent(static_cast<DWORD>(msg.wParam), reinterpret_cast<HWND>(msg.lParam));
            else
                DispatchMessageW(&msg);
        }
        if (!pending.empty())
            LookAtPending();
        if (!eventDriven.load() && GetTickCount64() >= lastLook + kLookAgainMs) {
            LookAgain();
            looksAgain.fetch_add(1);
            lastLook = GetTickCount64();
        }
    }
    watchOfThread = nullptr;
}

void HiddenWatch::Start(const EngineTargets& targets, HiddenWindows& hidden, CCriticalSection& lock)
{
    Stop();
    auto state = std::make_shared<State>();
    state->targets = targets;
    state->hidden = &hidden;
    state->lock = &lock;
    if (!state->stop)
        return;
    // The thread holds the state too: it ends before the state can go.
    if (!state->thread.Start([state = state.get()] { state->Run(); })) {
        Log::Failure(L"Starting the hidden watch", GetLastError());
        return;
    }
    std::lock_guard<CCriticalSection> guard(control_);
    state_ = std::move(state);
}

void HiddenWatch::Stop()
{
    std::shared_ptr<State> state;
    {
        std::lock_guard<CCriticalSection> guard(control_);
        state.swap(state_);
    }
    if (!state)
        return;
    state->stop.Set();
    // The thread only ever waits on the hidden windows' lock, which the
    // caller does not hold, and on nothing of another program.
    static_cast<void>(state->thread.Wait(INFINITE));
}

bool HiddenWatch::Running()
{
    std::lock_guard<CCriticalSection> guard(control_);
    return state_ != nullptr;
}

int HiddenWatch::HiddenSoFar()
{
    std::lock_guard<CCriticalSection> guard(control_);
    return state_ ? state_->hiddenCount.load() : 0;
}

int HiddenWatch::LooksSoFar()
{
    std::lock_guard<CCriticalSection> guard(control_);
    return state_ ? state_->looksAgain.load() : 0;
}

bool HiddenWatch::EventDriven()
{
    std::lock_guard<CCriticalSection> guard(control_);
    return state_ && state_->eventDriven.load();
}

bool HiddenWatch::SendEventForTests(DWORD event, HWND window)
{
    std::lock_guard<CCriticalSection> guard(control_);
    return state_ && state_->thread.PostThreadMessage(kTestEvent, event, reinterpret_cast<LPARAM>(window));
}

void WatchWhileHidden(HiddenWatch& watch, const EngineTargets& targets, HiddenWindows& hidden, CCriticalSection& lock)
{
    watch.Start(targets, hidden, lock);
}
