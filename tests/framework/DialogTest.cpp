#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/Dialog.h"
#include "framework/TemplateBuilder.h"
#include "ui/DialogDriver.h"

using frameworktest::TemplateBuilder;
using uitest::ModalDriver;

namespace {

constexpr WORD kEditId = 100;
constexpr WORD kSecondEditId = 101;
constexpr WORD kCheckId = 102;
constexpr WORD kStaticId = 103;
constexpr WORD kPlainStaticId = 104;

TemplateBuilder TopLevelTemplate()
{
    TemplateBuilder t(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | DS_MODALFRAME, 0, 200, 120, L"Framework test");
    t.Item(TemplateBuilder::kEdit, L"", kEditId, WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 7, 7, 100, 14)
        .Item(TemplateBuilder::kEdit, L"", kSecondEditId, WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 7, 25, 100, 14)
        .Item(TemplateBuilder::kButton, L"Box", kCheckId, BS_AUTOCHECKBOX | WS_TABSTOP, 7, 43, 100, 10)
        .Item(TemplateBuilder::kStatic, L"Coloured", kStaticId, SS_LEFT, 7, 57, 100, 8)
        .Item(TemplateBuilder::kStatic, L"Plain", kPlainStaticId, SS_LEFT, 7, 67, 100, 8)
        .Item(TemplateBuilder::kButton, L"OK", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, 90, 100, 50, 14)
        .Item(TemplateBuilder::kButton, L"Cancel", IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP, 145, 100, 50, 14);
    return t;
}

// Records the order in which the loop offers a message around, and can
// swallow Tab.
std::vector<std::string>* trail = nullptr;

class KeyWatchingEdit : public CEdit {
public:
    bool eatTab = false;
    int keyDowns = 0;
    BOOL PreTranslateMessage(MSG* msg) override
    {
        if (msg->message == WM_KEYDOWN) {
            ++keyDowns;
            if (trail)
                trail->push_back("edit");
            if (eatTab && msg->wParam == VK_TAB)
                return TRUE;
        }
        return FALSE;
    }
};

class ColourStatic : public CStatic {
public:
    HBRUSH brush = ::CreateSolidBrush(RGB(1, 2, 3));
    ~ColourStatic() override { ::DeleteObject(brush); }
    bool OnReflectedMessage(UINT message, WPARAM, LPARAM, LRESULT& result) override
    {
        if (message != WM_CTLCOLORSTATIC)
            return false;
        result = reinterpret_cast<LRESULT>(brush);
        return true;
    }
};

class TestDialog : public CDialog {
public:
    TestDialog() = default;
    explicit TestDialog(const DLGTEMPLATE* fromTemplate) : dialogTemplate(fromTemplate) {}
    INT_PTR Modal() { return DoModalIndirect(dialogTemplate); }
    const DLGTEMPLATE* dialogTemplate = nullptr;
    KeyWatchingEdit edit;
    ColourStatic colour;
    int checkValue = 7;
    int initCalls = 0;
    int okCalls = 0;
    int cancelCalls = 0;
    std::vector<UINT> timerTicks;

    BOOL OnInitDialog() override
    {
        ++initCalls;
        return CDialog::OnInitDialog();
    }
    void DoDataExchange(CDataExchange* pDX) override
    {
        DDX_Control(pDX, kEditId, edit);
        DDX_Control(pDX, kStaticId, colour);
        DDX_Check(pDX, kCheckId, checkValue);
    }
    void OnOK() override
    {
        ++okCalls;
        CDialog::OnOK();
    }
    void OnCancel() override
    {
        ++cancelCalls;
        CDialog::OnCancel();
    }
    BOOL PreTranslateMessage(MSG* msg) override
    {
        if (msg->message == WM_KEYDOWN && trail)
            trail->push_back("dialog");
        return CDialog::PreTranslateMessage(msg);
    }
    BOOL OnNotify(WPARAM, LPARAM lParam, LRESULT* result) override
    {
        if (reinterpret_cast<const NMHDR*>(lParam)->code != 12345)
            return FALSE;
        *result = 4321;
        return TRUE;
    }
    void OnTimer(UINT_PTR id) override { timerTicks.push_back(static_cast<UINT>(id)); }
};

} // namespace

INT_PTR RunScript(ModalDriver& driver, TestDialog& dialog)
{
    return driver.RunWith(dialog, [&dialog] { return dialog.Modal(); });
}

TEST(DialogModalLoop, ControlsSeeKeysBeforeTheDialogManager)
{
    TemplateBuilder t = TopLevelTemplate();
    TestDialog dialog(t.Get());
    std::vector<std::string> order;
    ModalDriver driver;
    driver
        .Do([&] {
            trail = &order;
            dialog.edit.eatTab = true;
            dialog.edit.SetFocus();
            dialog.edit.PostMessage(WM_KEYDOWN, VK_TAB, 0);
        })
        .WaitFor([&] { return dialog.edit.keyDowns == 1; }, "the edit to see Tab")
        .Do([&] {
            // Swallowed by the control: the dialog manager never moved the focus.
            EXPECT_EQ(::GetFocus(), dialog.edit.m_hWnd);
            EXPECT_EQ(order, (std::vector<std::string>{"edit"}));
            dialog.edit.eatTab = false;
            dialog.edit.PostMessage(WM_KEYDOWN, VK_TAB, 0);
        })
        .WaitFor([&] { return ::GetFocus() == dialog.GetDlgItem(kSecondEditId); }, "Tab to move the focus")
        .Do([&] {
            // The control first, then the dialog, whose turn runs the dialog manager.
            EXPECT_EQ(order, (std::vector<std::string>{"edit", "edit", "dialog"}));
            trail = nullptr;
            ::PostMessageW(dialog.GetDlgItem(kSecondEditId), WM_KEYDOWN, VK_ESCAPE, 0);
        });
    INT_PTR result = RunScript(driver, dialog);
    trail = nullptr;
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(dialog.cancelCalls, 1);
    EXPECT_EQ(dialog.m_hWnd, nullptr); // the window is gone with the loop
}

TEST(DialogModalLoop, EnterRunsOnOkWhichReadsTheControlsBack)
{
    TemplateBuilder t = TopLevelTemplate();
    TestDialog dialog(t.Get());
    ModalDriver driver;
    driver
        .Do([&] {
            // Filled in at set-up: any non-zero value ticks the box.
            EXPECT_EQ(dialog.IsDlgButtonChecked(kCheckId), static_cast<UINT>(BST_CHECKED));
            EXPECT_EQ(dialog.initCalls, 1);
            dialog.SetTimer(77, 10);
            dialog.edit.SetFocus();
        })
        .WaitFor([&] { return !dialog.timerTicks.empty(); }, "the dialog's timer")
        .Do([&] {
            EXPECT_EQ(dialog.timerTicks.front(), 77u);
            dialog.KillTimer(77);
            dialog.edit.PostMessage(WM_KEYDOWN, VK_RETURN, 0);
        });
    INT_PTR result = RunScript(driver, dialog);
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dialog.okCalls, 1);
    EXPECT_EQ(dialog.checkValue, 1); // read back as exactly 1
}

TEST(DialogModalLoop, QuitRequestEndsTheLoopAndIsPassedOn)
{
    TemplateBuilder t = TopLevelTemplate();
    TestDialog dialog(t.Get());
    ModalDriver driver;
    driver.Do([] { ::PostQuitMessage(3); });
    INT_PTR result = RunScript(driver, dialog);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(dialog.m_hWnd, nullptr);
    MSG msg;
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 3u);
}

TEST(DialogMessages, ResultsReflectionAndUserDataLeftAlone)
{
    TemplateBuilder t = TopLevelTemplate();
    TestDialog dialog;
    ASSERT_TRUE(dialog.CreateIndirect(t.Get()));
    // Whatever the program keeps in the window's user data, the dialog still
    // finds its object.
    ::SetWindowLongPtrW(dialog.m_hWnd, GWLP_USERDATA, 1984);

    HDC dc = ::GetDC(dialog.m_hWnd);
    // A colour request for a wrapped control is answered by the control, and
    // the brush comes back as the message's result.
    LRESULT brush = dialog.SendMessage(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                       reinterpret_cast<LPARAM>(dialog.colour.m_hWnd));
    EXPECT_EQ(brush, reinterpret_cast<LRESULT>(dialog.colour.brush));
    // Any other control gets the dialog's default.
    LRESULT plain = dialog.SendMessage(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                       reinterpret_cast<LPARAM>(dialog.GetDlgItem(kPlainStaticId)));
    EXPECT_NE(plain, brush);
    ::ReleaseDC(dialog.m_hWnd, dc);

    // A notification answered through the handler reaches the sender.
    NMHDR header{dialog.GetDlgItem(kPlainStaticId), kPlainStaticId, 12345};
    EXPECT_EQ(dialog.SendMessage(WM_NOTIFY, kPlainStaticId, reinterpret_cast<LPARAM>(&header)), 4321);
    EXPECT_EQ(::GetWindowLongPtrW(dialog.m_hWnd, GWLP_USERDATA), 1984);
    EXPECT_EQ(CWnd::FromHandlePermanent(dialog.m_hWnd), &dialog);

    // A modeless dialog ended is destroyed.
    dialog.EndDialog(IDOK);
    EXPECT_EQ(dialog.m_hWnd, nullptr);
}

TEST(DialogPages, ChildPageIsAControlParentAndSurvivesEnterAndEscape)
{
    TemplateBuilder parentTemplate = TopLevelTemplate();
    TestDialog parent;
    ASSERT_TRUE(parent.CreateIndirect(parentTemplate.Get()));

    TemplateBuilder pageTemplate(WS_CHILD | DS_CONTROL, 0, 100, 60, L"");
    pageTemplate.Item(TemplateBuilder::kEdit, L"", kEditId, WS_BORDER | WS_TABSTOP, 5, 5, 60, 14)
        .Item(TemplateBuilder::kStatic, L"Coloured", kStaticId, SS_LEFT, 5, 25, 60, 8)
        .Item(TemplateBuilder::kButton, L"Box", kCheckId, BS_AUTOCHECKBOX | WS_TABSTOP, 5, 40, 60, 10);
    TestDialog page;
    ASSERT_TRUE(page.CreateIndirect(pageTemplate.Get(), &parent));
    EXPECT_EQ(page.GetParent(), parent.m_hWnd);
    EXPECT_EQ(page.initCalls, 1);
    EXPECT_FALSE(page.IsWindowVisible()); // pages are shown by their owner
    EXPECT_NE(::GetWindowLongPtrW(page.m_hWnd, GWL_EXSTYLE) & WS_EX_CONTROLPARENT, 0);
    EXPECT_EQ(page.edit.GetParent(), page.m_hWnd);

    page.SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    page.SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_NE(page.m_hWnd, nullptr);
    EXPECT_EQ(page.cancelCalls + page.okCalls, 0);

    // Destroying the parent takes the page and its wrappers' windows along.
    parent.DestroyWindow();
    EXPECT_EQ(page.m_hWnd, nullptr);
    EXPECT_EQ(page.edit.m_hWnd, nullptr);
}

namespace {

class CountingWrapper : public CWnd {
public:
    int destroyed = 0;
    int messages = 0;
    bool OnMessage(UINT message, WPARAM, LPARAM, LRESULT&) override
    {
        if (message == WM_USER + 7)
            ++messages;
        return false;
    }

protected:
    void PostNcDestroy() override { ++destroyed; }
};

} // namespace

TEST(WindowWrapper, SubclassingCanEndFromEitherSide)
{
    HWND edit = ::CreateWindowExW(0, L"EDIT", L"", WS_POPUP, 0, 0, 50, 20, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(edit, nullptr);
    const LONG_PTR ownProc = ::GetWindowLongPtrW(edit, GWLP_WNDPROC);
    {
        CountingWrapper wrapper;
        ASSERT_TRUE(wrapper.SubclassWindow(edit));
        CountingWrapper second;
        EXPECT_FALSE(second.SubclassWindow(edit)); // one wrapper per window
        ::SendMessageW(edit, WM_USER + 7, 0, 0);
        EXPECT_EQ(wrapper.messages, 1);
        // The control's own behaviour still works through the wrapper.
        ::SetWindowTextW(edit, L"abc");
        EXPECT_EQ(wrapper.GetWindowText(), L"abc");
    }
    // The wrapper went first: the window is its own again.
    EXPECT_EQ(::GetWindowLongPtrW(edit, GWLP_WNDPROC), ownProc);
    EXPECT_EQ(CWnd::FromHandlePermanent(edit), nullptr);

    CountingWrapper wrapper;
    ASSERT_TRUE(wrapper.SubclassWindow(edit));
    ::DestroyWindow(edit);
    // The window went first: the wrapper let go of it.
    EXPECT_EQ(wrapper.m_hWnd, nullptr);
    EXPECT_EQ(wrapper.destroyed, 1);
}
