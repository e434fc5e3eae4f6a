#include "support/WindowHost.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "support/Wait.h"

namespace testsupport {

std::wstring HelperProgramPath(const std::wstring& exeName)
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring dir(self);
    dir.resize(dir.find_last_of(L'\\') + 1);
    return dir + exeName;
}

namespace {

std::wstring Quote(const std::string& arg)
{
    std::wstring wide(arg.begin(), arg.end()); // the descriptions are plain ASCII
    return L"\"" + wide + L"\"";
}

} // namespace

std::string WindowsOfClass(int count, const std::string& className, const std::string& title)
{
    // Built up piece by piece: GCC 12 warns wrongly about "*" + a string.
    std::string description = "*";
    description += std::to_string(count);
    description += "|";
    description += className;
    description += "|";
    description += title;
    return description;
}

WindowHost::WindowHost(const std::vector<std::string>& windowDescriptions, const std::wstring& program, DWORD timeoutMs)
{
    const std::wstring exe = program.empty() ? HelperProgramPath(L"window_host.exe") : program;
    std::wstring commandLine = L"\"" + exe + L"\"";
    for (const std::string& description : windowDescriptions)
        commandLine += L" " + Quote(description);

    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 1 << 16))
        return;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION info{};
    const ULONGLONG startedAt = GetTickCount64();
    BOOL started = CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                  nullptr, &startup, &info);
    const DWORD startError = GetLastError();
    CloseHandle(writeEnd);
    if (!started) {
        CloseHandle(readEnd);
        Explain("CreateProcess failed with error " + std::to_string(startError));
        return;
    }
    process_ = info.hProcess;
    processId_ = info.dwProcessId;
    CloseHandle(info.hThread);

    // The program must not outlive a test program that crashes.
    job_ = CreateJobObjectW(nullptr, nullptr);
    if (job_) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(job_, JobObjectExtendedLimitInformation, &limits, sizeof(limits));
        AssignProcessToJobObject(job_, process_);
    }

    std::string output;
    bool ended = false;
    WaitUntil(
        [&] {
            DWORD available = 0;
            if (!PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr))
                return ended = true; // the program ended
            while (available) {
                char buffer[4096];
                DWORD got = 0;
                if (!ReadFile(readEnd, buffer, std::min<DWORD>(available, sizeof(buffer)), &got, nullptr) || !got)
                    return ended = true;
                output.append(buffer, got);
                available -= got;
            }
            return output.find("ready") != std::string::npos;
        },
        timeoutMs, 5);
    CloseHandle(readEnd);

    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') // stdout is in text mode
            line.pop_back();
        if (line == "ready") {
            ready_ = true;
            break;
        }
        windows_.push_back(reinterpret_cast<HWND>(static_cast<ULONG_PTR>(std::strtoull(line.c_str(), nullptr, 16))));
    }
    if (ready_)
        return;
    // Why not: the program's end and exit code, or how long it was given,
    // with what it said meanwhile.
    DWORD exitCode = 0;
    const bool running = GetExitCodeProcess(process_, &exitCode) && exitCode == STILL_ACTIVE;
    std::string why =
        running ? "still running, silent after " : "ended with exit code " + std::to_string(exitCode) + " after ";
    why += std::to_string(GetTickCount64() - startedAt) + " ms (limit " + std::to_string(timeoutMs) + " ms";
    why += ended ? ", its output closed)" : ")";
    Explain(why + "; it wrote \"" + output + "\"");
}

void WindowHost::Explain(const std::string& why)
{
    failure_ = "window_host did not report ready: " + why;
    std::fprintf(stderr, "%s\n", failure_.c_str());
}

WindowHost::~WindowHost()
{
    Terminate();
    if (job_)
        CloseHandle(job_);
}

HWND WindowHost::OpenWindow(DWORD timeoutMs)
{
    return windows_.empty() ? nullptr : Open(windows_.front(), WM_APP + 3, 0, timeoutMs);
}

HWND WindowHost::OpenOwnedWindow(HWND owner, DWORD timeoutMs)
{
    return Open(owner, WM_APP + 4, 0, timeoutMs);
}

HWND WindowHost::OpenWindowShownLater(DWORD delayMs, DWORD timeoutMs)
{
    return windows_.empty() ? nullptr : Open(windows_.front(), WM_APP + 5, delayMs, timeoutMs);
}

bool WindowHost::MakeChildOf(HWND window, HWND parent, DWORD timeoutMs)
{
    DWORD_PTR answer = 0;
    return SendMessageTimeoutW(window, WM_APP + 6, reinterpret_cast<WPARAM>(parent), 0, SMTO_ABORTIFHUNG, timeoutMs,
                               &answer) &&
           answer != 0;
}

HWND WindowHost::Open(HWND to, UINT message, WPARAM wParam, DWORD timeoutMs)
{
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(to, message, wParam, 0, SMTO_ABORTIFHUNG, timeoutMs, &answer) || !answer)
        return nullptr;
    windows_.push_back(reinterpret_cast<HWND>(answer));
    return windows_.back();
}

void WindowHost::Hang(DWORD ms)
{
    if (!windows_.empty())
        PostMessageW(windows_.front(), WM_APP + 1, ms, 0);
}

bool WindowHost::Responds(DWORD timeoutMs) const
{
    DWORD_PTR answer = 0;
    return !windows_.empty() &&
           SendMessageTimeoutW(windows_.front(), WM_APP + 2, 0, 0, SMTO_BLOCK, timeoutMs, &answer) != 0;
}

void WindowHost::Terminate()
{
    if (!process_)
        return;
    TerminateProcess(process_, 0);
    WaitForSingleObject(process_, 5000);
    CloseHandle(process_);
    process_ = nullptr;
}

namespace {

LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

TestWindow::TestWindow(const std::wstring& className, const std::wstring& title, DWORD style, DWORD exStyle,
                       HWND parent)
{
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (!GetClassInfoExW(GetModuleHandleW(nullptr), className.c_str(), &existing)) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = TestWindowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.lpszClassName = className.c_str();
        RegisterClassExW(&wc);
    }
    window_ = CreateWindowExW(exStyle, className.c_str(), title.c_str(), style, 60, 60, 200, 100, parent, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
}

TestWindow::~TestWindow()
{
    Destroy();
}

void TestWindow::Destroy()
{
    if (window_ && IsWindow(window_))
        DestroyWindow(window_);
}

bool HasVisibleStyle(HWND window)
{
    return (GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE) != 0;
}

} // namespace testsupport
