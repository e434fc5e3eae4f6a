#include "ui/TestProgram.h"

DialogState TestProgram::Dialog()
{
    return DialogState{engine, home, catalogues, choices};
}

TestProgram& Program()
{
    static TestProgram program;
    return program;
}
