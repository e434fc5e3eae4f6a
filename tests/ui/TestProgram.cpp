#include "ui/TestProgram.h"

#include "engine/Engine.h"

DialogState TestProgram::Dialog()
{
    return DialogState{TheEngine(), home, catalogues, choices};
}

TestProgram& Program()
{
    static TestProgram program;
    return program;
}
