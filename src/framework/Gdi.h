#pragma once
// The GDI objects the program creates (released with their object, see
// Handles.h) and scoped helpers for painting.
#include <windows.h>

#include "framework/Handles.h"

template <class Handle>
class CGdiObjectT {
public:
    CGdiObjectT() = default;
    explicit CGdiObjectT(Handle handle) : handle_(handle) {}

    operator Handle() const { return handle_.get(); }
    Handle GetSafeHandle() const { return handle_.get(); }
    void Attach(Handle handle) { handle_.reset(handle); }
    Handle Detach() { return handle_.release(); }
    bool DeleteObject()
    {
        if (!handle_)
            return false;
        handle_.reset();
        return true;
    }

protected:
    UniqueGdi<Handle> handle_;
};

class CFont : public CGdiObjectT<HFONT> {
public:
    bool CreateFontIndirect(const LOGFONTW& font)
    {
        Attach(::CreateFontIndirectW(&font));
        return static_cast<bool>(handle_);
    }
    bool CreateFont(int height, int width, int escapement, int orientation, int weight, BYTE italic, BYTE underline,
                    BYTE strikeOut, BYTE charSet, BYTE outPrecision, BYTE clipPrecision, BYTE quality,
                    BYTE pitchAndFamily, const wchar_t* face)
    {
        Attach(::CreateFontW(height, width, escapement, orientation, weight, italic, underline, strikeOut, charSet,
                             outPrecision, clipPrecision, quality, pitchAndFamily, face));
        return static_cast<bool>(handle_);
    }
};

class CBrush : public CGdiObjectT<HBRUSH> {
public:
    bool CreateSolidBrush(COLORREF colour)
    {
        Attach(::CreateSolidBrush(colour));
        return static_cast<bool>(handle_);
    }
    // A brush that paints nothing (the background shows through).
    bool CreateHollowBrush()
    {
        LOGBRUSH brush{BS_NULL, 0, 0};
        Attach(::CreateBrushIndirect(&brush));
        return static_cast<bool>(handle_);
    }
};

class CBitmap : public CGdiObjectT<HBITMAP> {};

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
