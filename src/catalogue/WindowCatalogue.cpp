#include "catalogue/WindowCatalogue.h"

#include <cwchar>

#include "catalogue/Executable.h"

CCvWndArray windowCatalogue;
CCriticalSection windowLock;
std::atomic<int> windowRefreshStop{0};
std::atomic<int> windowRefreshDone{1};

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

CCvWnd::CCvWnd(HWND handle) : handle_(IsLive(handle) ? handle : nullptr) {}

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
        SetForegroundWindow(handle_);
}

bool CCvWnd::GetModulePath(std::wstring& path)
{
    if (!IsLive(handle_))
        return false;
    DWORD processId = 0;
    GetWindowThreadProcessId(handle_, &processId);
    return ExecutablePathOfProcess(processId, path);
}

HICON CCvWnd::GetIcon(bool fromFile)
{
    if (!IsLive(handle_))
        return nullptr;
    if (!fromFile) {
        DWORD_PTR answer = 0;
        if (SendMessageTimeoutW(handle_, WM_GETICON, ICON_SMALL, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK,
                                kIconQueryTimeoutMs, &answer) &&
            answer) {
            // The window keeps its icon and may destroy it at any time;
            // the caller gets a copy of its own. An icon that cannot be
            // copied (one living in another process, for instance) is of
            // no use to us: fall back to the executable's icon.
            if (HICON copy = CopyIcon(reinterpret_cast<HICON>(answer)))
                return copy;
        }
    }
    std::wstring path;
    if (!GetModulePath(path))
        return nullptr;
    return ExecutableIcon(path.c_str());
}

// ---- the catalogue -----------------------------------------------------------

namespace {

struct EnumContext {
    HWND taskbar;
    CCvWndArray* array;
};

BOOL CALLBACK AddCataloguedWindow(HWND window, LPARAM param)
{
    auto* context = reinterpret_cast<EnumContext*>(param);
    // A window that vanished under the enumeration ends this rebuild; the
    // next one, half a second later, lists everything again.
    if (!IsLive(window))
        return FALSE;
    if (IsCataloguedWindow(window, context->taskbar))
        context->array->Add(new CCvWnd(window));
    return TRUE;
}

} // namespace

bool IsCataloguedWindow(HWND window, HWND taskbar)
{
    if (!IsWindowVisible(window) || window == taskbar)
        return false;
    if (GetWindowLongW(window, GWL_STYLE) & WS_CHILD)
        return false;
    wchar_t className[256] = {};
    GetClassNameW(window, className, 256);
    // Contained anywhere, case-sensitively: the system's tooltips and the
    // desktop, and any class built on their names.
    if (std::wcsstr(className, L"tooltips_class32") || std::wcsstr(className, L"Progman"))
        return false;
    return GetWindowLongPtrW(window, GWLP_USERDATA) != OWN_WINDOW_MARK;
}

CCvWndArray::~CCvWndArray()
{
    CCvWndArray::RemoveAll();
}

void CCvWndArray::RemoveAll()
{
    for (CCvWnd* record : items_)
        delete record;
    CArray::RemoveAll();
}

void CCvWndArray::RemoveAt(int index, int count)
{
    if (index < 0 || index >= GetSize() || count <= 0)
        return;
    int end = index + std::min(count, GetSize() - index);
    for (int i = index; i < end; ++i)
        delete items_[static_cast<size_t>(i)];
    CArray::RemoveAt(index, end - index);
}

int CCvWndArray::Refresh()
{
    RemoveAll();
    EnumContext context{FindWindowW(L"Shell_TrayWnd", nullptr), this};
    EnumWindows(AddCataloguedWindow, reinterpret_cast<LPARAM>(&context));
    return GetSize();
}

// ---- the refresher -------------------------------------------------------------

namespace {

constexpr DWORD kRefreshPeriodMs = 500;
constexpr DWORD kStopPollMs = 100;

// Waits one refresh period, looking at `stop` often enough that shutdown
// (which polls every 100 ms) is not held up for a whole period.
void WaitPeriod(const std::atomic<int>& stop)
{
    for (DWORD waited = 0; waited < kRefreshPeriodMs && !stop.load(); waited += kStopPollMs)
        Sleep(kStopPollMs);
}

} // namespace

UINT WindowRefreshThread(LPVOID)
{
    // The stop flag is cleared by whoever starts the thread, never here: a
    // stop asked for before this thread got to run must not be lost.
    windowRefreshDone = 0;
    while (!windowRefreshStop.load()) {
        windowLock.Lock();
        windowCatalogue.Refresh();
        windowLock.Unlock();
        WaitPeriod(windowRefreshStop);
    }
    windowRefreshDone = 1;
    return 0;
}

CWinThread* StartWindowRefreshThread()
{
    windowRefreshStop = 0;
    windowRefreshDone = 0;
    CWinThread* thread = AfxBeginThread(WindowRefreshThread, nullptr);
    if (!thread)
        windowRefreshDone = 1;
    return thread;
}
