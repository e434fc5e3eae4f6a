#include "framework/MessageWindow.h"

#include <mutex>
#include <set>
#include <string>

#include "framework/Log.h"
#include "framework/Sync.h"

namespace {

struct ClassRegistry {
    CCriticalSection lock;
    std::set<std::wstring> registered;
};

ClassRegistry& Classes()
{
    static ClassRegistry registry;
    return registry;
}

} // namespace

bool CMessageWindow::RegisterWindowClass(const wchar_t* className)
{
    if (className == nullptr || *className == L'\0')
        return false;
    ClassRegistry& classes = Classes();
    std::lock_guard<CCriticalSection> guard(classes.lock);
    if (classes.registered.count(className) != 0)
        return true;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &CMessageWindow::Procedure;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = className;
    if (::RegisterClassExW(&wc) == 0) {
        const DWORD error = ::GetLastError();
        // Someone else's class of that name would send our windows' messages
        // to its own procedure.
        Log::Failure(L"Registering the window class " + std::wstring(className), error);
        return false;
    }
    classes.registered.insert(className);
    return true;
}

CMessageWindow::~CMessageWindow()
{
    // The derived part is gone: the window's last messages go nowhere.
    Unbind();
    Destroy();
}

bool CMessageWindow::Create(const wchar_t* className, DWORD style, DWORD exStyle, HWND parent)
{
    if (window_ != nullptr || !RegisterWindowClass(className))
        return false;
    threadId_ = ::GetCurrentThreadId();
    // Procedure binds the window to this object at WM_NCCREATE.
    const HWND window = ::CreateWindowExW(exStyle, className, L"", style, 0, 0, 0, 0, parent, nullptr,
                                          ::GetModuleHandleW(nullptr), this);
    if (window == nullptr) {
        Log::Failure(L"Creating a window of class " + std::wstring(className));
        return false;
    }
    return true;
}

void CMessageWindow::Destroy()
{
    const HWND window = window_;
    if (window == nullptr)
        return;
    if (::GetCurrentThreadId() == threadId_) {
        ::DestroyWindow(window);
    } else {
        // Only its own thread may destroy it: unbound, the window closes
        // itself (DefWindowProc's WM_CLOSE) when that thread next pumps.
        Unbind();
        ::PostMessageW(window, WM_CLOSE, 0, 0);
    }
    window_ = nullptr;
}

void CMessageWindow::Unbind()
{
    if (window_ != nullptr && ::GetWindowLongPtrW(window_, GWLP_USERDATA) == reinterpret_cast<LONG_PTR>(this))
        ::SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
}

LRESULT CMessageWindow::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    return ::DefWindowProcW(window_, message, wParam, lParam);
}

LRESULT CALLBACK CMessageWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        if (auto* self = static_cast<CMessageWindow*>(create->lpCreateParams)) {
            self->window_ = window;
            ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
    }
    auto* self = reinterpret_cast<CMessageWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr || self->window_ != window)
        return ::DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        const LRESULT result = self->WindowProc(message, wParam, lParam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->window_ = nullptr;
        return result;
    }
    return self->WindowProc(message, wParam, lParam);
}
