#pragma once
// What this process holds of the system's resources, for telling a leak from
// a steady state: kernel handles, GDI objects, USER objects and private
// memory. Windows reports each directly (GetProcessHandleCount,
// GetGuiResources, the memory counters' PrivateUsage). Wine answers those
// with 0, so where the system's answer is 0 the figure is counted here
// instead: handles and GDI objects by asking each possible handle value,
// USER objects as this process's windows, menus, icons and cursors, private
// bytes as the committed private pages of the address space.
#include <windows.h>

#include <cstddef>

namespace soak {

struct ResourceCounts {
    long handles = 0;
    long gdiObjects = 0;
    long userObjects = 0;
    size_t privateBytes = 0;
    // Which figures had to be counted here because the system gave none.
    bool countedHandles = false;
    bool countedGui = false;
    bool countedPrivate = false;
};

ResourceCounts CountResources();

} // namespace soak
