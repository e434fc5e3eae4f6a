#include "support/ChildRun.h"

#include <gtest/gtest.h>

namespace testsupport {

int RunTestChild(const std::string& filter, const wchar_t* variable, const std::wstring& value, DWORD timeoutMs)
{
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(exe) + L"\" --gtest_color=no --gtest_also_run_disabled_tests " +
                           L"--gtest_filter=" + std::wstring(filter.begin(), filter.end());

    // The child inherits our environment: set for the moment of its start.
    SetEnvironmentVariableW(variable, value.c_str());
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process = {};
    BOOL started = CreateProcessW(exe, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    SetEnvironmentVariableW(variable, nullptr);
    if (!started) {
        ADD_FAILURE() << "child not started: " << GetLastError();
        return -1;
    }
    int result = -1;
    if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0) {
        DWORD exitCode = 1;
        GetExitCodeProcess(process.hProcess, &exitCode);
        result = static_cast<int>(exitCode);
    } else {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, 5000);
        ADD_FAILURE() << "child did not end: " << filter;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return result;
}

} // namespace testsupport
