#include "ui/TestProgram.h"

DialogState TestProgram::Dialog()
{
    return DialogState{session, home, catalogues, choices, tray};
}

TestProgram& Program()
{
    static TestProgram program;
    return program;
}
