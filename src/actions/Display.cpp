#include "actions/Display.h"

#include <cstring>
#include <memory>

D3DDISPLAYMODE storedDisplayMode = {};

namespace {

DisplayChangeFunction displayChange = nullptr;
DisplayModeReader displayModeReader = &ReadDisplayModeThroughDirect3D9;

constexpr DWORD kDisplayModeFields = DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY;
static_assert(kDisplayModeFields == 0x580000);
static_assert(sizeof(DEVMODEW) == 220, "the record handed to the system is 220 bytes");
static_assert(sizeof(D3DDISPLAYMODE) == 16);

} // namespace

bool ReadDisplayModeThroughDirect3D9(D3DDISPLAYMODE& mode)
{
    // Declared before the interface, so the interface is released while the
    // library is still there to release it.
    const UniqueModule library(LoadLibraryW(L"d3d9.dll"));
    if (!library)
        return false;
    using CreateFunction = IDirect3D9*(WINAPI*)(UINT sdkVersion);
    const auto create =
        reinterpret_cast<CreateFunction>(reinterpret_cast<void*>(GetProcAddress(library.get(), "Direct3DCreate9")));
    if (create == nullptr)
        return false;
    const ComPtr<IDirect3D9> direct3d(create(D3D_SDK_VERSION));
    if (!direct3d)
        return false;
    return direct3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode) == D3D_OK;
}

bool CaptureDisplayMode(D3DDISPLAYMODE& mode)
{
    storedDisplayMode = {};
    if (!displayModeReader(mode))
        return false;
    std::memcpy(&storedDisplayMode, &mode, sizeof(storedDisplayMode));
    return true;
}

// Shared with the reading thread, which may outlive a read given up on.
struct DisplayModeRead::Result {
    D3DDISPLAYMODE mode{};
    bool captured = false;
    HWND window = nullptr;
    UINT message = 0;
};

namespace {

// Direct3D 9 takes a few hundred milliseconds under Wine; a read that has
// not ended after this is not waited for any longer.
constexpr DWORD kReadTimeoutMs = 10000;

} // namespace

DisplayModeRead::~DisplayModeRead()
{
    if (thread_)
        static_cast<void>(thread_.Wait(kReadTimeoutMs));
}

bool DisplayModeRead::Start(HWND window, UINT message)
{
    if (thread_)
        return false;
    result_ = std::make_shared<Result>();
    result_->window = window;
    result_->message = message;
    // The thread keeps its own reference to the result: a reader that
    // stopped waiting may go before it ends.
    return thread_.Start([result = result_] {
        result->captured = CaptureDisplayMode(result->mode);
        PostMessageW(result->window, result->message, 0, 0);
    });
}

bool DisplayModeRead::Take(D3DDISPLAYMODE& mode)
{
    if (!thread_)
        return false;
    const bool ended = thread_.Wait(kReadTimeoutMs);
    thread_.Close();
    // The thread's end makes its writes visible here.
    const bool captured = ended && result_->captured;
    if (captured)
        mode = result_->mode;
    result_.reset();
    return captured;
}

void SetDisplayModeReader(DisplayModeReader reader)
{
    displayModeReader = reader != nullptr ? reader : &ReadDisplayModeThroughDirect3D9;
}

DEVMODEW MakeDisplayModeRecord(const D3DDISPLAYMODE& mode)
{
    DEVMODEW record;
    std::memset(&record, 0, sizeof(record));
    record.dmSize = sizeof(record);
    record.dmFields = kDisplayModeFields;
    record.dmPelsWidth = mode.Width;
    record.dmPelsHeight = mode.Height;
    record.dmDisplayFrequency = mode.RefreshRate;
    return record;
}

LONG ApplyStoredDisplayMode()
{
    // Nothing was captured (or the capture failed): a 0 x 0 mode is no
    // mode to go back to.
    if (storedDisplayMode.Width == 0 || storedDisplayMode.Height == 0)
        return DISP_CHANGE_BADMODE;
    DEVMODEW record = MakeDisplayModeRecord(storedDisplayMode);
    // No flags: a dynamic change, not stored in the system's settings.
    if (displayChange != nullptr)
        return displayChange(&record, 0);
    return ChangeDisplaySettingsW(&record, 0);
}

void StartScreensaver()
{
    // Every top-level window gets the request, as with a broadcast send, but
    // without waiting for any of them: a single hung window would otherwise
    // stop the engine for good.
    SendNotifyMessageW(HWND_BROADCAST, WM_SYSCOMMAND, SC_SCREENSAVE, 0);
}

void SetDisplayChangeFunction(DisplayChangeFunction function)
{
    displayChange = function;
}
