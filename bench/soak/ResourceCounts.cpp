#include "soak/ResourceCounts.h"

#include <psapi.h>

namespace soak {

namespace {

// Kernel handles are multiples of 4, handed out lowest first; a run of
// this many free values past the last one in use means none follow.
constexpr ULONG_PTR kHandleStep = 4;
constexpr ULONG_PTR kFreeRunAtEnd = 4096;
// GDI and USER handles carry their table index in the low word; Wine takes
// an index alone (the high word zero) as the object in that slot.
constexpr ULONG_PTR kGdiSlots = 65536;
constexpr ULONG_PTR kFirstUserHandle = 0x20;
constexpr ULONG_PTR kUserSlots = 32768;

long CountKernelHandles()
{
    long count = 0;
    ULONG_PTR freeRun = 0;
    for (ULONG_PTR value = kHandleStep; freeRun < kFreeRunAtEnd; value += kHandleStep) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) {
            ++count;
            freeRun = 0;
        } else {
            ++freeRun;
        }
    }
    return count;
}

long CountGdiObjects()
{
    long count = 0;
    for (ULONG_PTR slot = 1; slot < kGdiSlots; ++slot) {
        if (GetObjectType(reinterpret_cast<HGDIOBJ>(slot)) != 0)
            ++count;
    }
    return count;
}

BOOL CALLBACK CountOwnWindow(HWND window, LPARAM parameter)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId == GetCurrentProcessId()) {
        ++*reinterpret_cast<long*>(parameter);
        EnumChildWindows(window, CountOwnWindow, parameter);
    }
    return TRUE;
}

long CountUserObjects()
{
    long count = 0;
    EnumWindows(CountOwnWindow, reinterpret_cast<LPARAM>(&count));
    for (HWND message = FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); message != nullptr;
         message = FindWindowExW(HWND_MESSAGE, message, nullptr, nullptr))
        CountOwnWindow(message, reinterpret_cast<LPARAM>(&count));
    for (ULONG_PTR slot = 0; slot < kUserSlots; ++slot) {
        const ULONG_PTR value = kFirstUserHandle + 2 * slot;
        if (IsMenu(reinterpret_cast<HMENU>(value))) {
            ++count;
            continue;
        }
        ICONINFO info{};
        if (GetIconInfo(reinterpret_cast<HICON>(value), &info)) {
            ++count;
            // The question hands out copies of the icon's bitmaps.
            if (info.hbmMask != nullptr)
                DeleteObject(info.hbmMask);
            if (info.hbmColor != nullptr)
                DeleteObject(info.hbmColor);
        }
    }
    return count;
}

size_t CommittedPrivateBytes()
{
    size_t total = 0;
    MEMORY_BASIC_INFORMATION region{};
    for (const BYTE* at = nullptr; VirtualQuery(at, &region, sizeof region) == sizeof region;
         at = static_cast<const BYTE*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
            total += region.RegionSize;
        if (region.RegionSize == 0)
            break;
    }
    return total;
}

} // namespace

ResourceCounts CountResources()
{
    ResourceCounts counts;
    HANDLE self = GetCurrentProcess();
    DWORD handles = 0;
    if (GetProcessHandleCount(self, &handles) && handles != 0) {
        counts.handles = static_cast<long>(handles);
    } else {
        counts.handles = CountKernelHandles();
        counts.countedHandles = true;
    }
    const DWORD gdi = GetGuiResources(self, GR_GDIOBJECTS);
    const DWORD user = GetGuiResources(self, GR_USEROBJECTS);
    if (gdi != 0 || user != 0) {
        counts.gdiObjects = static_cast<long>(gdi);
        counts.userObjects = static_cast<long>(user);
    } else {
        // The icon question above makes and frees bitmaps: count the USER
        // objects first.
        counts.userObjects = CountUserObjects();
        counts.gdiObjects = CountGdiObjects();
        counts.countedGui = true;
    }
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof(memory);
    if (GetProcessMemoryInfo(self, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof(memory)) &&
        memory.PrivateUsage != 0) {
        counts.privateBytes = memory.PrivateUsage;
    } else {
        counts.privateBytes = CommittedPrivateBytes();
        counts.countedPrivate = true;
    }
    return counts;
}

} // namespace soak
