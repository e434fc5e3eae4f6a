#include "E2eCase.h"

namespace e2e {

std::string Narrow(const std::wstring& text)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

bool AllVisible(const std::vector<HWND>& windows)
{
    for (HWND hwnd : windows)
        if (!IsWindowVisible(hwnd))
            return false;
    return true;
}

bool NoneVisible(const std::vector<HWND>& windows)
{
    for (HWND hwnd : windows)
        if (IsWindowVisible(hwnd))
            return false;
    return true;
}

namespace {

// The main dialog's pages are dialogs of their own, inside it.
int PageCount(HWND dialog)
{
    int pages = 0;
    for (HWND page = nullptr; (page = FindWindowExW(dialog, page, L"#32770", nullptr)) != nullptr;)
        ++pages;
    return pages;
}

} // namespace

CovelinCase::CovelinCase()
{
    testsupport::DeleteRawValue(HKEY_CURRENT_USER, kRunKey, kRunValue);
}

HWND CovelinCase::StartToDialog(Process& covelin, const std::wstring& workDir, const std::wstring& args)
{
    if (!covelin.Start(install.Exe(), args, workDir)) {
        ADD_FAILURE() << "Covelin.exe did not start";
        return nullptr;
    }
    HWND dialog = nullptr, box = nullptr;
    WaitUntil(
        [&] {
            box = FindMessageBox(covelin.Id());
            if (box)
                return true;
            for (HWND hwnd : WindowsOf(covelin.Id(), L"#32770", kMainCaption))
                if (IsWindowVisible(hwnd))
                    dialog = hwnd;
            return dialog != nullptr;
        },
        kStartMs);
    if (box)
        ADD_FAILURE() << "unexpected message box: " << Narrow(MessageBoxText(box));
    else if (!dialog)
        ADD_FAILURE() << "no main dialog within " << kStartMs << " ms";
    // The dialog shows with its first page and makes the other five at once
    // after: as a user's first click, a test's comes after them.
    else if (!WaitUntil([&] { return PageCount(dialog) == 6; }, kStartMs))
        ADD_FAILURE() << "the main dialog has " << PageCount(dialog) << " pages, not 6";
    return box ? nullptr : dialog;
}

void CovelinCase::ExitExpectingZero(Process& covelin, HWND dialog)
{
    PostCommand(dialog, IDCANCEL, GetDlgItem(dialog, IDCANCEL));
    const ULONGLONG pressed = GetTickCount64();
    DWORD code = 1234;
    ASSERT_TRUE(covelin.WaitExit(kExitMs, &code)) << "Covelin did not end after Exit:" << Describe(covelin.Id());
    EXPECT_EQ(0u, code);
    // The workers end within a poll or two. Covelin gives up on a stuck one
    // after a few seconds and still exits with 0, so only the time tells
    // that shutdown waited for a worker that was never going to end.
    EXPECT_LT(GetTickCount64() - pressed, 3500u) << "shutdown waited for a worker";
}

bool CovelinCase::Arm(HWND dialog)
{
    PostCommand(dialog, 3, GetDlgItem(dialog, 3));
    return WaitUntil([&] { return !IsWindowVisible(dialog); }, kActMs);
}

bool CovelinCase::WaitForDialogBack(HWND dialog)
{
    return WaitUntil([&] { return IsWindowVisible(dialog) && !IsIconic(dialog); }, kActMs);
}

DWORD CovelinCase::RunToEnd(const std::wstring& exe, const std::wstring& args, DWORD timeoutMs)
{
    Process process;
    DWORD code = 1234;
    EXPECT_TRUE(process.Start(exe, args) && process.WaitExit(timeoutMs, &code))
        << Narrow(args) << " did not end:" << Describe(process.Id());
    return code;
}

std::unique_ptr<testsupport::WindowHost> CovelinCase::StartTarget(int count)
{
    const std::string windows = testsupport::WindowsOfClass(count, Narrow(kTargetClass), "Covelin e2e target");
    auto target =
        std::make_unique<testsupport::WindowHost>(std::vector<std::string>{windows}, install.Target(), kStartMs);
    if (!target->Ready() || static_cast<int>(target->Windows().size()) != count ||
        !WaitUntil([&] { return AllVisible(target->Windows()); }, kStartMs))
        return nullptr;
    return target;
}

} // namespace e2e
