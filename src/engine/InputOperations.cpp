#include "engine/InputWait.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "framework/Sync.h"

// The real calls behind the engine's input wait.

namespace {

// The generic desktop page's usages: the mouse and the keyboard.
constexpr USHORT kUsagePageGeneric = 0x01;
constexpr USHORT kUsageMouse = 0x02;
constexpr USHORT kUsageKeyboard = 0x06;

// Raw input is registered once per process and device: two runs (one
// ending while the next starts) must not undo each other's registration.
CCriticalSection& RawInputLock()
{
    static CCriticalSection lock;
    return lock;
}

std::vector<RAWINPUTDEVICE> RegisteredDevices();

bool RegisterRawInput(HWND target, bool mouse)
{
    std::lock_guard<CCriticalSection> guard(RawInputLock());
    // Sink: the input comes whichever program has the focus.
    RAWINPUTDEVICE devices[2] = {{kUsagePageGeneric, kUsageKeyboard, RIDEV_INPUTSINK, target},
                                 {kUsagePageGeneric, kUsageMouse, RIDEV_INPUTSINK, target}};
    if (!mouse) {
        // The mouse's own registration, if it is this window's, goes.
        const std::vector<RAWINPUTDEVICE> registered = RegisteredDevices();
        const bool mouseHere = std::any_of(registered.begin(), registered.end(), [&](const RAWINPUTDEVICE& device) {
            return device.usUsage == kUsageMouse && device.hwndTarget == target;
        });
        devices[1] = {kUsagePageGeneric, kUsageMouse, RIDEV_REMOVE, nullptr};
        return RegisterRawInputDevices(devices, mouseHere ? 2 : 1, sizeof(RAWINPUTDEVICE)) != FALSE;
    }
    return RegisterRawInputDevices(devices, 2, sizeof(RAWINPUTDEVICE)) != FALSE;
}

std::vector<RAWINPUTDEVICE> RegisteredDevices()
{
    UINT count = 0;
    if (GetRegisteredRawInputDevices(nullptr, &count, sizeof(RAWINPUTDEVICE)) == static_cast<UINT>(-1) || count == 0)
        return {};
    std::vector<RAWINPUTDEVICE> devices(count);
    const UINT listed = GetRegisteredRawInputDevices(devices.data(), &count, sizeof(RAWINPUTDEVICE));
    if (listed == static_cast<UINT>(-1))
        return {};
    devices.resize(listed);
    return devices;
}

void UnregisterRawInput(HWND target)
{
    std::lock_guard<CCriticalSection> guard(RawInputLock());
    for (RAWINPUTDEVICE device : RegisteredDevices()) {
        if (device.hwndTarget != target)
            continue; // a later run's
        device.dwFlags = RIDEV_REMOVE;
        device.hwndTarget = nullptr;
        RegisterRawInputDevices(&device, 1, sizeof device);
    }
}

bool RawInputInForce(HWND target)
{
    std::lock_guard<CCriticalSection> guard(RawInputLock());
    const std::vector<RAWINPUTDEVICE> devices = RegisteredDevices();
    return std::any_of(devices.begin(), devices.end(), [&](const RAWINPUTDEVICE& device) {
        return device.usUsagePage == kUsagePageGeneric && device.usUsage == kUsageKeyboard &&
               device.hwndTarget == target;
    });
}

DWORD WaitForInput(HANDLE stop, DWORD milliseconds)
{
    // Input already in the queue counts too, whether or not a look at the
    // queue has seen it.
    return MsgWaitForMultipleObjectsEx(stop != nullptr ? 1 : 0, &stop, milliseconds, QS_ALLINPUT | QS_RAWINPUT,
                                       MWMO_INPUTAVAILABLE);
}

// One read for every record queued: a moving mouse costs one wake-up per
// batch, not one per report.
void TakeRawBatch(std::vector<RAWINPUT>& into)
{
    alignas(8) BYTE buffer[64 * sizeof(RAWINPUT)];
    for (;;) {
        UINT size = sizeof buffer;
        const UINT count = GetRawInputBuffer(reinterpret_cast<RAWINPUT*>(buffer), &size, sizeof(RAWINPUTHEADER));
        if (count == 0 || count == static_cast<UINT>(-1))
            return;
        const BYTE* record = buffer;
        for (UINT i = 0; i < count; ++i) {
            const auto* input = reinterpret_cast<const RAWINPUT*>(record);
            RAWINPUT copy{};
            memcpy(&copy, input, std::min<size_t>(input->header.dwSize, sizeof copy));
            into.push_back(copy);
            // Records are padded to the pointer size.
            record += (input->header.dwSize + sizeof(void*) - 1) & ~(sizeof(void*) - 1);
        }
    }
}

EngineInput TakeInput(HWND window, RAWINPUT& input, MSG& message)
{
    // One pass over the whole queue: every look at it is a round trip to
    // the system (under Wine, to the wineserver).
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.hwnd == nullptr)
            return message.message == WM_HOTKEY ? EngineInput::Hotkey : EngineInput::Command;
        if (message.message != WM_INPUT || message.hwnd != window) {
            DispatchMessageW(&message);
            continue;
        }
        UINT size = sizeof input;
        const UINT read = GetRawInputData(reinterpret_cast<HRAWINPUT>(message.lParam), RID_INPUT, &input, &size,
                                          sizeof(RAWINPUTHEADER));
        // The window's procedure frees what the system kept for the message.
        DispatchMessageW(&message);
        if (read != static_cast<UINT>(-1) && read >= sizeof(RAWINPUTHEADER))
            return EngineInput::RawInput;
    }
    return EngineInput::None;
}

bool ButtonsSwapped()
{
    return GetSystemMetrics(SM_SWAPBUTTON) != 0;
}

} // namespace

InputOperations DefaultInputOperations()
{
    InputOperations ops{};
    ops.chordIsDown = [](const HotkeyChord& chord) { return ChordIsDown(PhysicalChord(chord, ButtonsSwapped())); };
    ops.tickCount = []() -> DWORD { return GetTickCount(); };
    ops.sleep = [](DWORD milliseconds) { Sleep(milliseconds); };
    ops.registerHotKey = [](int id, UINT modifiers, UINT key) -> DWORD {
        if (RegisterHotKey(nullptr, id, modifiers | MOD_NOREPEAT, key))
            return ERROR_SUCCESS;
        const DWORD error = GetLastError();
        return error != ERROR_SUCCESS ? error : ERROR_HOTKEY_ALREADY_REGISTERED;
    };
    ops.unregisterHotKey = [](int id) { UnregisterHotKey(nullptr, id); };
    ops.registerRawInput = RegisterRawInput;
    ops.unregisterRawInput = UnregisterRawInput;
    ops.rawInputInForce = RawInputInForce;
    ops.waitForInput = WaitForInput;
    ops.takeRawBatch = TakeRawBatch;
    ops.takeInput = TakeInput;
    ops.buttonsSwapped = ButtonsSwapped;
    return ops;
}
