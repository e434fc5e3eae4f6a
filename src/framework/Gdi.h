#pragma once
// Owners for the GDI objects and icons the program creates: each releases
// its handle when it goes away, so no code path can leak one.
#include <windows.h>

#include <utility>

template <class Handle>
class CGdiObjectT {
public:
    CGdiObjectT() = default;
    explicit CGdiObjectT(Handle handle) : handle_(handle) {}
    ~CGdiObjectT() { DeleteObject(); }
    CGdiObjectT(const CGdiObjectT&) = delete;
    CGdiObjectT& operator=(const CGdiObjectT&) = delete;
    CGdiObjectT(CGdiObjectT&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    CGdiObjectT& operator=(CGdiObjectT&& other) noexcept
    {
        if (this != &other) {
            DeleteObject();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }

    operator Handle() const { return handle_; }
    Handle GetSafeHandle() const { return handle_; }
    void Attach(Handle handle)
    {
        DeleteObject();
        handle_ = handle;
    }
    Handle Detach() { return std::exchange(handle_, nullptr); }
    BOOL DeleteObject()
    {
        if (handle_ == nullptr)
            return FALSE;
        BOOL ok = ::DeleteObject(std::exchange(handle_, nullptr));
        return ok;
    }

protected:
    Handle handle_ = nullptr;
};

class CFont : public CGdiObjectT<HFONT> {
public:
    BOOL CreateFontIndirect(const LOGFONTW& font)
    {
        Attach(::CreateFontIndirectW(&font));
        return handle_ != nullptr;
    }
    BOOL CreateFont(int height, int width, int escapement, int orientation, int weight, BYTE italic, BYTE underline,
                    BYTE strikeOut, BYTE charSet, BYTE outPrecision, BYTE clipPrecision, BYTE quality,
                    BYTE pitchAndFamily, const wchar_t* face)
    {
        Attach(::CreateFontW(height, width, escapement, orientation, weight, italic, underline, strikeOut, charSet,
                             outPrecision, clipPrecision, quality, pitchAndFamily, face));
        return handle_ != nullptr;
    }
};

class CBrush : public CGdiObjectT<HBRUSH> {
public:
    BOOL CreateSolidBrush(COLORREF colour)
    {
        Attach(::CreateSolidBrush(colour));
        return handle_ != nullptr;
    }
    // A brush that paints nothing (the background shows through).
    BOOL CreateHollowBrush()
    {
        LOGBRUSH brush{BS_NULL, 0, 0};
        Attach(::CreateBrushIndirect(&brush));
        return handle_ != nullptr;
    }
};

class CBitmap : public CGdiObjectT<HBITMAP> {};

// An icon the program made or loaded without LR_SHARED.
class CIconHandle {
public:
    CIconHandle() = default;
    explicit CIconHandle(HICON icon) : icon_(icon) {}
    ~CIconHandle() { Destroy(); }
    CIconHandle(const CIconHandle&) = delete;
    CIconHandle& operator=(const CIconHandle&) = delete;
    operator HICON() const { return icon_; }
    void Attach(HICON icon)
    {
        Destroy();
        icon_ = icon;
    }
    HICON Detach() { return std::exchange(icon_, nullptr); }
    void Destroy()
    {
        if (icon_ != nullptr)
            ::DestroyIcon(std::exchange(icon_, nullptr));
    }

private:
    HICON icon_ = nullptr;
};

// BeginPaint/EndPaint around a paint handler.
class CPaintDC {
public:
    explicit CPaintDC(HWND window) : window_(window), dc_(::BeginPaint(window, &paint_)) {}
    ~CPaintDC() { ::EndPaint(window_, &paint_); }
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;
    operator HDC() const { return dc_; }
    const PAINTSTRUCT& Paint() const { return paint_; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

// A device context of a window's client area, released when done.
class CClientDC {
public:
    explicit CClientDC(HWND window) : window_(window), dc_(::GetDC(window)) {}
    ~CClientDC()
    {
        if (dc_ != nullptr)
            ::ReleaseDC(window_, dc_);
    }
    CClientDC(const CClientDC&) = delete;
    CClientDC& operator=(const CClientDC&) = delete;
    operator HDC() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// Selects an object into a device context and puts the previous one back.
class CSelectObject {
public:
    CSelectObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(::SelectObject(dc, object)) {}
    ~CSelectObject()
    {
        if (previous_ != nullptr && previous_ != HGDI_ERROR)
            ::SelectObject(dc_, previous_);
    }
    CSelectObject(const CSelectObject&) = delete;
    CSelectObject& operator=(const CSelectObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};
