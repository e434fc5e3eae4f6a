#pragma once
// Owners for every kind of handle the program opens or creates: each one
// releases what it holds when it goes away or is reset, so no return path
// can leak a handle and nothing is released twice. All are move-only.
//
//   UniqueHandle     kernel objects (CloseHandle); null and
//                    INVALID_HANDLE_VALUE both mean "nothing held"
//   UniqueIcon       icons the program made or loaded without LR_SHARED
//   UniqueMenu       menus (DestroyMenu)
//   UniqueWindow     windows the program created (DestroyWindow, on the
//                    thread that created them)
//   UniqueGdiObject  GDI objects (DeleteObject); UniqueGdi<HFONT> etc. keep
//                    the handle's own type
//   UniqueModule     libraries loaded for a moment (FreeLibrary)
//   UniqueWinEventHook  WinEvent hooks (UnhookWinEvent, on the thread that
//                    set them)
//   UniqueEvent      an unnamed event made with its owner, with its calls
//   UniqueLocal<T*>  memory the system allocated for us (LocalFree)
//   ComPtr<T>        one reference to a COM interface
//   RegKey           an open registry key with its value operations
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

// The common shape of the owners above. `Traits` names the handle type, the
// value of an empty owner, how to tell an empty handle and how to release.
template <class Traits>
class UniqueOwner {
public:
    using Handle = typename Traits::Handle;

    UniqueOwner() = default;
    explicit UniqueOwner(Handle handle) : handle_(handle) {}
    ~UniqueOwner() { reset(); }
    UniqueOwner(const UniqueOwner&) = delete;
    UniqueOwner& operator=(const UniqueOwner&) = delete;
    UniqueOwner(UniqueOwner&& other) noexcept : handle_(other.release()) {}
    UniqueOwner& operator=(UniqueOwner&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }

    Handle get() const { return handle_; }
    explicit operator bool() const { return !Traits::IsEmpty(handle_); }

    // Gives the handle up without releasing it.
    Handle release() { return std::exchange(handle_, Traits::kEmpty); }

    // Releases what is held (unless it is `handle` itself) and holds `handle`.
    void reset(Handle handle = Traits::kEmpty)
    {
        Handle old = std::exchange(handle_, handle);
        if (old != handle && !Traits::IsEmpty(old))
            Traits::Release(old);
    }

    // For a function that returns its handle through a pointer: releases
    // what is held and hands out the place to store the new one.
    Handle* put()
    {
        reset();
        return &handle_;
    }

private:
    Handle handle_ = Traits::kEmpty;
};

namespace handle_traits {

struct Kernel {
    using Handle = HANDLE;
    static constexpr Handle kEmpty = nullptr;
    static bool IsEmpty(Handle handle) { return handle == nullptr || handle == INVALID_HANDLE_VALUE; }
    static void Release(Handle handle) { ::CloseHandle(handle); }
};

// Handles whose only empty value is null, released by one function.
template <class H, auto ReleaseFunction>
struct NullEmpty {
    using Handle = H;
    static constexpr Handle kEmpty = nullptr;
    static bool IsEmpty(Handle handle) { return handle == nullptr; }
    static void Release(Handle handle) { ReleaseFunction(handle); }
};

inline void DeleteGdiObject(HGDIOBJ object)
{
    ::DeleteObject(object);
}

// Memory a system call allocated for the caller to free (FormatMessage's
// buffer, CommandLineToArgvW's array), kept as the pointer type it is read as.
template <class Pointer>
struct LocalMemory {
    using Handle = Pointer;
    static constexpr Handle kEmpty = nullptr;
    static bool IsEmpty(Handle memory) { return memory == nullptr; }
    static void Release(Handle memory) { ::LocalFree(memory); }
};

} // namespace handle_traits

using UniqueHandle = UniqueOwner<handle_traits::Kernel>;
using UniqueIcon = UniqueOwner<handle_traits::NullEmpty<HICON, &::DestroyIcon>>;
using UniqueMenu = UniqueOwner<handle_traits::NullEmpty<HMENU, &::DestroyMenu>>;
using UniqueWindow = UniqueOwner<handle_traits::NullEmpty<HWND, &::DestroyWindow>>;
using UniqueModule = UniqueOwner<handle_traits::NullEmpty<HMODULE, &::FreeLibrary>>;
using UniqueWinEventHook = UniqueOwner<handle_traits::NullEmpty<HWINEVENTHOOK, &::UnhookWinEvent>>;
template <class H = HGDIOBJ>
using UniqueGdi = UniqueOwner<handle_traits::NullEmpty<H, &handle_traits::DeleteGdiObject>>;
using UniqueGdiObject = UniqueGdi<>;
template <class Pointer>
using UniqueLocal = UniqueOwner<handle_traits::LocalMemory<Pointer>>;

// An unnamed event for the program's own threads, made when its owner is
// and closed with it. Empty (false) when the system could not make one;
// the calls then fail, and Wait reports a timeout.
class UniqueEvent {
public:
    enum class Kind { ManualReset, AutoReset };
    explicit UniqueEvent(Kind kind = Kind::ManualReset)
        : handle_(::CreateEventW(nullptr, kind == Kind::ManualReset ? TRUE : FALSE, FALSE, nullptr))
    {
    }

    HANDLE get() const { return handle_.get(); }
    explicit operator bool() const { return static_cast<bool>(handle_); }

    bool Set() const { return handle_ && ::SetEvent(handle_.get()) != FALSE; }
    bool Reset() const { return handle_ && ::ResetEvent(handle_.get()) != FALSE; }
    // True when the event is (or becomes, within `ms`) signalled.
    bool Wait(DWORD ms) const { return handle_ && ::WaitForSingleObject(handle_.get(), ms) == WAIT_OBJECT_0; }

private:
    UniqueHandle handle_;
};

// One reference to a COM interface, released with the pointer.
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    // Takes over a reference the caller already holds (no AddRef).
    explicit ComPtr(T* pointer) : pointer_(pointer) {}
    ~ComPtr() { reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : pointer_(other.detach()) {}
    ComPtr& operator=(ComPtr&& other) noexcept
    {
        if (this != &other)
            reset(other.detach());
        return *this;
    }

    T* get() const { return pointer_; }
    T* operator->() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }

    // Gives the reference up without releasing it.
    T* detach() { return std::exchange(pointer_, nullptr); }
    void reset(T* pointer = nullptr)
    {
        T* old = std::exchange(pointer_, pointer);
        if (old != nullptr && old != pointer)
            old->Release();
    }

    // For CoCreateInstance, QueryInterface and friends: releases what is
    // held and hands out the place for the new reference.
    T** put()
    {
        reset();
        return &pointer_;
    }
    void** put_void() { return reinterpret_cast<void**>(put()); }

private:
    T* pointer_ = nullptr;
};

// An open registry key, closed by the destructor. Operations return the
// system's status code (ERROR_SUCCESS when they worked); a closed key gives
// ERROR_INVALID_HANDLE without touching the registry.
class RegKey {
public:
    RegKey() = default;
    // Takes over an open key.
    explicit RegKey(HKEY key) : key_(key) {}
    ~RegKey() { Close(); }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    RegKey(RegKey&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}
    RegKey& operator=(RegKey&& other) noexcept;

    // Opens an existing key; the key held before is closed first.
    LONG Open(HKEY root, const wchar_t* subKey, REGSAM access);
    // Opens the key, creating it and the keys above it as needed.
    LONG Create(HKEY root, const wchar_t* subKey, REGSAM access);
    LONG Close();

    HKEY get() const { return key_; }
    explicit operator bool() const { return key_ != nullptr; }
    HKEY release() { return std::exchange(key_, nullptr); }

    // The type and size in bytes of a value, without reading it.
    LONG QueryValueInfo(const wchar_t* name, DWORD& type, DWORD& size) const;
    // At most `size` bytes of the value into `data`; `size` becomes the
    // stored size and `type` its type. A value larger than `size` gives
    // ERROR_MORE_DATA.
    LONG ReadRaw(const wchar_t* name, DWORD& type, void* data, DWORD& size) const;
    LONG WriteRaw(const wchar_t* name, DWORD type, const void* data, DWORD size);

    // Text (REG_SZ or REG_EXPAND_SZ) up to `maxBytes`, cut at its first
    // zero; text stored without one is still read safely. Another type or a
    // larger value gives ERROR_INVALID_DATA and leaves `value` alone.
    LONG ReadString(const wchar_t* name, std::wstring& value, DWORD maxBytes = 65536) const;
    // REG_SZ with its terminating zero.
    LONG WriteString(const wchar_t* name, const wchar_t* value);
    LONG ReadDword(const wchar_t* name, DWORD& value) const;
    LONG WriteDword(const wchar_t* name, DWORD value);
    LONG DeleteValue(const wchar_t* name);
    // The names of the key's values, in the registry's order.
    std::vector<std::wstring> ValueNames() const;

private:
    HKEY key_ = nullptr;
};
