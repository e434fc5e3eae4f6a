// covelin_soak: a long session in a few minutes. The engine hides and
// restores thirty windows of three other programs a thousand times through
// its own thread, while the Windows and Processes pages change the choices,
// the engine is armed again on them now and then, and windows close and
// open. What the process holds beyond what it held after the first fifty
// cycles is a leak; a window left hidden is lost:
//
//   soak: 1000 cycles, handles +H, GDI +G, USER +U, private bytes +P KB, windows lost 0
//
// A second line gives the longest hide and restore with five hung windows
// among a hundred chosen, beside the bare ShowWindow floor (HungWindows.cpp).
// The exit code is 0 when every target is met.
#include <cstdio>

#include "choices/HideSets.h"
#include "hiding/EngineTargets.h"
#include "soak/HungWindows.h"
#include "soak/ResourceCounts.h"
#include "soak/SoakWorld.h"

namespace {

constexpr int kCycles = 1000;
constexpr int kBaselineCycle = 50;
constexpr int kHosts = 3;
constexpr int kWindowsPerHost = 10;
constexpr int kRearmEvery = 20;
constexpr int kChurnEvery = 7;
constexpr int kSyncEvery = 5;
constexpr DWORD kStepTimeoutMs = 10000;
constexpr long kPrivateGrowthLimitKb = 256;

// One press of the show/hide chord, as the tray's command gives it; waits
// until the engine has carried it out.
bool Toggle(soak::SoakWorld& world, std::atomic<int>& done)
{
    const int before = done.load();
    if (!world.engine.PostCommand(UM_TOGGLE_HIDE))
        return false;
    return soak::PumpUntil([&] { return done.load() != before; }, kStepTimeoutMs);
}

// After a restore every window of the other programs is on screen; one
// that is not, even after a while, has been lost (and is shown again, so
// that it is counted once).
int CountLostWindows(soak::SoakWorld& world)
{
    int lost = 0;
    for (HWND window : world.HostWindows()) {
        if (!soak::PumpUntil([&] { return !IsWindow(window) || IsWindowVisible(window); }, 2000)) {
            ++lost;
            ShowWindow(window, SW_SHOW);
        }
    }
    return lost;
}

// The engine armed again on the pages' choices of the moment.
bool Rearm(soak::SoakWorld& world)
{
    world.engine.RequestStop();
    return world.engine.WaitEnded(GetTickCount64() + kStepTimeoutMs) &&
           world.engine.Start(MakeDefaultSettings(), CaptureTargets(world.choices, &world.catalogues), nullptr);
}

// Counted with the engine at rest between two runs and the pages in step,
// the same way at both ends of the measurement.
soak::ResourceCounts CountAtRest(soak::SoakWorld& world)
{
    world.engine.RequestStop();
    world.engine.WaitEnded(GetTickCount64() + kStepTimeoutMs);
    world.SyncPages();
    soak::PumpUntil([] { return false; }, 200);
    return soak::CountResources();
}

} // namespace

int main()
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    soak::ResourceCounts baseline, end;
    int lost = 0;
    int cycles = 0;
    bool stalled = false;
    {
        soak::SoakWorld world(kHosts, kWindowsPerHost);
        if (!world.Ready() ||
            !world.engine.Start(MakeDefaultSettings(), CaptureTargets(world.choices, &world.catalogues), nullptr)) {
            std::fprintf(stderr, "soak: could not set up the windows, the pages or the engine\n");
            return 2;
        }
        for (int round = 0; cycles < kCycles; ++cycles) {
            if (cycles % kRearmEvery == 0) {
                world.ChangeChoices(round++);
                if (!Rearm(world)) {
                    stalled = true;
                    break;
                }
            }
            if (!Toggle(world, soak::hidesDone) || !Toggle(world, soak::restoresDone)) {
                stalled = true;
                break;
            }
            lost += CountLostWindows(world);
            if (cycles % kChurnEvery == kChurnEvery - 1)
                world.CloseAndOpenWindow(cycles % kHosts, static_cast<unsigned>(cycles));
            // Besides their own timers: a page refills every icon when the
            // order of the windows has changed, which a restore does.
            if (cycles % kSyncEvery == 0)
                world.SyncPages();
            if (cycles + 1 == kBaselineCycle) {
                baseline = CountAtRest(world);
                Rearm(world);
            }
        }
        end = CountAtRest(world);
    }
    if (stalled) {
        std::fprintf(stderr, "soak: the engine stopped answering after %d cycles\n", cycles);
        return 2;
    }

    const long handles = end.handles - baseline.handles;
    const long gdi = end.gdiObjects - baseline.gdiObjects;
    const long user = end.userObjects - baseline.userObjects;
    const long privateKb = (static_cast<long>(end.privateBytes) - static_cast<long>(baseline.privateBytes)) / 1024;
    std::printf("soak: %d cycles, handles %+ld, GDI %+ld, USER %+ld, private bytes %+ld KB, windows lost %d\n", cycles,
                handles, gdi, user, privateKb, lost);
    if (end.countedHandles || end.countedGui || end.countedPrivate)
        std::fprintf(stderr,
                     "soak: the system gave no figure for%s%s%s; counted here instead (%ld handles, %ld GDI, "
                     "%ld USER, %zu KB private at the end)\n",
                     end.countedHandles ? " handles" : "", end.countedGui ? " GUI objects" : "",
                     end.countedPrivate ? " private bytes" : "", end.handles, end.gdiObjects, end.userObjects,
                     end.privateBytes / 1024);
    const bool soakMet = handles <= 0 && gdi <= 0 && user <= 0 && privateKb < kPrivateGrowthLimitKb && lost == 0;

    const soak::HungFigures hung = soak::MeasureHungWindows();
    soak::PrintHungFigures(hung);
    return soakMet && hung.met ? 0 : 1;
}
