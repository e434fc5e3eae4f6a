#pragma once
// Hiding and restoring a hundred chosen windows of which five belong to a
// program that has stopped answering: the engine must not wait for them, so
// every hide and every restore stays within 250 ms of the bare ShowWindow
// loop over the windows that do answer.
namespace soak {

struct HungFigures {
    bool ready = false;
    int chosen = 0;
    int hung = 0;
    int rounds = 0;
    // Milliseconds: the engine's longest hide and restore, the bare loops'
    // times in those rounds (each the mean of a loop just before and one
    // just after), and the most any hide or restore took beyond the bare
    // loop of its round.
    double longestHide = 0;
    double longestRestore = 0;
    double bareHide = 0;
    double bareShow = 0;
    double mostAboveFloor = 0;
    bool met = false;
};

inline constexpr double kHungAllowanceMs = 250;

HungFigures MeasureHungWindows();
// One line: "hung: ...".
void PrintHungFigures(const HungFigures& figures);

} // namespace soak
