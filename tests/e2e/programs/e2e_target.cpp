// A stand-in for "some other program the user wants to hide": it opens a few
// ordinary top-level windows and runs until they are all closed.
//   e2e_target.exe [count]
// Window i (from 1) is titled "Covelin e2e target i".
#include <windows.h>

#include <cwchar>
#include <cstdlib>

namespace {

int openWindows = 0;

LRESULT CALLBACK TargetProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_DESTROY && --openWindows == 0)
        PostQuitMessage(0);
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR cmdLine, int)
{
    int count = 3;
    if (cmdLine && *cmdLine) {
        count = static_cast<int>(std::wcstol(cmdLine, nullptr, 10));
        if (count < 1 || count > 50)
            count = 3;
    }

    WNDCLASSW wc{};
    wc.lpfnWndProc = TargetProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = L"CovelinE2eTarget";
    if (!RegisterClassW(&wc))
        return 1;

    for (int i = 1; i <= count; ++i) {
        wchar_t title[64];
        std::swprintf(title, 64, L"Covelin e2e target %d", i);
        HWND hwnd = CreateWindowExW(0, wc.lpszClassName, title, WS_OVERLAPPEDWINDOW, 60 * i, 40 * i, 320, 200,
                                    nullptr, nullptr, instance, nullptr);
        if (!hwnd)
            return 2;
        ++openWindows;
        ShowWindow(hwnd, SW_SHOW);
    }

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
