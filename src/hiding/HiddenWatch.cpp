#include "hiding/HiddenWatch.h"

#include <algorithm>
#include <atomic>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "catalogue/WindowCatalogue.h"
#include "framework/Handles.h"
#include "framework/Log.h"
#include "system/ProcessInfo.h"
#include "system/ShellWindows.h"

namespace {

// A created window is waited for this long to show.
constexpr ULONGLONG kPendingLifeMs = 3000;
constexpr int kMaxOwnerDepth = 32;

} // namespace

struct HiddenWatch::State {
    EngineTargets targets;
    HiddenWindows* hidden = nullptr;
    CCriticalSection* lock = nullptr;
    UniqueHandle stop;
    UniqueHandle thread;
    std::atomic<int> hiddenCount{0};

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
        state->Consider(window, event == EVENT_OBJECT_CREATE);
}

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
            if (!want)
                want = ProcessIsChosen(CountedProcessOf(window));
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
        leftBe = hidden->leftInView;
        leftBe.insert(hidden->minimised.begin(), hidden->minimised.end());
    }
    const DWORD flags = WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS;
    HWINEVENTHOOK created =
        SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_CREATE, nullptr, OnWindowEvent, 0, 0, flags);
    HWINEVENTHOOK shown = SetWinEventHook(EVENT_OBJECT_SHOW, EVENT_OBJECT_SHOW, nullptr, OnWindowEvent, 0, 0, flags);
    if (created == nullptr || shown == nullptr)
        Log::Failure(L"SetWinEventHook", GetLastError());
    lastLook = GetTickCount64();
    HANDLE stopEvent = stop.get();
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        const ULONGLONG nextLook = lastLook + kLookAgainMs;
        DWORD wait = nextLook > now ? static_cast<DWORD>(nextLook - now) : 0;
        if (!pending.empty())
            wait = std::min(wait, kPendingLookMs);
        const DWORD woke = MsgWaitForMultipleObjectsEx(1, &stopEvent, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woke == WAIT_OBJECT_0)
            break;
        // The hooks' calls come while messages are taken.
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        if (!pending.empty())
            LookAtPending();
        if (GetTickCount64() >= lastLook + kLookAgainMs) {
            LookAgain();
            lastLook = GetTickCount64();
        }
    }
    if (created != nullptr)
        UnhookWinEvent(created);
    if (shown != nullptr)
        UnhookWinEvent(shown);
    watchOfThread = nullptr;
}

DWORD WINAPI HiddenWatch::ThreadMain(LPVOID parameter)
{
    static_cast<State*>(parameter)->Run();
    return 0;
}

void HiddenWatch::Start(const EngineTargets& targets, HiddenWindows& hidden, CCriticalSection& lock)
{
    Stop();
    auto state = std::make_shared<State>();
    state->targets = targets;
    state->hidden = &hidden;
    state->lock = &lock;
    state->stop.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!state->stop)
        return;
    state->thread.reset(CreateThread(nullptr, 0, ThreadMain, state.get(), 0, nullptr));
    if (!state->thread) {
        Log::Failure(L"CreateThread (hidden watch)", GetLastError());
        return;
    }
    std::lock_guard<std::mutex> guard(control_);
    state_ = std::move(state);
}

void HiddenWatch::Stop()
{
    std::shared_ptr<State> state;
    {
        std::lock_guard<std::mutex> guard(control_);
        state.swap(state_);
    }
    if (!state)
        return;
    SetEvent(state->stop.get());
    // The thread only ever waits on the hidden windows' lock, which the
    // caller does not hold, and on nothing of another program.
    WaitForSingleObject(state->thread.get(), INFINITE);
}

bool HiddenWatch::Running()
{
    std::lock_guard<std::mutex> guard(control_);
    return state_ != nullptr;
}

int HiddenWatch::HiddenSoFar()
{
    std::lock_guard<std::mutex> guard(control_);
    return state_ ? state_->hiddenCount.load() : 0;
}

void WatchWhileHidden(HiddenWatch& watch, const EngineTargets& targets, HiddenWindows& hidden, CCriticalSection& lock)
{
    watch.Start(targets, hidden, lock);
}
