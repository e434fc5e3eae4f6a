#include "framework/WinApp.h"

#include "framework/Controls.h"
#include "framework/FileSystem.h"
#include "framework/Profile.h"

namespace {
CWinApp* theApp = nullptr;
} // namespace

CWinApp::CWinApp(const wchar_t* appName)
    : m_hInstance(::GetModuleHandleW(nullptr)), m_pszAppName(appName != nullptr ? appName : ExecutableBaseName())
{
    theApp = this;
}

CWinApp::~CWinApp()
{
    if (theApp == this)
        theApp = nullptr;
}

CWinApp* AfxGetApp()
{
    return theApp;
}

BOOL CWinApp::InitInstance()
{
    return TRUE;
}

int CWinApp::ExitInstance()
{
    return m_exitCode;
}

int CWinApp::Run()
{
    MSG msg;
    for (;;) {
        BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            m_exitCode = static_cast<int>(msg.wParam);
            break;
        }
        if (got == -1)
            break;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return ExitInstance();
}

void CWinApp::SetRegistryKey(const wchar_t* company)
{
    ProfileSetKey(company, m_pszAppName.c_str());
}

std::wstring CWinApp::GetProfileString(const wchar_t* section, const wchar_t* entry, const wchar_t* defaultValue)
{
    return ProfileReadString(section, entry, defaultValue);
}

bool CWinApp::WriteProfileString(const wchar_t* section, const wchar_t* entry, const wchar_t* value)
{
    return ProfileWriteString(section, entry, value) != 0;
}

HICON CWinApp::LoadIcon(UINT id) const
{
    return static_cast<HICON>(
        ::LoadImageW(m_hInstance, MAKEINTRESOURCEW(id), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
}

int AfxWinMain()
{
    CWinApp* app = AfxGetApp();
    if (app == nullptr)
        return -1;
    if (!app->InitInstance())
        return app->ExitInstance();
    return app->Run();
}

int AfxMessageBox(const wchar_t* text, UINT type)
{
    HWND owner = nullptr;
    if (CWinApp* app = AfxGetApp(); app != nullptr && app->m_pMainWnd != nullptr) {
        HWND main = app->m_pMainWnd->m_hWnd;
        if (main != nullptr && ::IsWindowVisible(main) && !::IsIconic(main))
            owner = main;
    }
    if (owner == nullptr)
        owner = ::GetActiveWindow();
    const std::wstring caption = AfxGetApp() != nullptr ? AfxGetApp()->m_pszAppName : ExecutableBaseName();
    return ::MessageBoxW(owner, text != nullptr ? text : L"", caption.c_str(), type);
}
