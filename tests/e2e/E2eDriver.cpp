#include "E2eDriver.h"

#include "support/Keyboard.h"
#include "support/Wait.h"

#include <algorithm>

namespace e2e {

std::wstring builtCovelin;
std::wstring builtSetup;

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

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs)
{
    return testsupport::WaitUntil(condition, timeoutMs, 10);
}

// --- Install -----------------------------------------------------------------

namespace {

std::wstring OwnDirectory()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring text = path;
    return text.substr(0, text.find_last_of(L'\\') + 1);
}

} // namespace

Install::Install()
{
    ok_ = CopyFileW(builtCovelin.c_str(), Exe().c_str(), FALSE) &&
          CopyFileW((OwnDirectory() + L"e2e_target.exe").c_str(), Target().c_str(), FALSE);
}

bool Install::WriteSettings(const std::string& bytes) const { return testsupport::WriteBytes(Settings(), bytes); }

std::string Install::ReadSettings() const
{
    std::string bytes;
    if (!testsupport::ReadBytes(Settings(), &bytes))
        bytes.clear();
    return bytes;
}

// --- Process -----------------------------------------------------------------

Process::~Process() { Kill(); }

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

bool Process::Running() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

bool Process::WaitExit(DWORD timeoutMs, DWORD* code)
{
    if (!process_)
        return false;
    // Pumping while waiting keeps this thread answering, in case the other
    // side sends us anything broadcast.
    if (!WaitFor([&] { return !Running(); }, timeoutMs))
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
    WaitFor(
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
    WaitFor(
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
    out.resize(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), static_cast<int>(out.size()), nullptr,
                                   nullptr));
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
    WaitFor(
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
            SendMessageTimeoutW(hwnd, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 2000,
                                &got);
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
    return WaitFor([&] { return !IsWindow(box); }, kActMs);
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

// --- Keys --------------------------------------------------------------------

void SendKeys(const std::vector<WORD>& keys, bool up)
{
    std::vector<INPUT> inputs;
    for (size_t i = 0; i < keys.size(); ++i) {
        WORD vk = up ? keys[keys.size() - 1 - i] : keys[i];
        INPUT in{};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = vk;
        in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
        if (vk == VK_LEFT || vk == VK_RIGHT || vk == VK_UP || vk == VK_DOWN)
            in.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
        if (up)
            in.ki.dwFlags |= KEYEVENTF_KEYUP;
        inputs.push_back(in);
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

namespace {

// Wine passes injected keys on (and so into the key state that Covelin
// polls) only while the desktop has a visible foreground window. When the
// windows in front are hidden, a small window of ours takes the foreground.
void EnsureKeyboardFocus()
{
    static testsupport::ForegroundWindow* keyWindow = nullptr;
    HWND front = GetForegroundWindow();
    if (front && IsWindowVisible(front))
        return;
    if (!keyWindow)
        keyWindow = new testsupport::ForegroundWindow; // lives to the end of the run
    else
        SetForegroundWindow(keyWindow->Handle());
}

} // namespace

bool HoldChordUntil(const std::vector<WORD>& keys, const std::function<bool()>& done, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    bool held = false;
    for (;;) {
        EnsureKeyboardFocus();
        SendKeys(keys, false);
        testsupport::PumpMessages();
        if (done()) {
            held = true;
            break;
        }
        if (GetTickCount64() >= deadline)
            break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 30, QS_ALLINPUT);
    }
    EnsureKeyboardFocus();
    SendKeys(keys, true);
    return held;
}

// --- Registry ----------------------------------------------------------------

namespace {

constexpr wchar_t kFilesKey[] = L"Software\\Tessary\\Covelin\\Files";
constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kRunValue[] = L"Covelin";

std::vector<std::pair<std::wstring, std::wstring>> ReadAllStrings(const wchar_t* path)
{
    std::vector<std::pair<std::wstring, std::wstring>> values;
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return values;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLen = 256, type = 0;
        BYTE data[4096];
        DWORD size = sizeof data - sizeof(wchar_t);
        if (RegEnumValueW(key, i, name, &nameLen, nullptr, &type, data, &size) != ERROR_SUCCESS)
            break;
        if (type != REG_SZ)
            continue;
        data[size] = 0;
        data[size + 1] = 0;
        values.emplace_back(name, reinterpret_cast<const wchar_t*>(data));
    }
    RegCloseKey(key);
    return values;
}

void WriteString(HKEY key, const std::wstring& name, const std::wstring& value)
{
    RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

void ReplaceFilesKey(const std::vector<std::pair<std::wstring, std::wstring>>& values)
{
    RegDeleteKeyW(HKEY_CURRENT_USER, kFilesKey);
    if (values.empty())
        return;
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kFilesKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    for (const auto& [name, value] : values)
        WriteString(key, name, value);
    RegCloseKey(key);
}

} // namespace

RegistryGuard::RegistryGuard()
{
    files_ = ReadAllStrings(kFilesKey);
    ReplaceFilesKey({});
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_READ | KEY_WRITE, &key) == ERROR_SUCCESS) {
        DWORD size = 0;
        if (RegQueryValueExW(key, kRunValue, nullptr, &runType_, nullptr, &size) == ERROR_SUCCESS) {
            run_.resize(size);
            hadRun_ = RegQueryValueExW(key, kRunValue, nullptr, &runType_, run_.data(), &size) == ERROR_SUCCESS;
            RegDeleteValueW(key, kRunValue);
        }
        RegCloseKey(key);
    }
}

RegistryGuard::~RegistryGuard()
{
    ReplaceFilesKey(files_);
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) ==
        ERROR_SUCCESS) {
        if (hadRun_)
            RegSetValueExW(key, kRunValue, 0, runType_, run_.data(), static_cast<DWORD>(run_.size()));
        else
            RegDeleteValueW(key, kRunValue);
        RegCloseKey(key);
    }
}

std::vector<std::wstring> ReadFileList()
{
    std::vector<std::wstring> list;
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kFilesKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return list;
    for (int i = 0;; ++i) {
        std::wstring name = L"file_" + std::to_wstring(i);
        wchar_t data[1024] = {};
        DWORD size = sizeof data - sizeof(wchar_t), type = 0;
        if (RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data), &size) !=
                ERROR_SUCCESS ||
            type != REG_SZ)
            break;
        list.push_back(data);
    }
    RegCloseKey(key);
    return list;
}

void WriteFileList(const std::vector<std::wstring>& paths)
{
    std::vector<std::pair<std::wstring, std::wstring>> values;
    for (size_t i = 0; i < paths.size(); ++i)
        values.emplace_back(L"file_" + std::to_wstring(i), paths[i]);
    ReplaceFilesKey(values);
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
