#pragma once
// Which app a Store frame ("ApplicationFrameWindow", a window of
// ApplicationFrameHost.exe) belongs to when the app's own window is not
// inside it. A minimised or suspended app takes its window out of the frame;
// the frame and the app's process then still carry the same application
// user model id (the frame's PKEY_AppUserModel_ID, the process's
// GetApplicationUserModelId), and that names the app.
#include <windows.h>

#include <string>
#include <vector>

// The app user model id the frame carries; false when it has none or the
// system keeps none (Windows 7, Wine).
bool AppIdOfWindow(HWND window, std::wstring& appId);
// The app user model id of a packaged process; false for any other.
bool AppIdOfProcess(DWORD processId, std::wstring& appId);

// The process, other than `frameProcess`, that runs the app `frame` carries
// the id of; 0 when none does (or the frame carries none).
DWORD AppProcessByAppId(HWND frame, DWORD frameProcess);

// What the questions above ask of the system; tests answer them with ids of
// their own, since Wine keeps none. A null member is the system's answer.
struct AppIdQueries {
    bool (*ofWindow)(HWND window, std::wstring& appId);
    bool (*ofProcess)(DWORD processId, std::wstring& appId);
    // The processes that may run an app (every process, by default).
    void (*processes)(std::vector<DWORD>& ids);
};
void SetAppIdQueriesForTests(const AppIdQueries* queries);
