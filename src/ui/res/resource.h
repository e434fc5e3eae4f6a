#pragma once
// Resource identifiers shared by the resource scripts and the code.

// Icons, tray menu and tray image names
#define IDR_MAINFRAME 128

// Main dialog and the Options, Settings and About pages

// Windows, Processes and Executable Files pages
