// What a moving mouse costs the armed engine when a chord holds a mouse
// button, against the same mouse lying still: the real engine thread with
// its real raw input, a thread of ours moving the mouse about 1,000 times a
// second (a gaming mouse's rate) through SendInput over a window of its own
// in front (Wine hands injected input on only while one of its windows has
// the focus). Counted: the engine's wake-ups, and its thread's CPU time.
#include "Bench.h"

#include <atomic>
#include <cstdio>
#include <thread>

#include "engine/Engine.h"
#include "settings/SettingFile.h"
#include "support/Keyboard.h"

using namespace bench;

namespace {

constexpr DWORD kSampleMs = 5000;

std::atomic<int> wakes{0};
std::atomic<DWORD> engineThread{0};

DWORD CountedWait(HANDLE stop, DWORD milliseconds)
{
    engineThread = GetCurrentThreadId();
    const DWORD waited = DefaultInputOperations().waitForInput(stop, milliseconds);
    ++wakes;
    return waited;
}

double ThreadCpuMs(HANDLE thread)
{
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(thread, &created, &exited, &kernel, &user))
        return -1;
    const auto ms = [](const FILETIME& time) {
        return ((static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime) / 10000.0;
    };
    return ms(kernel) + ms(user);
}

struct Cost {
    double wakesPerSecond;
    double cpuMs;
};

// The engine's cost over one sample, the mouse moving or not.
Cost Sample(HANDLE thread, bool moving)
{
    std::atomic<bool> run{true};
    std::thread mover([&] {
        testsupport::ForegroundWindow front;
        INPUT move{};
        move.type = INPUT_MOUSE;
        move.mi.dwFlags = MOUSEEVENTF_MOVE;
        for (int i = 0; run.load(); ++i) {
            if (moving) {
                move.mi.dx = (i & 1) ? 1 : -1;
                SendInput(1, &move, sizeof move);
            }
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&message);
            Sleep(1);
        }
    });
    Sleep(300);
    const int wakes0 = wakes.load();
    const double cpu0 = ThreadCpuMs(thread);
    Sleep(kSampleMs);
    const Cost cost{(wakes.load() - wakes0) * 1000.0 / kSampleMs, ThreadCpuMs(thread) - cpu0};
    run = false;
    mover.join();
    return cost;
}

void Measure(const char* label, const HotkeyChord& toggle)
{
    CEngine engine;
    engine.operations.input.waitForInput = CountedWait;
    SettingData settings = MakeDefaultSettings();
    settings.toggleChord = toggle;
    engineThread = 0;
    if (!engine.Start(settings, EngineTargets{}, nullptr)) {
        std::printf("  the engine did not start\n");
        return;
    }
    Sleep(300);
    const HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, engineThread.load());
    const Cost still = Sample(thread, false);
    const Cost moving = Sample(thread, true);
    engine.RequestStop();
    engine.WaitEnded(GetTickCount64() + 5000);
    if (thread)
        CloseHandle(thread);
    std::printf("  %s: engine wake-ups a second still %.1f, moving %.1f; its CPU in %lu s still %.1f ms, moving "
                "%.1f ms\n",
                label, still.wakesPerSecond, moving.wakesPerSecond, kSampleMs / 1000, still.cpuMs, moving.cpuMs);
    // A still engine costs next to nothing: the floor is one wake-up a
    // check period and a scheduler tick.
    Ratio("  moving / still (CPU, floor 10 ms)", moving.cpuMs, still.cpuMs > 10 ? still.cpuMs : 10, 2.0);
}

} // namespace

BENCH_SECTION("mouse-chord", "a moving mouse's cost to the engine with a chord that holds a mouse button")
{
    HotkeyChord ctrlButton{};
    ctrlButton.keys[VK_CONTROL] = ctrlButton.keys[VK_XBUTTON1] = HotkeyChord::kMember;
    Measure("Ctrl+XBUTTON1", ctrlButton);
    HotkeyChord button{};
    button.keys[VK_XBUTTON1] = HotkeyChord::kMember;
    Measure("XBUTTON1 alone", button);
}
