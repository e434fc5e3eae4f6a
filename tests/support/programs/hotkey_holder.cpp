// Holds a hotkey for the tests, as another program would: registers the
// modifiers and key given (decimal) for its thread, signals the event named
// third, and keeps them until the event named fourth is set (or 60 s pass).
// Exit code 0 when it held the hotkey, 1 when the system refused it.
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc < 5)
        return 2;
    const UINT modifiers = static_cast<UINT>(std::strtoul(argv[1], nullptr, 10));
    const UINT key = static_cast<UINT>(std::strtoul(argv[2], nullptr, 10));
    if (!RegisterHotKey(nullptr, 1, modifiers | MOD_NOREPEAT, key))
        return 1;
    const HANDLE held = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[3]);
    const HANDLE release = OpenEventA(SYNCHRONIZE, FALSE, argv[4]);
    if (held == nullptr || release == nullptr)
        return 2;
    SetEvent(held);
    const ULONGLONG deadline = GetTickCount64() + 60000;
    while (GetTickCount64() < deadline &&
           MsgWaitForMultipleObjects(1, &release, FALSE, 1000, QS_ALLINPUT) != WAIT_OBJECT_0) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
    UnregisterHotKey(nullptr, 1);
    return 0;
}
