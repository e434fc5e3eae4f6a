#include "recovery/StartupRecovery.h"

#include <utility>
#include <vector>

#include "actions/NotifyArea.h"
#include "actions/Unmute.h"
#include "framework/Handles.h"
#include "framework/Log.h"
#include "recovery/HiddenMark.h"
#include "recovery/JournalFormat.h"

namespace {

// The whole journal, when it is small enough to be one.
bool ReadJournal(const std::wstring& path, std::string* bytes, bool* tooLarge)
{
    *tooLarge = false;
    const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    LARGE_INTEGER size{};
    bool ok = GetFileSizeEx(file.get(), &size) != FALSE;
    if (ok && static_cast<ULONGLONG>(size.QuadPart) > MaxJournalBytes()) {
        *tooLarge = true;
    } else if (ok) {
        bytes->assign(static_cast<size_t>(size.QuadPart), '\0');
        DWORD got = 0;
        ok = bytes->empty() || (ReadFile(file.get(), bytes->data(), static_cast<DWORD>(bytes->size()), &got, nullptr) &&
                                got == bytes->size());
    }
    return ok;
}

// Shows a window of another program without waiting for it, and takes our
// mark off it. Returns whether it had to be shown. A window that stayed in
// view and was minimised instead comes back from minimised.
bool Reveal(HWND window, bool hasMark, bool minimised = false)
{
    const bool wasHidden = minimised ? IsIconic(window) != FALSE : !IsWindowVisible(window);
    if (wasHidden)
        ShowWindowAsync(window, minimised ? SW_SHOWNOACTIVATE : SW_SHOW);
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
    MarkKey();

    HiddenRecord left;
    if (!journalPath.empty()) {
        // A replacement cut short by our death is of no use.
        DeleteFileW((journalPath + L".tmp").c_str());
        std::string bytes;
        bool tooLarge = false;
        const bool read = ReadJournal(journalPath, &bytes, &tooLarge);
        report.journalFound = read || tooLarge || GetFileAttributesW(journalPath.c_str()) != INVALID_FILE_ATTRIBUTES;
        report.journalValid = read && DecodeHiddenRecord(bytes, &left);
        report.journalLater = read && !report.journalValid && IsLaterJournalVersion(bytes);
    }

    // The side actions first, as a restore does them.
    if (report.journalValid && !left.Mute().Empty()) {
        UndoLeftMute(left.Mute());
        report.unmuted = true;
    }
    if (report.journalValid && left.notifyAreaHidden) {
        // Our icon is not up yet at start-up: the shell lays the area out
        // again when it is added.
        HideNotificationArea(false, OwnTrayIcon{});
        report.notifyAreaShown = true;
    }

    // Last hidden first, as a restore shows them.
    const ULONG_PTR writer = static_cast<ULONG_PTR>(left.writer);
    for (auto entry = left.entries.rbegin(); entry != left.entries.rend(); ++entry) {
        if (!StillTheWindowWeHid(*entry, writer)) {
            ++report.windowsSkipped;
            continue;
        }
        if (Reveal(entry->window, MarkOf(entry->window) != 0, entry->minimised))
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

    if (report.journalFound && !report.journalLater && !DeleteFileW(journalPath.c_str()))
        Log::Failure(L"Removing the journal " + journalPath);
    if (report.journalFound || report.windowsShown > 0)
        Log::Line(L"Recovery after a Covelin that ended while hiding: journal " +
                  std::wstring(!report.journalFound  ? L"absent"
                               : report.journalLater ? L"of a later version, left alone"
                               : report.journalValid ? L"read"
                                                     : L"damaged") +
                  L", " + std::to_wstring(report.windowsShown) + L" window(s) shown (" +
                  std::to_wstring(report.orphansShown) + L" by their mark alone), " +
                  std::to_wstring(report.alreadyVisible) + L" already visible, " +
                  std::to_wstring(report.windowsSkipped) + L" gone or not ours" +
                  (report.unmuted ? L", volume unmuted" : L"") +
                  (report.notifyAreaShown ? L", notification area shown" : L""));
    return report;
}
