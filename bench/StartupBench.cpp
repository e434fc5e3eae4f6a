// From a process's start to its main dialog on screen: Covelin against a bare
// program that shows a dialog built from Covelin's own main template, each
// started afresh in the same prefix, alternately.
#include "Bench.h"
#include "Programs.h"

#include <commctrl.h>

#include <cstdio>
#include <functional>

#include "ui/res/resource.h"

using namespace bench;

namespace {

constexpr int kRuns = 11;

// Milliseconds from CreateProcess to a visible dialog of the new process with
// the main caption; negative when it did not come within 15 s. The process
// is ended afterwards (it owns the single-instance pipe).
double TimeToDialog(const std::wstring& commandLine, const std::wstring& dir)
{
    Child child;
    const double start = NowMs();
    if (!child.Start(commandLine, dir))
        return -1;
    const double deadline = start + 15000;
    // One question to the window manager a millisecond, not a walk over
    // every window: the polling must not slow the start it measures.
    while (NowMs() < deadline) {
        HWND found = FindWindowW(L"#32770", kMainCaption);
        DWORD owner = 0;
        if (found && GetWindowThreadProcessId(found, &owner) && owner == child.info.dwProcessId &&
            IsWindowVisible(found))
            return NowMs() - start;
        Sleep(1);
    }
    return -1;
}

} // namespace

namespace bench {

// "--bare-template-dialog": the main dialog's template with the common
// controls it needs, and nothing behind it.
int RunBareTemplateDialog()
{
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES;
    InitCommonControlsEx(&controls);
    return static_cast<int>(DialogBoxParamW(
        GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_COVELIN_DIALOG), nullptr,
        [](HWND, UINT message, WPARAM, LPARAM) -> INT_PTR { return message == WM_INITDIALOG; }, 0));
}

} // namespace bench

BENCH_SECTION("startup", "process start to main dialog shown, against a bare dialog from the same template")
{
    const std::wstring scratch = ScratchPath(L"covelin-startup-bench");
    const std::wstring exe = InstallCovelin(scratch, true);
    if (exe.empty()) {
        std::printf("  could not copy Covelin.exe (build it first)\n");
        return;
    }
    const std::wstring covelin = L"\"" + exe + L"\"";
    const std::wstring bare = L"\"" + OwnPath() + L"\" --bare-template-dialog";
    std::vector<double> ours, floor;
    bool failed = false;
    // One of each first, not counted: the first start of a program pays for
    // reading it from disk.
    TimeToDialog(covelin, scratch);
    TimeToDialog(bare, L"");
    for (int i = 0; i < kRuns && !failed; ++i) {
        const double a = TimeToDialog(covelin, scratch);
        const double b = TimeToDialog(bare, L"");
        failed = a < 0 || b < 0;
        ours.push_back(a);
        floor.push_back(b);
    }
    if (failed) {
        std::printf("  a dialog did not appear within 15 s\n");
        return;
    }
    Report("bare dialog from the main template", floor);
    Report("Covelin to its main dialog", ours);
    Ratio("start-up / bare dialog (medians)", Median(ours), Median(floor), 1.5);
    Ratio("start-up / bare dialog (minima)", Minimum(ours), Minimum(floor), 1.5);
}
