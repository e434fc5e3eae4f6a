// Saves a picture of the main dialog on each of its tabs, so that a person
// can look at the pages. Runs only when COVELIN_SCREENSHOTS names a folder
// (scripts/screenshots.sh does that).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ui/MainDialogFixture.h"
#include "ui/MainDlg.h"

using namespace uitest;

namespace {

std::wstring ScreenshotFolder()
{
    const wchar_t* value = ::_wgetenv(L"COVELIN_SCREENSHOTS");
    if (value == nullptr || *value == 0)
        return std::wstring();
    std::wstring folder = value;
    if (folder[0] == L'/') { // a Unix path handed through Wine
        for (wchar_t& c : folder)
            c = c == L'/' ? L'\\' : c;
        folder = L"Z:" + folder;
    }
    if (folder.back() != L'\\')
        folder += L'\\';
    return folder;
}

// The window as it is on screen, frame included, written as a 24-bit BMP.
bool SaveWindowPicture(HWND window, const std::wstring& path)
{
    RECT rect{};
    ::GetWindowRect(window, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    // The window's own device context reads what the program has drawn,
    // without waiting for the display to catch up.
    HDC screen = ::GetWindowDC(window);
    HDC memory = ::CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height; // bottom-up, as BMP files store rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    ::GdiFlush();
    const DWORD stride = ((static_cast<DWORD>(width) * 3 + 3) / 4) * 4;
    const DWORD imageSize = stride * static_cast<DWORD>(height);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info.bmiHeader);
    file.bfSize = file.bfOffBits + imageSize;
    bool written = false;
    if (FILE* out = ::_wfopen(path.c_str(), L"wb")) {
        written = std::fwrite(&file, sizeof(file), 1, out) == 1
               && std::fwrite(&info.bmiHeader, sizeof(info.bmiHeader), 1, out) == 1
               && std::fwrite(bits, imageSize, 1, out) == 1;
        std::fclose(out);
    }
    ::SelectObject(memory, previous);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(window, screen);
    return written;
}

} // namespace

TEST_F(MainDialogTest, ScreenshotOfEachPage)
{
    const std::wstring folder = ScreenshotFolder();
    if (folder.empty())
        GTEST_SKIP() << "COVELIN_SCREENSHOTS is not set";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    const wchar_t* names[] = {L"1-windows", L"2-processes", L"3-executable-files",
                              L"4-options", L"5-settings",  L"6-about"};
    settingFile.Data()->muteVolume = 1;
    settingFile.Data()->hideOwnIcon = 1;
    CMainDlg dialog;
    ModalDriver driver(30000);
    for (int index = 0; index < CMainDlg::kPageCount; ++index) {
        driver
            .Do([&dialog, index] {
                ::SetWindowPos(dialog.m_hWnd, HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE);
                RECT item{};
                dialog.Tabs().GetItemRect(index, &item);
                PostClick(dialog.Tabs().m_hWnd, item);
            })
            .WaitFor([&dialog, index] { return dialog.CurrentPage() == index; }, "the tab")
            .Do([&dialog] {
                ::RedrawWindow(dialog.m_hWnd, nullptr, nullptr,
                               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
            })
            .Do([&dialog, &folder, &names, index] {
                const std::wstring path = folder + names[index] + L".bmp";
                EXPECT_TRUE(SaveWindowPicture(dialog.m_hWnd, path));
            });
    }
    driver.Do([&] { dialog.EndDialog(IDCANCEL); });
    driver.Run(dialog);
}
