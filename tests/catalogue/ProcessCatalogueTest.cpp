#include <gtest/gtest.h>

#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

#include "catalogue/Catalogues.h"
#include "catalogue/ProcessCatalogue.h"
#include "catalogue/SystemProcessList.h"
#include "support/ScratchDir.h"
#include "support/TestCatalogues.h"
#include "support/Wait.h"
#include "support/WindowHost.h"
#include "system/ProcessInfo.h"

using testsupport::WaitUntil;
using testsupport::WindowHost;

namespace {

Catalogues& catalogues = testsupport::TestCatalogues();

const std::vector<std::string> kNoWindows;

struct Entry {
    unsigned long id;
    std::wstring path;
    std::wstring name;
    bool operator==(const Entry&) const = default;
};

std::vector<Entry> Entries(CProcessArray& array)
{
    std::vector<Entry> entries;
    for (int i = 0; i < array.GetSize(); ++i)
        entries.push_back({array[i]->GetProcessId(), array[i]->GetPath() ? array[i]->GetPath() : L"",
                           array[i]->GetName() ? array[i]->GetName() : L""});
    return entries;
}

const Entry* FindId(const std::vector<Entry>& entries, unsigned long id)
{
    for (const Entry& entry : entries)
        if (entry.id == id)
            return &entry;
    return nullptr;
}

TEST(ProcessCatalogue, ListsProcessesWithPathAndNameNewestEnumerationEntryFirst)
{
    WindowHost first(kNoWindows);
    WindowHost second(kNoWindows);
    ASSERT_TRUE(first.Ready() && second.Ready());

    CProcessArray catalogue;
    int size = catalogue.Refresh();
    auto entries = Entries(catalogue);
    EXPECT_EQ(size, static_cast<int>(entries.size()));
    const Entry* host = FindId(entries, first.ProcessId());
    ASSERT_NE(host, nullptr);
    EXPECT_EQ(host->path, testsupport::HelperProgramPath(L"window_host.exe"));
    EXPECT_EQ(host->name, L"window_host.exe");
    ASSERT_NE(FindId(entries, GetCurrentProcessId()), nullptr);

    // The catalogue runs against the enumeration's order.
    DWORD ids[1024];
    DWORD bytes = 0;
    ASSERT_TRUE(EnumProcesses(ids, sizeof(ids), &bytes));
    std::vector<unsigned long> enumerated(ids, ids + bytes / sizeof(DWORD));
    std::vector<unsigned long> listed;
    for (const Entry& entry : entries)
        listed.push_back(entry.id);
    std::vector<unsigned long> expected;
    for (auto it = enumerated.rbegin(); it != enumerated.rend(); ++it)
        if (std::find(listed.begin(), listed.end(), *it) != listed.end())
            expected.push_back(*it);
    EXPECT_EQ(listed, expected);
}

TEST(ProcessCatalogue, NeverListsAProgramNamedCovelinExeInAnyCase)
{
    testsupport::ScratchDir dir;
    const std::wstring helper = testsupport::HelperProgramPath(L"window_host.exe");
    ASSERT_TRUE(CopyFileW(helper.c_str(), dir.File(L"COVELIN.EXE").c_str(), FALSE));
    ASSERT_TRUE(CreateDirectoryW(dir.File(L"sub").c_str(), nullptr));
    ASSERT_TRUE(CopyFileW(helper.c_str(), dir.File(L"sub\\coVeLin.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(helper.c_str(), dir.File(L"Covelin.exe.exe").c_str(), FALSE));
    WindowHost upper(kNoWindows, dir.File(L"COVELIN.EXE"));
    WindowHost mixed(kNoWindows, dir.File(L"sub\\coVeLin.exe"));
    WindowHost lookalike(kNoWindows, dir.File(L"Covelin.exe.exe"));
    ASSERT_TRUE(upper.Ready() && mixed.Ready() && lookalike.Ready());

    CProcessArray catalogue;
    catalogue.Refresh();
    auto entries = Entries(catalogue);
    EXPECT_EQ(FindId(entries, upper.ProcessId()), nullptr);
    EXPECT_EQ(FindId(entries, mixed.ProcessId()), nullptr);
    EXPECT_NE(FindId(entries, lookalike.ProcessId()), nullptr);
    for (auto* host : {&upper, &mixed, &lookalike})
        host->Terminate();
}

TEST(ProcessCatalogue, ASteadyStateRebuildGivesWhatAFreshOneGives)
{
    auto host = std::make_unique<WindowHost>(kNoWindows);
    ASSERT_TRUE(host->Ready());
    CProcessArray catalogue;
    ForgetResolvedProcesses();
    catalogue.Refresh();
    auto cold = Entries(catalogue);
    catalogue.Refresh();
    EXPECT_EQ(Entries(catalogue), cold);

    // Processes that end and start between rebuilds are seen as such.
    DWORD ended = host->ProcessId();
    host.reset();
    WindowHost next(kNoWindows);
    ASSERT_TRUE(next.Ready());
    catalogue.Refresh();
    auto warm = Entries(catalogue);
    EXPECT_EQ(FindId(warm, ended), nullptr);
    ASSERT_NE(FindId(warm, next.ProcessId()), nullptr);
    ForgetResolvedProcesses();
    catalogue.Refresh();
    EXPECT_EQ(Entries(catalogue), warm);
}

// The system's list on a terminal server: a thousand processes, laid out as
// NtQuerySystemInformation lays them out.
NTSTATUS NTAPI ThousandProcesses(SYSTEM_INFORMATION_CLASS kind, PVOID buffer, ULONG size, PULONG needed)
{
    const ULONG record = sizeof(SYSTEM_PROCESS_INFORMATION);
    if (needed)
        *needed = 1000 * record;
    if (kind != SystemProcessInformation || buffer == nullptr || size < 1000 * record)
        return static_cast<NTSTATUS>(kind != SystemProcessInformation ? 0xC0000003L : 0xC0000004L);
    for (ULONG i = 0; i < 1000; ++i) {
        auto* info =
            reinterpret_cast<SYSTEM_PROCESS_INFORMATION*>(static_cast<BYTE*>(buffer) + static_cast<size_t>(i) * record);
        *info = SYSTEM_PROCESS_INFORMATION{};
        info->NextEntryOffset = i < 999 ? record : 0;
        info->UniqueProcessId = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(100004 + 4 * i));
        info->CreateTime.QuadPart = 1 + i;
    }
    return 0;
}

TEST(SystemProcessList, ListsEveryProcessHoweverMany)
{
    SystemProcessList busy(&ThousandProcesses);
    const std::vector<ProcessEntry>* entries = busy.List();
    ASSERT_NE(entries, nullptr);
    ASSERT_EQ(entries->size(), 1000u);
    EXPECT_EQ(entries->back().id, 104000u) << "the newest, last in the system's list";
}

TEST(ProcessRecord, ResolvesItsPathOnceAndKeepsIt)
{
    WindowHost host(kNoWindows);
    ASSERT_TRUE(host.Ready());
    CProcess kept(host.ProcessId());
    ASSERT_NE(kept.GetName(), nullptr);
    CProcess late(host.ProcessId());
    host.Terminate();
    EXPECT_STREQ(kept.GetName(), L"window_host.exe");
    EXPECT_EQ(std::wstring(kept.GetPath()), testsupport::HelperProgramPath(L"window_host.exe"));
    HICON icon = kept.GetIcon();
    EXPECT_NE(icon, nullptr);
    DestroyIcon(icon);
    EXPECT_EQ(late.GetName(), nullptr);
    EXPECT_EQ(late.GetPath(), nullptr);
    EXPECT_EQ(late.GetIcon(), nullptr);
}

TEST(ProcessOwner, IsTheAccountNameAlone)
{
    wchar_t user[256];
    DWORD size = 256;
    ASSERT_TRUE(GetUserNameW(user, &size));
    std::wstring account;
    ASSERT_TRUE(ProcessOwnerName(GetCurrentProcessId(), account));
    EXPECT_EQ(account, user);
    account = L"untouched";
    EXPECT_FALSE(ProcessOwnerName(0xFFFFFFF0u, account));
    EXPECT_EQ(account, L"untouched");
}

// "SYSTEM" is "Syst\u00e8me" on a French system: the service accounts are
// told by their SIDs, whatever they are called.
TEST(ProcessOwner, ServiceAccountsAreToldBySidNotByName)
{
    for (WELL_KNOWN_SID_TYPE type : {WinLocalSystemSid, WinLocalServiceSid, WinNetworkServiceSid, WinWorldSid}) {
        BYTE sid[SECURITY_MAX_SID_SIZE];
        DWORD size = sizeof sid;
        ASSERT_TRUE(CreateWellKnownSid(type, nullptr, sid, &size));
        EXPECT_EQ(IsServiceAccountSid(sid), type != WinWorldSid) << type;
    }
    WindowHost host({"CvHostPlain|named SYSTEM"});
    ASSERT_TRUE(host.Ready());
    SetAccountNameLookupForTests([](PSID, std::wstring& account) { return account = L"SYSTEM", true; });
    ForgetResolvedProcesses();
    CProcessArray catalogue;
    catalogue.Refresh();
    SetAccountNameLookupForTests(nullptr);
    ForgetResolvedProcesses();
    bool listed = false;
    for (int i = 0; i < catalogue.GetSize(); ++i)
        listed = listed || catalogue[i]->GetProcessId() == host.ProcessId();
    EXPECT_TRUE(listed) << "a user's process is listed whatever its account is called";
}

TEST(ProcessRefresher, KeepsTheCatalogueCurrentAndStopsPromptly)
{
    CWinThread thread = catalogues.processRefresher.Start();
    ASSERT_TRUE(thread);
    auto listed = [](unsigned long id) {
        std::lock_guard<CCriticalSection> guard(catalogues.processLock);
        for (int i = 0; i < catalogues.processCatalogue.GetSize(); ++i)
            if (catalogues.processCatalogue[i]->GetProcessId() == id)
                return true;
        return false;
    };
    WindowHost host(kNoWindows);
    ASSERT_TRUE(host.Ready()) << host.Failure();
    EXPECT_TRUE(WaitUntil([&] { return listed(host.ProcessId()); }, 3000));
    host.Terminate();
    EXPECT_TRUE(WaitUntil([&] { return !listed(host.ProcessId()); }, 3000));

    catalogues.processRefresher.stop = 1;
    EXPECT_TRUE(WaitUntil([] { return catalogues.processRefresher.done.load() == 1; }, 3000));
    EXPECT_TRUE(thread.Wait(3000));

    // Stopped right after the start, repeatedly.
    for (int round = 0; round < 5; ++round) {
        thread = catalogues.processRefresher.Start();
        ASSERT_TRUE(thread);
        catalogues.processRefresher.stop = 1;
        EXPECT_TRUE(WaitUntil([] { return catalogues.processRefresher.done.load() == 1; }, 3000)) << round;
        EXPECT_TRUE(thread.Wait(3000));
    }
    std::lock_guard<CCriticalSection> guard(catalogues.processLock);
    catalogues.processCatalogue.RemoveAll();
}

} // namespace
