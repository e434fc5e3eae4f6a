// The main dialog and its six pages at 100, 125, 150 and 200 % display
// scale, and after a change of scale. A process reads the scale (LogPixels)
// when it starts, so each scale runs in a child process of its own; the
// checks then hold for whatever the dialog fonts of that scale come to.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "app/TrayIcon.h"
#include "framework/Dpi.h"
#include "framework/Gdi.h"
#include "support/ChildRun.h"
#include "support/ScratchRegistry.h"
#include "ui/MainDialogFixture.h"
#include "ui/MainDlg.h"
#include "ui/TestProgram.h"
#include "ui/res/resource.h"

using namespace uitest;

namespace {

constexpr wchar_t kChildDpiVariable[] = L"COVELIN_DPI_CHILD";

// The button style of `window` (BS_...), or -1 for another control.
LONG ButtonType(HWND window)
{
    wchar_t name[16] = {};
    ::GetClassNameW(window, name, 16);
    return std::wstring(name) == L"Button" ? ::GetWindowLongW(window, GWL_STYLE) & BS_TYPEMASK : -1;
}

int IconWidth(HICON icon)
{
    ICONINFO info{};
    BITMAP bitmap{};
    if (icon == nullptr || !::GetIconInfo(icon, &info))
        return 0;
    CBitmap mask, colour;
    mask.Attach(info.hbmMask);
    colour.Attach(info.hbmColor);
    ::GetObjectW(mask, sizeof(bitmap), &bitmap);
    return bitmap.bmWidth;
}

std::string Text(const RECT& r)
{
    return std::to_string(r.left) + "," + std::to_string(r.top) + "-" + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}

// Whether the text of a static or a button fits its control, measured with
// the control's own font, wrapped where the style wraps.
bool TextFits(HWND control, UINT dpi)
{
    wchar_t text[256] = {};
    const LONG style = ::GetWindowLongW(control, GWL_STYLE);
    RECT client{};
    ::GetClientRect(control, &client);
    UINT flags = DT_CALCRECT | DT_EXPANDTABS | ((style & SS_NOPREFIX) != 0 ? DT_NOPREFIX : 0);
    if (const LONG button = ButtonType(control); button >= 0) {
        // Room for a push button's edges, or for a check box and its gap.
        client.right -= ScaleForDpi(4, dpi) + (button > BS_DEFPUSHBUTTON ? SystemMetricForDpi(SM_CXMENUCHECK, dpi) : 0);
        flags |= DT_SINGLELINE;
    } else if ((style & SS_ELLIPSISMASK) != 0) {
        client.right = 100000; // a text that ends in an ellipsis where it is cut may be cut
    } else if ((style & SS_TYPEMASK) <= SS_RIGHT) {
        flags |= DT_WORDBREAK;
    }
    if (::GetWindowTextW(control, text, 256) == 0)
        return true;
    HDC dc = ::GetDC(control);
    HGDIOBJ previous = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)));
    RECT needed{0, 0, client.right, 0};
    ::DrawTextW(dc, text, -1, &needed, flags);
    ::SelectObject(dc, previous);
    ::ReleaseDC(control, dc);
    return needed.right <= client.right && needed.bottom <= client.bottom;
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
        return "control " + std::to_string(::GetDlgCtrlID(window)) + " at " + Text(RectInParent(window));
    };
    for (size_t i = 0; i < children.size(); ++i) {
        const RECT rect = RectInParent(children[i]);
        if (rect.left < 0 || rect.top < 0 || rect.right > client.right || rect.bottom > client.bottom)
            problems.push_back(name(children[i]) + " outside its parent");
        if (!TextFits(children[i], dpi))
            problems.push_back(name(children[i]) + ": its text does not fit");
        for (size_t j = i + 1; j < children.size() && ButtonType(children[i]) != BS_GROUPBOX; ++j) {
            RECT both{}, other = RectInParent(children[j]);
            if (ButtonType(children[j]) != BS_GROUPBOX && ::IntersectRect(&both, &rect, &other))
                problems.push_back(name(children[i]) + " overlaps " + name(children[j]));
        }
    }
    return problems;
}

// The main dialog's pixel layout, icons, image lists and own fonts at `dpi`.
void ExpectScaledFrame(CMainDlg& dialog, UINT dpi)
{
    const auto scaled = [dpi](int pixels) { return ScaleForDpi(pixels, dpi); };
    const int edge = scaled(400);
    RECT client{};
    ::GetClientRect(dialog.m_hWnd, &client);
    EXPECT_EQ(Text(client), Text(RECT{0, 0, edge, edge}));
    EXPECT_EQ(Text(RectInParent(dialog.Tabs().m_hWnd)),
              Text(RECT{scaled(10), scaled(10), edge - scaled(10), scaled(35)}));
    const RECT page = RectInParent(dialog.GetPage(0)->m_hWnd);
    EXPECT_EQ(Text(page), Text(RECT{scaled(10), scaled(35), edge - scaled(10), edge - scaled(40)}));
    EXPECT_EQ(RectInParent(dialog.GetDlgItem(IDCANCEL)).top, edge - scaled(30));
    EXPECT_EQ(RectInParent(dialog.GetDlgItem(IDC_START)).right, edge - scaled(10));
    EXPECT_EQ(IconWidth(reinterpret_cast<HICON>(dialog.SendMessage(WM_GETICON, ICON_SMALL))), SmallIconSize(dpi));
    EXPECT_EQ(IconWidth(reinterpret_cast<HICON>(dialog.SendMessage(WM_GETICON, ICON_BIG))), LargeIconSize(dpi));
    for (HIMAGELIST images :
         {dialog.WindowsPage().imagesAll.GetSafeHandle(), dialog.ProcessPage().imagesHide.GetSafeHandle(),
          dialog.FilePage().images.GetSafeHandle(), dialog.SettingPage().TrayImages()}) {
        int cx = 0, cy = 0;
        ImageList_GetIconSize(images, &cx, &cy);
        EXPECT_EQ(cx, SmallIconSize(dpi));
        EXPECT_EQ(cy, SmallIconSize(dpi));
    }
    // The About fonts grow with the scale, as far as their lines allow.
    for (HFONT font : {dialog.AboutPage().CaptionFont(), dialog.AboutPage().Link(1).LinkFont()}) {
        LOGFONTW logFont{};
        ::GetObjectW(font, sizeof(logFont), &logFont);
        EXPECT_LE(logFont.lfHeight, scaled(15));
        EXPECT_GE(logFont.lfHeight, scaled(15) * 9 / 10);
    }
}

} // namespace

TEST(DpiManifest, AsksForPerMonitorScalingWithAFallback)
{
    wchar_t awareness[64] = {}, aware[64] = {};
    ::QueryActCtxSettingsW(0, nullptr, L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", L"dpiAwareness",
                           awareness, 64, nullptr);
    ::QueryActCtxSettingsW(0, nullptr, L"http://schemas.microsoft.com/SMI/2005/WindowsSettings", L"dpiAware", aware, 64,
                           nullptr);
    EXPECT_EQ(std::wstring(awareness).rfind(L"PerMonitorV2", 0), 0u) << awareness;
    EXPECT_EQ(std::wstring(aware), L"true/pm");
}

TEST(DpiLayout, EveryPageFitsAtEachScaleAndFollowsAChange)
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
    EXPECT_EQ(IconWidth(tray.Icon(0)), SmallIconSize(dpi));
    tray.Remove(0);

    CMainDlg dialog(Program().Dialog());
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

        // The size the dialog asks for ahead of a DPI change is the one that
        // keeps its client exact: at this scale, the one it has.
        SIZE size{};
        ASSERT_EQ(dialog.SendMessage(WM_GETDPISCALEDSIZE, dpi, reinterpret_cast<LPARAM>(&size)), TRUE);
        RECT window{};
        dialog.GetWindowRect(&window);
        EXPECT_EQ(Text(window), Text(RECT{window.left, window.top, window.left + size.cx, window.top + size.cy}));
        // Dragged to a monitor of half as much scale again: it goes where the
        // system suggests, and all of it follows the new scale.
        const UINT to = dpi * 3 / 2;
        const RECT exitBefore = RectInParent(dialog.GetDlgItem(IDCANCEL));
        RECT suggested{50, 60, 50 + size.cx * 3 / 2, 60 + size.cy * 3 / 2};
        dialog.SendMessage(WM_DPICHANGED, MAKEWPARAM(to, to), reinterpret_cast<LPARAM>(&suggested));
        dialog.GetWindowRect(&window);
        EXPECT_EQ(std::make_pair(window.left, window.top), std::make_pair(50L, 60L));
        ExpectScaledFrame(dialog, to);
        const RECT exit = RectInParent(dialog.GetDlgItem(IDCANCEL));
        EXPECT_EQ(exit.right - exit.left, ::MulDiv(exitBefore.right - exitBefore.left, to, dpi));
        dialog.EndDialog(IDCANCEL);
    });
    EXPECT_EQ(driver.Run(dialog), IDCANCEL);
}
