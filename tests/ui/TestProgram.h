#pragma once
// What the application object owns, once for the whole ui test program: the
// pages and dialogs under test are handed these, as the running program
// hands them its own.
#include "catalogue/Catalogues.h"
#include "choices/HideSets.h"
#include "engine/Engine.h"
#include "settings/SettingFile.h"
#include "ui/MainDlg.h"

struct TestProgram {
    ProgramHome home;
    Catalogues catalogues;
    HideChoices choices;
    CEngine engine;

    // For a main dialog on these.
    DialogState Dialog();
};

TestProgram& Program();
