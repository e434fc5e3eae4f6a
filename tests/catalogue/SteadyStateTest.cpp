#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "catalogue/Catalogues.h"
#include "catalogue/ProcessCatalogue.h"
#include "catalogue/WindowCatalogue.h"
#include "support/Wait.h"
#include "support/WindowHost.h"

namespace {

// The catalogues as the application object owns them.
Catalogues catalogues;

} // namespace

using testsupport::TestWindow;
using testsupport::WaitUntil;
using testsupport::WindowHost;

namespace {

const std::vector<std::string> kNoWindows;

bool WindowListed(HWND window)
{
    std::lock_guard<CCriticalSection> guard(catalogues.windowLock);
    for (int i = 0; i < catalogues.windowCatalogue.GetSize(); ++i)
        if (catalogues.windowCatalogue[i]->GetHandle() == window)
            return true;
    return false;
}

bool ProcessListed(unsigned long id)
{
    std::lock_guard<CCriticalSection> guard(catalogues.processLock);
    for (int i = 0; i < catalogues.processCatalogue.GetSize(); ++i)
        if (catalogues.processCatalogue[i]->GetProcessId() == id)
            return true;
    return false;
}

std::vector<unsigned long> Ids(CProcessArray& array)
{
    std::vector<unsigned long> ids;
    for (int i = 0; i < array.GetSize(); ++i)
        ids.push_back(array[i]->GetProcessId());
    return ids;
}

bool Has(const std::vector<unsigned long>& ids, unsigned long id)
{
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

bool BothEnded()
{
    return catalogues.windowRefresher.done.load() == 1 && catalogues.processRefresher.done.load() == 1;
}

// CPU time a thread has used, in milliseconds.
double CpuMs(HANDLE thread)
{
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(thread, &created, &exited, &kernel, &user))
        return -1;
    auto ms = [](const FILETIME& t) {
        return ((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0;
    };
    return ms(kernel) + ms(user);
}

struct Refreshers {
    CWinThread window{catalogues.windowRefresher.Start()};
    CWinThread process{catalogues.processRefresher.Start()};

    ~Refreshers()
    {
        catalogues.RequestRefreshersStop();
        WaitUntil(BothEnded, 5000);
        for (const CWinThread* thread : {&window, &process})
            static_cast<void>(thread->Wait(5000));
        {
            std::lock_guard<CCriticalSection> guard(catalogues.windowLock);
            catalogues.windowCatalogue.RemoveAll();
        }
        std::lock_guard<CCriticalSection> guard(catalogues.processLock);
        catalogues.processCatalogue.RemoveAll();
    }
};

} // namespace

TEST(RefresherStop, AStopRequestEndsBothRefreshersWithoutWaitingOutTheirPeriod)
{
    Refreshers refreshers;
    ASSERT_TRUE(refreshers.window && refreshers.process);

    // Each refresher has just rebuilt when what it was waiting for shows up,
    // so both are at the start of a 500 ms wait when the stop comes.
    TestWindow window(L"CvPlain", L"stop test");
    WindowHost host(kNoWindows);
    ASSERT_TRUE(host.Ready());
    ASSERT_TRUE(WaitUntil([&] { return ProcessListed(host.ProcessId()); }, 3000));
    ASSERT_TRUE(WaitUntil([&] { return WindowListed(window); }, 3000));

    const ULONGLONG start = GetTickCount64();
    catalogues.RequestRefreshersStop();
    EXPECT_EQ(catalogues.windowRefresher.stop.load(), 1);
    EXPECT_EQ(catalogues.processRefresher.stop.load(), 1);
    ASSERT_TRUE(WaitUntil(BothEnded, 3000));
    EXPECT_LT(GetTickCount64() - start, 250u);
}

TEST(RefresherStop, RestartedRefreshersWaitTheirPeriodAgain)
{
    {
        Refreshers first;
        ASSERT_TRUE(first.window && first.process);
    }
    // The wake that ended the first pair must not cut the waits of the next
    // one short: a refresher whose wait returned at once would rebuild
    // without pause and burn a processor.
    Refreshers second;
    ASSERT_TRUE(second.window && second.process);
    const double window0 = CpuMs(second.window.Handle());
    const double process0 = CpuMs(second.process.Handle());
    TestWindow window(L"CvPlain", L"restart test");
    EXPECT_TRUE(WaitUntil([&] { return WindowListed(window); }, 3000));
    Sleep(1000); // two more periods
    EXPECT_LT(CpuMs(second.window.Handle()) - window0, 150.0);
    EXPECT_LT(CpuMs(second.process.Handle()) - process0, 150.0);
    EXPECT_EQ(catalogues.windowRefresher.done.load(), 0);
    EXPECT_EQ(catalogues.processRefresher.done.load(), 0);
}

// Rebuilds with nothing changed hand out the list read before; each start
// and end must still show at the next rebuild, also when the same program
// ends and starts again between two rebuilds (same name, same threads).
TEST(QuietRebuilds, StillSeeEveryStartAndEnd)
{
    CProcessArray catalogue;
    ForgetResolvedProcesses();
    catalogue.Refresh();
    for (int i = 0; i < 3; ++i)
        catalogue.Refresh();

    auto host = std::make_unique<WindowHost>(kNoWindows);
    ASSERT_TRUE(host->Ready());
    catalogue.Refresh();
    EXPECT_TRUE(Has(Ids(catalogue), host->ProcessId()));
    catalogue.Refresh();
    EXPECT_TRUE(Has(Ids(catalogue), host->ProcessId()));

    for (int round = 0; round < 3; ++round) {
        const unsigned long ended = host->ProcessId();
        host.reset();
        host = std::make_unique<WindowHost>(kNoWindows);
        ASSERT_TRUE(host->Ready());
        catalogue.Refresh();
        const auto ids = Ids(catalogue);
        EXPECT_FALSE(Has(ids, ended)) << round;
        EXPECT_TRUE(Has(ids, host->ProcessId())) << round;
        catalogue.Refresh();
        EXPECT_EQ(Ids(catalogue), ids) << round;
    }

    const unsigned long last = host->ProcessId();
    host.reset();
    catalogue.Refresh();
    EXPECT_FALSE(Has(Ids(catalogue), last));

    // What the quiet rebuilds kept is what a fresh look finds.
    const auto kept = Ids(catalogue);
    ForgetResolvedProcesses();
    catalogue.Refresh();
    EXPECT_EQ(Ids(catalogue), kept);
}
