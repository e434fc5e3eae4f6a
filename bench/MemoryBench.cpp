// What an armed, idle Covelin holds in memory a minute after Start, beside a
// bare dialog, and whether any part of the graphics stack that Direct3D 9
// brings in under Wine is ever loaded (read from Linux's map of the process,
// from the start on).
#include "Bench.h"
#include "Programs.h"

#include <psapi.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

using namespace bench;

namespace {

constexpr DWORD kArmedMs = 60000;

// Libraries of the graphics stack, on the Linux side and Wine's own.
bool IsGraphicsLibrary(const std::string& path)
{
    static const char* const kParts[] = {"libGL",  "libEGL",       "libgbm",     "libdrm",     "/dri/",   "_dri.so",
                                         "LLVM",   "gallium",      "libvulkan",  "libglapi",   "wined3d", "d3d9",
                                         "opengl", "libxshmfence", "libXxf86vm", "libsensors", "libelf"};
    for (const char* part : kParts)
        if (path.find(part) != std::string::npos)
            return true;
    return false;
}

struct ResidentMemory {
    double totalKb = 0;
    double graphicsKb = 0;
    std::map<std::string, double> graphicsByFile; // Rss per library, KB
    std::map<std::string, double> otherByFile;    // the rest; "(anonymous)" for memory of no file
};

// Sums the "Rss:" lines of /proc/<id>/smaps, by the file each mapping is of.
ResidentMemory ReadResidentMemory(const std::wstring& procDir)
{
    ResidentMemory memory;
    std::istringstream lines(ReadSmallFile(procDir + L"smaps", 64u << 20));
    std::string line, file;
    while (std::getline(lines, line)) {
        if (line.rfind("Rss:", 0) == 0) {
            const double kb = std::strtod(line.c_str() + 4, nullptr);
            memory.totalKb += kb;
            const std::string name = file.empty() ? "(anonymous)" : file.substr(file.find_last_of("/\\") + 1);
            if (IsGraphicsLibrary(file)) {
                memory.graphicsKb += kb;
                memory.graphicsByFile[name] += kb;
            } else {
                memory.otherByFile[name] += kb;
            }
        } else if (!line.empty() && std::isxdigit(static_cast<unsigned char>(line[0])) &&
                   line.find('-') < line.find(' ')) {
            // A mapping's header: range, perms, offset, device, inode, path.
            std::istringstream fields(line);
            std::string skip;
            for (int i = 0; i < 5; ++i)
                fields >> skip;
            file.clear();
            fields >> file;
        }
    }
    return memory;
}

void PrintLargest(const std::map<std::string, double>& byFile, double atLeastKb)
{
    std::vector<std::pair<double, std::string>> sorted;
    for (const auto& [file, kb] : byFile)
        if (kb >= atLeastKb)
            sorted.push_back({kb, file});
    std::sort(sorted.rbegin(), sorted.rend());
    for (const auto& [kb, file] : sorted)
        std::printf("    %-40s %8.0f KB\n", file.c_str(), kb);
}

// Watches a process's map of loaded files for the graphics stack that
// Direct3D 9 brings in: looked at every 50 ms while the process starts,
// shows its dialog and runs armed, so that a library loaded for a moment
// and let go again is still seen.
class GraphicsWatch {
public:
    explicit GraphicsWatch(const std::string& needle) : needle_(needle) {}

    // Looks until `ms` have passed.
    void WatchFor(DWORD ms)
    {
        const ULONGLONG end = GetTickCount64() + ms;
        do {
            Look();
            Sleep(50);
        } while (GetTickCount64() < end);
    }
    void Look()
    {
        if (proc_.empty())
            proc_ = FindLinuxProcess(needle_);
        if (proc_.empty())
            return;
        std::string maps = ReadSmallFile(proc_ + L"maps", 64u << 20);
        for (char& c : maps)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        ++looks_;
        d3d9Seen_ |= maps.find("d3d9.dll") != std::string::npos;
        wined3dSeen_ |= maps.find("wined3d.dll") != std::string::npos;
    }
    int Looks() const { return looks_; }
    bool D3d9Seen() const { return d3d9Seen_; }
    bool Wined3dSeen() const { return wined3dSeen_; }

private:
    std::string needle_;
    std::wstring proc_;
    int looks_ = 0;
    bool d3d9Seen_ = false;
    bool wined3dSeen_ = false;
};

double WorkingSetMb(HANDLE process)
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    return GetProcessMemoryInfo(process, &counters, sizeof counters) ? Mb(counters.WorkingSetSize) : 0;
}

} // namespace

BENCH_SECTION("memory", "an armed, idle Covelin's memory a minute after Start")
{
    const std::wstring scratch = ScratchPath(L"covelin-memory-bench");
    const std::wstring exe = InstallCovelin(scratch, true);
    Child covelin;
    if (exe.empty() || !covelin.Start(L"\"" + exe + L"\"", scratch)) {
        std::printf("  could not start Covelin.exe (build it first)\n");
        return;
    }
    GraphicsWatch watch("covelin-memory-bench");
    HWND dialog = nullptr;
    for (int tries = 0; dialog == nullptr && tries < 150; ++tries) {
        watch.Look();
        dialog = WaitForDialog(covelin.info.dwProcessId, kMainCaption, 100);
    }
    if (!dialog) {
        std::printf("  Covelin's main dialog did not appear\n");
        return;
    }
    watch.WatchFor(2000);
    if (!ArmCovelin(dialog)) {
        std::printf("  Covelin did not arm\n");
        return;
    }
    watch.WatchFor(kArmedMs);

    std::printf("  armed %lu s: working set %.1f MB, peak %.1f MB\n", kArmedMs / 1000,
                WorkingSetMb(covelin.info.hProcess), Mb(PeakWorkingSet(covelin.info.hProcess)));

    const std::wstring proc = FindLinuxProcess("covelin-memory-bench");
    if (proc.empty()) {
        std::printf("  Covelin's Linux process not found\n");
        return;
    }
    const ResidentMemory resident = ReadResidentMemory(proc);
    std::printf("  resident (Linux): %.1f MB, of which the graphics stack still mapped %.1f MB\n",
                resident.totalKb / 1024, resident.graphicsKb / 1024);
    PrintLargest(resident.graphicsByFile, 64);
    std::printf("  the rest, largest first:\n");
    PrintLargest(resident.otherByFile, 1024);
    const std::string loaded = ReadSmallFile(proc + L"maps", 64u << 20);
    std::printf("  d3d9.dll still mapped: %s\n", loaded.find("d3d9.dll") != std::string::npos ? "yes" : "no");
    std::printf("  d3d9.dll or wined3d.dll mapped at any time (%d looks, every 50 ms from start): %s%s\n",
                watch.Looks(), watch.D3d9Seen() || watch.Wined3dSeen() ? "YES" : "no",
                watch.Looks() == 0 ? " (not looked at: process not found)" : "");
    const double covelinPeakMb = Mb(PeakWorkingSet(covelin.info.hProcess));
    covelin.End();

    Child bare;
    if (bare.Start(L"\"" + OwnPath() + L"\" --bare-template-dialog") &&
        WaitForDialog(bare.info.dwProcessId, nullptr, 15000)) {
        Sleep(2000);
        const double barePeakMb = Mb(PeakWorkingSet(bare.info.hProcess));
        std::printf("  bare dialog from the main template: working set %.1f MB, peak %.1f MB\n",
                    WorkingSetMb(bare.info.hProcess), barePeakMb);
        const double overMb = covelinPeakMb - barePeakMb;
        std::printf("  peak above the bare dialog: %+.1f MB (target: within 3 MB) %s\n", overMb,
                    overMb <= 3.0 ? "ok" : "OVER");
    }
}
