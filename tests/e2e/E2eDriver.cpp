#include "E2eDriver.h"

#include "support/ScratchRegistry.h"
#include "support/WindowHost.h"

#include <algorithm>

namespace e2e {

std::wstring builtCovelin;

std::wstring ToWindowsPath(const std::string& path)
{
    std::wstring wide(path.size(), L'\0');
    int n = MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), wide.data(),
                                static_cast<int>(wide.size()));
    wide.resize(n > 0 ? n : 0);
    // CTest hands us the host's path; Wine shows the host's root as drive Z:.
    if (!wide.empty() && wide[0] == L'/')
        wide = L"Z:" + wide;
    std::replace(wide.begin(), wide.end(), L'/', L'\\');
    return wide;
}

std::string DefaultSettings()
{
    std::string bytes(kSettingsSize, '\0');
    bytes[kShowDialogChordAt + VK_CONTROL] = '\x80';
    bytes[kShowDialogChordAt + VK_LEFT] = '\x80';
    bytes[kToggleChordAt + VK_CONTROL] = '\x80';
    bytes[kToggleChordAt + VK_OEM_3] = '\x80';
    return bytes;
}

// --- Install -----------------------------------------------------------------

Install::Install()
{
    ok_ = CopyFileW(builtCovelin.c_str(), Exe().c_str(), FALSE) &&
          CopyFileW(testsupport::HelperProgramPath(L"window_host.exe").c_str(), Target().c_str(), FALSE);
}

bool Install::WriteSettings(const std::string& bytes) const
{
    return testsupport::WriteBytes(Settings(), bytes);
}

std::string Install::ReadSettings() const
{
    std::string bytes;
    if (!testsupport::ReadBytes(Settings(), &bytes))
        bytes.clear();
    return bytes;
}

// --- Process -----------------------------------------------------------------

Process::~Process()
{
    Kill();
}

bool Process::Start(const std::wstring& exe, const std::wstring& args, const std::wstring& workDir)
{
    Kill();
    std::wstring cmd = L"\"" + exe + L"\"";
    if (!args.empty())
        cmd += L" " + args;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        workDir.empty() ? nullptr : workDir.c_str(), &si, &pi))
        return false;
    CloseHandle(pi.hThread);
    process_ = pi.hProcess;
    pid_ = pi.dwProcessId;
    return true;
}

bool Process::Running() const
{
    return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

bool Process::WaitExit(DWORD timeoutMs, DWORD* code)
{
    if (!process_)
        return false;
    // Pumping while waiting keeps this thread answering, in case the other
    // side sends us anything broadcast.
    if (!WaitUntil([&] { return !Running(); }, timeoutMs))
        return false;
    DWORD exitCode = 0;
    GetExitCodeProcess(process_, &exitCode);
    if (code)
        *code = exitCode;
    return true;
}

void Process::Kill()
{
    if (!process_)
        return;
    if (Running()) {
        TerminateProcess(process_, 99);
        WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
    process_ = nullptr;
    pid_ = 0;
}

// --- Windows -----------------------------------------------------------------

std::wstring WindowTitle(HWND hwnd)
{
    // InternalGetWindowText does not send a message, so a busy program
    // cannot stall the driver.
    wchar_t text[256] = {};
    InternalGetWindowText(hwnd, text, 256);
    return text;
}

namespace {

bool Matches(HWND hwnd, DWORD pid, const wchar_t* className, const wchar_t* title)
{
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner != pid)
        return false;
    if (className) {
        wchar_t cls[256] = {};
        GetClassNameW(hwnd, cls, 256);
        if (wcscmp(cls, className) != 0)
            return false;
    }
    return !title || WindowTitle(hwnd) == title;
}

} // namespace

std::vector<HWND> WindowsOf(DWORD pid, const wchar_t* className, const wchar_t* title)
{
    struct Query {
        DWORD pid;
        const wchar_t* className;
        const wchar_t* title;
        std::vector<HWND> found;
    } query{pid, className, title, {}};
    EnumWindows(
        [](HWND hwnd, LPARAM param) -> BOOL {
            auto* q = reinterpret_cast<Query*>(param);
            if (Matches(hwnd, q->pid, q->className, q->title))
                q->found.push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&query));
    return query.found;
}

HWND WaitForWindow(DWORD pid, const wchar_t* className, const wchar_t* title, DWORD timeoutMs)
{
    HWND found = nullptr;
    WaitUntil(
        [&] {
            auto all = WindowsOf(pid, className, title);
            found = all.empty() ? nullptr : all.front();
            return found != nullptr;
        },
        timeoutMs);
    return found;
}

HWND WaitForMainDialog(DWORD pid, DWORD timeoutMs)
{
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND hwnd : WindowsOf(pid, L"#32770", kMainCaption))
                if (IsWindowVisible(hwnd)) {
                    found = hwnd;
                    return true;
                }
            return false;
        },
        timeoutMs);
    return found;
}

std::vector<HWND> ZOrderOf(DWORD pid, const wchar_t* className)
{
    std::vector<HWND> order;
    for (HWND hwnd = GetTopWindow(nullptr); hwnd; hwnd = GetWindow(hwnd, GW_HWNDNEXT))
        if (IsWindowVisible(hwnd) && Matches(hwnd, pid, className, nullptr))
            order.push_back(hwnd);
    return order;
}

HWND FindControl(HWND parent, int id, const wchar_t* text)
{
    struct Query {
        int id;
        const wchar_t* text;
        HWND found;
    } query{id, text, nullptr};
    EnumChildWindows(
        parent,
        [](HWND hwnd, LPARAM param) -> BOOL {
            auto* q = reinterpret_cast<Query*>(param);
            if (GetDlgCtrlID(hwnd) != q->id)
                return TRUE;
            if (q->text && WindowTitle(hwnd) != q->text)
                return TRUE;
            q->found = hwnd;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&query));
    return query.found;
}

void PostCommand(HWND window, int id, HWND control)
{
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
}

std::string Describe(DWORD pid)
{
    std::wstring text;
    for (HWND hwnd : WindowsOf(pid, nullptr, nullptr)) {
        wchar_t cls[128] = {};
        GetClassNameW(hwnd, cls, 128);
        text += L"\n  [" + std::wstring(cls) + L"] \"" + WindowTitle(hwnd) + L"\"" +
                (IsWindowVisible(hwnd) ? L" visible" : L" hidden");
        if (wcscmp(cls, L"#32770") == 0 && WindowTitle(hwnd) == kAppCaption)
            text += L": " + MessageBoxText(hwnd);
    }
    std::string out(text.size() * 3 + 1, '\0');
    out.resize(
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), static_cast<int>(out.size()), nullptr, nullptr));
    if (!out.empty())
        out.pop_back();
    return out.empty() ? std::string("\n  (no windows)") : out;
}

// --- Message boxes -----------------------------------------------------------

HWND FindMessageBox(DWORD pid)
{
    for (HWND hwnd : WindowsOf(pid, L"#32770", kAppCaption))
        if (IsWindowVisible(hwnd))
            return hwnd;
    return nullptr;
}

HWND WaitForMessageBox(DWORD pid, DWORD timeoutMs)
{
    HWND box = nullptr;
    WaitUntil(
        [&] {
            box = FindMessageBox(pid);
            return box != nullptr;
        },
        timeoutMs);
    return box;
}

std::wstring MessageBoxText(HWND box)
{
    std::wstring text;
    EnumChildWindows(
        box,
        [](HWND hwnd, LPARAM param) -> BOOL {
            wchar_t cls[64] = {};
            GetClassNameW(hwnd, cls, 64);
            if (_wcsicmp(cls, L"Static") != 0)
                return TRUE;
            wchar_t buffer[512] = {};
            DWORD_PTR got = 0;
            SendMessageTimeoutW(hwnd, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 2000, &got);
            auto* out = reinterpret_cast<std::wstring*>(param);
            if (buffer[0]) {
                if (!out->empty())
                    *out += L"\n";
                *out += buffer;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&text));
    return text;
}

bool DismissMessageBox(HWND box)
{
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    return WaitUntil([&] { return !IsWindow(box); }, kActMs);
}

bool ExpectMessageBox(DWORD pid, const std::wstring& text, std::wstring* seen, DWORD timeoutMs)
{
    HWND box = WaitForMessageBox(pid, timeoutMs);
    if (!box) {
        if (seen)
            *seen = L"(no message box)";
        return false;
    }
    std::wstring shown = MessageBoxText(box);
    if (seen)
        *seen = shown;
    bool dismissed = DismissMessageBox(box);
    return shown == text && dismissed;
}

// --- Registry ----------------------------------------------------------------

std::vector<std::wstring> ReadFileList()
{
    std::vector<std::wstring> list;
    std::wstring path;
    while (testsupport::GetRawText(HKEY_CURRENT_USER, kFilesKey, L"file_" + std::to_wstring(list.size()), &path))
        list.push_back(path);
    return list;
}

void WriteFileList(const std::vector<std::wstring>& paths)
{
    RegDeleteTreeW(HKEY_CURRENT_USER, kFilesKey);
    for (size_t i = 0; i < paths.size(); ++i)
        testsupport::SetRawText(HKEY_CURRENT_USER, kFilesKey, L"file_" + std::to_wstring(i), paths[i]);
}

std::wstring Lower(std::wstring text)
{
    if (!text.empty())
        CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

std::wstring Upper(std::wstring text)
{
    if (!text.empty())
        CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

} // namespace e2e
