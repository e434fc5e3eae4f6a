#pragma once
// A fault inside Covelin must not leave the user's windows hidden: an
// unhandled exception (on any thread) and a call to std::terminate show the
// windows `journal` lists first, then go on as before.
#include <windows.h>

#include "recovery/HiddenJournal.h"

void InstallFaultGuard(HiddenJournal& journal);
// Lets go of `journal` if the guard holds it: a journal that is gone is
// never reached (the guard then shows nothing). The journal's destructor
// calls it.
void ReleaseFaultGuard(HiddenJournal& journal);
LONG WINAPI RestoreHiddenOnFault(EXCEPTION_POINTERS* pointers);
