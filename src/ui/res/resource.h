#pragma once
// Resource identifiers shared by the resource script and the code.

#define IDR_MAINFRAME 128
