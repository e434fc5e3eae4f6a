#include "system/StoreApps.h"

#include <objbase.h>
#include <propkey.h>
#include <propsys.h>
#include <psapi.h>

#include <atomic>
#include <mutex>

#include "framework/Handles.h"
#include "framework/Sync.h"

namespace {

std::atomic<const AppIdQueries*> fakeQueries{nullptr};

// Both are looked up by name: the first comes with Windows 7, the second
// with Windows 8, and the program runs on older systems too.
using PropertyStoreForWindowFn = HRESULT(WINAPI*)(HWND, REFIID, void**);
using AppIdOfProcessFn = LONG(WINAPI*)(HANDLE, UINT32*, PWSTR);

template <typename Function>
Function SystemFunction(const wchar_t* module, const char* name)
{
    HMODULE loaded = GetModuleHandleW(module);
    if (loaded == nullptr)
        loaded = LoadLibraryExW(module, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return loaded != nullptr ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(loaded, name)))
                             : nullptr;
}

bool SystemAppIdOfWindow(HWND window, std::wstring& appId)
{
    static const auto storeForWindow =
        SystemFunction<PropertyStoreForWindowFn>(L"shell32.dll", "SHGetPropertyStoreForWindow");
    if (storeForWindow == nullptr)
        return false;
    // The store is an in-process object: any apartment, or none, will do.
    const HRESULT init = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    bool found = false;
    {
        ComPtr<IPropertyStore> store;
        PROPVARIANT value;
        PropVariantInit(&value);
        if (SUCCEEDED(storeForWindow(window, IID_IPropertyStore, store.put_void())) && store &&
            SUCCEEDED(store->GetValue(PKEY_AppUserModel_ID, &value))) {
            if (value.vt == VT_LPWSTR && value.pwszVal != nullptr && value.pwszVal[0] != L'\0') {
                appId = value.pwszVal;
                found = true;
            }
            PropVariantClear(&value);
        }
    }
    if (SUCCEEDED(init))
        CoUninitialize();
    return found;
}

bool SystemAppIdOfProcess(DWORD processId, std::wstring& appId)
{
    static const auto appIdOf = SystemFunction<AppIdOfProcessFn>(L"kernel32.dll", "GetApplicationUserModelId");
    if (appIdOf == nullptr || processId == 0)
        return false;
    const UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process)
        return false;
    wchar_t text[130] = {}; // APPLICATION_USER_MODEL_ID_MAX_LENGTH
    UINT32 length = 130;
    if (appIdOf(process.get(), &length, text) != ERROR_SUCCESS)
        return false;
    appId = text;
    return !appId.empty();
}

void SystemProcesses(std::vector<DWORD>& ids)
{
    std::vector<DWORD> all(1024);
    DWORD bytes = 0;
    while (EnumProcesses(all.data(), static_cast<DWORD>(all.size() * sizeof(DWORD)), &bytes) &&
           bytes == all.size() * sizeof(DWORD))
        all.resize(all.size() * 2);
    all.resize(bytes / sizeof(DWORD));
    ids.swap(all);
}

// The app process last found for each id: asked again before it is used,
// so one frame costs one question while the app runs.
CCriticalSection cacheLock;
std::vector<std::pair<std::wstring, DWORD>> lastFound;

} // namespace

bool AppIdOfWindow(HWND window, std::wstring& appId)
{
    const AppIdQueries* fake = fakeQueries.load();
    return fake && fake->ofWindow ? fake->ofWindow(window, appId) : SystemAppIdOfWindow(window, appId);
}

bool AppIdOfProcess(DWORD processId, std::wstring& appId)
{
    const AppIdQueries* fake = fakeQueries.load();
    return fake && fake->ofProcess ? fake->ofProcess(processId, appId) : SystemAppIdOfProcess(processId, appId);
}

DWORD AppProcessByAppId(HWND frame, DWORD frameProcess)
{
    std::wstring frameId;
    if (!AppIdOfWindow(frame, frameId))
        return 0;
    auto runs = [&](DWORD processId) {
        std::wstring id;
        return processId != frameProcess && AppIdOfProcess(processId, id) && id == frameId;
    };
    {
        std::lock_guard<CCriticalSection> guard(cacheLock);
        for (const auto& [id, processId] : lastFound) {
            if (id == frameId && runs(processId))
                return processId;
        }
    }
    std::vector<DWORD> processes;
    const AppIdQueries* fake = fakeQueries.load();
    if (fake && fake->processes)
        fake->processes(processes);
    else
        SystemProcesses(processes);
    for (DWORD processId : processes) {
        if (processId == 0 || !runs(processId))
            continue;
        std::lock_guard<CCriticalSection> guard(cacheLock);
        for (auto& entry : lastFound) {
            if (entry.first == frameId) {
                entry.second = processId;
                return processId;
            }
        }
        lastFound.emplace_back(frameId, processId);
        return processId;
    }
    return 0;
}

void SetAppIdQueriesForTests(const AppIdQueries* queries)
{
    fakeQueries.store(queries);
    std::lock_guard<CCriticalSection> guard(cacheLock);
    lastFound.clear();
}
