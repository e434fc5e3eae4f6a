#pragma once
// The program's two catalogue refreshers, started at start-up and stopped
// at shutdown (see CCatalogueRefresher for their stop/done protocol).
#include "catalogue/CatalogueRefresher.h"

// Rebuilds windowCatalogue under windowLock.
extern CCatalogueRefresher windowRefresher;
// Rebuilds processCatalogue under processLock.
extern CCatalogueRefresher processRefresher;

// Shutdown's stop request for both: the window refresher first, each woken
// so that neither waits out its period.
void RequestRefreshersStop();
