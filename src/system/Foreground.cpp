#include "system/Foreground.h"

#include <atomic>

namespace {

std::atomic<SetForegroundFunction> setForeground{nullptr};

} // namespace

bool BringToForeground(HWND window)
{
    if (window == nullptr || !IsWindow(window))
        return false;
    const SetForegroundFunction function = setForeground.load();
    return (function != nullptr ? function(window) : SetForegroundWindow(window)) != FALSE;
}

void SetForegroundFunctionForTests(SetForegroundFunction function)
{
    setForeground.store(function);
}
