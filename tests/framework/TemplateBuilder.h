#pragma once
// Dialog templates built in memory, so that the framework's dialogs can be
// tested without a resource script.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

namespace frameworktest {

class TemplateBuilder {
public:
    static constexpr WORD kButton = 0x0080;
    static constexpr WORD kEdit = 0x0081;
    static constexpr WORD kStatic = 0x0082;

    TemplateBuilder(DWORD style, DWORD exStyle, short cx, short cy, const std::wstring& caption)
    {
        Put<DWORD>(style | DS_SETFONT);
        Put<DWORD>(exStyle);
        countAt_ = words_.size();
        Put<WORD>(0); // item count, filled in as items come
        Put<short>(0);
        Put<short>(0);
        Put<short>(cx);
        Put<short>(cy);
        Put<WORD>(0); // no menu
        Put<WORD>(0); // the standard dialog class
        PutText(caption);
        Put<WORD>(8);
        PutText(L"MS Shell Dlg");
    }

    TemplateBuilder& Item(WORD classAtom, const std::wstring& text, WORD id, DWORD style, short x, short y, short cx,
                          short cy, DWORD exStyle = 0)
    {
        if (words_.size() % 2 != 0)
            words_.push_back(0); // items start on a DWORD boundary
        Put<DWORD>(style | WS_CHILD | WS_VISIBLE);
        Put<DWORD>(exStyle);
        Put<short>(x);
        Put<short>(y);
        Put<short>(cx);
        Put<short>(cy);
        Put<WORD>(id);
        Put<WORD>(0xFFFF);
        Put<WORD>(classAtom);
        PutText(text);
        Put<WORD>(0); // no creation data
        ++words_[countAt_];
        return *this;
    }

    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
    template <class T>
    void Put(T value)
    {
        static_assert(sizeof(T) % sizeof(WORD) == 0);
        WORD parts[sizeof(T) / sizeof(WORD)]; // NOLINT(bugprone-sizeof-expression): T is a value here
        std::memcpy(parts, &value, sizeof(T));
        for (WORD part : parts)
            words_.push_back(part);
    }
    void PutText(const std::wstring& text)
    {
        for (wchar_t c : text)
            words_.push_back(static_cast<WORD>(c));
        words_.push_back(0);
    }

    // DWORD storage keeps the start aligned; WORDs are appended through it.
    struct Words {
        std::vector<DWORD> storage;
        size_t count = 0;
        void push_back(WORD w)
        {
            if (count % 2 == 0)
                storage.push_back(0);
            reinterpret_cast<WORD*>(storage.data())[count++] = w;
        }
        size_t size() const { return count; }
        WORD& operator[](size_t i) { return reinterpret_cast<WORD*>(storage.data())[i]; }
        const void* data() const { return storage.data(); }
    } words_;
    size_t countAt_ = 0;
};

} // namespace frameworktest
