// The Executable Files page, with the open-file dialog replaced by a script
// of answers (the chooser seam), so that no modal system dialog is needed.
#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <optional>
#include <thread>
#include <vector>

#include "ListPageSupport.h"
#include "choices/HideSets.h"
#include "framework/FileDialog.h"
#include "framework/FileSystem.h"
#include "support/ScratchDir.h"
#include "support/Wait.h"
#include "support/WindowHost.h"
#include "system/OwnProcess.h"
#include "ui/FileDlg.h"
#include "ui/TestProgram.h"

using namespace listpage;

namespace {

class FilePage : public ::testing::Test {
protected:
    void SetUp() override
    {
        Program().choices.hideFileSet.RemoveAll();
        savedOwnPath_ = Program().home.ownExecutablePath;
        Program().home.ownExecutablePath = UpperCasePath(OwnModulePath());
        SetFileDialogChooser([this](const FileDialogRequest& request, std::wstring& path) {
            requests.push_back(request);
            if (answers.empty())
                return false;
            std::optional<std::wstring> answer = answers.front();
            answers.pop_front();
            if (!answer)
                return false;
            path = *answer;
            return true;
        });
    }

    void TearDown() override
    {
        SetFileDialogChooser(nullptr);
        Program().choices.hideFileSet.RemoveAll();
        Program().home.ownExecutablePath = savedOwnPath_;
    }

    void Open() { ASSERT_TRUE(host.Open(page, IDD_FILE_PAGE)); }

    // A file in the scratch directory; its content does not matter.
    std::wstring MakeFile(const std::wstring& name)
    {
        std::wstring path = scratch.File(name);
        EXPECT_TRUE(testsupport::WriteBytes(path, "MZ"));
        return path;
    }

    // The page adds `path` (as the dialog would return it).
    void Add(const std::wstring& path)
    {
        answers.push_back(path);
        ClickButton(page, IDC_ADD_FILE);
    }

    std::vector<std::wstring> SetTexts()
    {
        std::vector<std::wstring> texts;
        for (const std::wstring* path : Program().choices.hideFileSet)
            texts.push_back(path != nullptr ? *path : L"<null>");
        return texts;
    }

    // Rows and elements pair by index, and so do rows and images.
    void ExpectPaired()
    {
        EXPECT_EQ(RowTexts(page.fileList), SetTexts());
        EXPECT_EQ(page.images.GetImageCount(), page.fileList.GetItemCount());
        for (int row = 0; row < page.fileList.GetItemCount(); ++row)
            EXPECT_EQ(page.fileList.GetItemImage(row), row);
    }

    testsupport::ScratchDir scratch;
    std::deque<std::optional<std::wstring>> answers;
    std::vector<FileDialogRequest> requests;
    PageHost host;
    CFileDlg page{Program().choices.hideFileSet, Program().home.ownExecutablePath, Program().catalogues,
                  Program().choices.hideRules};

private:
    std::wstring savedOwnPath_;
};

} // namespace

TEST_F(FilePage, ShowsTheLoadedSetWithIconsAndFullPaths)
{
    const std::wstring tool = MakeFile(L"Tool.exe");
    Program().choices.hideFileSet.AddPath(tool);
    // A file that has gone since it was chosen still pairs with its row.
    Program().choices.hideFileSet.AddPath(scratch.File(L"gone.exe"));
    Open();

    EXPECT_EQ(RowTexts(page.fileList),
              (std::vector<std::wstring>{UpperCasePath(tool), UpperCasePath(scratch.File(L"gone.exe"))}));
    ExpectPaired();
    ASSERT_EQ(page.fileList.GetColumnCount(), 2);
    EXPECT_TRUE(page.fileList.GetColumnFormat(0) & LVCFMT_IMAGE);
    EXPECT_EQ(page.fileList.GetColumnWidth(0), 20);
    EXPECT_EQ(page.fileList.GetColumnWidth(1), 350);
    EXPECT_TRUE(page.fileList.GetExtendedStyle() & LVS_EX_FULLROWSELECT);
}

TEST_F(FilePage, AddUpperCasesAndRefusesDuplicatesInAnyCase)
{
    MessageBoxWatcher boxes;
    Open();
    const std::wstring tool = MakeFile(L"Tool.exe");
    Add(tool);

    ASSERT_EQ(requests.size(), 1u);
    EXPECT_TRUE(requests[0].open);
    EXPECT_EQ(requests[0].filter, L"Executable Files(*.exe, *.com)|*.exe;*.com|All Files(*.*)|*.*||");
    EXPECT_TRUE(requests[0].flags & OFN_FILEMUSTEXIST);
    EXPECT_TRUE(requests[0].defaultExtension.empty());
    EXPECT_TRUE(requests[0].fileName.empty());
    EXPECT_EQ(requests[0].parent, page.m_hWnd);
    EXPECT_EQ(SetTexts(), std::vector<std::wstring>{UpperCasePath(tool)});
    ExpectPaired();

    // The same file written in other letters is the same entry.
    std::wstring lower = tool;
    CharLowerBuffW(lower.data(), static_cast<DWORD>(lower.size()));
    Add(lower);
    EXPECT_EQ(SetTexts(), std::vector<std::wstring>{UpperCasePath(tool)});
    EXPECT_EQ(boxes.Texts(), std::vector<std::wstring>{kMsgFileAlreadyListed});
    EXPECT_EQ(requests.size(), 2u); // no second dialog after this refusal

    // Any file through "All Files": it gets the program's default icon.
    const std::wstring notes = MakeFile(L"notes.txt");
    Add(notes);
    EXPECT_EQ(SetTexts(), (std::vector<std::wstring>{UpperCasePath(tool), UpperCasePath(notes)}));
    ExpectPaired();

    // A row the list refuses adds no file.
    RefuseRowInserts(page.fileList.m_hWnd, true);
    Add(MakeFile(L"more.exe"));
    RefuseRowInserts(page.fileList.m_hWnd, false);
    ExpectPaired();

    // A cancelled dialog changes nothing.
    ClickButton(page, IDC_ADD_FILE);
    EXPECT_EQ(Program().choices.hideFileSet.GetSize(), 2);
    EXPECT_EQ(boxes.Texts().size(), 1u);
}

TEST_F(FilePage, OwnExecutableIsRefusedAndTheDialogOpensAgain)
{
    MessageBoxWatcher boxes;
    Open();
    std::wstring own = OwnModulePath();
    CharLowerBuffW(own.data(), static_cast<DWORD>(own.size()));
    const std::wstring tool = MakeFile(L"tool.exe");

    // Refused, asked again, then a good file.
    answers = {own, tool};
    ClickButton(page, IDC_ADD_FILE);
    EXPECT_EQ(requests.size(), 2u);
    EXPECT_EQ(boxes.Texts(), std::vector<std::wstring>{kMsgOwnExecutableRefused});
    EXPECT_EQ(SetTexts(), std::vector<std::wstring>{UpperCasePath(tool)});

    // Refused, asked again, then cancelled: nothing changes.
    answers = {own, std::nullopt};
    ClickButton(page, IDC_ADD_FILE);
    EXPECT_EQ(requests.size(), 4u);
    EXPECT_EQ(boxes.Texts().size(), 2u);
    EXPECT_EQ(SetTexts(), std::vector<std::wstring>{UpperCasePath(tool)});
    ExpectPaired();
}

TEST_F(FilePage, DeleteTakesTheFirstSelectedRowAndMovesTheSelection)
{
    Open();
    const std::vector<std::wstring> names{L"a.exe", L"b.exe", L"c.exe", L"d.exe"};
    for (const std::wstring& name : names)
        Add(MakeFile(name));
    ASSERT_EQ(Program().choices.hideFileSet.GetSize(), 4);
    const std::wstring a = UpperCasePath(scratch.File(L"a.exe"));
    const std::wstring c = UpperCasePath(scratch.File(L"c.exe"));
    const std::wstring d = UpperCasePath(scratch.File(L"d.exe"));

    // Nothing selected: nothing happens.
    SelectRows(page.fileList, {});
    ClickButton(page, IDC_DELETE_FILE);
    EXPECT_EQ(Program().choices.hideFileSet.GetSize(), 4);

    // Three selected: only the first of them goes.
    SelectRows(page.fileList, {1, 2, 3});
    ClickButton(page, IDC_DELETE_FILE);
    EXPECT_EQ(SetTexts(), (std::vector<std::wstring>{a, c, d}));
    ExpectPaired();
    EXPECT_EQ(SelectedRows(page.fileList), (std::vector<int>{1, 2}));

    // A double click anywhere deletes the first selected row too.
    SelectRows(page.fileList, {2});
    SendDoubleClick(page, page.fileList);
    EXPECT_EQ(SetTexts(), (std::vector<std::wstring>{a, c}));
    EXPECT_EQ(SelectedRows(page.fileList), std::vector<int>{1}); // the new last row
    ExpectPaired();

    SelectRows(page.fileList, {0});
    ClickButton(page, IDC_DELETE_FILE);
    EXPECT_EQ(SetTexts(), std::vector<std::wstring>{c});
    EXPECT_EQ(SelectedRows(page.fileList), std::vector<int>{0});
    ClickButton(page, IDC_DELETE_FILE);
    EXPECT_TRUE(Program().choices.hideFileSet.IsEmpty());
    EXPECT_EQ(page.fileList.GetItemCount(), 0);
    EXPECT_EQ(page.images.GetImageCount(), 0);
}

TEST_F(FilePage, ClearEmptiesListSetAndImages)
{
    Open();
    // On an empty list: nothing to do, nothing breaks.
    ClickButton(page, IDC_CLEAR_FILES);
    EXPECT_EQ(page.fileList.GetItemCount(), 0);
    EXPECT_TRUE(Program().choices.hideFileSet.IsEmpty());

    Add(MakeFile(L"one.exe"));
    Add(MakeFile(L"two.com"));
    ASSERT_EQ(page.fileList.GetItemCount(), 2);
    ClickButton(page, IDC_CLEAR_FILES);
    EXPECT_EQ(page.fileList.GetItemCount(), 0);
    EXPECT_TRUE(Program().choices.hideFileSet.IsEmpty());
    EXPECT_EQ(page.images.GetImageCount(), 0);

    // Afterwards the page adds from a clean slate.
    Add(MakeFile(L"three.exe"));
    ExpectPaired();
    EXPECT_EQ(Program().choices.hideFileSet.GetSize(), 1);
}

namespace {

// Finds the open-file dialog of this process, types `path` into its file
// name field and presses Open; gives up (cancelling whatever dialog it
// found) at the deadline. Sends no message to a window of the test thread
// after the dialog has gone.
class OpenDialogTyper {
public:
    explicit OpenDialogTyper(std::wstring path) : path_(std::move(path)), thread_([this] { Run(); }) {}
    ~OpenDialogTyper() { thread_.join(); }
    bool Typed() const { return typed_; }
    std::wstring Caption() const { return caption_; }

private:
    static HWND FindDialog()
    {
        struct Search {
            HWND found = nullptr;
        } search;
        EnumWindows(
            [](HWND window, LPARAM param) -> BOOL {
                DWORD processId = 0;
                GetWindowThreadProcessId(window, &processId);
                wchar_t className[64] = {};
                GetClassNameW(window, className, 64);
                if (processId == GetCurrentProcessId() && IsWindowVisible(window) &&
                    wcscmp(className, L"#32770") == 0 && IsWindowEnabled(window)) {
                    reinterpret_cast<Search*>(param)->found = window;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

    static HWND FindEdit(HWND dialog)
    {
        struct Search {
            HWND found = nullptr;
        } search;
        EnumChildWindows(
            dialog,
            [](HWND window, LPARAM param) -> BOOL {
                wchar_t className[64] = {};
                GetClassNameW(window, className, 64);
                if (wcscmp(className, L"Edit") == 0 && IsWindowVisible(window)) {
                    reinterpret_cast<Search*>(param)->found = window;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

    void Run()
    {
        HWND dialog = nullptr;
        HWND edit = nullptr;
        const bool found = testsupport::WaitUntil(
            [&] {
                dialog = FindDialog();
                edit = dialog != nullptr ? FindEdit(dialog) : nullptr;
                return edit != nullptr;
            },
            15000);
        if (!found) {
            if (HWND late = FindDialog())
                PostMessageW(late, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            return;
        }
        wchar_t caption[64] = {};
        InternalGetWindowText(dialog, caption, 64);
        caption_ = caption;
        SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path_.c_str()), SMTO_BLOCK, 2000, nullptr);
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        typed_ = true;
        // Wait until it has gone; one that stays is cancelled.
        if (!testsupport::WaitUntil([dialog] { return !IsWindow(dialog); }, 15000))
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }

    std::wstring path_;
    std::atomic<bool> typed_{false};
    std::wstring caption_;
    std::thread thread_;
};

} // namespace

TEST_F(FilePage, RealOpenFileDialogAddsTheTypedFile)
{
    SetFileDialogChooser(nullptr); // the system's own dialog this time
    Open();
    const std::wstring tool = MakeFile(L"Typed.exe");
    {
        OpenDialogTyper typer(tool);
        ClickButton(page, IDC_ADD_FILE);
        EXPECT_TRUE(typer.Typed());
    }
    EXPECT_EQ(SetTexts(), std::vector<std::wstring>{UpperCasePath(tool)});
    ExpectPaired();
}

TEST_F(FilePage, RulesAreMadeWithALiveCountOfTheWindowsTheyMatch)
{
    testsupport::TestWindow report(L"CvRulePageA", L"Report - Notepad");
    testsupport::TestWindow notes(L"CvRulePageA", L"notes - NOTEPAD");
    testsupport::TestWindow other(L"CvRulePageB", L"Notepad help");
    {
        std::lock_guard<CCriticalSection> guard(Program().catalogues.windowLock);
        Program().catalogues.windowCatalogue.Refresh();
    }
    MessageBoxWatcher boxes;
    Open();
    auto count = [&] { return page.rules.matchCount.GetWindowText(); };
    page.rules.SetPattern(RuleField::Title, L"*notepad");
    EXPECT_EQ(count(), L"Matches 2 windows");
    page.rules.SetPattern(RuleField::Class, L"cvrulepage?");
    EXPECT_EQ(count(), L"Matches 3 windows");
    page.rules.SetPattern(RuleField::Class, L"CvRulePageB");
    EXPECT_EQ(count(), L"Matches 1 window");
    ClickButton(page, IDC_ADD_RULE);
    page.rules.SetPattern(RuleField::Title, L"nothing like it");
    EXPECT_EQ(count(), L"Matches 0 windows");
    ClickButton(page, IDC_ADD_RULE);
    EXPECT_EQ(Program().choices.hideRules.rules,
              (std::vector<WindowRule>{{RuleField::Class, L"CvRulePageB"}, {RuleField::Title, L"nothing like it"}}));
    EXPECT_EQ(page.rules.ruleList.GetItemText(0, 0), L"Class");
    EXPECT_EQ(page.rules.ruleList.GetItemText(0, 1), L"CvRulePageB");

    // Selecting a rule shows it, with its count; the same rule again and an
    // empty pattern are refused.
    page.rules.ruleList.SetItemState(0, LVIS_SELECTED, LVIS_SELECTED);
    EXPECT_EQ(page.rules.patternEdit.GetWindowText(), L"CvRulePageB");
    EXPECT_EQ(count(), L"Matches 1 window");
    page.rules.SetPattern(RuleField::Class, L"cvrulepageb");
    ClickButton(page, IDC_ADD_RULE);
    page.rules.SetPattern(RuleField::Title, L"");
    ClickButton(page, IDC_ADD_RULE);
    EXPECT_EQ(boxes.Texts(), (std::vector<std::wstring>{kMsgRuleAlreadyListed, kMsgRulePatternEmpty}));
    EXPECT_EQ(page.rules.ruleList.GetItemCount(), 2);

    ClickButton(page, IDC_DELETE_RULE);
    EXPECT_EQ(Program().choices.hideRules.rules, (std::vector<WindowRule>{{RuleField::Title, L"nothing like it"}}));
    ClickButton(page, IDC_CLEAR_RULES);
    EXPECT_TRUE(Program().choices.hideRules.rules.empty());
    EXPECT_EQ(page.rules.ruleList.GetItemCount(), 0);
}
