// A program that owns top-level windows for the tests.
//
//   window_host.exe [window ...]
//   window:       CLASS|TITLE[|FLAGS]     one window
//                 *N|CLASS|TITLE[|FLAGS]  N windows titled "TITLE 0".."TITLE N-1"
//   FLAGS: any of h (hidden), m (minimised), t (tool window), o (carries the
//   main dialog's user-data mark 1984), c (one visible child window inside),
//   O (owned by the window described before it), R (refuses to be hidden:
//   takes the hide out of every position change), M (refuses the hide and
//   the minimise, as a window of a program with higher rights does),
//   and, for data other programs may hand out:
//     L  a title of 100,000 characters
//     r  a title that changes every few milliseconds, 0 to 100,000 long
//
// Prints one line per window, "<hwnd in hex> <process id>", then "ready",
// on stdout, and pumps messages until its first window is destroyed or it
// is ended. Messages to any of its windows:
//   WM_APP + 1 (wParam = ms): stop pumping messages for that long, so the
//              system sees the program hung; returns at once (posted).
//   WM_APP + 2: replies with the number of messages pumped so far.
//   WM_APP + 3: opens one more plain window of the same class and replies
//              with its handle (0 on failure).
//   WM_APP + 4: the same, owned by the window the message is sent to.
//   WM_APP + 5 (wParam = ms): the same, created hidden and shown that much
//              later.
//   WM_APP + 6 (wParam = a window of any program): becomes a child window of
//              that window, as a Store app's window inside its frame.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr UINT kHang = WM_APP + 1;
constexpr UINT kPumped = WM_APP + 2;
constexpr UINT kOpenAnother = WM_APP + 3;
constexpr UINT kOpenOwned = WM_APP + 4;
constexpr UINT kOpenShownLater = WM_APP + 5;
constexpr UINT kBecomeChildOf = WM_APP + 6;
constexpr UINT_PTR kShowLaterTimer = 8;
constexpr UINT_PTR kRetitleTimer = 7;
constexpr int kLongTitle = 100000;
LONG pumped = 0;
DWORD hangMs = 0;
int opened = 0;
constexpr int kFirstSlot = 0;                 // 1: ends the program when destroyed
constexpr int kRefuseSlot = sizeof(LONG_PTR); // 1: refuses to be hidden

void Retitle(HWND window)
{
    static unsigned step = 0;
    step = step * 1103515245u + 12345u;
    std::wstring title(static_cast<size_t>((step >> 8) % (kLongTitle + 1)), L'r');
    SetWindowTextW(window, title.c_str());
}

HWND OpenAnother(HWND like, HWND owner = nullptr, bool visible = true)
{
    wchar_t className[256] = {};
    GetClassNameW(like, className, 256);
    const std::wstring title = L"opened " + std::to_wstring(++opened);
    return CreateWindowExW(0, className, title.c_str(), WS_OVERLAPPEDWINDOW | (visible ? WS_VISIBLE : 0),
                           60 + opened % 300, 60 + opened % 300, 240, 120, owner, nullptr, GetModuleHandleW(nullptr),
                           nullptr);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case kHang:
        hangMs = static_cast<DWORD>(wParam);
        return 0;
    case kPumped:
        return pumped;
    case kOpenAnother:
        return reinterpret_cast<LRESULT>(OpenAnother(window));
    case kOpenOwned:
        return reinterpret_cast<LRESULT>(OpenAnother(window, window));
    case kOpenShownLater: {
        HWND later = OpenAnother(window, nullptr, false);
        if (later)
            SetTimer(later, kShowLaterTimer, static_cast<UINT>(wParam), nullptr);
        return reinterpret_cast<LRESULT>(later);
    }
    case kBecomeChildOf:
        SetWindowLongPtrW(window, GWL_STYLE, (GetWindowLongPtrW(window, GWL_STYLE) & ~WS_POPUP) | WS_CHILD);
        return SetParent(window, reinterpret_cast<HWND>(wParam)) != nullptr;
    case WM_WINDOWPOSCHANGING:
        if (GetWindowLongPtrW(window, kRefuseSlot) != 0)
            reinterpret_cast<WINDOWPOS*>(lParam)->flags &= ~SWP_HIDEWINDOW;
        return DefWindowProcW(window, message, wParam, lParam);
    case WM_SYSCOMMAND:
        // 'M': deaf to the minimise as well, as a program of higher rights is.
        if (GetWindowLongPtrW(window, kRefuseSlot) == 2 && (wParam & 0xFFF0) == SC_MINIMIZE)
            return 0;
        return DefWindowProcW(window, message, wParam, lParam);
    case WM_TIMER:
        if (wParam == kRetitleTimer)
            Retitle(window);
        if (wParam == kShowLaterTimer) {
            KillTimer(window, kShowLaterTimer);
            ShowWindow(window, SW_SHOWNA);
        }
        return 0;
    case WM_DESTROY:
        if (GetWindowLongPtrW(window, kFirstSlot) == 1)
            PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

std::wstring Widen(const std::string& text)
{
    if (text.empty())
        return {};
    int size = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), size);
    wide.resize(static_cast<size_t>(size - 1));
    return wide;
}

std::vector<std::string> Split(const std::string& text)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t bar = text.find('|', start);
        parts.push_back(text.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
        if (bar == std::string::npos)
            return parts;
        start = bar + 1;
    }
}

void EnsureClass(const std::wstring& name)
{
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(GetModuleHandleW(nullptr), name.c_str(), &existing))
        return;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = WindowProc;
    wc.cbWndExtra = 2 * sizeof(LONG_PTR);
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = name.c_str();
    RegisterClassExW(&wc);
}

} // namespace

int main(int argc, char** argv)
{
    // Our own child windows use a class of their own that nobody lists.
    EnsureClass(L"WindowHostChild");
    bool first = true;
    int offset = 0;
    HWND previous = nullptr;
    for (int a = 1; a < argc; ++a) {
        std::vector<std::string> parts = Split(argv[a]);
        int count = 1;
        if (!parts.empty() && !parts[0].empty() && parts[0][0] == '*') {
            count = std::atoi(parts[0].c_str() + 1);
            parts.erase(parts.begin());
        }
        if (parts.size() < 2)
            continue;
        const std::wstring className = Widen(parts[0]);
        const std::string flags = parts.size() > 2 ? parts[2] : "";
        EnsureClass(className);
        for (int i = 0; i < count; ++i) {
            std::wstring title = Widen(parts[1]);
            if (argv[a][0] == '*')
                title += L" " + std::to_wstring(i);
            DWORD exStyle = flags.find('t') != std::string::npos ? WS_EX_TOOLWINDOW : 0;
            DWORD style = WS_OVERLAPPEDWINDOW;
            if (flags.find('h') == std::string::npos)
                style |= WS_VISIBLE;
            if (flags.find('m') != std::string::npos)
                style |= WS_MINIMIZE;
            offset = (offset + 8) % 400;
            HWND owner = flags.find('O') != std::string::npos ? previous : nullptr;
            HWND window = CreateWindowExW(exStyle, className.c_str(), title.c_str(), style, 40 + offset, 40 + offset,
                                          240, 120, owner, nullptr, GetModuleHandleW(nullptr), nullptr);
            if (!window)
                return 2;
            previous = window;
            if (flags.find('R') != std::string::npos)
                SetWindowLongPtrW(window, kRefuseSlot, 1);
            if (flags.find('M') != std::string::npos)
                SetWindowLongPtrW(window, kRefuseSlot, 2);
            if (first)
                SetWindowLongPtrW(window, kFirstSlot, 1); // ends the program when destroyed
            first = false;
            if (flags.find('L') != std::string::npos)
                SetWindowTextW(window, std::wstring(kLongTitle, L'L').c_str());
            if (flags.find('r') != std::string::npos)
                SetTimer(window, kRetitleTimer, 20, nullptr);
            if (flags.find('o') != std::string::npos)
                SetWindowLongPtrW(window, GWLP_USERDATA, 1984);
            if (flags.find('c') != std::string::npos)
                CreateWindowExW(0, L"WindowHostChild", L"child", WS_CHILD | WS_VISIBLE, 0, 0, 50, 50, window, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
            std::printf("%llx %lu\n", static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(window)),
                        GetCurrentProcessId());
        }
    }
    std::printf("ready\n");
    std::fflush(stdout);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ++pumped;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        if (hangMs) {
            DWORD ms = hangMs;
            hangMs = 0;
            // Sleep: the hang itself, a thread pumping nothing; any wait would be the same.
            Sleep(ms);
        }
    }
    return 0;
}
