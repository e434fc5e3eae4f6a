#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "catalogue/Catalogues.h"
#include "catalogue/ProcessCatalogue.h"
#include "catalogue/WindowCatalogue.h"
#include "framework/Handles.h"
#include "framework/Thread.h"
#include "support/TestCatalogues.h"
#include "support/Wait.h"
#include "support/WindowHost.h"

using testsupport::TestWindow;
using testsupport::WaitUntil;
using testsupport::WindowHost;
using testsupport::WindowListed;

namespace {

Catalogues& catalogues = testsupport::TestCatalogues();

const std::vector<std::string> kNoWindows;

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
    TestWindow window(L"CvPlain", L"stop test");
    ASSERT_TRUE(WaitUntil([&] { return WindowListed(window); }, 3000));
    catalogues.RequestRefreshersStop();
    EXPECT_EQ(catalogues.windowRefresher.stop.load(), 1);
    EXPECT_EQ(catalogues.processRefresher.stop.load(), 1);
    EXPECT_TRUE(WaitUntil(BothEnded, 3000));
}

namespace {

// A refresher whose period never ends by itself: only a wake ends a wait,
// so what it rebuilds is counted against what the test asked for.
struct CountedRefresher {
    std::atomic<int> rebuilds{0};
    UniqueEvent rebuilt{UniqueEvent::Kind::AutoReset};
    CCatalogueRefresher refresher{[this] {
                                      ++rebuilds;
                                      rebuilt.Set();
                                  },
                                  INFINITE};

    // Starts the thread and waits for its first rebuild.
    CWinThread StartAndRebuildOnce()
    {
        CWinThread thread = refresher.Start();
        EXPECT_TRUE(thread);
        EXPECT_TRUE(rebuilt.Wait(5000));
        return thread;
    }
    void Stop(CWinThread& thread)
    {
        refresher.RequestStop();
        EXPECT_TRUE(thread.Wait(5000)) << "a wait that only a wake can end was not woken";
        EXPECT_EQ(refresher.done.load(), 1);
    }
};

} // namespace

TEST(RefresherStop, OnlyTheWakeEndsTheWaitAndARestartDoesNotReuseIt)
{
    CountedRefresher counted;
    CWinThread first = counted.StartAndRebuildOnce();
    counted.Stop(first);
    EXPECT_EQ(counted.rebuilds.load(), 1);

    // The wake that ended the first run must not cut the next run's first
    // wait short: a refresher whose wait returned at once would rebuild
    // again without pause (and burn a processor at the real period).
    CWinThread second = counted.StartAndRebuildOnce();
    EXPECT_FALSE(counted.rebuilt.Wait(0));
    counted.Stop(second);
    EXPECT_EQ(counted.rebuilds.load(), 2);

    // A rest waits for the end of the rest, which wakes it for one rebuild.
    CWinThread third = counted.StartAndRebuildOnce();
    counted.refresher.Rest(true);
    counted.refresher.Rest(false);
    EXPECT_TRUE(counted.rebuilt.Wait(5000));
    counted.Stop(third);
    EXPECT_EQ(counted.rebuilds.load(), 4);
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
