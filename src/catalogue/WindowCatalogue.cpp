#include "catalogue/WindowCatalogue.h"

#include <cwchar>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <utility>

#include "catalogue/Executable.h"
#include "system/Foreground.h"
#include "system/OwnProcess.h"
#include "system/ProcessInfo.h"
#include "system/ShellWindows.h"

namespace {

// How long a window may take to hand over its icon. A hung window is given
// up on at once (SMTO_ABORTIFHUNG); a slow one after this.
constexpr UINT kIconQueryTimeoutMs = 200;

bool IsLive(HWND window)
{
    return window && IsWindow(window);
}

} // namespace

// ---- CCvWnd ----------------------------------------------------------------

CCvWnd::CCvWnd(HWND handle) : handle_(IsLive(handle) ? handle : nullptr)
{
}

const wchar_t* CCvWnd::GetTitle()
{
    if (IsLive(handle_)) {
        // GetWindowTextW asks a window of another process through the
        // system's copy of the title, so a hung window cannot block here.
        wchar_t fresh[kTitleSize] = {};
        GetWindowTextW(handle_, fresh, kTitleSize);
        // The window may have gone meanwhile; keep the last title then.
        if (fresh[0] || IsWindow(handle_))
            std::wmemcpy(title_, fresh, kTitleSize);
    }
    return title_;
}

void CCvWnd::BringToFront()
{
    if (IsLive(handle_))
        BringToForeground(handle_);
}

bool CCvWnd::GetModulePath(std::wstring& path)
{
    if (!IsLive(handle_))
        return false;
    return ExecutablePathOfProcess(CountedProcessOf(handle_), path);
}

HICON CProcessIcons::IconOf(DWORD processId)
{
    auto [entry, isNew] = icons_.try_emplace(processId);
    if (isNew) {
        std::wstring path;
        if (processId != 0 && ExecutablePathOfProcess(processId, path))
            entry->second.reset(ExecutableIcon(path.c_str()));
    }
    return entry->second ? CopyIcon(entry->second.get()) : nullptr;
}

HICON CCvWnd::GetIcon(bool fromFile, CProcessIcons* known)
{
    if (!IsLive(handle_))
        return nullptr;
    if (!fromFile) {
        DWORD_PTR answer = 0;
        if (SendMessageTimeoutW(handle_, WM_GETICON, ICON_SMALL, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, kIconQueryTimeoutMs,
                                &answer) &&
            answer) {
            // The window keeps its icon and may destroy it at any time;
            // the caller gets a copy of its own. An icon that cannot be
            // copied (one living in another process, for instance) is of
            // no use to us: fall back to the executable's icon.
            if (HICON copy = CopyIcon(reinterpret_cast<HICON>(answer)))
                return copy;
        }
    }
    if (known != nullptr)
        return known->IconOf(CountedProcessOf(handle_));
    std::wstring path;
    if (!GetModulePath(path))
        return nullptr;
    return ExecutableIcon(path.c_str());
}

// ---- the catalogue -----------------------------------------------------------

namespace {

// Whether a class is one of the system's tooltips or one of the shell's
// desktop and taskbar windows, which are never listed or hidden.
bool IsShellClassName(const wchar_t* className)
{
    // Contained anywhere, case-sensitively: the system's tooltips and the
    // desktop, and any class built on their names.
    if (std::wcsstr(className, L"tooltips_class32") || std::wcsstr(className, L"Progman"))
        return true;
    // The taskbar (whichever window has its class: the one FindWindow gives
    // is only the first), the desktop behind the icons and the taskbar of a
    // second monitor: hiding them with the shell's process would leave the
    // user without either. Exact names, as other programs' classes may
    // contain these words.
    return std::wcscmp(className, L"Shell_TrayWnd") == 0 || std::wcscmp(className, L"WorkerW") == 0 ||
           std::wcscmp(className, L"Shell_SecondaryTrayWnd") == 0;
}

struct ClassFacts {
    bool excluded; // IsShellClassName
    bool frame;    // a Store app's frame
};

ClassFacts ReadClassFacts(HWND window)
{
    wchar_t className[256] = {};
    GetClassNameW(window, className, 256);
    return ClassFacts{IsShellClassName(className), std::wcscmp(className, kStoreFrameClass) == 0};
}

} // namespace

bool IsCataloguedWindow(HWND window, HWND taskbar)
{
    if (!IsWindowVisible(window) || window == taskbar || window == GetShellWindow())
        return false;
    if (GetWindowLongW(window, GWL_STYLE) & WS_CHILD)
        return false;
    if (ReadClassFacts(window).excluded)
        return false;
    // Not on screen whatever its style: a suspended Store app, a shell host.
    if (IsCloakedByApp(CloakOf(window)))
        return false;
    return !IsOwnWindow(window);
}

namespace {

// Every question about a window of another process is a round trip to the
// window manager, and the catalogue is rebuilt twice a second for the whole
// run. So a rebuild asks each window only what can change - its style,
// which holds both the visibility and the child bit - and remembers the
// rest per handle: the class (fixed for a window's life), whether the
// window is ours, and, for other programs' windows, whether it carries our
// mark (read again every few rebuilds; our own windows are read every time,
// which costs nothing). The result is the one IsCataloguedWindow gives,
// except that a mark put on (or taken off) another program's window shows
// within a few seconds instead of at the next rebuild.
struct WindowFacts {
    DWORD processId;     // fixed for the window's life
    bool own;            // a window of this process
    bool excludedClass;  // IsShellClassName
    bool frame;          // a Store app's frame
    bool marked;         // IsOwnWindow (as last read)
    unsigned markReadAt; // rebuild that read `marked`
    unsigned seenAt;     // last rebuild that met the window
};

constexpr unsigned kMarkRereadEvery = 8;

struct FactCache {
    CCriticalSection lock; // arrays may be rebuilt on several threads
    std::unordered_map<HWND, WindowFacts> facts;
    unsigned generation = 0;
};

FactCache& Facts()
{
    static FactCache cache;
    return cache;
}

struct EnumContext {
    HWND taskbar;
    HWND shellWindow; // the desktop's own window
    CCvWndArray* array;
    FactCache* cache;
};

BOOL CALLBACK AddCataloguedWindow(HWND window, LPARAM param)
{
    auto* context = reinterpret_cast<EnumContext*>(param);
    // One read tells a live window's style from a handle that has gone.
    SetLastError(ERROR_SUCCESS);
    const LONG style = window ? GetWindowLongW(window, GWL_STYLE) : 0;
    // A window that vanished under the enumeration ends this rebuild; the
    // next one, half a second later, lists everything again.
    if (!window || (style == 0 && GetLastError() == ERROR_INVALID_WINDOW_HANDLE && !IsWindow(window)))
        return FALSE;

    FactCache& cache = *context->cache;
    const unsigned now = cache.generation;
    auto [entry, isNew] = cache.facts.try_emplace(window);
    WindowFacts& facts = entry->second;
    if (isNew) {
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        facts.processId = processId;
        facts.own = processId == GetCurrentProcessId();
        const ClassFacts classFacts = ReadClassFacts(window);
        facts.excludedClass = classFacts.excluded;
        facts.frame = classFacts.frame;
        facts.marked = false;
        facts.markReadAt = now - kMarkRereadEvery; // read when first needed
    }
    facts.seenAt = now;

    // For a window of the desktop (all that the enumeration gives), being
    // visible is having WS_VISIBLE: the desktop itself is always visible.
    if (!(style & WS_VISIBLE) || window == context->taskbar || window == context->shellWindow || (style & WS_CHILD) ||
        facts.excludedClass)
        return TRUE;
    if (facts.own || now - facts.markReadAt >= kMarkRereadEvery) {
        facts.marked = IsOwnWindow(window);
        facts.markReadAt = now;
    }
    if (facts.marked)
        return TRUE;
    // Asked afresh: a Store app is cloaked while it is suspended, and an
    // app enters its frame after the frame is shown.
    if (IsCloakedByApp(CloakOf(window)))
        return TRUE;
    auto record = std::make_unique<CCvWnd>(window, CCvWnd::Seen{});
    record->SetProcessId(facts.processId);
    if (facts.frame)
        record->SetAppProcessId(StoreAppProcessOfFrame(window));
    context->array->Add(std::move(record));
    return TRUE;
}

} // namespace

int CCvWndArray::Refresh()
{
    RemoveAll();
    FactCache& cache = Facts();
    std::lock_guard<CCriticalSection> guard(cache.lock);
    const unsigned now = ++cache.generation;
    EnumContext context{FindWindowW(L"Shell_TrayWnd", nullptr), GetShellWindow(), this, &cache};
    // The top-level windows of our desktop, as EnumWindows gives them. Some
    // systems (Wine) have EnumWindows ask the window manager once more per
    // window whether it still exists; the filter's own first question tells
    // that already, so the enumeration that does not ask costs half.
    EnumDesktopWindows(nullptr, AddCataloguedWindow, reinterpret_cast<LPARAM>(&context));
    // Forget the windows this rebuild did not meet: they have gone (or the
    // rebuild ended early, and they are learnt again next time).
    for (auto it = cache.facts.begin(); it != cache.facts.end();)
        it = it->second.seenAt == now ? std::next(it) : cache.facts.erase(it);
    return GetSize();
}
