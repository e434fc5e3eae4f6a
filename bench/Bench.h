#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "support/WindowHost.h"

struct Catalogues;

// The benchmark program's sections. A section is a function that measures
// one thing and prints its figures; a file in bench/ adds one with
//
//   BENCH_SECTION("name", "what it measures") { ... }
//
// and `covelin_bench [name...]` runs the named sections (all without names).
namespace bench {

using SectionFn = void (*)();

struct Section {
    const char* name;
    const char* summary;
    SectionFn run;
};

std::vector<Section>& Sections();

// The catalogues the sections rebuild and hide from, as the application
// object owns them in the program.
Catalogues& TheCatalogues();

struct Registrar {
    Registrar(const char* name, const char* summary, SectionFn run) { Sections().push_back({name, summary, run}); }
};

// Milliseconds taken by each of `runs` calls of `body`, after `warmups`
// calls that are not counted.
std::vector<double> TimeRuns(int runs, const std::function<void()>& body, int warmups = 2);

// Times `first` and `second` alternately, `runs` times each, so that a
// busy machine weighs on both alike; `before`, when given, runs untimed
// before each of them. Returns {first samples, second samples}.
std::pair<std::vector<double>, std::vector<double>> TimeAlternately(int runs, const std::function<void()>& first,
                                                                    const std::function<void()>& second,
                                                                    int warmups = 2,
                                                                    const std::function<void()>& before = {});

// Milliseconds on the performance counter, from an arbitrary start.
double NowMs();

// The floor for a catalogue rebuild: every top-level window into `seen`.
void BareEnumWindows(std::vector<HWND>& seen);

double Median(std::vector<double> samples);
double Minimum(const std::vector<double>& samples);

// One result line: "  label: median X ms (min Y ms)".
void Report(const char* label, const std::vector<double>& samples);
// One comparison line: "  label: A / B = R x (target T x)".
void Ratio(const char* label, double ours, double floor, double target);

// The floor for hiding and restoring: ShowWindow on each window, hidden
// then shown without activation, nothing else.
void BareShowHideLoop(const std::vector<HWND>& windows);
// Puts a window of the bench's own in front, so that each hide + restore and
// each bare loop starts alike: with a window to be hidden in front (as a
// restore leaves it), hiding it hands the activation to the next in line,
// and that one to the next, down the whole loop.
void BenchWindowInFront();
// A visible top-level window of the bench's own (its class registered on
// first use), marked so that it is never catalogued.
HWND OwnTopWindow(const wchar_t* className, const wchar_t* title, int x, int y, int width, int height);

// The bare programs that the idle section compares Covelin with.
int RunBarePoller();
int RunBareDialog();
int RunBareTemplateDialog();

// Path of this program, for starting copies of it as helper processes.
std::wstring OwnPath();

// The tests' window host with `windows` top-level windows of its own; ended
// with the object.
class HostProcess : public testsupport::WindowHost {
public:
    explicit HostProcess(int windows);
    // Waits (bounded) until the host has dealt with everything queued for
    // its windows, then lets the window system settle.
    void Settle() const;
};

} // namespace bench

#define BENCH_CONCAT2(a, b) a##b
#define BENCH_CONCAT(a, b) BENCH_CONCAT2(a, b)
#define BENCH_SECTION(name, summary)                                                                                   \
    static void BENCH_CONCAT(BenchSection_, __LINE__)();                                                               \
    static ::bench::Registrar BENCH_CONCAT(benchRegistrar_, __LINE__)(name, summary,                                   \
                                                                      &BENCH_CONCAT(BenchSection_, __LINE__));         \
    static void BENCH_CONCAT(BenchSection_, __LINE__)()
