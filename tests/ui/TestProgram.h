#pragma once
// What the application object owns, once for the whole ui test program: the
// pages and dialogs under test are handed these, as the running program
// hands them its own.
#include <string>
#include <vector>

#include "actions/Display.h"
#include "actions/TrayIconPort.h"
#include "app/ArmedSession.h"
#include "catalogue/Catalogues.h"
#include "choices/HideSets.h"
#include "engine/Engine.h"
#include "settings/SettingFile.h"
#include "ui/MainDlg.h"

// Stands in for the tray icon: what is asked of it, as "show 6" or "hide".
class TrayRecorder : public TrayIconPort {
public:
    void Show(int index) override { calls.push_back("show " + std::to_string(index)); }
    void Hide() override { calls.push_back("hide"); }
    void NoteNotHidden(int windows) override { calls.push_back("notHidden " + std::to_string(windows)); }
    std::vector<std::string> calls;
};

struct TestProgram {
    ProgramHome home;
    Catalogues catalogues;
    HideChoices choices;
    TrayRecorder tray;
    CEngine engine{&tray};
    DisplayMode storedDisplayMode;
    CArmedSession session{engine, home, catalogues, choices, tray, storedDisplayMode};

    // For a main dialog on these, with the display mode read now, as the
    // application reads it at start-up.
    DialogState Dialog();
    // The same with `storedDisplayMode` handed in instead.
    DialogState Dialog(const DisplayMode& storedDisplayMode);
};

TestProgram& Program();
