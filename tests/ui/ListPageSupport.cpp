#include "ListPageSupport.h"

#include <aclapi.h>
#include <commctrl.h>

#include <mutex>

#include "catalogue/ProcessCatalogue.h"
#include "catalogue/WindowCatalogue.h"
#include "support/Wait.h"
#include "system/OwnProcess.h"
#include "ui/TestProgram.h"

namespace listpage {

namespace {

const wchar_t kHostClass[] = L"CovelinListPageHost";
const wchar_t kWindowClass[] = L"CovelinListPageWindow";

void RegisterTestClass(const wchar_t* name)
{
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(GetModuleHandleW(nullptr), name, &existing))
        return;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = name;
    RegisterClassExW(&wc);
}

LRESULT CALLBACK RefusingRows(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR)
{
    return message == LVM_INSERTITEMW ? -1 : DefSubclassProc(window, message, wParam, lParam);
}

} // namespace

void RefuseRowInserts(HWND list, bool refuse)
{
    if (refuse)
        SetWindowSubclass(list, &RefusingRows, 1, 0);
    else
        RemoveWindowSubclass(list, &RefusingRows, 1);
}

// ---- PageHost -------------------------------------------------------------------

PageHost::PageHost()
{
    RegisterTestClass(kHostClass);
    HWND window = CreateWindowExW(0, kHostClass, L"List page host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 20, 20, 440, 440,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    // Like the main dialog, the host is never offered as a window to hide.
    SetWindowLongPtrW(window, GWLP_USERDATA, OWN_WINDOW_MARK);
    host_.Attach(window);
}

PageHost::~PageHost()
{
    if (host_.m_hWnd != nullptr)
        DestroyWindow(host_.Detach());
}

bool PageHost::Open(CDialog& page, UINT templateId)
{
    if (!page.Create(templateId, &host_))
        return false;
    // Where the main dialog puts its pages: below the tab strip.
    page.MoveWindow(10, 35, 380, 325);
    page.ShowWindow(SW_SHOW);
    UpdateWindow(host_.m_hWnd);
    return true;
}

// ---- icons and coloured windows ---------------------------------------------------

HICON SolidIcon(COLORREF colour)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = 16;
    info.bmiHeader.biHeight = 16;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HBITMAP colourBitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ReleaseDC(nullptr, screen);
    const DWORD pixel = 0xFF000000u | (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
    auto* pixels = static_cast<DWORD*>(bits);
    for (int i = 0; i < 16 * 16; ++i)
        pixels[i] = pixel;
    BYTE maskBits[16 * 2] = {}; // all opaque
    HBITMAP mask = CreateBitmap(16, 16, 1, 1, maskBits);
    ICONINFO iconInfo{TRUE, 0, 0, mask, colourBitmap};
    HICON icon = CreateIconIndirect(&iconInfo);
    DeleteObject(mask);
    DeleteObject(colourBitmap);
    return icon;
}

COLORREF CentreColour(HICON icon)
{
    ICONINFO iconInfo{};
    if (icon == nullptr || !GetIconInfo(icon, &iconInfo))
        return CLR_INVALID;
    COLORREF result = CLR_INVALID;
    if (iconInfo.hbmColor != nullptr) {
        BITMAP bitmap{};
        GetObjectW(iconInfo.hbmColor, sizeof(bitmap), &bitmap);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = bitmap.bmWidth;
        info.bmiHeader.biHeight = -bitmap.bmHeight;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        std::vector<DWORD> pixels(static_cast<size_t>(bitmap.bmWidth) * bitmap.bmHeight);
        HDC screen = GetDC(nullptr);
        if (GetDIBits(screen, iconInfo.hbmColor, 0, bitmap.bmHeight, pixels.data(), &info, DIB_RGB_COLORS)) {
            const DWORD pixel = pixels[static_cast<size_t>(bitmap.bmHeight / 2) * bitmap.bmWidth + bitmap.bmWidth / 2];
            result = RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
        }
        ReleaseDC(nullptr, screen);
        DeleteObject(iconInfo.hbmColor);
    }
    if (iconInfo.hbmMask != nullptr)
        DeleteObject(iconInfo.hbmMask);
    return result;
}

COLORREF ImageColour(HIMAGELIST images, int index)
{
    if (images == nullptr || index < 0 || index >= ImageList_GetImageCount(images))
        return CLR_INVALID;
    HICON icon = ImageList_GetIcon(images, index, ILD_NORMAL);
    const COLORREF colour = CentreColour(icon);
    if (icon != nullptr)
        DestroyIcon(icon);
    return colour;
}

ColouredWindow::ColouredWindow(const std::wstring& title, COLORREF colour) : colour_(colour)
{
    RegisterTestClass(kWindowClass);
    static int offset = 0;
    offset = (offset + 12) % 300;
    window_ = CreateWindowExW(0, kWindowClass, title.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE, 480 + offset,
                              60 + offset, 260, 120, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    icon_ = SolidIcon(colour);
    SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
}

ColouredWindow::~ColouredWindow()
{
    Destroy();
    if (icon_ != nullptr)
        DestroyIcon(icon_);
}

void ColouredWindow::Destroy()
{
    if (window_ != nullptr && IsWindow(window_))
        DestroyWindow(window_);
    window_ = nullptr;
}

// ---- child processes -----------------------------------------------------------------

bool DenyQueryAccess(DWORD processId)
{
    HANDLE process = OpenProcess(WRITE_DAC, FALSE, processId);
    if (process == nullptr)
        return false;
    alignas(8) BYTE aclBuffer[64] = {};
    auto* acl = reinterpret_cast<ACL*>(aclBuffer);
    InitializeAcl(acl, sizeof(aclBuffer), ACL_REVISION);
    const DWORD result =
        SetSecurityInfo(process, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, acl, nullptr);
    CloseHandle(process);
    return result == ERROR_SUCCESS;
}

// ---- catalogues -----------------------------------------------------------------------

void RefreshWindowCatalogue()
{
    std::lock_guard<CCriticalSection> lock(Program().catalogues.windowLock);
    Program().catalogues.windowCatalogue.Refresh();
}

void RefreshProcessCatalogue()
{
    std::lock_guard<CCriticalSection> lock(Program().catalogues.processLock);
    Program().catalogues.processCatalogue.Refresh();
}

bool WindowIsCatalogued(HWND window)
{
    std::lock_guard<CCriticalSection> lock(Program().catalogues.windowLock);
    for (int i = 0; i < Program().catalogues.windowCatalogue.GetSize(); ++i)
        if (Program().catalogues.windowCatalogue[i] != nullptr &&
            Program().catalogues.windowCatalogue[i]->GetHandle() == window)
            return true;
    return false;
}

// ---- message boxes ----------------------------------------------------------------------

MessageBoxWatcher::MessageBoxWatcher() : thread_([this] { Run(); })
{
}

MessageBoxWatcher::~MessageBoxWatcher()
{
    stop_.Set();
    thread_.join();
}

std::vector<std::wstring> MessageBoxWatcher::Texts()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return texts_;
}

void MessageBoxWatcher::Run()
{
    struct Search {
        std::vector<HWND> boxes;
    };
    std::vector<HWND> answered;
    do {
        Search search;
        EnumWindows(
            [](HWND window, LPARAM param) -> BOOL {
                DWORD processId = 0;
                GetWindowThreadProcessId(window, &processId);
                if (processId != GetCurrentProcessId() || !IsWindowVisible(window))
                    return TRUE;
                // GetClassName and InternalGetWindowText read what the
                // system holds; GetWindowText would send WM_GETTEXT.
                wchar_t className[64] = {};
                wchar_t caption[64] = {};
                GetClassNameW(window, className, 64);
                InternalGetWindowText(window, caption, 64);
                if (wcscmp(className, L"#32770") == 0 && wcscmp(caption, L"Covelin") == 0 &&
                    GetDlgItem(window, 0xFFFF) != nullptr)
                    reinterpret_cast<Search*>(param)->boxes.push_back(window);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        for (HWND box : search.boxes) {
            bool known = false;
            for (HWND done : answered)
                known = known || done == box;
            if (known)
                continue;
            wchar_t text[512] = {};
            InternalGetWindowText(GetDlgItem(box, 0xFFFF), text, 512);
            {
                std::lock_guard<std::mutex> lock(mutex_);
                texts_.push_back(text);
            }
            answered.push_back(box);
            PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        }
        // Forget boxes that have gone, so that a reused handle counts again.
        std::erase_if(answered, [](HWND box) { return !IsWindow(box); });
    } while (!stop_.Wait(10));
}

// ---- list views ----------------------------------------------------------------------------

std::vector<std::wstring> RowTexts(const CListCtrl& list)
{
    std::vector<std::wstring> texts;
    for (int row = 0; row < list.GetItemCount(); ++row)
        texts.push_back(list.GetItemText(row, 1));
    return texts;
}

std::vector<int> RowImages(const CListCtrl& list)
{
    std::vector<int> images;
    for (int row = 0; row < list.GetItemCount(); ++row)
        images.push_back(list.GetItemImage(row));
    return images;
}

std::vector<int> SelectedRows(const CListCtrl& list)
{
    std::vector<int> rows;
    for (int row = 0; row < list.GetItemCount(); ++row)
        if (list.GetItemState(row, LVIS_SELECTED) & LVIS_SELECTED)
            rows.push_back(row);
    return rows;
}

int FindRow(const CListCtrl& list, const std::wstring& text)
{
    for (int row = 0; row < list.GetItemCount(); ++row)
        if (list.GetItemText(row, 1) == text)
            return row;
    return -1;
}

void SelectRows(CListCtrl& list, const std::vector<int>& rows)
{
    list.SetItemState(-1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    for (int row : rows)
        list.SetItemState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

namespace {

void MoveCursorTo(const CListCtrl& list, POINT point)
{
    ClientToScreen(list.m_hWnd, &point);
    SetCursorPos(point.x, point.y);
    testsupport::WaitUntil(
        [point] {
            POINT now{};
            GetCursorPos(&now);
            return now.x == point.x && now.y == point.y;
        },
        2000);
}

} // namespace

void SendDoubleClick(CDialog& page, CListCtrl& list)
{
    NMITEMACTIVATE notification{};
    notification.hdr.hwndFrom = list.m_hWnd;
    notification.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(list.m_hWnd));
    notification.hdr.code = NM_DBLCLK;
    notification.iItem = -1;
    SendMessageW(page.m_hWnd, WM_NOTIFY, notification.hdr.idFrom, reinterpret_cast<LPARAM>(&notification));
}

void DoubleClickRow(CDialog& page, CListCtrl& list, int row)
{
    SelectRows(list, {row});
    list.SetSelectionMark(row);
    RECT rect{};
    list.GetItemRect(row, &rect, LVIR_BOUNDS);
    MoveCursorTo(list, POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
    SendDoubleClick(page, list);
}

void DoubleClickBelowRows(CDialog& page, CListCtrl& list, int markedRow)
{
    SelectRows(list, {markedRow});
    list.SetSelectionMark(markedRow);
    RECT last{};
    list.GetItemRect(list.GetItemCount() - 1, &last, LVIR_BOUNDS);
    MoveCursorTo(list, POINT{(last.left + last.right) / 2, last.bottom + 6});
    SendDoubleClick(page, list);
}

void ClickButton(CDialog& page, int id)
{
    SendMessageW(page.m_hWnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(page.GetDlgItem(id)));
}

std::string Narrow(const std::wstring& ascii)
{
    return std::string(ascii.begin(), ascii.end());
}

std::wstring UniqueTitle(const std::wstring& stem)
{
    static int counter = 0;
    return stem + L" " + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
}

} // namespace listpage
