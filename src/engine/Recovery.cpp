#include "engine/Recovery.h"

#include <cstdlib>
#include <exception>
#include <mutex>

#include "engine/Hiding.h"
#include "engine/NotifyArea.h"
#include "engine/SettingFile.h"
#include "engine/Volume.h"
#include "system/ProcessInfo.h"

HiddenJournal hiddenJournal;

// ---- the journal's format ------------------------------------------------------------
//
// Little-endian, fixed layout:
//   0  "CVHJ"                     4  version (1)
//   8  flags: 1 volume muted, 2 notification area hidden
//   12 saved wave volume          16 writer's mark (8 bytes)
//   24 number of entries          28 zero
//   32 entries of 24 bytes: window handle (8), process id (4),
//      entry flags (4: 1 = the window was marked), process creation time (8)
//   then a 32-bit FNV-1a checksum of everything before it.

namespace {

constexpr char kMagic[4] = {'C', 'V', 'H', 'J'};
constexpr DWORD kVersion = 1;
constexpr DWORD kFlagVolumeMuted = 1;
constexpr DWORD kFlagNotifyAreaHidden = 2;
constexpr DWORD kKnownFlags = kFlagVolumeMuted | kFlagNotifyAreaHidden;
constexpr DWORD kEntryMarked = 1;
constexpr size_t kHeaderSize = 32;
constexpr size_t kEntrySize = 24;
constexpr size_t kChecksumSize = 4;
// Far more windows than one desktop holds; a count beyond it is damage.
constexpr DWORD kMaxEntries = 65536;
constexpr size_t kMaxJournalBytes = kHeaderSize + kMaxEntries * kEntrySize + kChecksumSize;

void Put32(std::string& out, DWORD value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void Put64(std::string& out, ULONGLONG value)
{
    Put32(out, static_cast<DWORD>(value & 0xFFFFFFFFu));
    Put32(out, static_cast<DWORD>(value >> 32));
}

DWORD Get32(const std::string& in, size_t at)
{
    DWORD value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(in[at + static_cast<size_t>(i)]);
    return value;
}

ULONGLONG Get64(const std::string& in, size_t at)
{
    return (static_cast<ULONGLONG>(Get32(in, at + 4)) << 32) | Get32(in, at);
}

DWORD Checksum(const std::string& bytes, size_t length)
{
    DWORD hash = 2166136261u;
    for (size_t i = 0; i < length; ++i) {
        hash ^= static_cast<unsigned char>(bytes[i]);
        hash *= 16777619u;
    }
    return hash;
}

} // namespace

std::string EncodeHiddenRecord(const HiddenRecord& record)
{
    std::string out;
    out.reserve(kHeaderSize + record.entries.size() * kEntrySize + kChecksumSize);
    out.append(kMagic, sizeof kMagic);
    Put32(out, kVersion);
    Put32(out, (record.volumeMuted ? kFlagVolumeMuted : 0) | (record.notifyAreaHidden ? kFlagNotifyAreaHidden : 0));
    Put32(out, record.savedWaveVolume);
    Put64(out, record.writer);
    Put32(out, static_cast<DWORD>(record.entries.size()));
    Put32(out, 0);
    for (const HiddenEntry& entry : record.entries) {
        Put64(out, static_cast<ULONGLONG>(reinterpret_cast<ULONG_PTR>(entry.window)));
        Put32(out, entry.processId);
        Put32(out, entry.marked ? kEntryMarked : 0);
        Put64(out, entry.processCreated);
    }
    Put32(out, Checksum(out, out.size()));
    return out;
}

bool DecodeHiddenRecord(const std::string& bytes, HiddenRecord* record)
{
    if (bytes.size() < kHeaderSize + kChecksumSize || bytes.size() > kMaxJournalBytes)
        return false;
    if (bytes.compare(0, sizeof kMagic, kMagic, sizeof kMagic) != 0 || Get32(bytes, 4) != kVersion)
        return false;
    const DWORD flags = Get32(bytes, 8);
    const DWORD count = Get32(bytes, 24);
    if ((flags & ~kKnownFlags) != 0 || Get32(bytes, 28) != 0 || count > kMaxEntries)
        return false;
    const size_t body = kHeaderSize + static_cast<size_t>(count) * kEntrySize;
    if (bytes.size() != body + kChecksumSize || Get32(bytes, body) != Checksum(bytes, body))
        return false;

    HiddenRecord decoded;
    decoded.volumeMuted = (flags & kFlagVolumeMuted) != 0;
    decoded.notifyAreaHidden = (flags & kFlagNotifyAreaHidden) != 0;
    decoded.savedWaveVolume = Get32(bytes, 12);
    decoded.writer = Get64(bytes, 16);
    decoded.entries.reserve(count);
    for (size_t at = kHeaderSize; at < body; at += kEntrySize) {
        const ULONGLONG handle = Get64(bytes, at);
        const DWORD entryFlags = Get32(bytes, at + 12);
        // A handle that does not fit this build, or a flag we never write.
        if (handle != static_cast<ULONG_PTR>(handle) || (entryFlags & ~kEntryMarked) != 0)
            return false;
        HiddenEntry entry;
        entry.window = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(handle));
        entry.processId = Get32(bytes, at + 8);
        entry.marked = (entryFlags & kEntryMarked) != 0;
        entry.processCreated = Get64(bytes, at + 16);
        decoded.entries.push_back(entry);
    }
    *record = std::move(decoded);
    return true;
}

// ---- marks and process identity --------------------------------------------------------

namespace {

// The mark's property is named by one global atom. The atom is added once
// per process and never deleted: the windows that carry the mark keep
// their property under that atom after we are gone, and the next instance
// must find the same atom by the same name.
ATOM markAtom = 0;

ATOM MarkAtom()
{
    static const ATOM atom = [] {
        ATOM added = GlobalAddAtomW(kHiddenMarkName);
        markAtom = added;
        return added;
    }();
    return atom;
}

LPCWSTR MarkKey()
{
    return MAKEINTATOM(MarkAtom());
}

// A 64-bit build keeps the low half of the creation time beside the process
// id; a 32-bit build has room for the id only.
ULONG_PTR MakeToken(DWORD processId, ULONGLONG created)
{
    const ULONGLONG token = (static_cast<ULONGLONG>(created & 0xFFFFFFFFu) << 32) | processId;
    return static_cast<ULONG_PTR>(token);
}

bool OpenForQuery(DWORD processId, HANDLE* process)
{
    *process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    return *process != nullptr;
}

ULONGLONG CreationTimeOf(HANDLE process)
{
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user))
        return 0;
    return (static_cast<ULONGLONG>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

// Whether the instance that put `token` on a window still runs: then the
// window is its business, not ours.
bool MarkerRuns(ULONG_PTR token)
{
    const DWORD processId = static_cast<DWORD>(static_cast<ULONGLONG>(token) & 0xFFFFFFFFu);
    HANDLE process = nullptr;
    if (processId == 0 || !OpenForQuery(processId, &process))
        return false;
    DWORD exitCode = 0;
    const bool running = GetExitCodeProcess(process, &exitCode) && exitCode == STILL_ACTIVE;
    const ULONG_PTR now = MakeToken(processId, CreationTimeOf(process));
    CloseHandle(process);
    return running && now == token;
}

} // namespace

ULONG_PTR MarkTokenOf(DWORD processId)
{
    const ULONGLONG created = ProcessCreationTime(processId);
    return created == 0 ? 0 : MakeToken(processId, created);
}

ULONG_PTR MarkToken()
{
    static const ULONG_PTR token = [] {
        ULONG_PTR own = MarkTokenOf(GetCurrentProcessId());
        return own != 0 ? own : MakeToken(GetCurrentProcessId(), 0);
    }();
    return token;
}

ULONG_PTR MarkOf(HWND window)
{
    return reinterpret_cast<ULONG_PTR>(GetPropW(window, MarkKey()));
}

// ---- the running instance's journal ------------------------------------------------------

HiddenJournal::HiddenJournal() : token_(0) {}

HiddenJournal::HiddenJournal(ULONG_PTR token) : token_(token) {}

void HiddenJournal::Open(const std::wstring& path)
{
    path_ = path;
    if (token_ == 0)
        token_ = MarkToken();
    MarkAtom(); // now, not first in a fault handler
    record_ = HiddenRecord{};
    record_.writer = token_;
    created_.clear();
    dirty_ = false;
    onDisk_ = false;
    faultCount_.store(0);
}

void HiddenJournal::NoteHiding(HWND window)
{
    if (!Active() || window == nullptr)
        return;
    // One hide can reach a window twice (chosen, and in a chosen process):
    // it is listed, and shown again, once.
    for (const HiddenEntry& known : record_.entries)
        if (known.window == window)
            return;

    HiddenEntry entry;
    entry.window = window;
    GetWindowThreadProcessId(window, &entry.processId);
    auto cached = std::find_if(created_.begin(), created_.end(),
                               [&](const auto& item) { return item.first == entry.processId; });
    if (cached == created_.end())
        cached = created_.insert(created_.end(), {entry.processId, ProcessCreationTime(entry.processId)});
    entry.processCreated = cached->second;
    entry.marked = SetPropW(window, MarkKey(), reinterpret_cast<HANDLE>(token_)) != FALSE;

    record_.entries.push_back(entry);
    dirty_ = true;

    const LONG slot = faultCount_.load();
    if (slot < kFaultViewSize) {
        faultView_[slot] = window;
        faultCount_.store(slot + 1);
    }
}

void HiddenJournal::NoteSideActions(bool volumeMuted, DWORD savedWaveVolume, bool notifyAreaHidden)
{
    if (!Active())
        return;
    if (record_.volumeMuted == volumeMuted && record_.savedWaveVolume == savedWaveVolume &&
        record_.notifyAreaHidden == notifyAreaHidden)
        return;
    record_.volumeMuted = volumeMuted;
    record_.savedWaveVolume = savedWaveVolume;
    record_.notifyAreaHidden = notifyAreaHidden;
    dirty_ = true;
}

bool HiddenJournal::Save()
{
    if (!Active())
        return false;
    if (!dirty_)
        return true;
    if (Empty()) {
        if (onDisk_ && !DeleteFileW(path_.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND)
            return false;
        onDisk_ = false;
        dirty_ = false;
        return true;
    }

    // Written beside the journal and moved over it in one step: whoever
    // reads the journal (the next instance, after we died at any moment)
    // finds the old one or the new one, never half of either. Flushing to
    // the disk itself would buy nothing: what the journal names does not
    // outlive a power cut anyway.
    const std::string bytes = EncodeHiddenRecord(record_);
    const std::wstring temporary = path_ + L".tmp";
    HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool complete = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                          written == bytes.size();
    CloseHandle(file);
    if (!complete ||
        !MoveFileExW(temporary.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(temporary.c_str());
        return false; // still dirty: the next Save tries again
    }
    onDisk_ = true;
    dirty_ = false;
    return true;
}

void HiddenJournal::Clear()
{
    if (!Active())
        return;
    faultCount_.store(0);
    for (const HiddenEntry& entry : record_.entries) {
        // Only our own mark: another program may have marked it since.
        if (entry.marked && IsWindow(entry.window) && MarkOf(entry.window) == token_)
            RemovePropW(entry.window, MarkKey());
    }
    record_ = HiddenRecord{};
    record_.writer = token_;
    created_.clear();
    dirty_ = false;
    if (onDisk_ && (DeleteFileW(path_.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND))
        onDisk_ = false;
}

int HiddenJournal::ShowForFault()
{
    // The atom was taken when the journal was opened; asking for it here
    // would only read the static.
    const ATOM atom = markAtom;
    const LONG count = faultCount_.exchange(0);
    if (atom == 0)
        return 0;
    int shown = 0;
    for (LONG i = (count < kFaultViewSize ? count : kFaultViewSize) - 1; i >= 0; --i) {
        HWND window = faultView_[i];
        if (!IsWindow(window) || reinterpret_cast<ULONG_PTR>(GetPropW(window, MAKEINTATOM(atom))) != token_)
            continue;
        ShowWindowAsync(window, SW_SHOW);
        RemovePropW(window, MAKEINTATOM(atom));
        ++shown;
    }
    return shown;
}

// ---- undoing a mute -------------------------------------------------------------------------

namespace {

DWORD WINAPI UnmuteThread(LPVOID)
{
    SetVolumeMute(false);
    return 0;
}

bool RunUnmute(DWORD timeoutMs)
{
    HANDLE thread = CreateThread(nullptr, 0, UnmuteThread, nullptr, 0, nullptr);
    if (thread == nullptr)
        return false;
    const bool finished = WaitForSingleObject(thread, timeoutMs) == WAIT_OBJECT_0;
    CloseHandle(thread);
    return finished;
}

} // namespace

bool UndoOwnMute(DWORD timeoutMs)
{
    if (!muted)
        return true;
    return RunUnmute(timeoutMs);
}

bool UndoLeftMute(DWORD savedWaveVolume, DWORD timeoutMs)
{
    // Take over the dead instance's state, so the one unmute path does it.
    ::savedWaveVolume = savedWaveVolume;
    muted = 1;
    const bool finished = RunUnmute(timeoutMs);
    // What could not be undone now cannot be undone later either: this
    // instance has muted nothing.
    if (finished)
        muted = 0;
    return finished;
}

// ---- start-up recovery ------------------------------------------------------------------------

namespace {

// The whole journal, when it is small enough to be one.
bool ReadJournal(const std::wstring& path, std::string* bytes, bool* tooLarge)
{
    *tooLarge = false;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size{};
    bool ok = GetFileSizeEx(file, &size) != FALSE;
    if (ok && static_cast<ULONGLONG>(size.QuadPart) > kMaxJournalBytes) {
        *tooLarge = true;
    } else if (ok) {
        bytes->assign(static_cast<size_t>(size.QuadPart), '\0');
        DWORD got = 0;
        ok = bytes->empty() ||
             (ReadFile(file, bytes->data(), static_cast<DWORD>(bytes->size()), &got, nullptr) && got == bytes->size());
    }
    CloseHandle(file);
    return ok;
}

// Shows a window of another program without waiting for it, and takes our
// mark off it. Returns whether it had to be shown.
bool Reveal(HWND window, bool hasMark)
{
    const bool wasHidden = !IsWindowVisible(window);
    if (wasHidden)
        ShowWindowAsync(window, SW_SHOW);
    if (hasMark)
        RemovePropW(window, MarkKey());
    return wasHidden;
}

// Whether a listed window is still the one that was hidden.
bool StillTheWindowWeHid(const HiddenEntry& entry, ULONG_PTR writer)
{
    if (entry.window == nullptr || !IsWindow(entry.window))
        return false;
    DWORD processId = 0;
    GetWindowThreadProcessId(entry.window, &processId);
    if (processId != entry.processId)
        return false;
    if (entry.processCreated != 0 && ProcessCreationTime(processId) != entry.processCreated)
        return false;
    const ULONG_PTR mark = MarkOf(entry.window);
    if (entry.marked)
        return writer != 0 && mark == writer;
    // The mark could not be put on it: the process's identity must then be
    // certain, and nobody else may have marked the window since.
    return entry.processCreated != 0 && (mark == 0 || mark == writer);
}

struct MarkedWindows {
    std::vector<std::pair<HWND, ULONG_PTR>> found;
};

BOOL CALLBACK CollectMarked(HWND window, LPARAM parameter)
{
    const ULONG_PTR mark = MarkOf(window);
    if (mark != 0)
        reinterpret_cast<MarkedWindows*>(parameter)->found.emplace_back(window, mark);
    return TRUE;
}

} // namespace

RecoveryReport RecoverLeftHiddenWindows(const std::wstring& journalPath)
{
    RecoveryReport report;
    MarkAtom();

    HiddenRecord left;
    if (!journalPath.empty()) {
        // A replacement cut short by our death is of no use.
        DeleteFileW((journalPath + L".tmp").c_str());
        std::string bytes;
        bool tooLarge = false;
        const bool read = ReadJournal(journalPath, &bytes, &tooLarge);
        report.journalFound = read || tooLarge || GetFileAttributesW(journalPath.c_str()) != INVALID_FILE_ATTRIBUTES;
        report.journalValid = read && DecodeHiddenRecord(bytes, &left);
    }

    // The side actions first, as a restore does them.
    if (report.journalValid && left.volumeMuted) {
        UndoLeftMute(left.savedWaveVolume);
        report.unmuted = true;
    }
    if (report.journalValid && left.notifyAreaHidden) {
        HideNotificationArea(false);
        report.notifyAreaShown = true;
    }

    // Last hidden first, as a restore shows them.
    const ULONG_PTR writer = static_cast<ULONG_PTR>(left.writer);
    for (auto entry = left.entries.rbegin(); entry != left.entries.rend(); ++entry) {
        if (!StillTheWindowWeHid(*entry, writer)) {
            ++report.windowsSkipped;
            continue;
        }
        if (Reveal(entry->window, MarkOf(entry->window) != 0))
            ++report.windowsShown;
        else
            ++report.alreadyVisible;
    }

    // Windows that carry the mark of an instance that no longer runs, and
    // that the journal did not name (it was damaged, or the instance died
    // between hiding them and writing it). The mark lives and dies with the
    // window, so it can only be on a window that instance hid.
    MarkedWindows marked;
    EnumWindows(CollectMarked, reinterpret_cast<LPARAM>(&marked));
    for (const auto& [window, mark] : marked.found) {
        if (mark == MarkToken() || MarkerRuns(mark))
            continue;
        if (Reveal(window, true)) {
            ++report.windowsShown;
            ++report.orphansShown;
        }
    }

    if (report.journalFound)
        DeleteFileW(journalPath.c_str());
    return report;
}

// ---- the end of the session ----------------------------------------------------------------

int RestoreForSessionEnd()
{
    std::lock_guard<CCriticalSection> guard(engineLock);
    if (hiddenStack.IsEmpty() && hiddenJournal.Empty())
        return 0;
    // As the engine's restore does it: the volume, the notification area,
    // then the windows, last hidden first. The engine still thinks it is
    // hiding; its next toggle restores an empty stack.
    UndoOwnMute();
    if (hiddenJournal.Record().notifyAreaHidden)
        HideNotificationArea(false);
    const int shown = RestoreHidden();
    hiddenJournal.Clear();
    return shown;
}

namespace {

HWND sessionGuardWindow = nullptr;

LRESULT CALLBACK SessionGuardProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_QUERYENDSESSION:
        // Before anyone is asked whether the session may end: a window the
        // user cannot see cannot ask to save its work.
        RestoreForSessionEnd();
        return TRUE;
    case WM_ENDSESSION:
        if (wParam)
            RestoreForSessionEnd();
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace

HWND CreateSessionGuardWindow()
{
    if (sessionGuardWindow != nullptr)
        return sessionGuardWindow;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = SessionGuardProc;
    wc.hInstance = instance;
    wc.lpszClassName = kSessionGuardClass;
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return nullptr;
    // A real top-level window, never shown: the system asks every top-level
    // window about the end of the session (a message-only window is not asked).
    sessionGuardWindow = CreateWindowExW(WS_EX_TOOLWINDOW, kSessionGuardClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr,
                                         nullptr, instance, nullptr);
    return sessionGuardWindow;
}

void DestroySessionGuardWindow()
{
    if (sessionGuardWindow != nullptr) {
        DestroyWindow(sessionGuardWindow);
        sessionGuardWindow = nullptr;
    }
}

// ---- faults ------------------------------------------------------------------------------------

namespace {

LPTOP_LEVEL_EXCEPTION_FILTER previousFilter = nullptr;
std::terminate_handler previousTerminate = nullptr;
std::atomic<bool> inFaultHandler{false};

void ShowHiddenBeforeDying()
{
    // A fault inside this very handler comes back here: it must not loop.
    if (inFaultHandler.exchange(true))
        return;
    hiddenJournal.ShowForFault();
    inFaultHandler.store(false);
}

[[noreturn]] void RestoreHiddenOnTerminate()
{
    ShowHiddenBeforeDying();
    if (previousTerminate != nullptr)
        previousTerminate();
    std::abort();
}

} // namespace

LONG WINAPI RestoreHiddenOnFault(EXCEPTION_POINTERS* pointers)
{
    ShowHiddenBeforeDying();
    return previousFilter != nullptr ? previousFilter(pointers) : EXCEPTION_CONTINUE_SEARCH;
}

void InstallFaultGuard()
{
    MarkAtom();
    LPTOP_LEVEL_EXCEPTION_FILTER previous = SetUnhandledExceptionFilter(RestoreHiddenOnFault);
    if (previous != RestoreHiddenOnFault)
        previousFilter = previous;
    std::terminate_handler terminate = std::set_terminate(RestoreHiddenOnTerminate);
    if (terminate != RestoreHiddenOnTerminate)
        previousTerminate = terminate;
}

// ---- start-up ------------------------------------------------------------------------------------

RecoveryReport StartHiddenWindowGuard()
{
    const std::wstring path = moduleDirectory.empty() ? std::wstring() : moduleDirectory + kHiddenJournalName;
    RecoveryReport report = RecoverLeftHiddenWindows(path);
    hiddenJournal.Open(path);
    CreateSessionGuardWindow();
    InstallFaultGuard();
    return report;
}
