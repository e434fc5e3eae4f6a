#pragma once
// What every end-to-end case starts from: a private copy of Covelin in a
// scratch directory and the user's Covelin registry entries put aside.
#include "E2eDriver.h"

#include <gtest/gtest.h>

#include <memory>

#include "support/ScratchRegistry.h"
#include "support/WindowHost.h"

namespace e2e {

class CovelinCase : public ::testing::Test {
protected:
    CovelinCase();
    void SetUp() override { ASSERT_TRUE(install.Ok()) << "could not copy the programs into a scratch directory"; }

    // Starts Covelin (with `args`) and waits for its main dialog; a message
    // box on the way fails the case with its text.
    HWND StartToDialog(Process& covelin, const std::wstring& workDir = L"", const std::wstring& args = L"");
    // Presses Exit and expects the program to end with exit code 0.
    void ExitExpectingZero(Process& covelin, HWND dialog);
    // Presses Start and waits until the dialog has gone (the engine is armed).
    bool Arm(HWND dialog);
    // Waits until the engine has handed the dialog back whole: shown and
    // restored from its minimised state. (A click on it before that would
    // race with the engine's last steps, faster than any user can.)
    bool WaitForDialogBack(HWND dialog);
    // Runs `exe` with `args` to its end; its exit code, or 1234 (and a
    // failure) when it did not end within `timeoutMs`.
    DWORD RunToEnd(const std::wstring& exe, const std::wstring& args, DWORD timeoutMs = kExitMs + kStartMs);
    // Starts the target program (the installed copy of the window host)
    // with `count` ordinary windows of kTargetClass, and waits until all of
    // them show. Null when it did not start.
    std::unique_ptr<testsupport::WindowHost> StartTarget(int count);

    Install install;
    // The user's own "Files" list and Run value, put back after the case;
    // every case starts with neither.
    testsupport::RegKeySetAside fileList{HKEY_CURRENT_USER, kFilesKey};
    testsupport::RegValueGuard runValue{HKEY_CURRENT_USER, kRunKey, kRunValue};
};

std::string Narrow(const std::wstring& text);
bool AllVisible(const std::vector<HWND>& windows);
bool NoneVisible(const std::vector<HWND>& windows);

} // namespace e2e
