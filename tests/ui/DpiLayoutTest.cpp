// The main dialog and its six pages at 100, 125, 150 and 200 % display
// scale. A process reads the scale (LogPixels) when it starts, so each scale
// runs in a child process of its own; the checks then hold for whatever the
// dialog fonts of that scale come to.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "app/TrayIcon.h"
#include "framework/Dpi.h"
#include "support/ChildRun.h"
#include "support/ScratchRegistry.h"
#include "ui/MainDialogFixture.h"
#include "ui/MainDlg.h"
#include "ui/res/resource.h"

using namespace uitest;

namespace {

constexpr wchar_t kChildDpiVariable[] = L"COVELIN_DPI_CHILD";

std::wstring ClassOf(HWND window)
{
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    return name;
}

SIZE IconSize(HICON icon)
{
    ICONINFO info{};
    BITMAP bitmap{};
    if (icon == nullptr || !::GetIconInfo(icon, &info))
        return SIZE{};
    ::GetObjectW(info.hbmMask, sizeof(bitmap), &bitmap);
    const bool maskOnly = info.hbmColor == nullptr; // then the mask is twice as high
    ::DeleteObject(info.hbmMask);
    ::DeleteObject(info.hbmColor);
    return SIZE{bitmap.bmWidth, maskOnly ? bitmap.bmHeight / 2 : bitmap.bmHeight};
}

int FontHeight(HFONT font)
{
    LOGFONTW logFont{};
    ::GetObjectW(font, sizeof(logFont), &logFont);
    return logFont.lfHeight;
}

int ImageListSize(HIMAGELIST images)
{
    int cx = 0, cy = 0;
    ImageList_GetIconSize(images, &cx, &cy);
    return cx == cy ? cx : -1;
}

// Nothing when the text of a static, a push button or a check box fits its
// control, else by how much it does not; measured with the control's own font, wrapped where the style
// wraps.
std::string TextFits(HWND control, UINT dpi)
{
    wchar_t text[256] = {};
    ::GetWindowTextW(control, text, 256);
    const LONG style = ::GetWindowLongW(control, GWL_STYLE);
    RECT client{};
    ::GetClientRect(control, &client);
    UINT flags = DT_CALCRECT | DT_EXPANDTABS | ((style & SS_NOPREFIX) != 0 ? DT_NOPREFIX : 0);
    int room = client.right;
    if (ClassOf(control) == L"Button") {
        const LONG type = style & BS_TYPEMASK;
        // Room for the box and the gap beside it, or for the push button's
        // edges.
        const bool box = type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON
                      || type == BS_AUTORADIOBUTTON || type == BS_3STATE || type == BS_AUTO3STATE;
        room -= box ? SystemMetricForDpi(SM_CXMENUCHECK, dpi) + ScaleForDpi(4, dpi) : ScaleForDpi(4, dpi);
        flags |= DT_SINGLELINE;
    } else if ((style & SS_ELLIPSISMASK) != 0) {
        room = 100000; // a text that ends in an ellipsis where it is cut may be cut
    } else if ((style & SS_TYPEMASK) <= SS_RIGHT) {
        flags |= DT_WORDBREAK;
    }
    if (text[0] == 0)
        return std::string();
    HDC dc = ::GetDC(control);
    HGDIOBJ previous = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)));
    RECT needed{0, 0, room, 0};
    ::DrawTextW(dc, text, -1, &needed, flags);
    ::SelectObject(dc, previous);
    ::ReleaseDC(control, dc);
    if (needed.right <= room && needed.bottom <= client.bottom)
        return std::string();
    return ": text needs " + std::to_string(needed.right) + " x " + std::to_string(needed.bottom) + ", has "
         + std::to_string(room) + " x " + std::to_string(client.bottom);
}

// What is wrong with the visible children of `parent`: one outside its
// client area, two overlapping (group boxes aside), a text that does not fit.
std::vector<std::string> LayoutProblems(HWND parent, UINT dpi)
{
    std::vector<HWND> children;
    for (HWND child = ::GetWindow(parent, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (::IsWindowVisible(child))
            children.push_back(child);
    }
    RECT client{};
    ::GetClientRect(parent, &client);
    std::vector<std::string> problems;
    const auto name = [](HWND window) {
        const RECT r = RectInParent(window);
        std::ostringstream text;
        text << "control " << ::GetDlgCtrlID(window) << " at " << r.left << "," << r.top << "-" << r.right << ","
             << r.bottom;
        return text.str();
    };
    for (size_t i = 0; i < children.size(); ++i) {
        const RECT rect = RectInParent(children[i]);
        if (rect.left < 0 || rect.top < 0 || rect.right > client.right || rect.bottom > client.bottom)
            problems.push_back(name(children[i]) + " outside its parent");
        if (const std::string cut = TextFits(children[i], dpi); !cut.empty())
            problems.push_back(name(children[i]) + cut);
        const bool group = ClassOf(children[i]) == L"Button"
                        && (::GetWindowLongW(children[i], GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
        for (size_t j = i + 1; j < children.size() && !group; ++j) {
            RECT both{}, other = RectInParent(children[j]);
            const bool otherGroup = ClassOf(children[j]) == L"Button"
                                 && (::GetWindowLongW(children[j], GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
            if (!otherGroup && ::IntersectRect(&both, &rect, &other))
                problems.push_back(name(children[i]) + " overlaps " + name(children[j]));
        }
    }
    return problems;
}

// The places of the main dialog's pixel layout at `dpi`.
void ExpectScaledFrame(CMainDlg& dialog, UINT dpi)
{
    const auto scaled = [dpi](int pixels) { return ScaleForDpi(pixels, dpi); };
    RECT client{};
    ::GetClientRect(dialog.m_hWnd, &client);
    EXPECT_EQ(client.right, scaled(400));
    EXPECT_EQ(client.bottom, scaled(400));
    const RECT tabs = RectInParent(dialog.Tabs().m_hWnd);
    EXPECT_EQ(tabs.left, scaled(10));
    EXPECT_EQ(tabs.top, scaled(10));
    EXPECT_EQ(tabs.right, scaled(400) - scaled(10));
    EXPECT_EQ(tabs.bottom, scaled(35));
    const RECT page = RectInParent(dialog.GetPage(0)->m_hWnd);
    EXPECT_EQ(page.top, scaled(35));
    EXPECT_EQ(page.bottom, scaled(400) - scaled(40));
    EXPECT_EQ(RectInParent(dialog.GetDlgItem(IDCANCEL)).top, scaled(400) - scaled(30));
    EXPECT_EQ(RectInParent(dialog.GetDlgItem(IDC_START)).right, scaled(400) - scaled(10));
    EXPECT_EQ(IconSize(reinterpret_cast<HICON>(dialog.SendMessage(WM_GETICON, ICON_SMALL))).cx, SmallIconSize(dpi));
    EXPECT_EQ(IconSize(reinterpret_cast<HICON>(dialog.SendMessage(WM_GETICON, ICON_BIG))).cx, LargeIconSize(dpi));
    EXPECT_EQ(ImageListSize(dialog.WindowsPage().imagesAll), SmallIconSize(dpi));
    EXPECT_EQ(ImageListSize(dialog.ProcessPage().imagesHide), SmallIconSize(dpi));
    EXPECT_EQ(ImageListSize(dialog.FilePage().images), SmallIconSize(dpi));
    EXPECT_EQ(ImageListSize(dialog.SettingPage().TrayImages()), SmallIconSize(dpi));
    // The About fonts grow with the scale, as far as their lines allow.
    for (HFONT font : {dialog.AboutPage().CaptionFont(), dialog.AboutPage().Link(1).LinkFont()}) {
        EXPECT_LE(FontHeight(font), scaled(15));
        EXPECT_GE(FontHeight(font), scaled(15) * 9 / 10);
    }
}

} // namespace

TEST(DpiManifest, AsksForPerMonitorScalingWithAFallback)
{
    wchar_t value[64] = {};
    SIZE_T length = 0;
    ASSERT_TRUE(::QueryActCtxSettingsW(0, nullptr, L"http://schemas.microsoft.com/SMI/2016/WindowsSettings",
                                       L"dpiAwareness", value, 64, &length));
    EXPECT_EQ(std::wstring(value).rfind(L"PerMonitorV2", 0), 0u) << value;
    ASSERT_TRUE(::QueryActCtxSettingsW(0, nullptr, L"http://schemas.microsoft.com/SMI/2005/WindowsSettings",
                                       L"dpiAware", value, 64, &length));
    EXPECT_EQ(std::wstring(value), L"true/pm");
}

TEST(DpiLayout, EveryPageFitsAtEachScale)
{
    testsupport::RegValueGuard logPixels(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels");
    for (DWORD dpi : {96u, 120u, 144u, 192u}) {
        ASSERT_TRUE(testsupport::SetRawValue(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", REG_DWORD,
                                             &dpi, sizeof(dpi)));
        EXPECT_EQ(testsupport::RunTestChild("DpiLayoutChild.*", kChildDpiVariable, std::to_wstring(dpi)), 0)
            << "at " << dpi << " DPI";
    }
}

// Runs only as the child of the test above, at the scale it names.
class DpiLayoutChild : public MainDialogTest {};

TEST_F(DpiLayoutChild, DISABLED_MainDialogAndPagesAtTheProcessScale)
{
    const wchar_t* named = ::_wgetenv(kChildDpiVariable);
    ASSERT_NE(named, nullptr);
    const UINT dpi = static_cast<UINT>(std::wcstoul(named, nullptr, 10));
    ASSERT_EQ(SystemDpi(), dpi) << "the scale did not reach this process";

    CTrayIcon tray;
    ASSERT_TRUE(tray.Create());
    EXPECT_EQ(IconSize(tray.Icon(0)).cx, SmallIconSize(dpi));
    tray.Remove(0);

    CMainDlg dialog;
    ModalDriver driver(30000);
    driver.Do([&] { ExpectScaledFrame(dialog, dpi); });
    for (int index = 0; index < CMainDlg::kPageCount; ++index) {
        driver
            .Do([&dialog, index] {
                RECT item{};
                dialog.Tabs().GetItemRect(index, &item);
                PostClick(dialog.Tabs().m_hWnd, item);
            })
            .WaitFor([&dialog, index] { return dialog.CurrentPage() == index; }, "tab " + std::to_string(index))
            .Do([&dialog, dpi, index] {
                for (const std::string& problem : LayoutProblems(dialog.m_hWnd, dpi))
                    ADD_FAILURE() << "main dialog on tab " << index << ": " << problem;
                for (const std::string& problem : LayoutProblems(dialog.GetPage(index)->m_hWnd, dpi))
                    ADD_FAILURE() << "page " << index << ": " << problem;
            });
    }
    driver.Do([&] {
        // Every tab in the strip, none behind scroll arrows.
        RECT strip{}, last{};
        dialog.Tabs().GetClientRect(&strip);
        dialog.Tabs().GetItemRect(CMainDlg::kPageCount - 1, &last);
        EXPECT_LE(last.right, strip.right);
        EXPECT_LE(last.bottom, strip.bottom);
        HWND arrows = ::FindWindowExW(dialog.Tabs().m_hWnd, nullptr, UPDOWN_CLASSW, nullptr);
        EXPECT_TRUE(arrows == nullptr || !::IsWindowVisible(arrows));
        dialog.EndDialog(IDCANCEL);
    });
    EXPECT_EQ(driver.Run(dialog), IDCANCEL);
}

TEST_F(MainDialogTest, DpiChangeTakesTheSuggestedPlaceAndScalesEverything)
{
    CMainDlg dialog;
    ModalDriver driver;
    driver.Do([&] {
        const UINT from = dialog.GetDpi();
        const UINT to = from * 3 / 2;
        // The size asked for ahead of the change keeps the client exact.
        SIZE size{};
        ASSERT_EQ(dialog.SendMessage(WM_GETDPISCALEDSIZE, from, reinterpret_cast<LPARAM>(&size)), TRUE);
        RECT window{};
        dialog.GetWindowRect(&window);
        EXPECT_EQ(size.cx, window.right - window.left);
        EXPECT_EQ(size.cy, window.bottom - window.top);
        const RECT exitBefore = RectInParent(dialog.GetDlgItem(IDCANCEL));

        RECT suggested{50, 60, 50 + ScaleForDpi(400, to) + 40, 60 + ScaleForDpi(400, to) + 40};
        dialog.SendMessage(WM_DPICHANGED, MAKEWPARAM(to, to), reinterpret_cast<LPARAM>(&suggested));
        EXPECT_EQ(dialog.GetDpi(), to);
        dialog.GetWindowRect(&window);
        EXPECT_EQ(window.left, 50);
        EXPECT_EQ(window.top, 60);
        ExpectScaledFrame(dialog, to);
        const RECT exit = RectInParent(dialog.GetDlgItem(IDCANCEL));
        EXPECT_EQ(exit.right - exit.left, ::MulDiv(exitBefore.right - exitBefore.left, to, from));
        dialog.EndDialog(IDCANCEL);
    });
    EXPECT_EQ(driver.Run(dialog), IDCANCEL);
}
