#pragma once
// The application object and the application's message box.
#include <windows.h>

#include <string>

class CWnd;

class CWinApp {
public:
    // `appName` null means the executable's file name without extension.
    explicit CWinApp(const wchar_t* appName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Start-up; FALSE ends the program without running the message loop
    // (a dialog-based program runs its dialog here and returns FALSE).
    virtual BOOL InitInstance();
    // Clean-up; its result is the program's exit code.
    virtual int ExitInstance();
    // The message loop, until WM_QUIT; then ExitInstance.
    virtual int Run();

    // Keeps the profile under Software\<company>\<application name>.
    void SetRegistryKey(const wchar_t* company);
    std::wstring GetProfileString(const wchar_t* section, const wchar_t* entry, const wchar_t* defaultValue = L"");
    bool WriteProfileString(const wchar_t* section, const wchar_t* entry, const wchar_t* value);

    // Icon resource `id` of the program at the system's large icon size.
    HICON LoadIcon(UINT id) const;

    HINSTANCE m_hInstance;
    std::wstring m_pszAppName;
    CWnd* m_pMainWnd = nullptr;
    int m_exitCode = 0;
};

// The one application object, or null when there is none (tests).
CWinApp* AfxGetApp();

// InitInstance, then Run or ExitInstance: what the program's entry point does.
int AfxWinMain();

// The application's message box: the application's name as caption (the
// executable's when there is no application object), the
// given buttons and icon, owned by the main window when it is on screen, else
// by this thread's active window. Returns the button pressed.
int AfxMessageBox(const wchar_t* text, UINT type = MB_OK);
