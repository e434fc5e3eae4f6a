#include <gtest/gtest.h>

#include <windows.h>

#include "system/Elevation.h"

namespace {

DWORD ownLevel = kIntegrityMedium;
DWORD otherLevel = kIntegrityMedium;

DWORD FakeToken(DWORD processId)
{
    return processId == GetCurrentProcessId() ? ownLevel : otherLevel;
}

} // namespace

// The judgement on fake tokens, since every process under Wine runs at
// one level: who outranks whom, and what an unreadable token counts as.
TEST(Elevation, OnlyAHigherIntegrityLevelThanOursOutranksUs)
{
    struct Case {
        DWORD ours;
        DWORD theirs;
        bool outranks;
        bool mayBeOutranked;
    };
    const Case cases[] = {
        {kIntegrityMedium, kIntegrityHigh, true, true},     // an administrator's program, we run normally
        {kIntegrityMedium, kIntegritySystem, true, true},   // a service's window
        {kIntegrityMedium, kIntegrityMedium, false, true},  // an equal
        {kIntegrityMedium, kIntegrityLow, false, true},     // a sandboxed browser tab
        {kIntegrityLow, kIntegrityMedium, true, true},      // ourselves sandboxed
        {kIntegrityHigh, kIntegrityHigh, false, false},     // we run as administrator too
        {kIntegrityMedium, kIntegrityUnknown, false, true}, // a token kept from us is nobody's in particular
        {kIntegrityUnknown, kIntegrityHigh, true, true},    // our own unread: the medium level of a normal start
        {kIntegrityUnknown, kIntegrityMedium, false, true},
    };
    for (const Case& c : cases) {
        ownLevel = c.ours;
        otherLevel = c.theirs;
        SetIntegrityQueryForTests(&FakeToken);
        const DWORD other = GetCurrentProcessId() + 4;
        EXPECT_EQ(ProcessOutranksUs(other), c.outranks) << std::hex << c.ours << " vs " << c.theirs;
        EXPECT_EQ(MayBeOutranked(), c.mayBeOutranked) << std::hex << c.ours;
        EXPECT_FALSE(ProcessOutranksUs(GetCurrentProcessId())) << "never our own";
        EXPECT_FALSE(ProcessOutranksUs(0));
        SetIntegrityQueryForTests(nullptr);
    }
}

TEST(Elevation, TheRealTokenOfOurOwnProcessHasALevel)
{
    // Wine gives every process the same token: none outranks another.
    const DWORD own = IntegrityLevelOf(GetCurrentProcessId());
    EXPECT_NE(own, kIntegrityUnknown);
    EXPECT_FALSE(ProcessOutranksUs(GetCurrentProcessId()));
    EXPECT_EQ(IntegrityLevelOf(0), kIntegrityUnknown);
}
