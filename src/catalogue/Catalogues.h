#pragma once
// The live catalogues of windows and processes, their locks and the two
// threads that keep them current. The application object owns one and
// hands it to the pages and the engine.
//
// Lock order, outer first; no lock is ever taken in another order:
//   the engine's engineLock (engine/) -> windowLock -> the window
//     catalogue's fact cache (WindowCatalogue.cpp), taken by every rebuild;
//   engineLock -> the volume's lock -> its session watch's lock
//     (actions/Volume.h), while a hide notes its mute in the journal (the
//     mute itself runs without engineLock);
//   processLock -> the process catalogue's memory (ProcessCatalogue.cpp).
// Taken under any of these, with nothing taken under them but the log's:
// the Store apps' cache (StoreApps.cpp), the tray icon's shell state
// (TrayIcon.cpp) and the hidden watch's control (HiddenWatch.h). The log's
// lock is taken last of all and nothing is taken under it.
// Records of a catalogue are good only while its lock is held.
#include "catalogue/CatalogueRefresher.h"
#include "catalogue/ProcessCatalogue.h"
#include "catalogue/WindowCatalogue.h"
#include "framework/Sync.h"

struct Catalogues {
    Catalogues();
    Catalogues(const Catalogues&) = delete;
    Catalogues& operator=(const Catalogues&) = delete;

    // Every window the user may choose.
    CCvWndArray windowCatalogue;
    CCriticalSection windowLock;
    // Every process the user may choose.
    CProcessArray processCatalogue;
    CCriticalSection processLock;

    // Rebuild windowCatalogue under windowLock, and processCatalogue under
    // processLock, about every 500 ms (see CCatalogueRefresher).
    CCatalogueRefresher windowRefresher;
    CCatalogueRefresher processRefresher;

    // One rebuild on the calling thread, under the catalogue's lock.
    void RefreshWindows();
    void RefreshProcesses();

    // Shutdown's stop request for both refreshers: the window refresher
    // first, each woken so that neither waits out its period.
    void RequestRefreshersStop();
};
