#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    MessageBoxW(nullptr, L"Covelin is being built: only its tests run so far.", L"Covelin", MB_OK | MB_ICONINFORMATION);
    return 0;
}
