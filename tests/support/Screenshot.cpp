#include "support/Screenshot.h"

#include <cstdio>
#include <cstdlib>

namespace testsupport {

std::wstring ScreenshotFolder()
{
    const wchar_t* value = _wgetenv(L"COVELIN_SCREENSHOTS");
    if (value == nullptr || *value == 0)
        return std::wstring();
    std::wstring folder = value;
    if (folder[0] == L'/') {
        for (wchar_t& c : folder)
            c = c == L'/' ? L'\\' : c;
        folder = L"Z:" + folder;
    }
    if (folder.back() != L'\\')
        folder += L'\\';
    return folder;
}

bool SaveWindowPicture(HWND window, const std::wstring& path)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    // The window's own device context reads what the program has drawn,
    // without waiting for the display to catch up.
    HDC source = GetWindowDC(window);
    HDC memory = CreateCompatibleDC(source);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height; // bottom-up, as BMP files store rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY);
    GdiFlush();
    const DWORD stride = ((static_cast<DWORD>(width) * 3 + 3) / 4) * 4;
    const DWORD imageSize = stride * static_cast<DWORD>(height);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info.bmiHeader);
    file.bfSize = file.bfOffBits + imageSize;
    bool written = false;
    if (bits != nullptr) {
        if (FILE* out = _wfopen(path.c_str(), L"wb")) {
            written = std::fwrite(&file, sizeof(file), 1, out) == 1 &&
                      std::fwrite(&info.bmiHeader, sizeof(info.bmiHeader), 1, out) == 1 &&
                      std::fwrite(bits, imageSize, 1, out) == 1;
            std::fclose(out);
        }
    }
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window, source);
    return written;
}

} // namespace testsupport
