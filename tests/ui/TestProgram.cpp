#include "ui/TestProgram.h"

DialogState TestProgram::Dialog()
{
    CaptureDisplayMode(storedDisplayMode);
    return Dialog(storedDisplayMode);
}

DialogState TestProgram::Dialog(const DisplayMode& mode)
{
    return DialogState{session, home, catalogues, choices, tray, mode};
}

TestProgram& Program()
{
    static TestProgram program;
    return program;
}
